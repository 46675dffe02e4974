#!/usr/bin/env bash
# A 64-bit setup (architecture = "x64") end to end in a 64-bit Wine prefix
# of its own, through the wizard and with /QUIET, each removed with /S: the
# files go to C:\Program Files (not its (x86) twin) and the real system
# folder, the Uninstall key and the remembered folder lie in the 64-bit
# registry view only, a 64-bit library registers itself through the 64-bit
# regsvr32 and is unregistered again; the removal leaves none of it. The
# same setup in the 32-bit prefix refuses: a message, or nothing with
# /QUIET, and exit code 1603.
set -euo pipefail
export SETVIK_WINE64=1
source "$(dirname "$0")/lib/uninstall-common.sh"
require_uninstaller wintest/SelfRegister64.dll
on_virtual_display INSTALL_X64_ON_DISPLAY "$0"
new_uninstall_work install-x64

folder='C:\Program Files\X64 E2E'
dest=$(unix_of "$folder")
system_file=$drive_c/windows/system32/svk-x64.txt
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\X64 E2E'
memory='HKLM\Software\Setvik X64'
selfreg='HKCU\Software\Setvik Test\SelfRegister'
in_view() { # bits key value ("" for the default value)
  if [ -n "$3" ]; then wine reg query "$2" /v "$3" "/reg:$1"; else wine reg query "$2" /ve "/reg:$1"; fi >/dev/null 2>&1
}
rm -rf "$dest" "$(unix_of 'C:\Program Files (x86)\X64 E2E')" "$system_file"
wine reg delete "$key" /f /reg:64 >/dev/null 2>&1 || true

echo "notes" >"$work/notes.txt"
echo "system" >"$work/system.txt"
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
source = "system.txt"
target = "svk-x64.txt"
destination = "system"
[[file]]
source = "$bin/wintest/SelfRegister64.dll"
register = "self"
[uninstaller]
TOML
} >"$work/x64.toml"
build_setup "$work/x64.toml" "$work/x64.exe"

installed() { # how
  check "$1: the files are in the 64-bit Program Files and System32" \
    [ -e "$dest/notes.txt" -a -e "$dest/uninstall.exe" -a -e "$system_file" ]
  check "$1: nothing went to the 32-bit folders" [ ! -e "$(unix_of 'C:\Program Files (x86)\X64 E2E')" \
    -a ! -e "$drive_c/windows/syswow64/svk-x64.txt" ]
  check "$1: the entry and the folder memory are in the 64-bit view only" \
    eval 'in_view 64 "$key" DisplayName && ! in_view 32 "$key" DisplayName && in_view 64 "$memory" "" && ! in_view 32 "$memory" ""'
  check "$1: the 64-bit library registered itself" [ -n "$(reg_value "$selfreg" State64)" ]
  check "$1: removed with /S, exit code 0" ends_with "remove-$1" 0 "$folder\\uninstall.exe" /S
  wineserver -w
  check "$1: the removal leaves nothing" eval '[ ! -e "$dest" -a ! -e "$system_file" -a -z "$(reg_value "$selfreg" State64)" ] &&
    ! in_view 64 "$key" DisplayName'
  wine reg delete "$memory" /f /reg:64 >/dev/null 2>&1 || true
}

drive wizard <<SCRIPT && ran=1 || ran=0
timeout 60
start $work/x64.exe
wait-window SetvikClass
expect-text 1000 "WELCOME"
click 1
expect-text 1000 "INFORMATION"
click 1
expect-text 1004 $(script_text "$folder")
click 1
answer-box yes "CREATE FOLDER?" "E2E"
$(confirm; finish)
SCRIPT
check "the wizard proposes C:\\Program Files and installs" [ "$ran" = 1 ]
installed wizard
check "/QUIET installs with exit code 0" ends_with quiet 0 "$work/x64.exe" /QUIET
installed quiet
wineserver -k

# The 32-bit prefix: the setup refuses.
export SETVIK_WINE64= WINEPREFIX=$SETVIK_ROOT/build/wineprefix WINEARCH=win32
wine_prefix_ready
drive refuse32 <<SCRIPT && refused=1 || refused=0
timeout 60
start $work/x64.exe
answer-box ok "X64 E2E needs a 64-bit version of Windows." "E2E"
expect-exit 1603
SCRIPT
check "on 32-bit Windows: the message, exit code 1603" [ "$refused" = 1 ]
check "on 32-bit Windows with /QUIET: exit code 1603" ends_with refuse32-quiet 1603 "$work/x64.exe" /QUIET
wineserver -k
[ "$failures" -eq 0 ]
