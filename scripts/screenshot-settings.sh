#!/usr/bin/env bash
# Takes the guides' pictures of the settings window, as Wine draws it on a virtual display, at
# 100 % and 150 % scaling: docs/settings-100.png and docs/settings-150.png; at 100 %, the window
# after the Enter choice was made with the keyboard: docs/settings-keyboard.png; and at 100 % with
# four settings locked by Group Policy: docs/settings-policy.png.
# It uses the project's Wine prefix and takes back the display settings and policies it makes there
# when it ends; the window shows the settings stored in that prefix (none after a test run: the
# defaults).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/setup.sh imagemagick
source scripts/wine-session.sh
zan_decide_x86
preset=$zan_program_preset  # x64 where this machine cannot run 32-bit programs
mkdir -p build docs
cmake --preset "$preset" > "build/$preset.configure.log"
cmake --build --preset "$preset" -j 2 --target zan_settings_demo > "build/$preset.demo.log"
demo=build/$preset/tools/zan_settings_demo.exe

policy_key='HKLM\Software\Policies\Halvane\ZANKeyboardWedge'
restore() {
  wine reg delete "$policy_key" /f >/dev/null 2>&1 || true
  wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true
  wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Decorated /f >/dev/null 2>&1 || true
  zan_session_stop
}
trap restore EXIT
zan_session_start

# No window manager runs on the virtual display: let Wine draw the title bar and border itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1

shoot() {  # dots per inch, output file, keys pressed at the window first (xdotool's names)
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wine "$demo" --quit-after 8000 >/dev/null 2>&1 &
  local pid=$! wid= i
  for i in $(seq 1 100); do
    wid=$(xdotool search --onlyvisible --name 'Halvane ZAN VORNEL' 2>/dev/null | head -n 1 || true)
    [ -n "$wid" ] && break
    sleep 0.1
  done
  [ -n "$wid" ] || { echo "the settings window did not appear" >&2; return 1; }
  sleep 1.5  # let it paint
  if [ -n "${3:-}" ]; then
    # shellcheck disable=SC2086  # one key name a word
    xdotool key --delay 300 $3
    sleep 1
  fi
  import -window "$wid" -strip "$2"
  wait "$pid" || true
  echo "-- $2: $(identify -format '%wx%h' "$2") at $1 dpi"
}

shoot 96 docs/settings-100.png
shoot 144 docs/settings-150.png
# The window opens with the focus on "No Carriage Return" (the defaults); Down goes round the
# Enter frame's options and chooses each: "Carriage Return with Track Data", then "with Card Data".
shoot 96 docs/settings-keyboard.png "Down Down"

# Sentinels, the Enter and track 3 set by the machine's policies: their controls greyed.
for value in SendSentinels=0 CarriageReturn=0 SendTrack3=0 RunAtStartup=1; do
  wine reg add "$policy_key" /v "${value%=*}" /t REG_DWORD /d "${value#*=}" /f >/dev/null 2>&1
done
shoot 96 docs/settings-policy.png
