#!/usr/bin/env python3
"""The player SpiraMain.exe under Wine, as a person meets it: on the
true-colour display (DISPLAY) and on the 256-colour one
(SPIRALUX_DISPLAY_8BIT), with real X keyboard and mouse events from xdotool
and screenshots taken with xwd; on a desktop of several monitors (a display
of its own whose monitors a stand-in for libXinerama reports,
XineramaLayout.c); through a change of the display's resolution (a Wine
virtual desktop, resized as the display settings resize it). playerprobe
tells what Windows knows of the window and the monitors, and does what Wine
cannot do for a person: it ends the saver with TerminateProcess as Windows
does, and tells the player that the display goes off and on. Writes a
GoogleTest-style XML report so that scripts/test counts the cases; exits
non-zero when one fails.

Run inside scripts/winenv (it sets WINEPREFIX and the two displays)."""
import argparse
import contextlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from report import Report

SOON = 60.0  # generous bound for "at once" on a loaded machine


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--player", required=True)
    p.add_argument("--saver", required=True)
    p.add_argument("--probe", required=True)
    p.add_argument("--bits", type=int, default=4, help="pointer size of the build: 4 or 8")
    p.add_argument("--report", required=True)
    return p.parse_args()


ARGS = parse_args()
WINE = "/usr/lib/wine/wine64" if ARGS.bits == 8 else "wine"
HERE = os.path.dirname(os.path.abspath(__file__))
X11_DRIVER = r"HKCU\Software\Wine\X11 Driver"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run(command, display, timeout=120):
    """The command's result with its output. The output goes through files,
    not pipes: when a Wine program starts Wine's session, the session's
    programs inherit its output and would hold a pipe open after it ended."""
    env = dict(os.environ, DISPLAY=display)
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        done = subprocess.run(command, env=env, stdout=out, stderr=err, timeout=timeout)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(command, done.returncode, out.read(), err.read())


def wait_until(predicate, timeout=SOON, step=0.2):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


def xdotool(display, *words):
    return run(["xdotool", *words], display).stdout.decode().strip()


def player_window(display):
    found = xdotool(display, "search", "--name", "^Spiralux$").split()
    return found[0] if found else None


def root_size(display):
    out = run(["xwininfo", "-root"], display).stdout.decode()
    facts = dict(line.strip().split(":", 1) for line in out.splitlines() if ":" in line)
    return int(facts["Width"]), int(facts["Height"])


def probe(display, *words):
    return run([WINE, ARGS.probe, *words], display).stdout.decode().replace("\r", "")


class Screenshot:
    """The root window: its pixels as RGB triples and, on a display with a
    colour map, the map's entries: pixel, red, green, blue and flags, the
    first 11 of each entry's 12 bytes (xwd leaves the last one, padding,
    unset, and it differs from grab to grab)."""

    def __init__(self, display):
        xwd = run(["xwd", "-root", "-silent"], display).stdout
        header = int.from_bytes(xwd[0:4], "big")
        ncolors = int.from_bytes(xwd[76:80], "big")
        self.colormap = [xwd[at:at + 11] for at in range(header, header + 12 * ncolors, 12)]
        ppm = subprocess.run(["convert", "xwd:-", "ppm:-"], input=xwd, capture_output=True).stdout
        fields, at = [], 0
        while len(fields) < 4:  # P6 width height maxval, comments skipped
            while ppm[at:at + 1].isspace():
                at += 1
            if ppm[at:at + 1] == b"#":
                at = ppm.index(b"\n", at) + 1
                continue
            end = at
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[at:end])
            at = end
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = ppm[at + 1:]

    def core(self, left, top, width, height):
        """The middle of the whitest patch in the rectangle: the spiral's
        core (the arms are gold, the ground violet, the sparks too small
        for a patch). Sampled every height / 270 pixels; the patch is 5
        samples a side."""
        step, k = max(1, height // 270), 5
        xs, ys = range(left, left + width, step), range(top, top + height, step)
        p, w = self.pixels, self.width
        grid = [[min(p[3 * (y * w + x):3 * (y * w + x) + 3]) for x in xs] for y in ys]
        sums = [[0] * (len(xs) + 1) for _ in range(len(ys) + 1)]  # the integral image
        for i, row in enumerate(grid):
            run = 0
            for j, v in enumerate(row):
                run += v
                sums[i + 1][j + 1] = sums[i][j + 1] + run
        best, at = -1, (0, 0)
        for i in range(len(ys) - k + 1):
            for j in range(len(xs) - k + 1):
                total = sums[i + k][j + k] - sums[i][j + k] - sums[i + k][j] + sums[i][j]
                if total > best:
                    best, at = total, (j, i)
        return left + (at[0] + k / 2) * step, top + (at[1] + k / 2) * step

    def differing_share(self, other):
        n = self.width * self.height
        a, b = self.pixels, other.pixels
        same = sum(1 for i in range(0, 3 * n, 3 * 7) if a[i:i + 3] == b[i:i + 3])
        return 1 - same / len(range(0, 3 * n, 3 * 7))


def check_spiral_centred(shot, left, top, width, height, what):
    """The spiral is centred on the rectangle and scaled to its height: its
    core is where the design puts it, 3 % of the height right of and 2 %
    above the middle, within 3 % of the height."""
    x, y = shot.core(left, top, width, height)
    want_x, want_y = left + width / 2 + 0.03 * height, top + height / 2 - 0.02 * height
    check(abs(x - want_x) <= 0.03 * height and abs(y - want_y) <= 0.03 * height,
          f"{what}: the spiral's core is at ({x:.0f}, {y:.0f}), not near ({want_x:.0f}, {want_y:.0f})")


class Player:
    def __init__(self, display, exe=None, args=(), cwd=None):
        env = dict(os.environ, DISPLAY=display)
        self.display = display
        self.process = subprocess.Popen([WINE, exe or ARGS.player, *args], env=env, cwd=cwd,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = None

    def running(self):
        return self.process.poll() is None

    def wait_window(self):
        wait_until(lambda: player_window(self.display) is not None or not self.running())
        self.window = player_window(self.display)
        check(self.window is not None, "the player window did not appear")
        time.sleep(1.0)  # let the first frames and the first mouse message arrive
        return self.window

    def ends(self, timeout=SOON):
        return wait_until(lambda: not self.running(), timeout)

    def stays(self, seconds):
        time.sleep(seconds)
        return self.running()

    def kill(self):
        if self.running():
            self.process.kill()
            self.process.wait(30)

    def focus(self):
        xdotool(self.display, "windowfocus", "--sync", self.window)


CASES = Report()
case = CASES.case


def covers_animates_and_moves(display, depth):
    player = Player(display)
    try:
        def covers():
            player.wait_window()
            facts = dict(line.split(" ", 1) for line in probe(display, "window").splitlines() if " " in line)
            width, height = root_size(display)
            check(facts.get("rect") == f"0 0 {width} {height}", f"window {facts.get('rect')}, screen {width}x{height}")
            check(facts.get("virtual") == f"0 0 {width} {height}", f"virtual screen {facts.get('virtual')}")
            check(facts.get("topmost") == "1", "not topmost")
            check(facts.get("caption") == "0", "has a caption or border")

        def animates():
            first = Screenshot(display)
            time.sleep(1.0)
            second = Screenshot(display)
            share = first.differing_share(second)
            check(share > 0.05, f"only {share:.1%} of the screen changed in a second")
            if depth == 8:
                check(first.colormap == second.colormap, "the screen's colour map changed between frames")
                check(len(first.colormap) == 256, "no 256-entry colour map")

        def small_move_stays():
            check(player.running(), "the player is not running")
            xdotool(display, "mousemove_relative", "--", "2", "0")
            xdotool(display, "mousemove_relative", "--", "-1", "2")
            check(player.stays(2.0), "a move of 2 pixels ended the player")

        def large_move_ends():
            check(player.running(), "the player is not running")
            xdotool(display, "mousemove_relative", "--", "40", "0")
            check(player.ends(), "a move of 40 pixels did not end the player")

        case(f"Player{depth}.CoversTheScreenTopmostWithoutCaption", covers)
        case(f"Player{depth}.TwoScreenshotsASecondApartDiffer", animates)
        case(f"Player{depth}.AMoveOfTwoPixelsDoesNotEndIt", small_move_stays)
        case(f"Player{depth}.AMoveOfFortyPixelsEndsIt", large_move_ends)
    finally:
        player.kill()


def key_ends_and_second_copy_leaves(display, depth):
    player = Player(display, args=["/unknown", "argument"])
    try:
        def second_copy():
            player.wait_window()
            second = Player(display)
            try:
                check(second.ends(), "a second copy did not end")
                check(player.running(), "the first copy ended too")
            finally:
                second.kill()

        def key_ends():
            check(player.running(), "the player is not running")
            player.focus()
            xdotool(display, "key", "Escape")
            check(player.ends(), "a key press did not end the player")

        case(f"Player{depth}.UnknownArgumentsAreIgnoredAndASecondCopyEndsAtOnce", second_copy)
        case(f"Player{depth}.AKeyPressEndsIt", key_ends)
    finally:
        player.kill()


def close_ends(display, depth):
    player = Player(display)
    try:
        def body():
            player.wait_window()
            probe(display, "close")
            check(player.ends(), "WM_CLOSE did not end the player")

        case(f"Player{depth}.WmCloseEndsIt", body)
    finally:
        player.kill()


def registry(display, *words):
    view = ["/reg:32"] if ARGS.bits == 4 else []
    return run([WINE, "reg", *words, *view], display)


def restart_wine(display=None):
    """Ends every program of the prefix and its wineserver; with a display,
    starts Wine's session anew there, with the settings and the environment
    of that moment. Wine's programs work on the display of their session:
    one on another display can fail on the session's X windows (an unmanaged
    window there ends with an X error)."""
    subprocess.run(["wineserver", "-k"], capture_output=True, timeout=60)
    subprocess.run(["wineserver", "-w"], capture_output=True, timeout=120)
    if display:
        run([WINE, "wineboot"], display)


@contextlib.contextmanager
def wine_settings(display, values, restart=False, env=None):
    """The prefix's registry values (key, name, data) for the duration;
    with restart, Wine's session starts anew on the display before, with
    the environment variables env as well, and ends after: for the settings
    that Wine reads once, when its session starts."""
    for key, name, data in values:
        registry(display, "add", key, "/v", name, "/t", "REG_SZ", "/d", data, "/f")
    saved = {name: os.environ.get(name) for name in env or {}}
    os.environ.update(env or {})
    if restart:
        restart_wine(display)
    try:
        yield
    finally:
        for name, value in saved.items():
            if value is None:
                os.environ.pop(name, None)
            else:
                os.environ[name] = value
        for key, name, _ in values:
            registry(display, "delete", key, "/v", name, "/f")
        if restart:
            restart_wine()


@contextlib.contextmanager
def installed_player(display):
    """SpiraMain.exe in an installation folder of its own, which the
    settings name: where Spiralux.scr /s finds it."""
    folder = tempfile.mkdtemp(prefix="Spiralux player ")
    shutil.copy(ARGS.player, os.path.join(folder, "SpiraMain.exe"))
    key = r"HKLM\Software\Spiralux\1.0"
    registry(display, "add", key, "/v", "InstFolder", "/t", "REG_SZ", "/d", windows_path(folder), "/f")
    try:
        yield
    finally:
        registry(display, "delete", key, "/f")
        shutil.rmtree(folder, ignore_errors=True)


def lib(script):
    """The words a bash script with scripts/lib.sh sourced prints, run from
    the repository's top folder; Failure when it fails."""
    done = subprocess.run(["bash", "-c", ". scripts/lib.sh && " + script], cwd=os.path.join(HERE, "..", ".."),
                          capture_output=True, timeout=120)
    if done.returncode != 0:
        raise Failure(f"{script}: {done.stderr.decode().strip()}")
    return done.stdout.decode().split()


@contextlib.contextmanager
def xvfb(depth, size):
    """A display of its own."""
    display, pid = lib(f'lib_xvfb {depth} {size} 170 >&2 && echo "$LIB_DISPLAY ${{lib_xvfb_pids[0]}}"')
    try:
        yield display
    finally:
        subprocess.run(["kill", pid])


def window_facts(display):
    return dict(line.split(" ", 1) for line in probe(display, "window").splitlines() if " " in line)


def saver_waits(display, depth):
    with installed_player(display):
        saver = Player(display, exe=ARGS.saver, args=["/s"])
        try:
            def body():
                wait_until(lambda: player_window(display) is not None or not saver.running())
                window = player_window(display)
                check(window is not None, "Spiralux.scr /s did not start the player")
                time.sleep(1.0)
                check(saver.running(), "Spiralux.scr did not wait for the player")
                xdotool(display, "windowfocus", "--sync", window)
                xdotool(display, "key", "space")
                check(saver.ends(), "Spiralux.scr did not end after the player")
                check(wait_until(lambda: player_window(display) is None), "the player window stayed")

            case(f"Player{depth}.SaverModeWaitsForThePlayerAndBothEndOnInput", body)
        finally:
            saver.kill()


# What starts the player, and whether the player ends within half a second
# when that process is ended with TerminateProcess: Spiralux.scr /s (the
# player in its job object, and its own wait on the saver); a screen saver
# that puts it in no job (playerprobe under a .scr name), where its own wait
# ends it; and a program that is no screen saver, whose end leaves it
# playing.
PARENTS = [
    ("WhenTheSaverIsTerminatedThePlayerEndsWithinHalfASecond", "saver", True),
    ("WhenASaverWithoutAJobIsTerminatedThePlayerEndsWithinHalfASecond", "Probe.scr", True),
    ("WhenAnotherProgramThatStartedItEndsThePlayerPlaysOn", "Probe.exe", False),
]


def ends_with_its_saver(display, depth):
    # Without a window manager Wine waits up to two seconds for one to
    # confirm that a window it thinks managed has gone; Managed = N tells it
    # that none manages the player's window, as on Windows, where ending
    # takes no such wait.
    folder = tempfile.mkdtemp(prefix="spiralux-parent-")
    with installed_player(display), wine_settings(display, [(X11_DRIVER, "Managed", "N")]):
        for name, parent, ends in PARENTS:
            if parent == "saver":
                starter = Player(display, exe=ARGS.saver, args=["/s"])
            else:
                shutil.copy(ARGS.probe, os.path.join(folder, parent))
                starter = Player(display, exe=os.path.join(folder, parent), args=["launch", windows_path(ARGS.player)])
            try:
                def body():
                    wait_until(lambda: player_window(display) is not None or not starter.running())
                    check(wait_until(lambda: "rect" in window_facts(display)), f"{parent} did not start the player")
                    time.sleep(1.0)
                    out = probe(display, "end-parent")
                    ended = re.search(r"player ended (\d+) ms after its parent", out)
                    if ends:
                        check(ended and int(ended.group(1)) <= 500, f"playerprobe end-parent: {out.strip()}")
                        check(wait_until(lambda: player_window(display) is None), "the player window stayed")
                    else:
                        check("still plays" in out, f"playerprobe end-parent: {out.strip()}")

                case(f"Player{depth}.{name}", body)
            finally:
                starter.kill()
                if player_window(display):  # a player that outlived its parent
                    probe(display, "close")
                    wait_until(lambda: player_window(display) is None)
    shutil.rmtree(folder, ignore_errors=True)


def follows_display_changes(display, depth):
    # A Wine virtual desktop of the display's size, which ChangeDisplaySettings
    # resizes (to modes no larger than the display) and then tells every
    # program with WM_DISPLAYCHANGE.
    desktop = [(r"HKCU\Software\Wine\Explorer", "Desktop", "SpiraluxTest"),
               (r"HKCU\Software\Wine\Explorer\Desktops", "SpiraluxTest", "%dx%d" % root_size(display))]
    with wine_settings(display, desktop, restart=True):
        player = Player(display)
        try:
            player.wait_window()
            for width, height in [(800, 600), root_size(display)]:
                def body():
                    out = probe(display, "mode", str(width), str(height))
                    check(out.strip().endswith(": 0"), f"the display did not change: {out.strip()}")
                    want = f"0 0 {width} {height}"
                    check(wait_until(lambda: window_facts(display).get("rect") == want, 30),
                          f"window {window_facts(display).get('rect')}, wanted {want}")
                    check(window_facts(display).get("virtual") == want, "the virtual screen did not change")
                    check(player.running(), "the player ended")
                    time.sleep(1.0)
                    first = Screenshot(display)
                    if depth == 24:
                        check_spiral_centred(first, 0, 0, width, height, f"{width}x{height}")
                    else:
                        # Wine shows 8-bit windows in the 20 static colours, where the
                        # core is no whiter than the arms: the frames go on instead.
                        time.sleep(1.0)
                        check(first.differing_share(Screenshot(display)) > 0.02, "the frames stopped")

                case(f"Player{depth}.AfterAChangeTo{width}x{height}TheWindowCoversTheScreenAndTheSpiralIsCentred",
                     body)
        finally:
            player.kill()


# Screen layouts: the X screen's size, the monitors in X root coordinates
# for the stand-in (the primary first), and the monitors Windows should
# then report (left, top, width, height; the primary first).
MONITOR_LAYOUTS = [
    ("APortraitMonitorLeftOfThePrimary", "3000x1920", "1920x1080+1080+0 1080x1920+0+0",
     [(0, 0, 1920, 1080), (-1080, 0, 1080, 1920)]),
    ("TwoAlikeThePrimaryBelow", "1280x2048", "1280x1024+0+1024 1280x1024+0+0",
     [(0, 0, 1280, 1024), (0, -1024, 1280, 1024)]),
]


def every_monitor_gets_its_own_spiral():
    folder = tempfile.mkdtemp(prefix="spiralux-xinerama-")
    try:
        # The stand-in for each side of Wine that runs here: x86-64, and
        # i386 for the 32-bit programs.
        try:
            libraries, = lib(f'lib_xinerama "{folder}" {"32 64" if ARGS.bits == 4 else "64"} >&2 && '
                             'echo "$LIB_XINERAMA_PATH"')
        except Failure as e:
            for name, _, _, _ in MONITOR_LAYOUTS:
                CASES.add(f"Monitors.{name}", f"the Xinerama stand-in was not built: {e}", 0)
            return
        for name, size, monitors, want in MONITOR_LAYOUTS:
            with xvfb(24, size) as display, \
                    wine_settings(display, [(X11_DRIVER, "UseXRandR", "N")], restart=True,
                                  env={"SPIRALUX_MONITORS": monitors, "LD_LIBRARY_PATH": libraries}):
                player = Player(display)
                try:
                    case(f"Monitors.{name}", lambda: check_monitors(display, player, want))
                finally:
                    player.kill()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def check_monitors(display, player, want):
    seen = re.findall(r"monitor (-?\d+) (-?\d+) (\d+) (\d+)( primary)?", probe(display, "monitors"))
    got = [tuple(int(v) for v in m[:4]) for m in sorted(seen, key=lambda m: not m[4])]
    check(got == want, f"Wine reports the monitors {got}, not {want}: the Xinerama stand-in was not used")
    player.wait_window()
    left, top = min(m[0] for m in want), min(m[1] for m in want)
    width, height = max(m[0] + m[2] for m in want) - left, max(m[1] + m[3] for m in want) - top
    check(window_facts(display).get("rect") == f"{left} {top} {width} {height}",
          f"window {window_facts(display).get('rect')}, virtual screen {left} {top} {width} {height}")
    time.sleep(1.0)
    shot = Screenshot(display)
    # X root (0, 0) is the virtual screen's top-left corner.
    for m in want:
        check_spiral_centred(shot, m[0] - left, m[1] - top, m[2], m[3], f"monitor {m}")
    uncovered = [(x, y) for x in range(0, width, 16) for y in range(0, height, 16)
                 if not any(m[0] - left <= x < m[0] - left + m[2] and m[1] - top <= y < m[1] - top + m[3]
                            for m in want)]
    lit = [(x, y) for x, y in uncovered if any(shot.pixels[3 * (y * shot.width + x):3 * (y * shot.width + x) + 3])]
    check(not lit, f"{len(lit)} of {len(uncovered)} points that no monitor shows are not black")


# The display's states in the order the probe tells them to the player, and
# whether frames are drawn in each.
DISPLAY_STATES = [
    ("on", True, "FramesAreDrawnWhileTheDisplayIsOn"),
    ("off", False, "WhileTheDisplayIsOffNoFrameIsDrawnAndTheProcessorRests"),
    ("on", True, "WhenTheDisplayComesBackFramesAreDrawnAgain"),
    ("dimmed", True, "ADimmedDisplayStillShowsFrames"),
]


def rests_while_the_display_is_off(display, depth):
    env = dict(os.environ, DISPLAY=display)
    process = subprocess.Popen([WINE, ARGS.probe, "rest", *(s[0] for s in DISPLAY_STATES)], env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    seen = []  # per state: (share of the screen changed over a second, frames drawn, processor ms)
    try:
        shots = None
        for line in process.stdout:
            if line.startswith("state "):
                time.sleep(0.6)
                first = Screenshot(display)
                time.sleep(1.0)
                shots = first.differing_share(Screenshot(display))
            measured = re.match(r"(\w+) drawn (\d+) processor (\d+) ms", line)
            if measured:
                seen.append((shots, int(measured.group(2)), int(measured.group(3))))
        process.wait(60)
    finally:
        if process.poll() is None:
            process.kill()
    for i, (state, draws, name) in enumerate(DISPLAY_STATES):
        def body():
            check(i < len(seen), "the probe's player did not get that far")
            changed, drawn, processor = seen[i]
            if draws:
                check(drawn >= 20, f"{drawn} frames drawn in 2.5 s")
                check(changed > 0.02, f"only {changed:.1%} of the screen changed in a second")
            else:
                check(drawn == 0, f"{drawn} frames drawn in 2.5 s")
                check(changed == 0, f"{changed:.1%} of the screen changed in a second")
                check(processor <= 100, f"{processor} ms of processor time in 2.5 s")

        case(f"Player{depth}.{name}", body)


def main():
    displays = [(os.environ.get("DISPLAY"), 24), (os.environ.get("SPIRALUX_DISPLAY_8BIT"), 8)]
    for display, depth in displays:
        if not display:
            CASES.add(f"Player{depth}.Display", "no display for this depth", 0)
            continue
        restart_wine(display)
        covers_animates_and_moves(display, depth)
        key_ends_and_second_copy_leaves(display, depth)
        close_ends(display, depth)
        saver_waits(display, depth)
        ends_with_its_saver(display, depth)
        rests_while_the_display_is_off(display, depth)
        follows_display_changes(display, depth)
    every_monitor_gets_its_own_spiral()

    return CASES.write(ARGS.report)

if __name__ == "__main__":
    sys.exit(main())
