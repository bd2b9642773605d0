#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each over its seed corpus for a bounded time.
# Any crash, leak, timeout, memory excess or sanitizer report ends the run with a failure.
#
#   scripts/ci-fuzz.sh [SECONDS_PER_TARGET] [BUILD_DIR]
#
# New inputs go to a scratch corpus, never into fuzz/corpus; a failing input is kept in
# $BUILD_DIR/fuzz-artifacts/ and its path printed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-15}
build=${2:-build-fuzz}
jobs=${JOBS:-$(nproc)}
targets=(day_text ics)

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DVELKOR_FUZZ=ON -DVELKOR_TESTS=OFF \
  -DVELKOR_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]/#/fuzz_}"

artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

status=0
for t in "${targets[@]}"; do
  mkdir -p "$scratch/$t"
  log="$scratch/$t.log"
  # -timeout: one input may take this long (100,000 occurrences of an endless rule, searched twice
  # and printed, take seconds under the sanitizers); -rss_limit_mb: the process may grow this large.
  if "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts/$t-" "$scratch/$t" "fuzz/corpus/$t" \
      >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz_$t: ${runs:-?} executions, nothing found"
  else
    status=1
    echo "fuzz_$t FAILED; last lines of its log:"
    tail -n 40 "$log"
    ls "$artifacts" | sed "s|^|  artifact: $artifacts/|"
  fi
done
exit $status
