#!/usr/bin/env bash
# The UI driver (setvik-uidriver.exe) against its test program
# (uitest/setvik-testapp.exe) under Wine on a virtual X display: scenario
# scripts that read texts, press buttons, type, tick boxes, answer message
# boxes and check the exit code the program derives from what was done; a
# screenshot checked with ImageMagick; and the failures a broken scenario
# must report. All scenarios share one Xvfb display and one Wine server.
# SETVIK_BIN names another folder of built programs (default build/bin).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
bin=${SETVIK_BIN:-$SETVIK_ROOT/build/bin}
for f in setvik-uidriver.exe uitest/setvik-testapp.exe; do
  [ -f "$bin/$f" ] || { echo "missing $bin/$f: run make first"; exit 1; }
done

on_virtual_display UIDRIVER_ON_DISPLAY "$0"

work=$(mktemp -d "$SETVIK_ROOT/build/wine-uidriver.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/folder"
app=$bin/uitest/setvik-testapp.exe
failures=0

# scenario NAME EXPECTED-DRIVER-EXIT [TEXT-THE-LOG-MUST-HOLD] < script
scenario() {
  cat > "$work/$1.txt"
  local started=$SECONDS
  set +e
  (cd "$SETVIK_ROOT" && wine "$bin/setvik-uidriver.exe" "$work/$1.txt") > "$work/$1.log" 2>&1
  local code=$?
  set -e
  if [ "$code" -ne "$2" ]; then
    echo "FAILED: $1: driver exit $code, expected $2"; sed 's/^/    /' "$work/$1.log"
    failures=$((failures + 1))
  elif [ -n "${3:-}" ] && ! grep -qF -- "$3" "$work/$1.log"; then
    echo "FAILED: $1: the log lacks: $3"; sed 's/^/    /' "$work/$1.log"
    failures=$((failures + 1))
  else
    echo "ok: $1 (driver exit $code, $((SECONDS - started)) s)"
  fi
}

# Everything a person does on the page; exit code 100 + 1 (extras) + 2 (page
# box) + 4 (edit "hello") + 8 (question answered Yes).
winfolder="Z:${work//\//\\}\\folder"   # as the program sees it
scenario full-run 0 "steps passed" <<SCRIPT
# comments and blank lines are skipped

timeout 10
workdir $work/folder
start $app first "two words"
wait-window SetvikClass "Test Setup"
expect-title "Test*"
expect-text 1000 "Welcome to the test setup"
expect-text 1004 "first \"two words\""
expect-text 1005 "${winfolder//\\/\\\\}"
expect-text 1010 "Page one"
expect-disabled 1007
expect-enabled 1
expect-hidden 1009
expect-unchecked 1002
click 1012
expect-text 1010 "Page text changed"
expect-visible 1009
click 1003
answer-box yes "Shall the extras*" "Test Setup"
expect-text 1000 "answer: yes"
expect-enabled 1007
click 1008
answer-box ok "Line one\nLine two"
expect-text 1000 "note seen"
click 2
answer-box no "Do you really want to cancel the test setup?"
expect-text 1000 "Cancel declined"
expect-no-box
set-text 1001 "hello"
check 1002
check 1011
expect-checked 1011
screenshot $work/screen.bmp
click 1
expect-exit 115
SCRIPT
# The screenshot is a real picture of the whole 1024x768 screen, with
# more than a couple of colours on it.
if [ -f "$work/screen.bmp" ] && info=$(identify -format '%m %w %h %k' "$work/screen.bmp" 2>&1) &&
   read -r format width height colours <<<"$info" && [[ "$format" == BMP* ]] && [ "$width $height" = "1024 768" ] &&
   [ "$colours" -gt 4 ]; then
  echo "ok: screenshot ($info colours)"
else
  echo "FAILED: screenshot: ${info:-no file}"; failures=$((failures + 1))
fi

# Cancel confirmed, and a question answered Cancel, then Back.
scenario cancel 0 <<SCRIPT
start $app
wait-window SetvikClass
click 2
answer-box yes "Do you really*"
expect-exit 2
SCRIPT
scenario back 0 <<SCRIPT
start $app
wait-window * "Test Setup"
click 1003
answer-box cancel
expect-text 1000 "answer: cancel"
expect-disabled 1007
click 1003
answer-box 6
click 1007
expect-exit 1007
SCRIPT

# What a broken scenario reports: the step, its line, and what was wrong.
scenario missing-control 1 'step 4 (line 4): control 4242 not found in window "Test Setup"' <<SCRIPT
timeout 1
start $app
wait-window SetvikClass
expect-text 4242 "anything"
SCRIPT
scenario wrong-text 1 'control 1000 in window "Test Setup" reads "Welcome to the test setup", expected "Goodbye"' <<SCRIPT
timeout 1
start $app
wait-window SetvikClass
expect-text 1000 "Goodbye"
SCRIPT
scenario disabled-button 1 'control 1007 ("< &Back") in window "Test Setup" cannot be pressed' <<SCRIPT
timeout 1
start $app
wait-window SetvikClass
click 1007
SCRIPT
# While a message box is open, the window behind it takes no clicks.
scenario behind-a-box 1 'step 5 (line 5): control 1 ("&Next >")' <<SCRIPT
timeout 1
start $app
wait-window SetvikClass
click 1008
click 1
SCRIPT
scenario no-such-box-button 1 'has no button 4 (it has: 6 "&Yes" 7 "&No")' <<SCRIPT
timeout 1
start $app
wait-window SetvikClass
click 2
answer-box retry
SCRIPT
scenario wrong-exit 1 'the program ended with exit code 100, expected 5' <<SCRIPT
start $app
wait-window SetvikClass
click 1
expect-exit 5
SCRIPT
scenario no-window 1 'no window of class NoSuchClass appeared within 1000 ms' <<SCRIPT
timeout 1
start $app
wait-window NoSuchClass
SCRIPT
scenario bad-script 2 'line 2: unknown command "press"' <<SCRIPT
start $app
press 1
SCRIPT

[ "$failures" -eq 0 ] && echo "all uidriver scenarios passed"
[ "$failures" -eq 0 ]
