#!/usr/bin/env bash
# A per-user setup (scope = "user") end to end under Wine, once through the
# wizard and once with /QUIET, each removed by its uninstaller with /S:
# `#Program Files#` is the user's AppData\Local\Programs, the Uninstall key
# lies under HKEY_CURRENT_USER (none under HKEY_LOCAL_MACHINE), the shortcut
# is in the user's Programs folder, the font in the user's Fonts folder with
# its value under HKEY_CURRENT_USER; both programs carry the asInvoker
# manifest; the removal leaves none of it behind.
set -euo pipefail
source "$(dirname "$0")/lib/uninstall-common.sh"
require_uninstaller
on_virtual_display INSTALL_SCOPE_ON_DISPLAY "$0"
new_uninstall_work install-scope

local_appdata=$(shell_folder 'Local AppData')
programs=$(shell_folder Programs)
folder="$local_appdata\\Programs\\Scope E2E"
dest=$(unix_of "$folder")
fonts="$local_appdata\\Microsoft\\Windows\\Fonts"
user_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Scope E2E'
machine_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Scope E2E'
font_key='HKCU\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
rm -rf "$dest" "$(unix_of "$programs\\Scope E2E")" "$(unix_of "$fonts")"/svk-scope.ttf
wine reg delete "$user_key" /f >/dev/null 2>&1 || true

echo "notes" >"$work/notes.txt"
{
  setup_project "Scope E2E" '#Program Files#\Scope E2E' 'scope = "user"' 'uninstall_name = "Scope E2E"'
  cat <<TOML
[[file]]
source = "notes.txt"
start_menu = { group = "Scope E2E", name = "Notes" }
[[file]]
source = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
target = "svk-scope.ttf"
destination = "fonts"
[uninstaller]
TOML
} >"$work/scope.toml"
build_setup "$work/scope.toml" "$work/scope.exe"
check "the setup asks for no elevation" grep -q '^manifest: asInvoker$' <("$bin/setvik" list "$work/scope.exe")
check "nor does its uninstaller" grep -qa 'level="asInvoker"' <("$bin/setvik" extract "$work/scope.exe" "$work/x" >/dev/null &&
                                                                  cat "$work/x/install/uninstall.exe")

installed() { # how
  check "$1: the files are in the user's Programs folder" [ -e "$dest/notes.txt" -a -e "$dest/uninstall.exe" ]
  check "$1: the entry is the user's" [ -n "$(reg_value "$user_key" DisplayName)" -a -z "$(reg_value "$machine_key" DisplayName)" ]
  check "$1: the shortcut is in the user's start menu" [ -e "$(unix_of "$programs\\Scope E2E\\Notes.lnk")" ]
  check "$1: the font is the user's, with its value" \
    [ -e "$(unix_of "$fonts\\svk-scope.ttf")" -a -n "$(reg_value "$font_key" svk-scope.ttf)" ]
  check "$1: removed with /S, exit code 0" ends_with "remove-$1" 0 "$folder\\uninstall.exe" /S
  wineserver -w
  check "$1: the removal leaves nothing" [ ! -e "$dest" -a ! -e "$(unix_of "$programs\\Scope E2E")" \
    -a ! -e "$(unix_of "$fonts\\svk-scope.ttf")" -a -z "$(reg_value "$user_key" DisplayName)" \
    -a -z "$(reg_value "$font_key" svk-scope.ttf)" ]
}

drive wizard <<SCRIPT && ran=1 || ran=0
timeout 60
start $work/scope.exe
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
check "the wizard proposes the user's Programs folder and installs" [ "$ran" = 1 ]
installed wizard

check "/QUIET installs with exit code 0" ends_with quiet 0 "$work/scope.exe" /QUIET
installed quiet
[ "$failures" -eq 0 ]
