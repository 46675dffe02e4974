#!/usr/bin/env bash
# Start-up under Wine (a damaged setup's message: install-signed.sh):
# started from a floppy, the setup runs a copy of its stub, _inst0.exe, from
# the temporary folder (whose path has a blank) with /S and /DEL, and the
# copy, recorded for deletion, goes at `wineboot -r`; a second start while
# another copy runs hands over to it at once, before it reads any setup data,
# or with /QUIET ends with 1618 (read by the UI driver: Wine passes on only
# the low byte); a fixed drive makes no copy.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"

on_virtual_display STARTUP_ON_DISPLAY "$0"

new_work startup
floppy=$WINEPREFIX/dosdevices/a:
cleanup() {
  rm -f "$floppy"
  [ -z "${saved_temp:-}" ] || for v in TEMP TMP; do wine reg add 'HKCU\Environment' /v $v /d "$saved_temp" /f >/dev/null 2>&1; done
  rm -rf "$WINEPREFIX/drive_c/setvik temp"
  wine reg delete 'HKLM\Software\Wine\Drives' /v a: /f >/dev/null 2>&1
}
at_exit cleanup
cat > "$work/setup.toml" <<TOML
[setup]
title = "Start-up Test"
[texts.messages]
invalid_setup = "This setup is damaged: please download it again."
[[file]]
source = "payload.txt"
TOML
echo "payload" > "$work/payload.txt"
"$bin/setvik" build "$work/setup.toml" -o "$work/setup.exe" --stub "$bin/setvik-stub.exe" >/dev/null

# The steps that leave a running setup's wizard: Cancel, the question
# answered Yes, the notice (their default texts), and Cancel on the closing
# page.
leave_wizard() {
  cat <<STEPS
timeout 30
wait-window SetvikClass "Start-up Test Setup - Welcome"
click 2
answer-box yes "The installation is not complete. Do you really want to exit Setup?" "Start-up Test Setup"
answer-box ok "Setup did not complete the installation.*"
wait-window SetvikClass "Setvik"
click 2
STEPS
}
# 1. A floppy drive: relaunch from _inst0.exe with /S and /DEL, through a
# temporary folder whose path has a blank.
mkdir -p "$work/floppy"
cp "$work/setup.exe" "$work/floppy/SETUP.EXE"
ln -sfn "$work/floppy" "$floppy"
wine reg add 'HKLM\Software\Wine\Drives' /v a: /d floppy /f >/dev/null 2>&1
saved_temp=$(wine reg query 'HKCU\Environment' /v TEMP 2>/dev/null | tr -d '\r' | sed -n 's/^ *TEMP *REG_[A-Z_]* *//p')
mkdir -p "$WINEPREFIX/drive_c/setvik temp"
for v in TEMP TMP; do wine reg add 'HKCU\Environment' /v $v /d 'C:\setvik temp' /f >/dev/null 2>&1; done
wineserver -k || true
wineserver -w || true
temp=$(temp_folder)
rm -f "$temp"/_inst*.exe
code=0
wine 'A:\SETUP.EXE' >/dev/null 2>&1 || code=$?
check "the floppy start ends with exit code 0 (got $code)" [ "$code" -eq 0 ]
# The copy runs the wizard, which is left from outside (no program of the
# driver's own: it takes any setup window).
check "the copy's wizard comes up and ends" drive copy < <(leave_wizard; echo "wait-gone")
wineserver -w
check "_inst0.exe is exactly the stub" cmp -s "$temp/_inst0.exe" "$bin/setvik-stub.exe"
check "the copy recorded itself for deletion" grep -qi '_inst0.exe' <(pending_renames)
restart
check "the restart deletes _inst0.exe" [ ! -e "$temp/_inst0.exe" ]

# 2. Another copy running, with a question open: even a damaged setup then
# ends at once with exit code 0, without its own message, because it hands
# over before it loads anything; an unattended one ends with 1618, showing
# nothing; the first copy's question is still there to be answered.
head -c -3 "$work/setup.exe" > "$work/damaged.exe"
drive_background first <<SCRIPT
timeout 30
start $work/setup.exe
wait-window SetvikClass
click 2
sleep 9000
answer-box yes
answer-box ok
wait-window SetvikClass "Setvik"
click 2
expect-exit 0
SCRIPT
wait_for_step first "sleep 9000"
started=$SECONDS
code=0
timeout 60 wine "$work/damaged.exe" >/dev/null 2>&1 || code=$?
took=$((SECONDS - started))
check "a second start hands over and ends with exit code 0 (got $code)" [ "$code" -eq 0 ]
check "the second start ended at once ($took s)" [ "$took" -lt 6 ]
check "an unattended second start: exit code 1618" ends_with second 1618 unseen "$work/setup.exe" /QUIET
check "the first copy ran on undisturbed" driven first
wineserver -w
check "a fixed drive makes no copy" [ ! -e "$temp/_inst0.exe" ]

[ "$failures" -eq 0 ]
