# Sourced by the project's scripts: the helpers they share. Sourcing it
# defines functions and changes nothing else.
#
#   lib_build PRESET [TARGET...]  configures PRESET into build/PRESET and
#                                 builds it (or the targets), the output in
#                                 build/PRESET.log; on failure prints the
#                                 log's end and returns non-zero
#   lib_wine32                    true when Wine can start 32-bit programs:
#                                 the kernel runs 32-bit code
#   lib_windows_preset            win32 where lib_wine32, else win64
#   lib_wine_loader PRESET        the Wine loader for a preset's programs
#   lib_xvfb DEPTH [SIZE] [FROM]  starts Xvfb (SIZE 1024x768 by default) on
#                                 the first free display from FROM (90) and
#                                 sets LIB_DISPLAY to ":N"
#   lib_prefix [LOADER]           makes the Wine prefix $WINEPREFIX when it
#                                 does not exist yet, with Wine's own fonts
#   lib_wait SECONDS COMMAND...   runs COMMAND every 0.2 s until it succeeds;
#                                 false when SECONDS pass first
#   lib_xinerama DIR BITS...      builds the Xinerama stand-in of the Wine
#                                 tests (tests/win32/XineramaLayout.c) as
#                                 DIR/BITS/libXinerama.so.1 for each BITS
#                                 (64, and 32 for Wine's i386 side) and sets
#                                 LIB_XINERAMA_PATH to those folders (as
#                                 absolute paths), the LD_LIBRARY_PATH that
#                                 puts it in the real library's place
#   lib_stop                      ends the Wine prefix's wineserver and every
#                                 Xvfb that lib_xvfb started
#
# Paths are relative to the repository's top folder, the scripts' working
# folder.

# Kept when the file is sourced again (scripts/winenv sources it too).
declare -p lib_xvfb_pids >/dev/null 2>&1 || lib_xvfb_pids=()

lib_build() {  # preset [target...]
  local preset=$1 log=build/$1.log targets=()
  shift
  [ $# -gt 0 ] && targets=(--target "$@")
  mkdir -p build
  if ! { cmake --preset "$preset" && cmake --build "build/$preset" "${targets[@]}"; } >"$log" 2>&1; then
    tail -40 "$log"
    echo "$preset: build failed (whole log: $log)" >&2
    return 1
  fi
}

lib_wine32() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

lib_windows_preset() { if lib_wine32; then echo win32; else echo win64; fi; }

lib_wine_loader() {  # preset
  case $1 in
    *win64) echo /usr/lib/wine/wine64 ;;
    *) echo wine ;;
  esac
}

lib_wait() {  # seconds command...
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.2
  done
}

lib_xinerama() {  # dir bits...
  local dir bits flag
  dir=$(realpath -m "$1")  # Wine's programs run in folders of their own
  shift
  LIB_XINERAMA_PATH=
  for bits in "$@"; do
    flag=; [ "$bits" = 32 ] && flag=-m32
    mkdir -p "$dir/$bits"
    cc -shared -fPIC -nostdlib -O2 $flag -Wl,-soname,libXinerama.so.1 -o "$dir/$bits/libXinerama.so.1" \
      tests/win32/XineramaLayout.c || return 1
    LIB_XINERAMA_PATH=${LIB_XINERAMA_PATH:+$LIB_XINERAMA_PATH:}$dir/$bits
  done
}

# Wine's 32-bit side on Debian does not find Wine's own fonts (fonts-wine:
# "MS Sans Serif", Marlett, Tahoma) in its data folder, where the 64-bit
# side does: a new prefix gets them in its Fonts folder, so that programs of
# either kind draw the same text.
lib_prefix() {  # [wine loader]
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  mkdir -p "$WINEPREFIX"
  timeout 300 "${1:-wine}" wineboot -i >/dev/null 2>&1 || true
  timeout 300 wineserver -w || true
  if [ -d "$WINEPREFIX/drive_c/windows/Fonts" ] && [ -d /usr/share/wine/fonts ]; then
    cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
}

lib_free_display() {  # first number -> the first free one from it
  local n=$1
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  echo "$n"
}

# Another server may take the same number at the same moment: then the next
# free one is tried, five times at most. The socket appears once the server
# listens (up to 20 s on a loaded machine).
lib_xvfb() {  # depth [size] [first display number]
  local depth=$1 size=${2:-1024x768} n=${3:-90} pid try
  for try in 1 2 3 4 5; do
    n=$(lib_free_display "$n")
    Xvfb ":$n" -screen 0 "${size}x$depth" -nolisten tcp >/dev/null 2>&1 &
    pid=$!
    lib_wait 20 lib_xvfb_up "$n" "$pid"
    if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$pid" 2>/dev/null; then
      lib_xvfb_pids+=("$pid")
      LIB_DISPLAY=":$n"
      return 0
    fi
    kill "$pid" 2>/dev/null
    n=$((n + 1))
  done
  echo "lib: Xvfb ${size}x$depth did not start" >&2
  return 1
}
lib_xvfb_up() {  # number pid: up, or the server is gone
  [ -e "/tmp/.X11-unix/X$1" ] || ! kill -0 "$2" 2>/dev/null
}

lib_stop() {
  wineserver -k >/dev/null 2>&1 || true
  local p
  for p in "${lib_xvfb_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  lib_xvfb_pids=()
}
