#!/usr/bin/env bash
# The README's pictures of the player: a screenshot of SpiraMain.exe under
# Wine on a true-colour and on a 256-colour display (docs/player-truecolour.png,
# docs/player-256colours.png), taken two seconds after it starts, and a
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

shoot() {  # display picture
  DISPLAY=$1 $wine "build/$preset/src/player/SpiraMain.exe" &
  local pid=$! window=""
  DISPLAY=$1 lib_wait 60 xdotool search --name '^Spiralux$' >/dev/null 2>&1 ||
    { echo "no player window on $1"; kill "$pid"; exit 1; }
  window=$(DISPLAY=$1 xdotool search --name '^Spiralux$' | head -1)
  sleep 2
  xwd -root -silent -display "$1" | convert xwd:- -resize 50% "$2"
  DISPLAY=$1 xdotool windowfocus --sync "$window" key Escape
  wait "$pid" || true
  echo "wrote $2"
}
shoot "$DISPLAY" docs/player-truecolour.png
shoot "$SPIRALUX_DISPLAY_8BIT" docs/player-256colours.png

frames=$(mktemp -d)
trap 'rm -rf "$frames"; lib_stop' EXIT
build/host/tools/playerframes/playerframes 400 225 6 0.05 40 "$frames/f"
convert -delay 5 -loop 0 "$frames"/f*.ppm -layers Optimize docs/player.gif
echo "wrote docs/player.gif"
