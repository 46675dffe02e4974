#!/usr/bin/env bash
# The UI driver (setvik-uidriver.exe) against its test program under Wine:
# every other test trusts it, so each false claim below must fail with the
# step and what was wrong, and a claim that holds must pass.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs uitest/setvik-testapp.exe
on_virtual_display UIDRIVER_ON_DISPLAY "$0"
new_work uidriver
app=$bin/uitest/setvik-testapp.exe

# scenario NAME EXPECTED-DRIVER-EXIT TEXT-THE-LOG-MUST-HOLD STEPS...: after
# the program's window is up (steps separated by ";").
scenario() {
  local code=0
  printf 'timeout %s\nstart %s\nwait-window SetvikClass "Test Setup"\n' "${t:-1}" "$app" >"$work/$1.txt"
  tr '\n' ' ' <<<"$4" | sed 's/; */\n/g; s/ *$//' >>"$work/$1.txt"; echo >>"$work/$1.txt"
  (cd "$work" && wine "$bin/setvik-uidriver.exe" "$work/$1.txt") >"$work/$1.log" 2>&1 || code=$?
  local ok=0
  [ "$code" -eq "$2" ] && grep -qF -- "$3" "$work/$1.log" && ok=1
  check_show "$1: driver exit $2 ($code), the log names the fault" "$(cat "$work/$1.log")" [ $ok = 1 ]
}
t=10 scenario holds 0 "steps passed" 'expect-text 1000 "Welcome*"; expect-unchecked 1002; check 1002; expect-checked 1002;
  uncheck 1002; expect-hidden 1009; click 1012; expect-visible 1009; click 2; answer-box no "Do you really*"; expect-no-box; click 1; expect-exit 100'
scenario wrong-text 1 'control 1000 in window "Test Setup" reads "Welcome to the test setup", expected "Goodbye"' 'expect-text 1000 "Goodbye"'
scenario missing-control 1 'step 4 (line 4): control 4242 not found in window "Test Setup"' 'expect-text 4242 "anything"'
scenario not-hidden 1 'step 4' 'expect-visible 1009'
scenario disabled-button 1 'control 1007 ("< &Back") in window "Test Setup" cannot be pressed' 'click 1007'
scenario behind-a-box 1 'step 5 (line 5): control 1 ("&Next >")' 'click 1008; click 1'
scenario no-such-box-button 1 'has no button 4 (it has: 6 "&Yes" 7 "&No")' 'click 2; answer-box retry'
scenario wrong-exit 1 'the program ended with exit code 100, expected 5' 'click 1; expect-exit 5'
scenario no-window 1 'no window of class NoSuchClass appeared within 1000 ms' 'wait-window NoSuchClass'
scenario bad-script 2 'line 4: unknown command "press"' 'press 1'
[ "$failures" -eq 0 ]
