#!/usr/bin/env bash
# What a long run of the player holds: SpiraMain.exe plays for 10 minutes on
# a 1920 x 1080 display of each depth (true colour, then 256 colours) under
# Wine, sampled every 10 seconds from outside by PlayerWatch: private bytes,
# GDI and USER objects and handles, each with its first and last value and
# its largest growth over the first. A benchmark, not a test: it takes 20
# minutes.
# Usage: bash bench/player_leaks.sh [SECONDS] [PRESET]
#   SECONDS of playing per depth (600 by default); PRESET is the Windows
#   build to watch: win32 (the shipped i686 program, the default) or win64
#   (for a machine that cannot run 32-bit code).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/lib.sh
seconds=${1:-600}
preset=${2:-win32}
wine=$(lib_wine_loader "$preset")

lib_build "$preset" SpiraMain PlayerWatch || exit 1
lib_xvfb 24 1920x1080 140 || exit 1
export DISPLAY=$LIB_DISPLAY
lib_xvfb 8 1920x1080 140 || exit 1
export SPIRALUX_DISPLAY_8BIT=$LIB_DISPLAY
. scripts/winenv "$root/build/$preset" || exit 1

for display in "$DISPLAY" "$SPIRALUX_DISPLAY_8BIT"; do
  echo "== $preset SpiraMain.exe for $seconds s on $display ($(DISPLAY=$display xdpyinfo | awk '/depth of root/ {print $5}') bits)"
  DISPLAY=$display $wine "build/$preset/bench/PlayerWatch.exe" \
    "Z:$root/build/$preset/src/player/SpiraMain.exe" "$seconds" 10 2>&1 | tr -d '\r' | grep -v '^X Error\|^ ' || true
done
