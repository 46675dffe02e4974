#!/usr/bin/env bash
# The stub under Wine: a setup made by `setvik build` loads and shows its
# wizard, which the UI driver leaves (Cancel, Yes, OK, Cancel on the closing
# page) for exit code 0; the bare stub, which carries no chunk stream, is
# refused (exit -1) without a message box.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
bin=$SETVIK_ROOT/build/bin

on_virtual_display STUB_SMOKE_ON_DISPLAY "$0"

work=$(mktemp -d "$SETVIK_ROOT/build/wine-smoke.XXXXXX")
trap 'rm -rf "$work"' EXIT

printf 'hello from the smoke test\n' > "$work/hello.txt"
cat > "$work/smoke.toml" <<TOML
[setup]
title = "Smoke"
[[file]]
source = "hello.txt"
TOML
"$bin/setvik" build "$work/smoke.toml" -o "$work/setup.exe" --stub "$bin/setvik-stub.exe" >/dev/null
cp "$bin/setvik-stub.exe" "$work/bare.exe"

failures=0
expect() { # name script-lines...
  local name=$1
  shift
  printf 'timeout 60\n' > "$work/$name.txt"
  printf '%s\n' "$@" >> "$work/$name.txt"
  set +e
  wine "$bin/setvik-uidriver.exe" "$work/$name.txt" >"$work/$name.log" 2>&1
  local code=$?
  set -e
  if [ "$code" -eq 0 ]; then echo "ok: $name"; else
    echo "FAILED: $name"; sed 's/^/    /' "$work/$name.log"; failures=$((failures + 1)); fi
}
expect "complete setup loads and its wizard ends" "start $work/setup.exe" \
  'wait-window SetvikClass "Smoke Setup - Welcome"' "click 2" "answer-box yes" "answer-box ok" \
  'wait-window SetvikClass "Setvik"' "click 2" "expect-exit 0"
expect "bare stub is refused" "start $work/bare.exe" "expect-no-box" "expect-exit -1"
[ "$failures" -eq 0 ]
