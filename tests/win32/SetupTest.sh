#!/usr/bin/env bash
# The setup program and its uninstaller under Wine, in a fresh prefix of
# their own: a folder that holds other software is refused, silently and on
# the folder page, and left as it was; a silent install puts every file and
# value in place and asks for the folder's administrators-only DACL;
# Spiralux.scr /s from the system folder starts the installed player; a
# second install into another folder, while the player runs, ends it, keeps
# FrameDelay and leaves another product's file in the old folder; a silent
# uninstall, while a preview runs, ends it and leaves nothing of ours but
# leaves that file; Greek and Japanese folder names work end to end; a file
# in use at the uninstall goes at the restart.
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
# Folder names in Greek and Japanese reach Wine in UTF-8.
export LC_ALL=C.UTF-8
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
# The setup program, silently, into FOLDER or its default one. /D= takes
# the rest of the command line, unquoted: cmd passes it on as written, where
# Wine would quote an argument with blanks. Wine's server requests go to
# TRACE.
# TRACE, which the prefix's server writes from its start: it is started
# for the install and ended after it, so nothing may run then.
setup_silently() {  # [folder] [trace]
  local debug=-all log=/dev/null rc
  [ -n "${2:-}" ] && debug=+server log=$2 && stop_server
  WINEDEBUG=$debug timeout 300 "$wine" cmd /c "Z:${setup_exe//\//\\} /S${1:+ /D=$1}" >/dev/null 2>"$log"
  rc=$?
  [ -n "${2:-}" ] && stop_server
  return $rc
}
stop_server() { timeout 60 wineserver -k >/dev/null 2>&1; timeout 60 wineserver -w; }
# The processes of this prefix whose command line matches PATTERN (grep -E,
# any case).
prefix_pids() {  # pattern
  local pid
  for pid in $(pgrep -f .); do
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
      tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline" | grep -Eqi -- "$1" && echo "$pid"
  done
}
none_runs() { [ -z "$(prefix_pids "$1")" ]; }
# The uninstaller goes on in a copy of itself (~nsuN.tmp\Un.exe) after its
# first process ends: wait until that copy has ended too.
run_to_the_end() {
  run "$@"
  local rc=$?
  lib_wait 120 none_runs '~nsu[^ ]*Un\.exe'
  return $rc
}
# reg.exe of the prefix in registry view 32 or 64: the values of a key as
# "name<TAB>data" lines (a number as 0x...), or nothing when the key is
# missing. Exported, as UTF-16: its query prints in the OEM code page.
reg_values() {  # view key
  rm -f "$work/values.reg"
  "$wine" reg export "$2" "Z:$work/values.reg" /y /reg:"$1" >/dev/null 2>&1 || return 0
  iconv -f UTF-16 -t UTF-8 "$work/values.reg" | tr -d '\r' |
    sed -n -e 's/^"\([^"]*\)"=dword:\(.*\)$/\1\t0x\2/p' -e 's/^"\([^"]*\)"="\(.*\)"$/\1\t\2/p' |
    sed 's/\\\(.\)/\1/g'
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
ends_within() {  # pid seconds
  local end=$((SECONDS + $2))
  while kill -0 "$1" 2>/dev/null; do [ $SECONDS -ge $end ] && return 1; sleep 0.5; done
}
# The key goes to the focused window: focus first, as clicking would.
press_in() {  # window key...
  local w=$1
  shift
  for _ in 1 2 3; do timeout 10 xdotool windowfocus --sync "$w" 2>/dev/null && break; sleep 1; done
  xdotool key --window "$w" "$@"
}
# Starts a Windows program in the background ($started) and waits up to a
# minute for its visible window named TITLE ($shown; empty when none came).
start_showing() {  # title command...
  local title=$1
  shift
  "$wine" "$@" >/dev/null 2>&1 &
  started=$!
  shown=""
  lib_wait 60 eval 'shown=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -1); [ -n "$shown" ]'
}
# FOLDER holds exactly NAMES.
holds() {  # folder names...
  local folder=$1
  shift
  equals "$(ls -A "$folder" 2>&1 | sort)" "$(printf '%s\n' "$@" | sort)"
}

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
nothing_recorded() {
  reg_key_missing $view 'HKLM\Software\Spiralux' && reg_key_missing $view "$arp"
}

# 1. Folders that hold other software, and a foreign Spiralux.scr in the
# system folder: each is refused (exit code 2), nothing in them changes and
# nothing is recorded. Rows: name|folder|its foreign files (paths on drive
# C:, @sys@ the system folder).
refusals=(
  'OtherProductsFolder|C:\Program Files\OtherApp|Program Files/OtherApp/Uninstall.exe;Program Files/OtherApp/OtherApp.dll'
  'FolderOfFolders|C:\Data|Data/Notes/todo.txt'
  'ForeignSaver|C:\Fresh|@sys@/Spiralux.scr'
)
# The files and folders under PATHS (on drive C:), with their contents.
state_of() {  # paths...
  (cd "$drive" && find "$@" 2>&1 | sort && find "$@" -type f -exec md5sum {} + 2>&1 | sort)
}
for row in "${refusals[@]}"; do
  IFS='|' read -r name folder files <<<"$row"
  files=${files//@sys@/${sys_unix#"$drive/"}}
  IFS=';' read -ra files <<<"$files"
  top=${folder#C:\\}
  top=${top//\\//}
  for f in "${files[@]}"; do
    mkdir -p "$drive/$(dirname "$f")"
    echo "$name: not Spiralux's" >"$drive/$f"
  done
  before=$(state_of "$top" "${files[@]}")
  setup_silently "$folder"
  check "Refuses$name" equals "$?" 2
  check "${name}StaysAsItWas" equals "$(state_of "$top" "${files[@]}")" "$before"
  check "${name}RecordsNothing" nothing_recorded
  rm -rf "$drive/$top" "${files[@]/#/$drive/}"
done

# The folder page, as a person uses it: a typed folder of another product
# brings a message, and the page stays; cancelling installs nothing.
mkdir -p "$drive/OtherApp"
echo "another product" >"$drive/OtherApp/Uninstall.exe"
# The page's caption ends in a blank, a message box's does not.
start_showing '^Spiralux 1\.0 Setup $' "Z:$setup_exe"
setup_pid=$started page=$shown
setup_window() { xdotool search --onlyvisible --name "^Spiralux 1\.0 Setup$1\$" 2>/dev/null | head -1; }
# The folder field has the focus: its text is replaced, then Install.
if [ -n "$page" ]; then
  press_in "$page" End shift+Home
  xdotool type --window "$page" 'C:\OtherApp'
  xdotool key --window "$page" Return
fi
refused_on_the_page() {
  lib_wait 30 eval '[ -n "$(setup_window "")" ]' || { echo "  no message" >&2; return 1; }
  press_in "$(setup_window "")" Return
  lib_wait 30 eval '[ -z "$(setup_window "")" ]' && [ -n "$(setup_window " ")" ]
}
check FolderPageRefusesATypedForeignFolder refused_on_the_page
# Cancel, and Yes to the question about quitting.
cancelled_untouched() {
  [ -n "$page" ] && press_in "$page" Escape &&
    lib_wait 30 eval '[ -n "$(setup_window "")" ]' && press_in "$(setup_window "")" Return &&
    ends_within "$setup_pid" 30 && holds "$drive/OtherApp" Uninstall.exe && nothing_recorded
}
check FolderPageLeavesTheForeignFolderAlone cancelled_untouched
kill "$setup_pid" 2>/dev/null
rm -rf "$drive/OtherApp"

# 2. A silent install into the default folder.
trace=$work/server.trace
# The DACL that the setup program asked for, on the folder itself (Wine's
# server trace: the folder opened, then its security set on that handle),
# is the protected one of SYSTEM, Administrators (full control), Users
# (read and execute) and CREATOR OWNER (full control, on what is created
# inside), each inherited by files and folders. Wine does not keep it, and
# adds its own inherited entries after these; Windows would not.
folder_dacl='{type=ACCESS_ALLOWED,flags=3,mask=1f01ff,sid=S-1-5-18},{type=ACCESS_ALLOWED,flags=3,mask=1f01ff,sid=S-1-5-32-544},{type=ACCESS_ALLOWED,flags=3,mask=1200a9,sid=S-1-5-32-545},{type=ACCESS_ALLOWED,flags=b,mask=10000000,sid=S-1-3-0}'
asked_for_folder_dacl() {  # folder
  local name dacl
  name=$(printf '%s' "\\??\\$1" | sed 's/\\/\\\\/g')
  dacl=$(NAME=$name awk '
    index($0, "create_file(") && index($0, "name=L\"" ENVIRON["NAME"] "\"") { thread = $1; opening = 1; next }
    opening && $1 == thread && /create_file\(\) = 0 / { handle = $0; sub(/.*handle=/, "", handle); sub(/ .*/, "", handle); opening = 0; next }
    handle != "" && index($0, "set_security_object( handle=" handle ", security_info=80000004,") { sub(/.*dacl=\{/, ""); print; exit }
  ' "$trace")
  case $dacl in
    "$folder_dacl}"* | "$folder_dacl,{type=ACCESS_ALLOWED,flags=1"*) ;;
    *) echo "  DACL asked for $1: ${dacl:-none}" >&2; false ;;
  esac
}
check SilentInstallSucceeds setup_silently "" "$trace"
check InstallAsksForTheFolderDacl asked_for_folder_dacl "$folder_win"
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

# 3. Saver mode as Windows starts it, from the system folder: the installed
# player's window appears, a key ends it, and Spiralux.scr, which waits for
# the player, ends with it.
start_saver() {
  start_showing '^Spiralux$' "$sys_win\\Spiralux.scr" /s
  scr=$started player_window=$shown
}
# Wine names a program's Unix process after its Windows path.
installed_player_runs() {  # folder
  [ -n "$player_window" ] || { echo "  no player window" >&2; return 1; }
  local pid
  pid=$(xdotool getwindowpid "$player_window") &&
    tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qiF "$1\\SpiraMain.exe" ||
    { echo "  player process: $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)" >&2; false; }
}
start_saver
check SaverModeStartsTheInstalledPlayer installed_player_runs "$folder_win"
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
start_stand_in() {  # arguments...
  start_showing '^Display Properties$' "Z:$dispprops" "$@"
  stand_in=$started window=$shown
}
start_stand_in Recorder.scr
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
start_stand_in /inproc Spiralux.scr
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

# 4. The user's speed, another product's file in the installation folder,
# the player running; then a second install into another folder (outside
# Program Files). It ends the player, moves our files and leaves that file
# and its folder.
"$wine" reg add "$settings" /v FrameDelay /t REG_DWORD /d 5 /f /reg:$view >/dev/null 2>&1
echo "another product" >"$folder_unix/notes.txt"
start_saver
check SecondInstallSucceeds setup_silently 'C:\Apps\Spiralux'
player_ended() { ends_within "$scr" 30 && [ -z "$(xdotool search --name '^Spiralux$' 2>/dev/null)" ]; }
check SecondInstallEndsTheRunningPlayer player_ended
kill "$scr" 2>/dev/null
check SecondInstallKeepsFrameDelay equals "$(( $(reg_value $view "$settings" FrameDelay) ))" 5
check SecondInstallRecordsTheNewFolder equals "$(reg_value $view "$settings" InstFolder)" 'C:\Apps\Spiralux'
check PlayerIsInTheNewFolder same_file "$player" "$drive/Apps/Spiralux/SpiraMain.exe"
check TheOldFolderKeepsOnlyTheForeignFile holds "$folder_unix" notes.txt
check AddRemoveEntryFollowsTheFolder arp_ok 'C:\Apps\Spiralux'
rm -rf "$folder_unix"

# 5. Spiralux as the current screen saver, the user's own speed, another
# product's file in the folder and a preview running in the stand-in; then
# a silent uninstall.
run "$sys_win\\Spiralux.scr" /d
boot_saver() { sed -n 's/^SCRNSAVE.EXE=//Ip' "$drive/windows/system.ini" | tr -d '\r'; }
check DefaultModeMadeSpiraluxCurrent test -n "$(boot_saver)"
"$wine" reg add 'HKCU\Software\Spiralux\1.0' /v FrameDelay /t REG_DWORD /d 9 /f >/dev/null 2>&1
echo "another product" >"$drive/Apps/Spiralux/notes.txt"
preview='Spiralux\.scr.* /p'
start_stand_in Spiralux.scr
check PreviewRunsBeforeTheUninstall lib_wait 60 eval '! none_runs "$preview"'
check SilentUninstallSucceeds run_to_the_end 'C:\Apps\Spiralux\Uninstall.exe' /S
check UninstallEndsThePreview none_runs "$preview"
check UninstallLeavesOnlyTheForeignFile holds "$drive/Apps/Spiralux" notes.txt
check UninstallRemovesTheSaver no_file "$sys_unix/Spiralux.scr"
check UninstallRemovesTheSettings reg_key_missing $view 'HKLM\Software\Spiralux'
check UninstallRemovesTheUsersSpeed reg_key_missing $view 'HKCU\Software\Spiralux'
check UninstallRemovesTheEntry reg_key_missing $view "$arp"
check UninstallClearsTheCurrentSaver test -z "$(boot_saver)"
check StandInNoLongerListsSpiralux test -z "$(listed | grep -i spiralux)"
kill "$stand_in" 2>/dev/null
rm -rf "$drive/Apps"

# 6. Folder names outside the ANSI code page, end to end: installed there,
# the saver starts the player from there, the uninstall removes it.
for row in 'Greek|C:\Σπιράλ Λούξ' 'Japanese|C:\スパイラルックス'; do
  IFS='|' read -r name folder <<<"$row"
  check "InstallsInto${name}Folder" setup_silently "$folder"
  check "Records${name}Folder" equals "$(reg_value $view "$settings" InstFolder)" "$folder"
  start_saver
  check "SaverModeStartsThePlayerIn${name}Folder" installed_player_runs "$folder"
  [ -n "$player_window" ] && press_in "$player_window" space
  ends_within "$scr" 30 || kill "$scr" 2>/dev/null
  run_to_the_end "$folder\\Uninstall.exe" /S
  check "UninstallRemoves${name}Folder" no_file "$drive/${folder#C:\\}"
done

# 7. An install outside Program Files, which gets the same DACL. Then a
# file in use at the uninstall (the saver, held open by another program;
# the uninstaller itself, run in place with _?=): it goes at the restart,
# with its folder after it, and the exit code says so: 3010, which reaches
# Linux as its low byte.
check InstallsIntoAFolderOfItsOwn setup_silently 'C:\Spiralux' "$trace"
check ThatFolderGetsTheDaclToo asked_for_folder_dacl 'C:\Spiralux'
"$wine" cmd /c "ping -n 600 127.0.0.1 > nul < $sys_win\\Spiralux.scr" >/dev/null 2>&1 &
holder=$!
lib_wait 30 eval '! none_runs "ping\.exe"'
run 'C:\Spiralux\Uninstall.exe' /S '_?=C:\Spiralux'
check UninstallInUseAsksForTheRestart equals "$?" $((3010 % 256))
pending() {
  "$wine" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null |
    tr -d '\r' | sed 's/\\0/\n/g' | sed -n 's/^.*\\??\\//p' | grep -iE 'spira|uninstall'
}
waits_for_restart() {
  holds "$drive/Spiralux" Uninstall.exe && test -f "$sys_unix/Spiralux.scr" &&
    equals "$(pending | tr 'A-Z' 'a-z')" "$(printf '%s\n' "$sys_win\\spiralux.scr" 'c:\spiralux\uninstall.exe' 'c:\spiralux\' | tr 'A-Z' 'a-z')"
}
check UninstallInUseLeavesThemForTheRestart waits_for_restart
kill "$holder" 2>/dev/null
# A restart: every program ends, and Wine's boot does what waits for it.
stop_server
timeout 120 "$wine" wineboot -r >/dev/null 2>&1
check TheRestartRemovesTheSaver no_file "$sys_unix/Spiralux.scr"
check TheRestartRemovesTheFolder no_file "$drive/Spiralux"

# Nothing named for the product anywhere on the drive or in the registry
# files (written out when the prefix's server ends).
stop_server
leftovers() {
  local found
  found=$(find "$drive" -iname '*spira*'; grep -il 'spiralux\|spiramain' "$WINEPREFIX"/*.reg)
  [ -z "$found" ] || { echo "  left behind: $found" >&2; false; }
}
check NothingOfOursIsLeft leftovers

write_report
