#!/usr/bin/env bash
# The Windows unit tests (GoogleTest, tests/windows/*.cpp) under Wine, in
# the shared prefix and on a virtual X display. Fails when any test fails;
# prints GoogleTest's summary either way (the whole output on failure).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
exe=$SETVIK_ROOT/build/bin/setvik-wintests.exe
[ -f "$exe" ] || { echo "missing $exe: run make first"; exit 1; }
log=$(mktemp)
trap 'rm -f "$log"' EXIT
wine_prefix_ready

set +e
timeout 180 xvfb-run -a -n $((100 + $$ % 800)) -s "-screen 0 1024x768x24" wine "$exe" "$@" >"$log" 2>&1
code=$?
wineserver -w
set -e
if [ "$code" -ne 0 ]; then
  cat "$log"
  echo "FAILED: setvik-wintests.exe exit $code"
  exit 1
fi
# The summary: the totals and any line about failures.
grep -E '^\[(==========|  PASSED  |  FAILED  |  SKIPPED )\]' "$log" || true
