#!/usr/bin/env bash
# What an installation does besides writing files, as the project file asks
# and the stub reads it back from the setup, in one wizard run:
# - a desktop shortcut and a start-menu shortcut in a two-level group, read
#   back through the shell-link interface (target, arguments with quotes,
#   working folder, the icon only on the start-menu one);
# - a shared file counted nowhere while the SharedDLLs key is missing (the
#   key is not made); a font with no registry entry; a run-after program
#   whose box was cleared does not start.
# (The version and language questions: OverwriteRulesTest; counts,
# registration and the Uninstall entry: uninstall-e2e.sh; the finish page's
# launches: wizard-finish.sh.)
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs wintest/setvik-marker.exe
on_virtual_display INSTALL_EXTRAS_ON_DISPLAY "$0"
new_work install-extras

folder='C:\e2e\extra files'
dest=$(unix_of "$folder")
shared_dll='C:\windows\system32\setvik-e2e-shared.dll'
fonts=$drive_c/windows/Fonts
cleanup_prefix() {
  rm -rf "$dest" "$fonts/SetvikE2EFont.ttf" "$(unix_of "$shared_dll")" "$drive_c"/users/*/Desktop/"Setvik E2E"*.lnk \
    "$drive_c"/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs/"Setvik E2E"
  wine reg delete "$shared_dlls_key" /v "$shared_dll" /f >/dev/null 2>&1 || true
}
cleanup_prefix
at_exit cleanup_prefix
at_exit 'wine reg add "$shared_dlls_key" /f >/dev/null 2>&1'
mkdir -p "$dest"
cp "$helpers/setvik-marker.exe" "$work/app.exe"
cp "$helpers/setvik-marker.exe" "$work/after.exe"
printf 'shared library stand-in\n' > "$work/setvik-e2e-shared.dll"
cp /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$work/SetvikE2EFont.ttf"
{
  setup_project "Extras" "$folder"
  cat <<'TOML'
[[file]]
source = "app.exe"
desktop = { name = "Setvik E2E App", args = "--desk" }
start_menu = { group = 'Setvik E2E\Tools', name = "Setvik E2E App", args = "--menu \"two words\"", icon = 1 }
[[file]]
source = "setvik-e2e-shared.dll"
destination = "system"
shared = true
[[file]]
source = "SetvikE2EFont.ttf"
destination = "fonts"
[[file]]
source = "after.exe"
launch = "run-after"
TOML
} > "$work/extras.toml"
build_setup "$work/extras.toml" "$work/extras.exe"

wine reg delete "$shared_dlls_key" /f >/dev/null 2>&1 || true
check "the installation ends on the finish page, the run-after box cleared" drive install < <(
  to_confirmation "$work/extras.exe" "$folder"; confirm; printf 'expect-text 1000 "INSTALLED"\nuncheck 1015\n'; finish)
check "without the SharedDLLs key nothing is counted and the key is not made" \
  eval '! wine reg query "$shared_dlls_key" >/dev/null 2>&1'
links=$(wine "$helpers/setvik-linkreader.exe" 'desktop:Setvik E2E App.lnk' 'programs:Setvik E2E\Tools\Setvik E2E App.lnk' \
        2>/dev/null | tr -d '\r' || true)
expected="path=$folder\\app.exe
args=--desk
dir=$folder
icon=,0
path=$folder\\app.exe
args=--menu \"two words\"
dir=$folder
icon=$folder\\app.exe,1"
check_show "the desktop and start-menu shortcuts read back as made" "$links" [ "$links" = "$expected" ]
check "the font is in the Fonts folder, with no registry entry" eval 'cmp -s "$work/SetvikE2EFont.ttf" "$fonts/SetvikE2EFont.ttf" &&
  ! wine reg query "HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts" 2>/dev/null | grep -qi SetvikE2EFont'
sleep 2
check "with its box cleared, the run-after program does not start" [ ! -e "$dest/after.exe.txt" ]
check "no temporary file is left" no_temporary_files "$dest"
[ "$failures" -eq 0 ]
