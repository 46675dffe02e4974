#!/usr/bin/env bash
# Unattended installs, started and watched by the UI driver (it reads the
# whole exit code; Wine's keeps only the low byte): the demo with /QUIET (no
# window, files and Uninstall key in place, 0, the /LOG lines) and /PASSIVE
# (the progress page alone, ending by itself); 3010 for a Windows-folder
# file in use; 1603 for damaged data and a small drive, the target as it
# was; 87 for a relative /DIR and an unknown switch; 1618 beside another.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs setvik-uninst.exe demo/DemoNotes.exe demo/DemoCore.dll uitest/setvik-testapp.exe
on_virtual_display INSTALL_UNATTENDED_ON_DISPLAY "$0"
new_work install-unattended
small=$work/small
cleanup() {
  rm -f "$WINEPREFIX/dosdevices/s:" "$drive_c/windows/setvik-e2e-quiet.txt"
  mountpoint -q "$small" 2>/dev/null && umount "$small"
  end_work
}
trap cleanup EXIT

# run NAME CODE [unseen] ARGS...: the setup ends with CODE; with unseen, no
# window of it may show meanwhile.
run() {
  local name=$1 code=$2 expect=expect-exit
  shift 2
  [ "$1" != unseen ] || { expect=expect-exit-unseen; shift; }
  printf 'timeout 90\nstart %s\n%s %s\n' "$*" "$expect" "$code" | drive "$name"
}
log_of() { winpath_of "$work/$1-setup.log"; }  # run NAME's /LOG file
lines() { check_show "$1" "$(cat "$work/$2-setup.log")" eval "$3"; }
has() { tr -d '\r' < "$work/$1-setup.log" | grep -qxF "$2"; }

# 1. The demo, quiet and then passive into the same folder, then removed.
folder='C:\e2e\unattended-demo'
dest=$(unix_of "$folder")
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Demo Notes 1.2'
rm -rf "$dest" "$drive_c/e2e/quiet"
"$bin/setvik" build "$SETVIK_ROOT/examples/demo/setup.toml" -o "$work/demo.exe" >/dev/null
check "/QUIET: no window, exit code 0" run quiet 0 unseen "$work/demo.exe" /quiet "/DIR=$folder" "/LOG=$(log_of quiet)"
check "the files, the uninstaller's log and the Uninstall key are there" eval 'cmp -s "$bin/demo/DemoNotes.exe" \
  "$dest/DemoNotes.exe" && "$bin/setvik" log "$dest/Uninstall.exe" | grep -q "^registry key:" &&
  wine reg query "$key" /v UninstallString 2>/dev/null | grep -qF "$folder\\Uninstall.exe"'
# The entry's details: publisher, version, icon, links, location, size
# (every file's size, in KiB rounded up) and the quiet removal.
sizes=$("$bin/setvik" list "$work/demo.exe" | sed -n 's/.* fileSize \([0-9]*\) .*/\1/p' | paste -sd+)
entry=$(wine reg query "$key" 2>/dev/null | tr -d '\r' | sed 's/   */ /g; s/^ //')
missing=$(while read -r line; do grep -qF -- "$line" <<<"$entry" || echo "$line"; done < <(printf '%s\n' \
  "Publisher REG_SZ Setvik Example Software" "DisplayVersion REG_SZ 1.2.0" "DisplayIcon REG_SZ $folder\\DemoNotes.exe" \
  "URLInfoAbout REG_SZ https://example.com/demo-notes" "HelpLink REG_SZ https://example.com/demo-notes/help" \
  "InstallLocation REG_SZ $folder" "QuietUninstallString REG_SZ \"$folder\\Uninstall.exe\" /S" \
  "UninstallString REG_SZ \"$folder\\Uninstall.exe\"" "NoModify REG_DWORD 0x1" "NoRepair REG_DWORD 0x1" \
  "EstimatedSize REG_DWORD $(printf '0x%x' $(( (sizes + 1023) / 1024 )))"))
check_show "the Uninstall entry's details (missing shown)" "$missing" [ -z "$missing" ]
lines "the log has a line per file and the exit code last" quiet \
  'has quiet "installed: $folder\\DemoNotes.exe" && [ "$(tr -d "\r" < "$work/quiet-setup.log" | tail -n 1)" = "exit code: 0" ]'
check "/PASSIVE: the progress page shows and ends by itself with 0" drive passive <<SCRIPT
timeout 90
start $work/demo.exe /PASSIVE /DIR=$folder
wait-window SetvikClass
expect-text 1008 "*"
expect-exit 0
SCRIPT
check "the same versions are kept and still logged for removal" \
  eval '"$bin/setvik" log "$dest/Uninstall.exe" | grep -q "name \"DemoNotes.exe\""'
check "the uninstaller removes the installation" run remove 0 "$dest/Uninstall.exe" /S
# The second run found the font in place, so the removal keeps it.
rm -f "$drive_c/windows/Fonts/DejaVuSansMono.ttf"
wine reg delete 'HKCU\Software\Setvik Demo' /f >/dev/null 2>&1 || true

# 2. A Windows-folder file in use: 3010 (the restart itself: install-busy.sh).
printf 'new\n' > "$work/setvik-e2e-quiet.txt"
{ setup_project Quiet 'C:\e2e\quiet'; printf '[[file]]\nsource = "setvik-e2e-quiet.txt"\ndestination = "windows"\n'; } \
  > "$work/restart.toml"
build_setup "$work/restart.toml" "$work/restart.exe"
printf 'old\n' > "$drive_c/windows/setvik-e2e-quiet.txt"
hold_file win 'C:\windows\setvik-e2e-quiet.txt'
check "a Windows-folder file in use: exit code 3010" run restart 3010 unseen "$work/restart.exe" /QUIET /NORESTART
release_file win
restart

# 3. Damaged file data: bytes of the last file's stream changed; the file
# before it is installed, the damaged one's target stays.
head -c 30000 /dev/urandom > "$work/random.bin"
printf 'first\n' > "$work/first.txt"
{ setup_project Quiet 'C:\e2e\quiet'; printf '[[file]]\nsource = "%s"\n' first.txt random.bin; } > "$work/damaged.toml"
build_setup "$work/damaged.toml" "$work/damaged.exe"
printf '\x55' | dd of="$work/damaged.exe" bs=1 seek=$(($(stat -c %s "$work/damaged.exe") - 5000)) conv=notrunc status=none
mkdir -p "$drive_c/e2e/quiet"
printf 'old random\n' > "$drive_c/e2e/quiet/random.bin"
check "damaged data: exit code 1603" run damaged 1603 "$work/damaged.exe" /PASSIVE "/LOG=$(log_of damaged)"
check "the damaged file's target is as it was" grep -qx 'old random' "$drive_c/e2e/quiet/random.bin"
lines "the log names the installed file and the failed one" damaged \
  'has damaged "installed: C:\\e2e\\quiet\\first.txt" && has damaged "failed 21: C:\\e2e\\quiet\\random.bin"'

# 4. A 2 MiB file for a 1 MiB drive S: (skipped without tmpfs).
mkdir -p "$small"
if mount -t tmpfs -o size=1m tmpfs "$small" 2>/dev/null; then
  ln -sfn "$small" "$WINEPREFIX/dosdevices/s:"
  mkdir -p "$small/app"
  printf 'old big\n' > "$small/app/big.bin"
  head -c $((2 * 1024 * 1024)) /dev/zero > "$work/big.bin"
  { setup_project Space 'S:\app'; printf '[[file]]\nsource = "big.bin"\n'; } > "$work/space.toml"
  build_setup "$work/space.toml" "$work/space.exe"
  check "too little room: exit code 1603" run space 1603 unseen "$work/space.exe" /QUIET "/LOG=$(log_of space)"
  check "the target on the small drive is as it was" grep -qx 'old big' "$small/app/big.bin"
  lines "the log has the space question answered No" space 'has space "question, answered No: SPACE LOW?"'
else
  echo "skipped: no tmpfs can be mounted here"
fi

# 5. Invalid switches, and another setup running (the UI driver's test
# program owns a "SetvikClass" window meanwhile).
check "/DIR=relative\\path: exit code 87" run relative 87 unseen "$work/restart.exe" /QUIET '/DIR=relative\path'
check "an unknown switch: exit code 87" run unknown 87 unseen "$work/restart.exe" /PASSIVE /BOGUS
drive_background other < <(printf 'timeout 60\nstart %s\nwait-window SetvikClass\nsleep 5000\nclick 2\nanswer-box yes\nexpect-exit 2\n' \
  "$bin/uitest/setvik-testapp.exe")
wait_for_step other sleep
check "another setup running: exit code 1618" run second 1618 unseen "$work/restart.exe" /QUIET
check "the other setup ran on undisturbed" driven other

[ "$failures" -eq 0 ]
