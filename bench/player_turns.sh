#!/usr/bin/env bash
# Two builds of the player's Wine benchmark timed in turns, so that the load
# of a shared machine falls on both alike: for before-and-after figures.
# Usage: bash bench/player_turns.sh OLD.exe NEW.exe [ROUNDS] [SIZE]
#   OLD.exe and NEW.exe are PlayerWineBench.exe of two trees of the same
#   preset (for example a worktree of the base commit and this one, both
#   built with lib_build win32 PlayerWineBench); ROUNDS (3) rounds of 200
#   frames each on a true-colour and a 256-colour display of SIZE
#   (1920x1080). Prints a line per round and display, old and new in turns.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/lib.sh
[ $# -ge 2 ] || { echo "usage: bash bench/player_turns.sh OLD.exe NEW.exe [ROUNDS] [SIZE]" >&2; exit 2; }
old=$(realpath "$1") new=$(realpath "$2") rounds=${3:-3} size=${4:-1920x1080}
wine=wine
case $old in *win64*) wine=$(lib_wine_loader win64) ;; esac
trap lib_stop EXIT
lib_xvfb 24 "$size" 140 || exit 1
deep=$LIB_DISPLAY
lib_xvfb 8 "$size" 140 || exit 1
palette=$LIB_DISPLAY
. scripts/winenv "$root/build/win32" >/dev/null || exit 1
for round in $(seq "$rounds"); do
  for build in old new; do
    program=$old
    [ $build = new ] && program=$new
    for display in "$deep" "$palette"; do
      line=$(DISPLAY=$display $wine "$program" frames 200 2>&1 | tr -d '\r' | grep 'drawn' || true)
      echo "round $round, $build: ${line:-no figures}"
    done
  done
done
