# Sourced after scripts/wine-session.sh, with the session started: lets the run command and the
# program's benchmark run the program with its default settings in the project's Wine prefix, and
# puts its stored settings and its log-on start entry back as they were afterwards (the program
# writes both when it ends).

zan_settings_key='HKCU\Software\VB and VBA Program Settings\ZANKeyboardWedge'
zan_run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
zan_saved_values=

# Keeps the current values aside and removes the stored settings, so the program starts with its
# defaults.
zan_program_values_save() {
  zan_saved_values=$(mktemp -d)
  wine reg export "$zan_settings_key" "Z:$zan_saved_values/settings.reg" /y >/dev/null 2>&1 || true
  wine reg export "$zan_run_key" "Z:$zan_saved_values/run.reg" /y >/dev/null 2>&1 || true
  wine reg delete "$zan_settings_key" /f >/dev/null 2>&1 || true
}

# Puts back what zan_program_values_save kept.
zan_program_values_restore() {
  [ -n "$zan_saved_values" ] || return 0
  wine reg delete "$zan_settings_key" /f >/dev/null 2>&1 || true
  wine reg delete "$zan_run_key" /v ZANKeyboardWedge /f >/dev/null 2>&1 || true
  local f
  for f in settings run; do
    if [ -s "$zan_saved_values/$f.reg" ]; then
      wine reg import "Z:$zan_saved_values/$f.reg" >/dev/null 2>&1 || echo "could not restore $f.reg" >&2
    fi
  done
  rm -rf "$zan_saved_values"
  zan_saved_values=
}

# Registers the simulated card reader of a preset's build machine-wide in the prefix, as the
# tests do: a 32-bit DLL with the 32-bit regsvr32, into the 32-bit view of the classes.
zan_register_reader() {  # preset, DLL
  if [ "$1" = win-x86 ]; then
    wine 'C:\windows\syswow64\regsvr32.exe' /s "Z:$2"
  else
    wine regsvr32 /s "Z:$2"
  fi
}
