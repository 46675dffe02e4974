#!/usr/bin/env bash
# A per-user setup (scope = "user") under Wine, through the wizard and with
# /QUIET, each removed with /S: it asks for no elevation; files, Uninstall
# entry, shortcut and font (with its value) are the user's, none of them the
# machine's; the removal leaves nothing.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs setvik-uninst.exe
on_virtual_display INSTALL_SCOPE_ON_DISPLAY "$0"
new_work install-scope

local_appdata=$(shell_folder 'Local AppData')
programs=$(shell_folder Programs)
folder="$local_appdata\\Programs\\Scope E2E"
dest=$(unix_of "$folder")
font=$(unix_of "$local_appdata\\Microsoft\\Windows\\Fonts\\svk-scope.ttf")
key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Scope E2E'
font_key='HKCU\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
rm -rf "$dest" "$(unix_of "$programs\\Scope E2E")" "$font"  # what a failed run left
wine reg delete "HKCU\\$key" /f >/dev/null 2>&1 || true
wine reg delete "$font_key" /v svk-scope.ttf /f >/dev/null 2>&1 || true
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
"$bin/setvik" extract "$work/scope.exe" "$work/x" >/dev/null
check "the setup and its uninstaller ask for no elevation" eval 'grep -q "^manifest: asInvoker$" \
  <("$bin/setvik" list "$work/scope.exe") && grep -qa "level=\"asInvoker\"" "$work/x/install/uninstall.exe"'

installed() { # how
  check "$1: files, entry, shortcut and font are the user's, not the machine's" eval '[ -e "$dest/notes.txt" ] &&
    [ -n "$(reg_value "HKCU\\$key" DisplayName)" -a -z "$(reg_value "HKLM\\$key" DisplayName)" ] &&
    [ -e "$(unix_of "$programs\\Scope E2E\\Notes.lnk")" -a -e "$font" -a -n "$(reg_value "$font_key" svk-scope.ttf)" ]'
  check "$1: removed with /S, exit code 0" ends_with "remove-$1" 0 "$folder\\uninstall.exe" /S
  wineserver -w
  check "$1: the removal leaves nothing" eval '[ ! -e "$dest" -a ! -e "$(unix_of "$programs\\Scope E2E")" -a ! -e "$font" ] &&
    [ -z "$(reg_value "HKCU\\$key" DisplayName)" -a -z "$(reg_value "$font_key" svk-scope.ttf)" ]'
}

check "the wizard proposes the user's Programs folder and installs" drive wizard < <(to_confirmation "$work/scope.exe" "$folder" proposed
  echo 'answer-box yes "CREATE FOLDER?" "E2E"'; confirm; finish)
installed wizard
check "/QUIET installs with exit code 0" ends_with quiet 0 "$work/scope.exe" /QUIET
installed quiet
[ "$failures" -eq 0 ]
