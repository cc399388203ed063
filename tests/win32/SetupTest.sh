#!/usr/bin/env bash
# The setup program and its uninstaller under Wine, in a fresh prefix of
# their own: a silent install puts every file and value in place,
# Spiralux.scr /s from the system folder starts the installed player, a
# second install into another folder keeps FrameDelay, and a silent
# uninstall leaves no file, key or entry of ours.
# The Display Properties stand-in lists the installed saver by its
# description and no longer lists it after the uninstall; driven by real
# key presses it runs a saver (the test player, which records its command
# lines) with /p HWND, /c:HWND and /s, and with /inproc paints Spiralux's
# preview in its own process.
# Usage: SetupTest.sh SETUP_EXE SAVER PLAYER DISPPROPS TESTPLAYER WORK_DIR REPORT_XML BITS
# BITS is 32 for the shipped i686 programs, 64 for the x86-64 build that
# stands in for them where the kernel runs no 32-bit code.
# Every check is one test case of a GoogleTest-style XML report, so that
# scripts/test counts them beside the other suites.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/lib.sh"
setup_exe=$1 saver=$2 player=$3 dispprops=$4 testplayer=$5 work=$6 report=$7 bits=$8

export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k >/dev/null 2>&1' EXIT
# The loader: the wine command picks the 32-bit one whenever it is
# installed, so the x86-64 programs name the 64-bit one.
wine=wine
[ "$bits" = 64 ] && wine=/usr/lib/wine/wine64

# One line per check for report.py: name, failure, seconds.
cases=()
check() {  # name command...
  local name=$1 start=$SECONDS failure=""
  shift
  "$@" || { echo "FAILED: $name" >&2; failure=failed; }
  cases+=("Setup.$name"$'\t'"$failure"$'\t'"$((SECONDS - start))")
}
write_report() {
  printf '%s\n' "${cases[@]}" | /usr/bin/python3 "$here/report.py" "$report"
}

run() { timeout 300 "$wine" "$@" >/dev/null 2>&1; }
# The uninstaller goes on in a copy of itself after its first process ends:
# wait until every process of the prefix has ended.
run_to_the_end() {
  run "$@"
  local rc=$?
  timeout 300 wineserver -w
  return $rc
}
# reg.exe of the prefix in registry view 32 or 64: the values of a key as
# "name<TAB>data" lines, or nothing when the key is missing.
reg_values() {  # view key
  "$wine" reg query "$2" /reg:"$1" 2>/dev/null | tr -d '\r' |
    sed -n 's/^    \([^ ]*\)    REG_[A-Z_]*    \(.*\)$/\1\t\2/p'
}
reg_value() {  # view key value
  reg_values "$1" "$2" | sed -n "s/^$3\t//p"
}
reg_key_missing() {  # view key
  ! "$wine" reg query "$2" /reg:"$1" >/dev/null 2>&1
}
same_file() { cmp -s "$1" "$2"; }
equals() { [ "$1" = "$2" ] || { echo "  '$1' != '$2'" >&2; false; }; }
no_file() { [ ! -e "$1" ] || { echo "  still there: $1" >&2; false; }; }

rm -rf "$work"
lib_prefix "$wine"

drive=$WINEPREFIX/drive_c
[ -d "$drive/windows" ] || echo "SetupTest: wineboot made no prefix in $WINEPREFIX" >&2
# Where the programs go: for 32-bit programs in a 64-bit prefix, as on 64-bit
# Windows, the 32-bit system folder is SysWOW64, their programs folder
# Program Files (x86), and their registry view the 32-bit one, apart from
# the 64-bit view; 64-bit programs use System32, Program Files and the
# 64-bit view.
if [ "$bits" = 64 ]; then
  sys_unix=$drive/windows/system32 sys_win='C:\windows\system32'
  pf_unix="$drive/Program Files" pf_win='C:\Program Files'
  view=64 other_view=32
elif [ -d "$drive/windows/syswow64" ]; then
  sys_unix=$drive/windows/syswow64 sys_win='C:\windows\syswow64'
  pf_unix="$drive/Program Files (x86)" pf_win='C:\Program Files (x86)'
  view=32 other_view=64
else
  sys_unix=$drive/windows/system32 sys_win='C:\windows\system32'
  pf_unix="$drive/Program Files" pf_win='C:\Program Files'
  view=32 other_view=""
fi
settings='HKLM\Software\Spiralux\1.0'
arp='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Spiralux'
folder_win="$pf_win\\Spiralux" folder_unix="$pf_unix/Spiralux"

# 1. A silent install into the default folder.
check SilentInstallSucceeds run "Z:$setup_exe" /S
check SaverIsInTheSystemFolder same_file "$saver" "$sys_unix/Spiralux.scr"
check PlayerIsInProgramFiles same_file "$player" "$folder_unix/SpiraMain.exe"
check UninstallerIsInProgramFiles test -f "$folder_unix/Uninstall.exe"
check InstFolderInTheProgramsView equals "$(reg_value $view "$settings" InstFolder)" "$folder_win"
if [ -n "$other_view" ]; then
  check NothingInTheOtherView reg_key_missing $other_view 'HKLM\Software\Spiralux'
fi
check NoFrameDelayWrittenByTheInstaller test -z "$(reg_value $view "$settings" FrameDelay)"
arp_ok() {
  local values
  values=$(reg_values $view "$arp")
  value() { sed -n "s/^$1\t//p" <<<"$values"; }
  equals "$(value DisplayName)" "Spiralux 1.0" &&
    equals "$(value DisplayVersion)" "1.0" &&
    equals "$(value Publisher)" "Spiralux" &&
    equals "$(value DisplayIcon)" "$1\\Uninstall.exe,0" &&
    equals "$(value UninstallString)" "\"$1\\Uninstall.exe\"" &&
    equals "$(value QuietUninstallString)" "\"$1\\Uninstall.exe\" /S" &&
    [ $(( $(value EstimatedSize) )) -gt 0 ]
}
check AddRemoveEntryIsComplete arp_ok "$folder_win"
listed() { timeout 120 "$wine" "Z:$dispprops" /list 2>/dev/null | tr -d '\r'; }
check StandInListsSpiraluxByItsDescription grep -qx 'Spiralux 1.0|Spiralux.scr' <(listed)

# 2. Saver mode as Windows starts it, from the system folder: the installed
# player's window appears, a key ends it, and Spiralux.scr, which waits for
# the player, ends with it.
"$wine" "$sys_win\\Spiralux.scr" /s >/dev/null 2>&1 &
scr=$!
player_window=""
for _ in $(seq 120); do
  player_window=$(xdotool search --name '^Spiralux$' 2>/dev/null | head -1) && [ -n "$player_window" ] && break
  sleep 0.5
done
# Wine names a program's Unix process after its Windows path.
installed_player_runs() {
  [ -n "$player_window" ] || { echo "  no player window" >&2; return 1; }
  local pid
  pid=$(xdotool getwindowpid "$player_window") &&
    tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qiF "$folder_win\\SpiraMain.exe" ||
    { echo "  player process: $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)" >&2; false; }
}
check SaverModeStartsTheInstalledPlayer installed_player_runs
# The key goes to the focused window: focus first, as clicking would.
press_in() {  # window key
  for _ in 1 2 3; do timeout 10 xdotool windowfocus --sync "$1" 2>/dev/null && break; sleep 1; done
  xdotool key --window "$1" "$2"
}
ends_within() {  # pid seconds
  local end=$((SECONDS + $2))
  while kill -0 "$1" 2>/dev/null; do [ $SECONDS -ge $end ] && return 1; sleep 0.5; done
}
[ -n "$player_window" ] && press_in "$player_window" space
check AKeyEndsThePlayerAndTheSaver ends_within "$scr" 30
kill "$scr" 2>/dev/null

log=$work/player.log
export SPIRALUX_PLAYER_LOG="Z:$log"
# The stand-in as a user drives it: Alt+T (Settings), Alt+V (Preview),
# Escape (close), with a recording saver chosen.
cp "$testplayer" "$sys_unix/Recorder.scr"
rm -f "$log"
export SPIRALUX_PLAYER_MS=1000
commands() { sed -n 's/^start|"\{0,1\}[^ "]*Recorder.scr"\{0,1\} *\([^|]*\)|.*/\1/p' "$log" 2>/dev/null | tr -d '\r'; }
# Waits until the recorded command lines, one per line, match PATTERN.
wait_commands() {  # pattern
  local end=$((SECONDS + 60))
  until commands | tr '\n' ' ' | grep -Eqx "$1"; do
    [ $SECONDS -ge $end ] && { echo "  recorded: $(commands | tr '\n' ' ')" >&2; return 1; }
    sleep 0.5
  done
}
"$wine" "Z:$dispprops" Recorder.scr >/dev/null 2>&1 &
stand_in=$!
window=""
for _ in $(seq 120); do
  window=$(xdotool search --name '^Display Properties$' 2>/dev/null | head -1) && [ -n "$window" ] && break
  sleep 0.5
done
press() { press_in "$window" "$1"; }
check StandInShowsThePreview wait_commands '/p [0-9]+ '
press alt+t
check SettingsRunsSlashCThenThePreviewAgain wait_commands '/p [0-9]+ /c:[0-9]+ /p [0-9]+ '
press alt+v
check PreviewRunsSlashSThenThePreviewAgain wait_commands '/p [0-9]+ /c:[0-9]+ /p [0-9]+ /s /p [0-9]+ '
press Escape
stand_in_ends() {
  ends_within "$stand_in" 30 ||
    { echo "  still running; focus on $(xdotool getwindowfocus), stand-in $window" >&2; false; }
}
check EscapeClosesTheStandIn stand_in_ends
kill "$stand_in" 2>/dev/null

# In-process mode: Spiralux's preview painted by the stand-in's own process
# reaches the screen. The stand-in alone shows about a hundred colours (its
# frame, icon and text); the scaled picture brings thousands.
"$wine" "Z:$dispprops" /inproc Spiralux.scr >/dev/null 2>&1 &
stand_in=$!
window=""
for _ in $(seq 120); do
  window=$(xdotool search --name '^Display Properties$' 2>/dev/null | head -1) && [ -n "$window" ] && break
  sleep 0.5
done
colours_on_screen() {
  [ -n "$window" ] || return 1
  xwd -id "$window" -silent | convert xwd:- -format '%k' info: 2>/dev/null
}
shows_the_picture() {
  local end=$((SECONDS + 60)) n=0
  until [ "${n:-0}" -ge 1000 ]; do
    [ $SECONDS -ge $end ] && { echo "  $n colours in the stand-in" >&2; return 1; }
    sleep 1
    n=$(colours_on_screen)
  done
}
check InProcessPreviewReachesTheScreen shows_the_picture
press Escape
check EscapeClosesTheInProcessStandIn stand_in_ends
kill "$stand_in" 2>/dev/null
rm -f "$sys_unix/Recorder.scr"
unset SPIRALUX_PLAYER_LOG SPIRALUX_PLAYER_MS

# 3. The user's speed, then a second install into another folder (no
# blanks: /D= takes the rest of the command line, which Wine would quote).
"$wine" reg add "$settings" /v FrameDelay /t REG_DWORD /d 5 /f /reg:$view >/dev/null 2>&1
check SecondInstallSucceeds run "Z:$setup_exe" /S '/D=C:\Apps\Spiralux'
check SecondInstallKeepsFrameDelay equals "$(( $(reg_value $view "$settings" FrameDelay) ))" 5
check SecondInstallRecordsTheNewFolder equals "$(reg_value $view "$settings" InstFolder)" 'C:\Apps\Spiralux'
check PlayerIsInTheNewFolder same_file "$player" "$drive/Apps/Spiralux/SpiraMain.exe"
check TheOldFolderIsGone no_file "$folder_unix"
check AddRemoveEntryFollowsTheFolder arp_ok 'C:\Apps\Spiralux'

# 4. Spiralux as the current screen saver, then a silent uninstall.
run "$sys_win\\Spiralux.scr" /d
boot_saver() { sed -n 's/^SCRNSAVE.EXE=//Ip' "$drive/windows/system.ini" | tr -d '\r'; }
check DefaultModeMadeSpiraluxCurrent test -n "$(boot_saver)"
check SilentUninstallSucceeds run_to_the_end 'C:\Apps\Spiralux\Uninstall.exe' /S
check UninstallRemovesTheFiles no_file "$drive/Apps/Spiralux"
check UninstallRemovesTheSaver no_file "$sys_unix/Spiralux.scr"
check UninstallRemovesTheSettings reg_key_missing $view 'HKLM\Software\Spiralux'
check UninstallRemovesTheEntry reg_key_missing $view "$arp"
check UninstallClearsTheCurrentSaver test -z "$(boot_saver)"
check StandInNoLongerListsSpiralux test -z "$(listed | grep -i spiralux)"
# Nothing named for the product anywhere on the drive or in the registry
# files (written out when the prefix's server ends).
timeout 60 wineserver -k >/dev/null 2>&1
timeout 60 wineserver -w
leftovers() {
  local found
  found=$(find "$drive" -iname '*spira*'; grep -il 'spiralux\|spiramain' "$WINEPREFIX"/*.reg)
  [ -z "$found" ] || { echo "  left behind: $found" >&2; false; }
}
check NothingOfOursIsLeft leftovers

write_report
