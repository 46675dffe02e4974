#!/usr/bin/env bash
# run-fuzzer.sh FUZZER SEED_DIR SECONDS: runs one libFuzzer target for a
# bounded time, starting from the committed seeds; new inputs go to a scratch
# folder so the committed corpus stays as it is. A crash fails the test and
# leaves the input beside the build (crash-*).
set -euo pipefail
fuzzer=$1 seeds=$2 seconds=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=0 -artifact_prefix="$(dirname "$fuzzer")/crash-" "$work" "$seeds"
