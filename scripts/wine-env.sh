# Sourced by the run, test, benchmark and screenshot scripts (with
# MURKEL_ROOT set): picks, once, the Windows build and the Wine this machine
# can run. Where it executes 32-bit programs, the 32-bit build (the program
# we ship) runs under the 32-bit Wine; elsewhere the x86-64 build runs under
# the 64-bit Wine. MURKEL_WINE_BITS=32|64 forces one. Then: a Wine of our own
# with the code page 932 locale, and a display (Xvfb when none is there).
can_run_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

if [ -z "${MURKEL_WINE_BITS:-}" ]; then
  if can_run_32bit; then MURKEL_WINE_BITS=32; else MURKEL_WINE_BITS=64; fi
fi
case "$MURKEL_WINE_BITS" in
  32)
    if ! can_run_32bit; then
      echo "MURKEL_WINE_BITS=32, but this machine cannot run the 32-bit Wine" >&2
      return 1
    fi
    MURKEL_WIN_BUILD=build/win32
    MURKEL_WIN_TOOLCHAIN=cmake/mingw-i686.cmake
    MURKEL_WINE_ABOUT="the 32-bit build under the 32-bit Wine"
    export WINEARCH=win32
    export WINEPREFIX=${WINEPREFIX:-$MURKEL_ROOT/build/wineprefix}
    ;;
  64)
    MURKEL_WIN_BUILD=build/win64
    MURKEL_WIN_TOOLCHAIN=cmake/mingw-x86_64.cmake
    MURKEL_WINE_ABOUT="the x86-64 build under the 64-bit Wine"
    # wine, wineserver, wineboot and winepath of the 64-bit Wine come first.
    export PATH="$MURKEL_ROOT/scripts/wine64:$PATH"
    export WINEARCH=win64
    export WINEPREFIX=${WINEPREFIX:-$MURKEL_ROOT/build/wineprefix64}
    export WINELOADER=/usr/lib/wine/wine64
    export WINESERVER=/usr/lib/wine/wineserver64
    ;;
  *)
    echo "MURKEL_WINE_BITS must be 32 or 64, not '$MURKEL_WINE_BITS'" >&2
    return 1
    ;;
esac
export MURKEL_WINE_BITS MURKEL_WIN_BUILD MURKEL_WIN_TOOLCHAIN MURKEL_WINE_ABOUT
export LC_ALL=ja_JP.UTF-8
export LANG=ja_JP.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Configures and builds one Windows build: build_windows 32|64 [cmake --build
# args...]. Warnings are errors, so that neither build rots unseen.
build_windows() {
  local bits=$1 toolchain
  shift
  case "$bits" in
    32) toolchain=cmake/mingw-i686.cmake ;;
    64) toolchain=cmake/mingw-x86_64.cmake ;;
  esac
  cmake -S "$MURKEL_ROOT" -B "$MURKEL_ROOT/build/win$bits" -DCMAKE_TOOLCHAIN_FILE="$MURKEL_ROOT/$toolchain" \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DMURKEL_OCR_ROOT="$(bash "$MURKEL_ROOT/scripts/build-ocr-deps.sh" --prefix)" \
    >/dev/null &&
    cmake --build "$MURKEL_ROOT/build/win$bits" -j2 "$@"
}

# A display of 1280 x 1024, or MURKEL_XVFB_SCREEN (WIDTHxHEIGHTxDEPTH).
start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
  # The server picks a free display itself and writes its number once it
  # accepts clients: no race with other servers starting on this machine.
  local number_file log n
  number_file=$(mktemp) log=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${MURKEL_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp 3>"$number_file" 2>"$log" &
  MURKEL_XVFB_PID=$!
  for _ in $(seq 600); do  # up to a minute on a busy machine
    n=$(head -n 1 "$number_file")
    if [ -n "$n" ]; then
      export DISPLAY=:$n
      if xdpyinfo >/dev/null 2>&1; then
        rm -f "$number_file" "$log"
        return
      fi
    fi
    kill -0 "$MURKEL_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "could not start Xvfb:" >&2
  cat "$log" >&2
  kill "$MURKEL_XVFB_PID" 2>/dev/null
  rm -f "$number_file" "$log"
  return 1
}

# For an EXIT trap: the Wine server and the Xvfb that start_xvfb started go
# with the script (an Xvfb left behind keeps the script's output open).
stop_wine_and_xvfb() {
  wineserver -k 2>/dev/null || true
  if [ -n "${MURKEL_XVFB_PID:-}" ]; then kill "$MURKEL_XVFB_PID" 2>/dev/null || true; fi
}

init_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
}
