#!/usr/bin/env bash
# Unattended installs, started and watched by the UI driver (it reads the
# whole exit code; Wine's keeps only the low byte): the demo with /QUIET (no
# window, files and Uninstall key in place, 0, the /LOG lines), removed with
# /S; 1603 for damaged data, the target as it was; 87 for a relative /DIR
# and an unknown switch (1618 beside another: startup.sh).
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs setvik-uninst.exe demo/DemoNotes.exe demo/DemoCore.dll
on_virtual_display INSTALL_UNATTENDED_ON_DISPLAY "$0"
new_work install-unattended

log_of() { winpath_of "$work/$1-setup.log"; }  # NAME's /LOG file
lines() { check_show "$1" "$(cat "$work/$2-setup.log")" eval "$3"; }
has() { tr -d '\r' < "$work/$1-setup.log" | grep -qxF "$2"; }

# 1. The demo, quiet, then removed.
folder='C:\e2e\unattended-demo'
dest=$(unix_of "$folder")
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Demo Notes 1.2'
rm -rf "$dest" "$drive_c/e2e/quiet"
"$bin/setvik" build "$SETVIK_ROOT/examples/demo/setup.toml" -o "$work/demo.exe" >/dev/null
check "/QUIET: no window, exit code 0" ends_with quiet 0 unseen "$work/demo.exe" /quiet "/DIR=$folder" "/LOG=$(log_of quiet)"
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
check "the uninstaller removes the installation" ends_with remove 0 "$dest/Uninstall.exe" /S
wine reg delete 'HKCU\Software\Setvik Demo' /f >/dev/null 2>&1 || true

# 2. Damaged file data: bytes of the last file's stream changed; the file
# before it is installed, the damaged one's target stays.
head -c 30000 /dev/urandom > "$work/random.bin"
printf 'first\n' > "$work/first.txt"
{ setup_project Quiet 'C:\e2e\quiet'; printf '[[file]]\nsource = "%s"\n' first.txt random.bin; } > "$work/damaged.toml"
build_setup "$work/damaged.toml" "$work/plain.exe"
cp "$work/plain.exe" "$work/damaged.exe"
printf '\x55' | dd of="$work/damaged.exe" bs=1 seek=$(($(stat -c %s "$work/damaged.exe") - 5000)) conv=notrunc status=none
mkdir -p "$drive_c/e2e/quiet"
printf 'old random\n' > "$drive_c/e2e/quiet/random.bin"
check "damaged data: exit code 1603" ends_with damaged 1603 "$work/damaged.exe" /PASSIVE "/LOG=$(log_of damaged)"
check "the damaged file's target is as it was" grep -qx 'old random' "$drive_c/e2e/quiet/random.bin"
lines "the log names the installed file, the failed one and the exit code" damaged \
  'has damaged "installed: C:\\e2e\\quiet\\first.txt" && has damaged "failed 21: C:\\e2e\\quiet\\random.bin" &&
   has damaged "exit code: 1603"'

# 3. Invalid switches.
check "/DIR=relative\\path: exit code 87" ends_with relative 87 unseen "$work/plain.exe" /QUIET '/DIR=relative\path'
check "an unknown switch: exit code 87" ends_with unknown 87 unseen "$work/plain.exe" /PASSIVE /BOGUS

[ "$failures" -eq 0 ]
