#!/usr/bin/env bash
# Runs every fuzz target of BUILD_DIR for SECONDS each over its seed corpus, JOBS at a time, and
# prints its executions. New inputs go to BUILD_DIR/fuzz-corpus, never into the seeds; an input
# that breaks a property is kept as BUILD_DIR/fuzz-artifacts/<target>-crash-*.
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR SECONDS [JOBS]}
seconds=${2:?usage: run.sh BUILD_DIR SECONDS [JOBS]}
jobs=${3:-2}
seeds=$(cd "$(dirname "$0")" && pwd)/corpus
bin=$build/tests/fuzz
mkdir -p "$build/fuzz-corpus" "$build/fuzz-artifacts" "$build/fuzz-logs"

run_one() {
  local name=$1 log=$build/fuzz-logs/$1.log
  mkdir -p "$build/fuzz-corpus/$name"
  if "$bin/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
    -rss_limit_mb=1024 -artifact_prefix="$build/fuzz-artifacts/$name-" \
    "$build/fuzz-corpus/$name" "$seeds/$name" >"$log" 2>&1; then
    echo "fuzz $name: $(sed -n 's/^stat::number_of_executed_units: *//p' "$log") executions" \
      "in ${seconds} s, 0 failures"
  else
    echo "fuzz $name: FAILED (see $log)"
    grep -E 'property failed|ERROR|runtime error' "$log" | head -5
    return 1
  fi
}
export -f run_one
export build seconds bin seeds

targets=$(cd "$seeds" && ls)
printf '%s\n' $targets | xargs -P "$jobs" -I{} bash -c 'run_one {}'
