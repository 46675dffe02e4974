#!/usr/bin/env bash
# A 64-bit setup (architecture = "x64") in a 64-bit Wine prefix of its own,
# through the wizard, then removed with /S: files go to
# C:\Program Files and the real System32, the Uninstall entry, the
# remembered folder and the system file's shared count (under its System32
# name, as 64-bit programs count it) lie in the 64-bit registry view only, a 64-bit library
# registers itself (the 64-bit regsvr32) and is unregistered again; the
# removal leaves nothing.
set -euo pipefail
export SETVIK_WINE64=1
source "$(dirname "$0")/lib/common.sh"
require_programs setvik-uninst.exe wintest/SelfRegister64.dll
on_virtual_display INSTALL_X64_ON_DISPLAY "$0"
new_work install-x64

folder='C:\Program Files\X64 E2E'
dest=$(unix_of "$folder")
system_file=$drive_c/windows/system32/svk-x64.txt
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\X64 E2E'
memory='HKLM\Software\Setvik X64'
shared='HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs'
selfreg='HKCU\Software\Setvik Test\SelfRegister'
in_view() { # bits key [value]
  local v=(/ve)
  [ -z "${3:-}" ] || v=(/v "$3")
  wine reg query "$2" "${v[@]}" "/reg:$1" >/dev/null 2>&1
}
echo "notes" >"$work/notes.txt"
{
  setup_project "X64 E2E" '#Program Files#\X64 E2E' 'architecture = "x64"' 'uninstall_name = "X64 E2E"'
  cat <<TOML
[folder_memory]
registry_root = "HKLM"
registry_key = "Software\\\\Setvik X64"
save_to_registry = true
[[file]]
source = "notes.txt"
[[file]]
source = "notes.txt"
target = "svk-x64.txt"
destination = "system"
shared = true
[[file]]
source = "$bin/wintest/SelfRegister64.dll"
register = "self"
[uninstaller]
TOML
} >"$work/x64.toml"
build_setup "$work/x64.toml" "$work/x64.exe"
wine reg add "$shared" /f /reg:64 >/dev/null 2>&1  # counts are kept only where the key exists

check "the wizard proposes C:\\Program Files and installs" drive wizard < <(
  to_confirmation "$work/x64.exe" "$folder" proposed; echo 'answer-box yes "CREATE FOLDER?" "E2E"'; confirm; finish)
check "files in the 64-bit Program Files and System32, none in the 32-bit ones" \
  [ -e "$dest/notes.txt" -a -e "$system_file" -a ! -e "$dest (x86)" -a ! -e "$drive_c/windows/syswow64/svk-x64.txt" ]
check "entry, remembered folder and shared count in the 64-bit view only" eval 'in_view 64 "$key" DisplayName &&
  ! in_view 32 "$key" DisplayName && in_view 64 "$memory" && ! in_view 32 "$memory" &&
  in_view 64 "$shared" "C:\windows\System32\svk-x64.txt" && ! in_view 32 "$shared" "C:\windows\System32\svk-x64.txt"'
check "the 64-bit library registered itself" [ -n "$(reg_value "$selfreg" State64)" ]
check "removed with /S, exit code 0" ends_with remove 0 "$folder\\uninstall.exe" /S
wineserver -w
check "the removal leaves nothing" eval '[ ! -e "$dest" -a ! -e "$system_file" ] &&
  [ -z "$(reg_value "$selfreg" State64)" ] && ! in_view 64 "$key" DisplayName &&
  ! in_view 64 "$shared" "C:\windows\System32\svk-x64.txt"'
wine reg delete "$memory" /f /reg:64 >/dev/null 2>&1 || true
wineserver -k
[ "$failures" -eq 0 ]
