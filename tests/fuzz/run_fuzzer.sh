#!/usr/bin/env bash
# Runs one fuzz target for a bounded time and prints its executions and crashes (a crash fails
# the test, with the fuzzer's report and the input that caused it).
#   run_fuzzer.sh FUZZER SEEDS WORK SECONDS
# SEEDS is the seed corpus kept in the repository, read only; what the fuzzer finds worth keeping
# goes to WORK/corpus in the build tree, so each run starts from what the last ones found.
set -uo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4
name=$(basename "$fuzzer")
name=${name#fuzz_}
mkdir -p "$work/corpus"
rm -f "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*
log=$work/last-run.log
"$fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$work/" "$work/corpus" "$seeds" > "$log" 2>&1
rc=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
kept() {
  find "$work" -maxdepth 1 \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) "$@"
}
crashes=$(kept | wc -l)
[ "$rc" != 0 ] && [ "$crashes" = 0 ] && crashes=1
echo "figure: fuzz $name: ${runs:-0} executions in $seconds s, crashes $crashes"
if [ "$rc" != 0 ]; then
  tail -n 40 "$log"
  kept -printf 'input kept: %p\n'
  exit 1
fi
