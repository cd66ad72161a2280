# Sourced by the run and test scripts: a Wine of our own with the code page
# 932 locale, and a display (Xvfb when none is there).
export LC_ALL=ja_JP.UTF-8
export LANG=ja_JP.UTF-8
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEPREFIX=${WINEPREFIX:-$MURKEL_ROOT/build/wineprefix}

start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
  local n pid
  for n in $(seq 99 -1 80); do
    if [ -e /tmp/.X$n-lock ]; then
      pid=$(tr -d ' ' </tmp/.X$n-lock 2>/dev/null)
      if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then continue; fi
      rm -f /tmp/.X$n-lock /tmp/.X11-unix/X$n  # left by a server that is gone
    fi
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    MURKEL_XVFB_PID=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do
      xdpyinfo >/dev/null 2>&1 && return
      kill -0 "$MURKEL_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
  done
  echo "could not start Xvfb" >&2
  return 1
}

init_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
}
