#!/usr/bin/env bash
# The UI driver (setvik-uidriver.exe) against a setup under Wine: every
# other test trusts it, so each false claim below must fail with the step
# and what was wrong, and a claim that holds must pass.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs
on_virtual_display UIDRIVER_ON_DISPLAY "$0"
new_work uidriver
setup_project Driver 'C:\e2e\driver' > "$work/driver.toml"
build_setup "$work/driver.toml" "$work/driver.exe"
leave='click 2; answer-box yes; answer-box ok; click 2'

# scenario NAME EXPECTED-DRIVER-EXIT TEXT-THE-LOG-MUST-HOLD STEPS...: after
# the setup's window is up (steps separated by ";").
scenario() {
  local code=0
  printf 'timeout %s\nstart %s\nwait-window SetvikClass\n' "${t:-1}" "$work/driver.exe" >"$work/$1.txt"
  sed 's/; */\n/g' <<<"$4" >>"$work/$1.txt"
  (cd "$work" && wine "$bin/setvik-uidriver.exe" "$work/$1.txt") >"$work/$1.log" 2>&1 || code=$?
  local ok=0
  [ "$code" -eq "$2" ] && grep -qF -- "$3" "$work/$1.log" && ok=1
  check_show "$1: driver exit $2 ($code), the log names the fault" "$(cat "$work/$1.log")" [ $ok = 1 ]
}
t=10 scenario holds 0 "steps passed" 'expect-title "E2E - Welcome"; expect-text 1000 "WELCOME";
  expect-disabled 1007; click 2; answer-box no "The installation is not complete*" "E2E";
  expect-no-box; click 1; expect-text 1000 "INFORMATION"; click 1; expect-enabled 1004; '"$leave"'; expect-exit 0'
scenario wrong-text 1 'control 1000 in window "E2E - Welcome" reads "WELCOME", expected "Goodbye"' \
  'expect-text 1000 "Goodbye"'
scenario missing-control 1 'step 4 (line 4): control 4242 not found in window "E2E - Welcome" after 1000 ms' \
  'expect-text 4242 "x"'
scenario disabled-button 1 'control 1007 ("< &Back") in window "E2E - Welcome" cannot be pressed' 'click 1007'
t=10 scenario wrong-exit 1 'the program ended with exit code 0, expected 5' "$leave; expect-exit 5"
t=10 scenario ended 1 'no message box appeared (the program ended with exit code 0)' "$leave; answer-box ok"
scenario bad-script 2 'line 4: unknown command "press"' 'press 1'
[ "$failures" -eq 0 ]
