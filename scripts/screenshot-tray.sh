#!/usr/bin/env bash
# Takes the guides' pictures of the program's icon in the notification area, as Wine draws it on
# a virtual display: with a card reader that is not there (greyed icon, its tip showing), its
# menu, and, after "Reconnect card reader" with the reader there, the ready icon and its tip:
# docs/tray-not-ready.png, docs/tray-menu.png, docs/tray-ready.png. It uses the project's Wine
# prefix and the simulated reader, and puts the program's stored values back afterwards.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/setup.sh imagemagick
source scripts/wine-session.sh
source scripts/program-registry.sh
zan_decide_x86
preset=$zan_program_preset
mkdir -p build docs
cmake --preset "$preset" > "build/$preset.configure.log"
cmake --build --preset "$preset" -j 2 --target ZANKeyboardWedge msr-sim > "build/$preset.tray-shots.log"

config=$(mktemp --suffix .cfg)
program_pid=
finish() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  rm -f "$config"
  zan_program_values_restore
  zan_session_stop
}
trap finish EXIT
zan_session_start
zan_register_reader "$preset" "$root/build/$preset/tools/msr-sim.dll"
zan_program_values_save
wine reg add 'HKCU\Software\VB and VBA Program Settings\ZANKeyboardWedge\Options' /v HideOnStart \
  /t REG_SZ /d 1 /f >/dev/null 2>&1

echo nodevice > "$config"  # the reader's device is not there
ZAN_MSR_SIM_CONFIG="Z:$config" wine "build/$preset/src/shell/ZANKeyboardWedge.exe" >/dev/null 2>&1 &
program_pid=$!

tray=
for i in $(seq 1 100); do
  tray=$(xdotool search --onlyvisible --name '^Wine System Tray$' 2>/dev/null | head -n 1 || true)
  [ -n "$tray" ] && break
  sleep 0.1
done
[ -n "$tray" ] || { echo "no notification area appeared" >&2; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$tray")"
icon_x=$((X + 9)) icon_y=$((Y + HEIGHT / 2 - 1))

shoot() {  # file: the area, the tip or menu below it
  import -window root -crop "420x110+$((X > 2 ? X - 2 : 0))+$((Y > 24 ? Y - 24 : 0))" -strip "$1"
  echo "-- $1"
}
hover() {  # rests the pointer on the icon until its tip shows
  xdotool mousemove 600 600
  sleep 1
  xdotool mousemove $((icon_x - 3)) "$icon_y"
  sleep 0.2
  xdotool mousemove "$icon_x" "$icon_y"
  sleep 2.5
}

sleep 2
hover
shoot docs/tray-not-ready.png

: > "$config"  # the device is there now
xdotool mousemove "$icon_x" "$icon_y" click 3
sleep 1
xdotool key Up Up  # "Reconnect card reader", above "Exit"
sleep 0.5
shoot docs/tray-menu.png
xdotool key Return
sleep 2
hover
shoot docs/tray-ready.png

xdotool mousemove "$icon_x" "$icon_y" click 3
sleep 1
xdotool key Up Return  # "Exit"
for i in $(seq 1 100); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
