# Sourced: starts what the Windows tests need and stops it again when the sourcing shell exits.
#  - an Xvfb display of our own on a free number, unless ZAN_USE_DISPLAY=1 keeps $DISPLAY;
#  - the project's Wine prefix under build/, created on first use;
#  - a wineserver for that prefix, kept alive for the session so each test starts quickly.
# Only what was started here is stopped, by PID or through this prefix's own wineserver.

zan_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=$zan_root/build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
zan_xvfb_pid=

zan_session_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$zan_xvfb_pid" ]; then
    kill "$zan_xvfb_pid" 2>/dev/null || true
    wait "$zan_xvfb_pid" 2>/dev/null || true
    zan_xvfb_pid=
  fi
}

zan_free_display() {
  local n
  for n in $(seq 91 199); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      echo "$n"
      return 0
    fi
  done
  return 1
}

zan_session_start() {
  if [ "${ZAN_USE_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
    local n tries
    for tries in 1 2 3; do
      n=$(zan_free_display) || { echo "no free X display number" >&2; return 1; }
      # -noreset keeps a keyboard layout set with setxkbmap after its client disconnects.
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
      zan_xvfb_pid=$!
      local i
      for i in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        kill -0 "$zan_xvfb_pid" 2>/dev/null || break
        sleep 0.1
      done
      if kill -0 "$zan_xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        break
      fi
      zan_xvfb_pid=  # lost a race for that number: try the next free one
    done
    [ -n "$zan_xvfb_pid" ] || { echo "could not start Xvfb" >&2; return 1; }
  fi
  mkdir -p "$zan_root/build"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "-- creating the Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1
  fi
  wineserver -p >/dev/null 2>&1 || true
  # Start the prefix's background services here, their output going nowhere: started by the first
  # test program instead, they would inherit its output pipe and hold CTest's reading of it open
  # until the time-out.
  wineboot >/dev/null 2>&1 || true
}
