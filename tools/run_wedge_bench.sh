#!/usr/bin/env bash
# Runs the program's benchmark under Wine on a display of its own: builds the x86 preset, starts
# the project's Wine session, registers the simulated reader, runs zan_wedge_bench.exe with the
# program's default settings (arguments: cards, idle seconds, starts; 200 60 9 unless given),
# then puts the program's stored settings back and stops what it started.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scripts/setup.sh
mkdir -p build
cmake --preset win-x86 > build/win-x86.configure.log 2>&1
cmake --build --preset win-x86 -j 2 --target ZANKeyboardWedge msr-sim zan_type_target zan_minimal_tray \
  zan_wedge_bench > build/win-x86.bench-build.log 2>&1
source scripts/wine-session.sh
source scripts/program-registry.sh
trap 'zan_program_values_restore; zan_session_stop' EXIT
zan_session_start
zan_register_reader "$root/build/win-x86/tools/msr-sim.dll"
zan_program_values_save
scripts/wine-exec build/win-x86/tools/zan_wedge_bench.exe "Z:$root/build/win-x86/src/shell/ZANKeyboardWedge.exe" \
  "${1:-200}" "${2:-60}" "${3:-9}"
