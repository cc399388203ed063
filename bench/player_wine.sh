#!/usr/bin/env bash
# The player's speed: one 1920 x 1080 frame drawn and put on the screen by
# the Windows program under Wine, on a true-colour and on a 256-colour
# display, beside the same frames drawn by the native build; then the
# processor time of 10 seconds of playing at the default frame delay.
# Usage: bash bench/player_wine.sh [PRESET]
#   PRESET is the Windows build to time: win32 (the shipped i686 program,
#   the default) or win64 (for a machine that cannot run 32-bit code).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
preset=${1:-win32}
wine=wine
[ "$preset" = win64 ] && wine=/usr/lib/wine/wine64

cmake --preset bench >/dev/null && cmake --build build/bench --target PlayerBench >/dev/null
cmake --preset "$preset" >/dev/null && cmake --build "build/$preset" --target PlayerWineBench >/dev/null

free_display() {
  local n=$1
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  echo "$n"
}
pids=()
start_display() {  # depth -> sets DISPLAY_NOW
  local n
  n=$(free_display 140)
  Xvfb ":$n" -screen 0 "1920x1080x$1" -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  DISPLAY_NOW=":$n"
}
start_display 24; export DISPLAY=$DISPLAY_NOW
start_display 8; export SPIRALUX_DISPLAY_8BIT=$DISPLAY_NOW
. scripts/winenv "$root/build/$preset"
trap 'winenv_stop; kill "${pids[@]}" 2>/dev/null || true' EXIT

echo "== native renderer (build/bench/bench/PlayerBench)"
build/bench/bench/PlayerBench --benchmark_filter='1920x1080' --benchmark_min_time=1
program="build/$preset/bench/PlayerWineBench.exe"
for display in "$DISPLAY" "$SPIRALUX_DISPLAY_8BIT"; do
  echo "== $preset program under Wine on $display"
  # (Wine may report an X error as the window goes; the figures are out by then.)
  DISPLAY=$display $wine "$program" frames 200 2>&1 | tr -d '\r' | grep -v '^ \|^X Error' || true
done
echo "== $preset program under Wine on $DISPLAY, Xvfb's processor time beside it"
xpid=${pids[0]}
before=$(awk '{print $14 + $15}' "/proc/$xpid/stat")
$wine "$program" cpu 10 | tr -d '\r'
after=$(awk '{print $14 + $15}' "/proc/$xpid/stat")
echo "Xvfb: processor $(( (after - before) * 1000 / $(getconf CLK_TCK) )) ms over the same 10 s"
