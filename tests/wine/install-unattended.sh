#!/usr/bin/env bash
# Unattended installs under Wine, each started and watched by the UI driver
# (which reads the whole exit code; Wine's own keeps only its low byte):
# - the example setup with /QUIET: no window of the setup ever shows, the
#   files, the uninstaller with its log and the Uninstall key are there,
#   exit code 0, and the /LOG file has a line per file and the exit code;
#   again with /PASSIVE: only the progress page shows, and it ends by
#   itself with 0; the installation is then removed by its uninstaller;
# - a Windows-folder file in use: replaced at the restart, exit code 3010;
# - damaged file data and a drive with too little room: 1603, the existing
#   target as it was; the log names the failed file, and the space
#   question with the answer taken (No);
# - /DIR=relative\path and an unknown switch: 87; another setup running:
#   1618.
set -euo pipefail
source "$(dirname "$0")/lib/install-common.sh"
require_programs setvik-uninst.exe demo/DemoNotes.exe demo/DemoCore.dll uitest/setvik-testapp.exe
on_virtual_display INSTALL_UNATTENDED_ON_DISPLAY "$0"
new_work install-unattended
small=$work/small
cleanup() {
  rm -f "$WINEPREFIX/dosdevices/s:"
  mountpoint -q "$small" 2>/dev/null && umount "$small"
  rm -f "$drive_c/windows/setvik-e2e-quiet.txt"
  end_work
}
trap cleanup EXIT

# unattended NAME CODE PROGRAM ARGS...: the setup ends with CODE, and no
# window of it shows meanwhile.
unattended() {
  local name=$1 code=$2
  shift 2
  drive "$name" <<SCRIPT
timeout 90
start $*
expect-exit-unseen $code
SCRIPT
}
# The /LOG file of run NAME, its Windows path, and its lines.
log_of() { winpath_of "$work/$1-setup.log"; }
has_line() { tr -d '\r' < "$work/$1-setup.log" | grep -qxF "$2"; }
last_line() { [ "$(tr -d '\r' < "$work/$1-setup.log" | tail -n 1)" = "$2" ]; }

# 1. The example setup, quiet and then passive, into the same folder.
folder='C:\e2e\unattended-demo'
dest=$(unix_of "$folder")
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Demo Notes 1.2'
rm -rf "$dest" "$drive_c/e2e/quiet"
"$bin/setvik" build "$SETVIK_ROOT/examples/demo/setup.toml" -o "$work/demo.exe" >/dev/null
check "/QUIET: no window, exit code 0" unattended quiet 0 "$work/demo.exe" /quiet "/DIR=$folder" "/LOG=$(log_of quiet)"
check "the program and the documents are installed" \
  eval 'cmp -s "$bin/demo/DemoNotes.exe" "$dest/DemoNotes.exe" && [ -e "$dest/Docs/license.txt" ]'
check "the uninstaller holds its log" grep -q "^registry key:" <("$bin/setvik" log "$dest/Uninstall.exe")
check "the Uninstall key names the uninstaller" \
  grep -qF "$folder\\Uninstall.exe" <(wine reg query "$key" /v UninstallString 2>/dev/null)
check_show "the log has a line per file and the exit code last" "$(cat "$work/quiet-setup.log")" \
  eval 'has_line quiet "installed: $folder\\DemoNotes.exe" && last_line quiet "exit code: 0"'
drive passive <<SCRIPT && ok=1 || ok=0
timeout 90
start $work/demo.exe /PASSIVE /DIR=$folder
wait-window SetvikClass
expect-text 1008 "*"
expect-exit 0
SCRIPT
check "/PASSIVE: the progress page shows and ends by itself with 0" [ "$ok" = 1 ]
files=$("$bin/setvik" log "$dest/Uninstall.exe")
check_show "the same versions are kept, and the log still lists them" "$files" eval '[[ $files == *DemoNotes.exe* ]]'
check "the uninstaller removes the installation" drive remove <<SCRIPT
timeout 60
start $dest/Uninstall.exe /S
expect-exit 0
SCRIPT
for _ in $(seq 50); do [ -e "$dest/DemoNotes.exe" ] || break; sleep 0.2; done
wine reg delete 'HKCU\Software\Setvik Demo' /f >/dev/null 2>&1 || true

# 2. A Windows-folder file in use: replaced at the next restart, 3010.
printf 'new\n' > "$work/setvik-e2e-quiet.txt"
{
  setup_project "Quiet" 'C:\e2e\quiet'
  printf '[[file]]\nsource = "setvik-e2e-quiet.txt"\ndestination = "windows"\n'
} > "$work/restart.toml"
build_setup "$work/restart.toml" "$work/restart.exe"
printf 'old\n' > "$drive_c/windows/setvik-e2e-quiet.txt"
hold_file win 'C:\windows\setvik-e2e-quiet.txt'
check "a Windows-folder file in use: exit code 3010" unattended restart 3010 "$work/restart.exe" /QUIET /NORESTART
release_file win
check "it waits for the restart" grep -qi 'setvik-e2e-quiet' <<<"$(pending_renames)"
wineboot -r >/dev/null 2>&1 || true
wineserver -w
check "after the restart it is the new one" grep -qx new "$drive_c/windows/setvik-e2e-quiet.txt"

# 3. Damaged file data: the last file's stored bytes changed. The file
# before it is installed; the damaged one's existing target stays.
head -c 30000 /dev/urandom > "$work/random.bin"
printf 'first\n' > "$work/first.txt"
{
  setup_project "Quiet" 'C:\e2e\quiet'
  printf '[[file]]\nsource = "first.txt"\n[[file]]\nsource = "random.bin"\n'
} > "$work/damaged.toml"
build_setup "$work/damaged.toml" "$work/damaged.exe"
size=$(stat -c %s "$work/damaged.exe")
printf '\x55' | dd of="$work/damaged.exe" bs=1 seek=$((size - 5000)) conv=notrunc status=none
mkdir -p "$drive_c/e2e/quiet"
printf 'old random\n' > "$drive_c/e2e/quiet/random.bin"
check "damaged data: exit code 1603" drive damaged <<SCRIPT
timeout 60
start $work/damaged.exe /PASSIVE /LOG=$(log_of damaged)
expect-exit 1603
SCRIPT
check "the damaged file's target is as it was" grep -qx 'old random' "$drive_c/e2e/quiet/random.bin"
check_show "the log names the installed file, the failed one and 1603" "$(cat "$work/damaged-setup.log")" \
  eval 'has_line damaged "installed: C:\\e2e\\quiet\\first.txt" &&
        has_line damaged "failed 21: C:\\e2e\\quiet\\random.bin" && last_line damaged "exit code: 1603"'

# 4. Too little room: a 1 MiB drive S: for a 2 MiB file; the existing
# target stays. Skipped where no tmpfs can be mounted.
mkdir -p "$small"
if mount -t tmpfs -o size=1m tmpfs "$small" 2>/dev/null; then
  ln -sfn "$small" "$WINEPREFIX/dosdevices/s:"
  mkdir -p "$small/app"
  printf 'old big\n' > "$small/app/big.bin"
  head -c $((2 * 1024 * 1024)) /dev/zero > "$work/big.bin"
  { setup_project "Space" 'S:\app'; printf '[[file]]\nsource = "big.bin"\n'; } > "$work/space.toml"
  build_setup "$work/space.toml" "$work/space.exe"
  check "too little room: exit code 1603" unattended space 1603 "$work/space.exe" /QUIET "/LOG=$(log_of space)"
  check "the target on the small drive is as it was" grep -qx 'old big' "$small/app/big.bin"
  check_show "the log has the space question answered No" "$(cat "$work/space-setup.log")" \
    has_line space "question, answered No: SPACE LOW?"
else
  echo "skipped: no tmpfs can be mounted here"
fi

# 5. Invalid switches and values, and another setup running (the UI
# driver's test program owns a "SetvikClass" window meanwhile).
check "/DIR=relative\\path: exit code 87" unattended relative 87 "$work/restart.exe" /QUIET '/DIR=relative\path'
check "an unknown switch: exit code 87" unattended unknown 87 "$work/restart.exe" /PASSIVE /BOGUS
drive_background other <<SCRIPT
timeout 60
start $bin/uitest/setvik-testapp.exe
wait-window SetvikClass "Test Setup"
sleep 5000
click 2
answer-box yes "Do you really*"
expect-exit 2
SCRIPT
wait_for_step other sleep
check "another setup running: exit code 1618" unattended second 1618 "$work/restart.exe" /QUIET
check "the other setup ran on undisturbed" driven other

[ "$failures" -eq 0 ]
