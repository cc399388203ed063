#!/usr/bin/env bash
# The player's speed: one frame drawn and put on the screen by the Windows
# program under Wine, on a true-colour and on a 256-colour display of the
# given size, beside the same frames drawn by the native build; then 10
# seconds of playing at the default frame delay: the processor time, its
# share of one core, the frames drawn and dropped.
# Usage: bash bench/player_wine.sh [SIZE] [PRESET]
#   SIZE is the displays' size, 1920x1080 (the default) or 3840x2160.
#   PRESET is the Windows build to time: win32 (the shipped i686 program,
#   the default) or win64 (for a machine that cannot run 32-bit code).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/lib.sh
size=1920x1080
preset=win32
for arg in "$@"; do
  case $arg in
    [0-9]*x[0-9]*) size=$arg ;;
    *) preset=$arg ;;
  esac
done
wine=$(lib_wine_loader "$preset")

lib_build bench PlayerBench || exit 1
lib_build "$preset" PlayerWineBench || exit 1

lib_xvfb 24 "$size" 140 || exit 1
export DISPLAY=$LIB_DISPLAY
xpid=${lib_xvfb_pids[0]}
lib_xvfb 8 "$size" 140 || exit 1
export SPIRALUX_DISPLAY_8BIT=$LIB_DISPLAY
. scripts/winenv "$root/build/$preset" || exit 1

echo "== native renderer (build/bench/bench/PlayerBench)"
build/bench/bench/PlayerBench --benchmark_filter="$size" --benchmark_min_time=1
program="build/$preset/bench/PlayerWineBench.exe"
for display in "$DISPLAY" "$SPIRALUX_DISPLAY_8BIT"; do
  echo "== $preset program under Wine on $display"
  # (Wine may report an X error as the window goes; the figures are out by then.)
  DISPLAY=$display $wine "$program" frames 200 2>&1 | tr -d '\r' | grep -v '^ \|^X Error' || true
done
echo "== $preset program under Wine on $DISPLAY, Xvfb's processor time beside it"
before=$(awk '{print $14 + $15}' "/proc/$xpid/stat")
$wine "$program" cpu 10 | tr -d '\r'
after=$(awk '{print $14 + $15}' "/proc/$xpid/stat")
echo "Xvfb: processor $(( (after - before) * 1000 / $(getconf CLK_TCK) )) ms over the same 10 s"
