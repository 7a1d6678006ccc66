# Sourced: starts what the Windows tests need and stops it again when the sourcing shell exits.
#  - an Xvfb display of our own on a free number, unless ZAN_USE_DISPLAY=1 keeps $DISPLAY;
#  - the project's Wine prefix under build/, created on first use;
#  - a wineserver for that prefix, kept alive for the session so each test starts quickly.
# Only what was started here is stopped, by PID or through this prefix's own wineserver.

zan_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=$zan_root/build/wineprefix
export WINEDEBUG=-all
# winemenubuilder off: shortcuts the tests install must not become menu entries on the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
zan_xvfb_pid=

# Decides, once per run (the answer is exported to the scripts and tests started from here),
# whether this machine runs 32-bit programs, by trying Wine's 32-bit loader: some kernels are
# started without 32-bit support and refuse every i386 program ("Exec format error"). Sets
# ZAN_X86 to 1 or 0 and, for 0, ZAN_X86_WHY to the reason. Where 32-bit programs cannot run,
# every later `wine` (and `wineboot`, `regsvr32`, `msiexec`, which Debian starts through
# `wine-stable`) goes to the 64-bit loader: Debian's script prefers the 32-bit one whenever it is
# installed, and would fail even for 64-bit programs. ZAN_NO_X86=1 behaves as if 32-bit programs
# could not run, so the fallback can be tried on any machine. Also sets zan_program_preset: the
# Windows build the run command, the benchmarks and the pictures use, the shipping x86 build or,
# where 32-bit programs cannot run, the x64 build.
zan_wine32_loader=${ZAN_WINE32_LOADER:-/usr/lib/wine/wine}
zan_wine64_loader=${ZAN_WINE64_LOADER:-/usr/lib/wine/wine64}
zan_wine64_bin=${ZAN_WINE64_BIN:-$zan_root/build/wine64-only}  # where the 64-bit `wine` is put
zan_decide_x86() {
  if [ -z "${ZAN_X86:-}" ]; then
    local rc=0
    if [ "${ZAN_NO_X86:-0}" = 1 ]; then
      ZAN_X86=0 ZAN_X86_WHY="ZAN_NO_X86=1 runs this machine as one without 32-bit support"
    elif [ ! -x "$zan_wine32_loader" ]; then
      ZAN_X86=0 ZAN_X86_WHY="Wine's 32-bit loader $zan_wine32_loader is not installed"
    else
      "$zan_wine32_loader" --version >/dev/null 2>&1 || rc=$?
      if [ "$rc" = 0 ]; then
        ZAN_X86=1 ZAN_X86_WHY=
      else
        ZAN_X86=0 ZAN_X86_WHY="this machine cannot run 32-bit programs ($zan_wine32_loader --version exited with $rc)"
      fi
    fi
    export ZAN_X86 ZAN_X86_WHY
  fi
  zan_program_preset=win-x86
  [ "$ZAN_X86" = 1 ] && return 0
  zan_program_preset=win-x64
  local bin=$zan_wine64_bin name tmp
  mkdir -p "$bin"
  for name in wine wine-stable; do
    tmp=$(mktemp "$bin/.$name.XXXXXX")
    printf '#!/bin/sh\n# Wine through its 64-bit loader only (made by scripts/wine-session.sh).\nexec %s "$@"\n' \
      "$zan_wine64_loader" > "$tmp"
    chmod +x "$tmp"
    mv -f "$tmp" "$bin/$name"
  done
  case ":$PATH:" in *":$bin:"*) ;; *) export PATH="$bin:$PATH" ;; esac
  export WINELOADER=$zan_wine64_loader
}

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
  zan_decide_x86
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
  [ -f "$WINEPREFIX/system.reg" ] || echo "-- creating the Wine prefix $WINEPREFIX"
  wineserver -p >/dev/null 2>&1 || true
  # Bring the prefix's own services up now, with their output going nowhere: started by the first
  # test instead, they would hold that test's output pipe open and CTest would wait for it.
  wineboot -i >/dev/null 2>&1
}
