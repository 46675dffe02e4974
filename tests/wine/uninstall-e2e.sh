#!/usr/bin/env bash
# Installation and removal end to end under Wine: two setups made by
# `setvik build` with an [uninstaller] table, clicked through their wizards
# by the UI driver, then removed again by the installed uninstaller.
# - the first setup installs a program with start-menu (two folders deep)
#   and desktop shortcuts, a self-registering module, files in a sub-folder,
#   a kept file, a new font, a font that was there before, a shared system
#   file and a file that will be in use; the second setup installs the same
#   shared file;
# - removing the first through its questions (a file held open): exit code
#   3010 and the restart message; everything of it is gone but the kept
#   file, the old font and the shared file (count 2 -> 1); the file in use
#   goes with `wineboot -r`;
# - removing the second with /S: exit code 0, the shared file and its count
#   go;
# - with the kept file taken away by hand, the prefix's files and registry
#   equal the snapshot taken before the first installation.
set -euo pipefail
source "$(dirname "$0")/lib/uninstall-common.sh"
require_uninstaller wintest/setvik-holdfile.exe demo/DemoNotes.exe demo/DemoCore.dll
on_virtual_display UNINSTALL_E2E_ON_DISPLAY "$0"
new_uninstall_work uninstall-e2e

folder='C:\e2e\uninstall-e2e'
folder2='C:\e2e\uninstall-e2e-two'
dest=$(unix_of "$folder")
dest2=$(unix_of "$folder2")
programs=$(shell_folder Programs)
desktop=$(shell_folder Desktop)
fonts=$(shell_folder Fonts)
system32='C:\windows\system32'
shared="$system32\\svk-e2e-shared.dll"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
check "the prefix names its folders ($programs, $desktop, $fonts)" [ -n "$programs" -a -n "$desktop" -a -n "$fonts" ]
rm -rf "$dest" "$dest2" "$(unix_of "$programs\\Uninstall E2E")" "$(unix_of "$shared")" \
  "$(unix_of "$fonts")"/svk-e2e-*.ttf "$(unix_of "$desktop\\Uninstall E2E Notes.lnk")"
wine reg delete "$shared_dlls_key" /v "$shared" /f >/dev/null 2>&1 || true
for k in "$key\\Uninstall E2E" "$key\\Uninstall E2E Two" 'HKCU\Software\Setvik Demo\Core'; do
  wine reg delete "$k" /f >/dev/null 2>&1 || true
done

# What is there before: C:\e2e, the SharedDLLs key (Windows has it, a new
# Wine prefix not), the key above DemoCore's registration, an old font.
mkdir -p "$(unix_of 'C:\e2e')"
ensure_shared_dlls_key
wine reg add 'HKCU\Software\Setvik Demo' /f >/dev/null 2>&1
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$(unix_of "$fonts\\svk-e2e-old.ttf")"

mkdir -p "$work/docs"
echo "one" >"$work/docs/one.txt"
echo "two" >"$work/docs/two.txt"
echo "read me" >"$work/readme.txt"
echo "busy" >"$work/busy.dat"
echo "shared" >"$work/shared.dll"
{
  setup_project "Uninstall E2E" "$folder" 'uninstall_name = "Uninstall E2E"'
  cat <<TOML
[[file]]
source = "$bin/demo/DemoNotes.exe"
start_menu = { group = "Uninstall E2E\\\\Tools", name = "Demo Notes" }
desktop = { name = "Uninstall E2E Notes" }
[[file]]
source = "$bin/demo/DemoCore.dll"
register = "self"
[[file]]
source = "docs"
target = "Docs"
[[file]]
source = "readme.txt"
uninstall = "keep"
[[file]]
source = "busy.dat"
target = "Data\\\\busy.dat"
[[file]]
source = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
target = "svk-e2e-new.ttf"
destination = "fonts"
[[file]]
source = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
target = "svk-e2e-old.ttf"
destination = "fonts"
[[file]]
source = "shared.dll"
target = "svk-e2e-shared.dll"
destination = "system"
shared = true
[uninstaller]
start_menu = { group = "Uninstall E2E", name = "Uninstall" }
TOML
} >"$work/one.toml"
{
  setup_project "Uninstall E2E Two" "$folder2" 'uninstall_name = "Uninstall E2E Two"'
  cat <<TOML
[[file]]
source = "shared.dll"
target = "svk-e2e-shared.dll"
destination = "system"
shared = true
[uninstaller]
TOML
} >"$work/two.toml"
build_setup "$work/one.toml" "$work/one.exe"
build_setup "$work/two.toml" "$work/two.exe"

install() { # name setup folder
  {
    to_confirmation "$2" "$3"
    echo 'answer-box yes "CREATE FOLDER?" "E2E"'
    confirm
    finish
  } | drive "$1"
}

snapshot "$work/before"
check "the first setup installs" install install-one "$work/one.exe" "$folder"
check "the second setup installs" install install-two "$work/two.exe" "$folder2"
check "the uninstaller is in place with its log" grep -q "^registry key:" <("$bin/setvik" log "$dest/uninstall.exe")
check "the shared file is counted twice" [ "$(reg_value "$shared_dlls_key" "$shared")" = 0x2 ]
check "the module registered itself" [ -n "$(reg_value 'HKCU\Software\Setvik Demo\Core' State)" ]
check "the start-menu shortcuts are there" \
  [ -e "$(unix_of "$programs\\Uninstall E2E\\Tools\\Demo Notes.lnk")" -a -e "$(unix_of "$programs\\Uninstall E2E\\Uninstall.lnk")" ]

# Removing the first setup's installation, one of its files held open.
hold_file busy "$folder\\Data\\busy.dat"
drive remove-one <<SCRIPT && removed=1 || removed=0
timeout 60
start $folder\\uninstall.exe
answer-box yes "Do you want to remove Uninstall E2E and all of its components from your computer?" "Uninstall E2E Uninstall"
answer-box ok "Uninstall E2E was removed from your computer. Some of its files are in use*"
expect-exit 3010
SCRIPT
release_file busy
wineserver -w
check "first removal: asked, told of the restart, exit code 3010" [ "$removed" = 1 ]
check "first removal: the file in use waits for the restart" grep -qi 'busy.dat' <(pending_renames)
check "first removal: the kept file stays" [ -e "$dest/readme.txt" ]
check "first removal: nothing else is left in the folder" [ "$(cd "$dest" && find . -type f | sort | tr '\n' ' ')" = "./Data/busy.dat ./readme.txt " ]
check "first removal: the font that was there before stays" cmp -s /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$(unix_of "$fonts\\svk-e2e-old.ttf")"
check "first removal: the new font is gone" [ ! -e "$(unix_of "$fonts\\svk-e2e-new.ttf")" ]
check "first removal: the shared file stays, counted once" \
  [ -e "$(unix_of "$shared")" -a "$(reg_value "$shared_dlls_key" "$shared")" = 0x1 ]
check "first removal: the module is unregistered" [ -z "$(reg_value 'HKCU\Software\Setvik Demo\Core' State)" ]
check "first removal: the shortcuts and their folders are gone" \
  [ ! -e "$(unix_of "$programs\\Uninstall E2E")" -a ! -e "$(unix_of "$desktop\\Uninstall E2E Notes.lnk")" ]
check "first removal: the Uninstall key is gone" [ -z "$(reg_value "$key\\Uninstall E2E" DisplayName)" ]
check "the second installation is untouched" [ -n "$(reg_value "$key\\Uninstall E2E Two" DisplayName)" -a -e "$dest2/uninstall.exe" ]
wineboot -r >/dev/null 2>&1 || true
wineserver -w
check "after the restart: the file in use and its folder are gone" [ ! -e "$dest/Data" ]

# Removing the second without questions.
check "second removal with /S: exit code 0" ends_with remove-two 0 "$folder2\\uninstall.exe" /S
wineserver -w
check "second removal: the shared file and its count are gone" \
  [ ! -e "$(unix_of "$shared")" -a -z "$(reg_value "$shared_dlls_key" "$shared")" ]
check "second removal: its folder is gone" [ ! -e "$dest2" ]

# The kept file is the user's now; without it the prefix is as it was.
rm -f "$dest/readme.txt"
rmdir "$dest"
wineboot -r >/dev/null 2>&1 || true  # the uninstallers' temporary copies go
snapshot "$work/after"
check "without the kept file, the prefix is as before the installations" same_snapshot "$work/before" "$work/after"
check "no temporary copy of the uninstaller is left" [ -z "$(ls "$(temp_folder)"/_uninst*.exe 2>/dev/null)" ]

rm -f "$(unix_of "$fonts\\svk-e2e-old.ttf")"
[ "$failures" -eq 0 ]
