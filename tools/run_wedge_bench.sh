#!/usr/bin/env bash
# Runs the program's benchmark under Wine on a display of its own: builds the x86 preset, starts
# the project's Wine session, registers the simulated reader, runs zan_wedge_bench.exe with the
# program's default settings (arguments: cards, idle seconds, starts, paced cards, their delay
# in ms; 200 60 9 10 20 unless given) and prints what the program's resident memory is made of
# beside the minimal reader host's, then puts the program's stored settings back and stops what it
# started.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scripts/setup.sh
source scripts/wine-session.sh
zan_decide_x86
preset=$zan_program_preset  # x64 where this machine cannot run 32-bit programs
mkdir -p build
cmake --preset $preset > build/$preset.configure.log 2>&1
cmake --build --preset $preset -j 2 --target ZANKeyboardWedge msr-sim zan_type_target zan_minimal_tray zan_minimal_reader_host \
  zan_wedge_bench > build/$preset.bench-build.log 2>&1
source scripts/program-registry.sh
trap 'zan_program_values_restore; zan_session_stop' EXIT
zan_session_start
zan_register_reader "$preset" "$root/build/$preset/tools/msr-sim.dll"
zan_program_values_save
scripts/wine-exec build/$preset/tools/zan_wedge_bench.exe "Z:$root/build/$preset/src/shell/ZANKeyboardWedge.exe" \
  "${1:-200}" "${2:-60}" "${3:-9}" "${4:-10}" "${5:-20}"
tools/memory_breakdown.sh build/$preset/tools/wedge-bench-smaps
