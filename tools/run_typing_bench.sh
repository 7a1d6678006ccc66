#!/usr/bin/env bash
# Runs the typing benchmark under Wine on a display of its own: builds the x86 preset, starts the
# project's Wine session, runs zan_typing_bench.exe (30 runs unless given), stops what it started.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scripts/setup.sh
cmake --preset win-x86 > build/win-x86.configure.log 2>&1
cmake --build --preset win-x86 -j 2 --target zan_typing_bench zan_type_target > build/win-x86.bench-build.log 2>&1
source scripts/wine-session.sh
trap zan_session_stop EXIT
zan_session_start
scripts/wine-exec build/win-x86/tools/zan_typing_bench.exe "${1:-30}"
