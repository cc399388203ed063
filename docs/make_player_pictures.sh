#!/usr/bin/env bash
# The README's pictures of the player: a screenshot of SpiraMain.exe under
# Wine on a true-colour and on a 256-colour display (docs/player-truecolour.png,
# docs/player-256colours.png) and on a desktop of two monitors, a 1920 x 1080
# primary one with a 1080 x 1920 portrait one left of it
# (docs/player-monitors.png; the Wine tests' Xinerama stand-in reports them
# on one 3000 x 1920 display), each taken two seconds after it starts, and a
# two-second animation of its frames drawn by the native build
# (docs/player.gif, 20 frames a second).
# Usage: bash docs/make_player_pictures.sh [PRESET]
#   PRESET is the Windows build to show: win32 (the default) or win64 (for
#   a machine that cannot run 32-bit code).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/lib.sh
preset=${1:-win32}
wine=$(lib_wine_loader "$preset")

lib_build host playerframes || exit 1
lib_build "$preset" SpiraMain || exit 1
. scripts/winenv "$root/build/$preset" || exit 1

shoot() {  # display picture scale
  DISPLAY=$1 $wine "build/$preset/src/player/SpiraMain.exe" &
  local pid=$!
  DISPLAY=$1 lib_wait 60 xdotool search --name '^Spiralux$' >/dev/null 2>&1 ||
    { echo "no player window on $1"; kill "$pid"; exit 1; }
  sleep 2
  xwd -root -silent -display "$1" | convert xwd:- -resize "$3" "$2"
  # A move of the mouse ends the player (on any display, where a key needs
  # the input focus, which X may refuse to give without a window manager).
  DISPLAY=$1 xdotool mousemove_relative -- 40 0 sleep 0.5 mousemove_relative -- 40 0
  wait "$pid" || true
  echo "wrote $2"
}
shoot "$DISPLAY" docs/player-truecolour.png 50%
shoot "$SPIRALUX_DISPLAY_8BIT" docs/player-256colours.png 50%

# Wine reads the monitors from Xinerama when its session starts with
# UseXRandR = N.
bits="32 64"; [ "$preset" = win64 ] && bits=64
lib_xinerama build/xinerama $bits || exit 1
lib_xvfb 24 3000x1920 160 || exit 1
x11='HKCU\Software\Wine\X11 Driver'
$wine reg add "$x11" /v UseXRandR /t REG_SZ /d N /f >/dev/null
wineserver -k; wineserver -w
(
  export SPIRALUX_MONITORS="1920x1080+1080+0 1080x1920+0+0" LD_LIBRARY_PATH=$LIB_XINERAMA_PATH
  shoot "$LIB_DISPLAY" docs/player-monitors.png 25%
)
$wine reg delete "$x11" /v UseXRandR /f >/dev/null
wineserver -k; wineserver -w

frames=$(mktemp -d)
trap 'rm -rf "$frames"; lib_stop' EXIT
build/host/tools/playerframes/playerframes 400 225 6 0.05 40 "$frames/f"
convert -delay 5 -loop 0 "$frames"/f*.ppm -layers Optimize docs/player.gif
echo "wrote docs/player.gif"
