#!/usr/bin/env bash
# Takes the guides' pictures of the settings window, as Wine draws it on a virtual display, at
# 100 % and 150 % scaling: docs/settings-100.png and docs/settings-150.png; at 100 %, the window
# after the Enter choice was made with the keyboard: docs/settings-keyboard.png; and at 100 % with
# four settings locked by Group Policy: docs/settings-policy.png. Then those of the "Typing rules"
# window and of a rule's dialog box, at 100 % and 150 %: docs/rules-100.png, docs/rule-100.png,
# docs/rules-150.png, docs/rule-150.png, listing the user guide's ready rules for remote sessions.
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
cmake --build --preset "$preset" -j 2 --target zan_settings_demo zan_rules_demo > "build/$preset.demo.log"
demo=build/$preset/tools/zan_settings_demo.exe
rules_demo=build/$preset/tools/zan_rules_demo.exe

policy_key='HKLM\Software\Policies\Halvane\ZANKeyboardWedge'
rules_key='HKCU\Software\VB and VBA Program Settings\ZANKeyboardWedge\Targets'
restore() {
  wine reg delete "$policy_key" /f >/dev/null 2>&1 || true
  wine reg delete "$rules_key" /f >/dev/null 2>&1 || true
  wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true
  wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Decorated /f >/dev/null 2>&1 || true
  zan_session_stop
}
trap restore EXIT
zan_session_start

# No window manager runs on the virtual display: let Wine draw the title bar and border itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1

window() {  # a window's id once it shows, by its title
  local wid= i
  for i in $(seq 1 100); do
    wid=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$wid" ] && break
    sleep 0.1
  done
  [ -n "$wid" ] || { echo "no window \"$1\" appeared" >&2; return 1; }
  echo "$wid"
}

shoot() {  # dots per inch, output file, keys pressed at the window first (xdotool's names)
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wine "$demo" --quit-after 8000 >/dev/null 2>&1 &
  local pid=$! wid
  wid=$(window 'Halvane ZAN VORNEL')
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
wine reg delete "$policy_key" /f >/dev/null 2>&1

shoot_rules() {  # dots per inch, the window's picture, the dialog box's picture
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wine "$rules_demo" --quit-after 12000 >/dev/null 2>&1 &
  local pid=$! wid dialog
  wid=$(window '^Typing rules$')
  sleep 1.5  # let it paint
  import -window "$wid" -strip "$2"
  # Enter opens the rule chosen in the list (the first) in its dialog box.
  xdotool key --window "$wid" Return
  dialog=$(window '^Change a typing rule$')
  sleep 1.5
  import -window "$dialog" -strip "$3"
  xdotool key --window "$dialog" Escape
  sleep 0.5
  xdotool key --window "$wid" Escape
  wait "$pid" || true
  echo "-- $2, $3: $(identify -format '%wx%h ' "$2" "$3")at $1 dpi"
}

for rule in "mstsc.exe=delay=12" "wfica32.exe=delay=12; enter-delay=125" "CDViewer.exe=delay=12; enter-delay=125" \
            "vmware-view.exe=delay=12" "chrome.exe=delay=25" "*=cards=other,id"; do
  wine reg add "$rules_key" /v "${rule%%=*}" /t REG_SZ /d "${rule#*=}" /f >/dev/null 2>&1
done
shoot_rules 96 docs/rules-100.png docs/rule-100.png
shoot_rules 144 docs/rules-150.png docs/rule-150.png
