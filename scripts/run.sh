#!/usr/bin/env bash
# The run command: installs what is missing, builds the shipping (x86) build (the x64 build where
# this machine cannot run 32-bit programs) and runs the program
# under Wine with the simulated card reader: a text window opens, sample cards are swiped, what
# arrived is printed beside what was expected, a picture of the screen is saved to
# build/run-screenshot.png, and the program is ended through its tray menu.
# On a virtual display of its own unless ZAN_USE_DISPLAY=1 (then on $DISPLAY). The program's
# stored settings in the project's Wine prefix are put back as they were when it ends.
# Exit code 0 when every card arrived exactly and the program ended through its menu.
# `--control PROGID` runs it against that reader control (the simulated reader is registered as
# MSRLib.MSR and as OPOS.MSR, the common control objects' flavour), set by the ReaderControl
# policy for the run; by default the program picks MSRLib.MSR as it would on a till.
set -euo pipefail
control=
case "${1:-}" in
  --control) control=${2:?"--control needs a ProgID, e.g. OPOS.MSR"} ;;
  "") ;;
  *) echo "usage: scripts/run.sh [--control PROGID]" >&2; exit 2 ;;
esac
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/setup.sh imagemagick
source scripts/wine-session.sh
source scripts/program-registry.sh
zan_decide_x86
preset=$zan_program_preset
[ "$preset" = win-x86 ] || echo "-- running the x64 build, not the shipping x86 one: $ZAN_X86_WHY"
mkdir -p build
echo "-- building $preset"
cmake --preset "$preset" > "build/$preset.configure.log" 2>&1 || { cat "build/$preset.configure.log"; exit 1; }
if ! cmake --build --preset "$preset" -j 2 --target ZANKeyboardWedge msr-sim msr-swipe zan_type_target \
     zan_wedge_demo > "build/$preset.run-build.log" 2>&1; then
  tail -n 40 "build/$preset.run-build.log"
  echo "build failed (whole log: build/$preset.run-build.log)" >&2
  exit 1
fi
program=build/$preset/src/shell/ZANKeyboardWedge.exe
tools=build/$preset/tools

program_pid=
finish() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  [ -z "$control" ] || wine reg delete "$policy_key" /v ReaderControl /f >/dev/null 2>&1 || true
  zan_program_values_restore
  zan_session_stop
}
policy_key='HKCU\Software\Policies\Halvane\ZANKeyboardWedge'
trap finish EXIT
zan_session_start
echo "-- display $DISPLAY, Wine prefix $WINEPREFIX"
zan_register_reader "$preset" "$root/$tools/msr-sim.dll"
zan_program_values_save
if [ -n "$control" ]; then
  echo "-- reader control: $control (the ReaderControl policy, for this run)"
  wine reg add "$policy_key" /v ReaderControl /t REG_SZ /d "$control" /f >/dev/null
fi

# Waits up to $1 tenths of a second for a visible window of the program named $2 (a regular
# expression; "^$" for the popup menu) and prints its id.
program_window() {
  local i w
  for i in $(seq 1 "$1"); do
    for w in $(xdotool search --onlyvisible --classname '^zankeyboardwedge.exe$' 2>/dev/null); do
      if xdotool getwindowname "$w" 2>/dev/null | grep -Eq "$2"; then echo "$w"; return 0; fi
    done
    sleep 0.1
  done
  return 1
}
geometry() {  # x y width height of a window
  xdotool getwindowgeometry --shell "$1" | awk -F= '/^(X|Y|WIDTH|HEIGHT)=/ {printf "%s ", $2}'
}

echo "-- starting ZANKeyboardWedge.exe"
wine "$program" >/dev/null 2>&1 &
program_pid=$!

echo "-- swiping sample cards into a text window"
demo=0
scripts/wine-exec "$tools/zan_wedge_demo.exe" "$root/build/run-screenshot.png" || demo=$?
[ -f build/run-screenshot.png ] && echo "-- screenshot: build/run-screenshot.png"

echo "-- ending the program through its tray menu"
ended=0
tray=$(xdotool search --onlyvisible --name '^Wine System Tray$' 2>/dev/null | head -n 1 || true)
if [ -n "$tray" ]; then
  # Wine's own notification area (no desktop tray on the display): our icon is its first one.
  read -r tx ty _ th <<< "$(geometry "$tray")"
  xdotool mousemove $((tx + 9)) $((ty + th / 2 - 1)) click 3
  if menu=$(program_window 50 '^$'); then
    read -r mx my _ mh <<< "$(geometry "$menu")"
    xdotool mousemove $((mx + 30)) $((my + mh - 12)) click 1   # "Exit", the last item
  else
    echo "the icon's menu did not open" >&2
  fi
else
  echo "   (the icon is in your desktop's notification area: choose \"Exit\" from its menu)"
fi
for i in $(seq 1 $([ -n "$tray" ] && echo 100 || echo 600)); do
  kill -0 "$program_pid" 2>/dev/null || { ended=1; break; }
  sleep 0.1
done
if [ "$ended" = 1 ]; then
  wait "$program_pid" && echo "-- the program ended (exit code 0)" || echo "-- the program ended with exit code $?"
  program_pid=
else
  echo "the program did not end through its tray menu" >&2
fi

[ "$demo" = 0 ] && [ "$ended" = 1 ]
