#!/usr/bin/env python3
"""The player SpiraMain.exe under Wine, as a person meets it: on the
true-colour display (DISPLAY) and on the 256-colour one
(SPIRALUX_DISPLAY_8BIT), with real X keyboard and mouse events from xdotool
and screenshots taken with xwd. playerprobe tells what Windows knows of the
window and sends the WM_CLOSE. Writes a GoogleTest-style XML report so that
scripts/test counts the cases; exits non-zero when one fails.

Run inside scripts/winenv (it sets WINEPREFIX and the two displays)."""
import argparse
import os
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


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run(command, display, timeout=120):
    env = dict(os.environ, DISPLAY=display)
    return subprocess.run(command, env=env, capture_output=True, timeout=timeout)


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


def probe(display, what):
    return run([WINE, ARGS.probe, what], display).stdout.decode().replace("\r", "")


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

    def differing_share(self, other):
        n = self.width * self.height
        a, b = self.pixels, other.pixels
        same = sum(1 for i in range(0, 3 * n, 3 * 7) if a[i:i + 3] == b[i:i + 3])
        return 1 - same / len(range(0, 3 * n, 3 * 7))


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


def saver_waits(display, depth):
    folder = tempfile.mkdtemp(prefix="Spiralux player ")
    shutil.copy(ARGS.player, os.path.join(folder, "SpiraMain.exe"))
    key = r"HKLM\Software\Spiralux\1.0"
    registry(display, "add", key, "/v", "InstFolder", "/t", "REG_SZ", "/d", windows_path(folder), "/f")
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
        registry(display, "delete", key, "/f")
        shutil.rmtree(folder, ignore_errors=True)


def main():
    displays = [(os.environ.get("DISPLAY"), 24), (os.environ.get("SPIRALUX_DISPLAY_8BIT"), 8)]
    for display, depth in displays:
        if not display:
            CASES.add(f"Player{depth}.Display", "no display for this depth", 0)
            continue
        covers_animates_and_moves(display, depth)
        key_ends_and_second_copy_leaves(display, depth)
        close_ends(display, depth)
        saver_waits(display, depth)

    return CASES.write(ARGS.report)

if __name__ == "__main__":
    sys.exit(main())
