#!/usr/bin/env bash
# Runs the typing benchmark under Wine on a display of its own: builds the x86 preset, starts the
# project's Wine session, runs zan_typing_bench.exe (30 runs unless given), stops what it started.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scripts/setup.sh
source scripts/wine-session.sh
zan_decide_x86
preset=$zan_program_preset  # x64 where this machine cannot run 32-bit programs
cmake --preset $preset > build/$preset.configure.log 2>&1
cmake --build --preset $preset -j 2 --target zan_typing_bench zan_type_target > build/$preset.bench-build.log 2>&1
trap zan_session_stop EXIT
zan_session_start
scripts/wine-exec build/$preset/tools/zan_typing_bench.exe "${1:-30}"
