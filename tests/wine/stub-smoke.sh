#!/usr/bin/env bash
# The stub under Wine: a setup made by `setvik build` loads (exit code 0),
# and the bare stub, which carries no chunk stream, is refused (exit -1).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
bin=$SETVIK_ROOT/build/bin
work=$(mktemp -d "$SETVIK_ROOT/build/wine-smoke.XXXXXX")
trap 'rm -rf "$work"' EXIT
wine_prefix_ready

printf 'hello from the smoke test\n' > "$work/hello.txt"
cat > "$work/smoke.toml" <<TOML
[setup]
title = "Smoke"
[[file]]
source = "hello.txt"
TOML
"$bin/setvik" build "$work/smoke.toml" -o "$work/setup.exe" >/dev/null
cp "$bin/setvik-stub.exe" "$work/bare.exe"

failures=0
expect() { # name expected-code exe
  set +e
  timeout 120 xvfb-run -a wine "$3" >/dev/null 2>&1
  local code=$?
  set -e
  if [ "$code" -eq "$2" ]; then echo "ok: $1 (exit $code)"; else echo "FAILED: $1: exit $code, expected $2"; failures=$((failures + 1)); fi
}
# A message box would wait for a click: the loader shows none for these.
expect "complete setup loads" 0 "$work/setup.exe"
expect "bare stub is refused" 255 "$work/bare.exe"
wineserver -w
[ "$failures" -eq 0 ]
