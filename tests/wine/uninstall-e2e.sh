#!/usr/bin/env bash
# Installation and removal end to end under Wine.
# 1. Two setups sharing a system file, clicked through their wizards: the
#    first removed through its questions while one of its files is held
#    (3010, the restart message; the held file goes at `wineboot -r`; its
#    read-only files go all the same),
#    keeping its kept file, an old font and the shared file counted once;
#    the second removed with /S takes the shared file; the uninstallers'
#    temporary copies go at the restart. The folder is remembered in the
#    registry and proposed by a later setup that reads it.
# 2. Removals that are refused or declined change nothing: No (1602), a
#    damaged log with /S (1610), a copy elsewhere (1610), an unknown
#    argument (87). (A log whose paths climb out of the folder, or
#    without a key: UninstallTest.)
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
export LC_ALL=C
require_programs setvik-uninst.exe demo/DemoNotes.exe demo/DemoCore.dll
on_virtual_display UNINSTALL_E2E_ON_DISPLAY "$0"
new_work uninstall-e2e
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
programs=$(shell_folder Programs)
desktop=$(shell_folder Desktop)
fonts=$(shell_folder Fonts)

# --- 1. Two setups sharing a file -------------------------------------------------
folder='C:\e2e\uninstall-one'
folder2='C:\e2e\uninstall-two'
dest=$(unix_of "$folder")
dest2=$(unix_of "$folder2")
shared='C:\windows\system32\svk-e2e-shared.dll'
old_font=$(unix_of "$fonts\\svk-e2e-old.ttf")
memory='HKCU\Software\Setvik Uninstall Test'
clean_two() {
  rm -rf "$(unix_of "$programs\\Uninstall E2E")" "$(unix_of "$shared")" "$(unix_of "$fonts")"/svk-e2e-*.ttf \
    "$(unix_of "$desktop\\Uninstall E2E Notes.lnk")"
  wine reg delete "$shared_dlls_key" /v "$shared" /f >/dev/null 2>&1 || true
  for k in "$uninstall_key\\Uninstall E2E" "$uninstall_key\\Uninstall E2E Two" 'HKCU\Software\Setvik Demo\Core' \
           "$memory"; do
    wine reg delete "$k" /f >/dev/null 2>&1 || true
  done
}
clean_two
at_exit clean_two
mkdir -p "$(unix_of 'C:\e2e')"
wine reg add "$shared_dlls_key" /f >/dev/null 2>&1  # Windows has it, a new prefix not
wine reg add 'HKCU\Software\Setvik Demo' /f >/dev/null 2>&1
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$old_font"
mkdir -p "$work/docs"
echo one >"$work/docs/one.txt"
echo "read me" >"$work/readme.txt"
echo busy >"$work/busy.dat"
echo shared >"$work/shared.dll"
shared_file='[[file]]
source = "shared.dll"
target = "svk-e2e-shared.dll"
destination = "system"
shared = true'
{
  setup_project "Uninstall E2E" "$folder" 'uninstall_name = "Uninstall E2E"'
  cat <<TOML
[folder_memory]
registry_root = "HKCU"
registry_key = "Software\\\\Setvik Uninstall Test"
registry_value = "Folder"
save_to_registry = true
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
$shared_file
[uninstaller]
start_menu = { group = "Uninstall E2E", name = "Uninstall" }
TOML
} >"$work/one.toml"
build_setup "$work/one.toml" "$work/one.exe"
# The second reads the folder from the registry.
{ setup_project "Uninstall E2E Two" "$folder2" 'uninstall_name = "Uninstall E2E Two"'
  printf '[folder_memory]\nregistry_root = "HKCU"\nregistry_key = "Software\\\\Setvik Uninstall Test"\n'
  printf 'registry_value = "Folder"\n%s\n[uninstaller]\n' "$shared_file"; } >"$work/two.toml"
build_setup "$work/two.toml" "$work/two.exe"

check "the first setup installs" drive install-one < <(to_confirmation "$work/one.exe" "$folder"
  echo 'answer-box yes "CREATE FOLDER?" "E2E"'; confirm; finish)
check "nothing of the installation waits for a restart" eval '! grep -qi "uninstall-one\|svk-e2e" <(pending_renames)'
check "the second proposes the folder from the registry, and installs" drive install-two < <(
  to_directory "$work/two.exe" "$folder" proposed; echo "set-text 1004 $(quoted "$folder2")"; echo 'click 1'
  echo 'answer-box yes "CREATE FOLDER?" "E2E"'; confirm; finish)
check "the shared file is counted twice, the module registered itself" \
  [ "$(reg_value "$shared_dlls_key" "$shared")" = 0x2 -a -n "$(reg_value 'HKCU\Software\Setvik Demo\Core' State)" ]

hold_file busy "$folder\\Data\\busy.dat"
chmod a-w "$dest"/Docs/*  # read-only to Windows: removed all the same
check "first removal, a file held: asked, told of the restart, exit code 3010" drive remove-one <<SCRIPT
timeout 60
start $folder\\uninstall.exe
answer-box yes "Do you want to remove Uninstall E2E and all of its components from your computer?" "Uninstall E2E Uninstall"
answer-box ok "Uninstall E2E was removed from your computer. Some of its files are in use*"
expect-exit 3010
SCRIPT
release_file busy
check "first removal: the file in use waits for the restart" grep -qi 'busy.dat' <(pending_renames)
files=$(cd "$dest" && find . -type f | sort | tr '\n' ' ')
check_show "first removal: only the kept file and the one in use are left" "$files" [ "$files" = "./Data/busy.dat ./readme.txt " ]
check "first removal: the old font stays, the new one goes" eval '[ ! -e "$(unix_of "$fonts\\svk-e2e-new.ttf")" ] &&
  cmp -s /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$old_font"'
check "first removal: the shared file stays, counted once" [ -e "$(unix_of "$shared")" -a "$(reg_value "$shared_dlls_key" "$shared")" = 0x1 ]
check "first removal: registration, shortcuts and entry are gone, the second untouched" eval '
  [ -z "$(reg_value "HKCU\\Software\\Setvik Demo\\Core" State)" -a ! -e "$(unix_of "$programs\\Uninstall E2E")" ] &&
  [ ! -e "$(unix_of "$desktop\\Uninstall E2E Notes.lnk")" -a -z "$(reg_value "$uninstall_key\\Uninstall E2E" DisplayName)" ] &&
  [ -n "$(reg_value "$uninstall_key\\Uninstall E2E Two" DisplayName)" -a -e "$dest2/uninstall.exe" ]'
restart
check "after the restart: the file in use and its folder are gone" [ ! -e "$dest/Data" ]

# --- 2. Refused and declined, on the second installation --------------------------------
u2="$folder2\\uninstall.exe"
check "No to the question: exit code 1602" drive decline <<SCRIPT
timeout 60
start $(quoted "$u2")
answer-box no "Do you want to remove Uninstall E2E Two*"
expect-exit 1602
SCRIPT
check "an unknown argument with /S: exit code 87" ends_with bad-argument 87 "$u2" /S /X
# A whole log in a copy elsewhere: its "." is not the installation folder.
mkdir -p "$drive_c/e2e/elsewhere"
cp "$dest2/uninstall.exe" "$drive_c/e2e/elsewhere/"
check "a copy elsewhere with /S: exit code 1610" ends_with copied 1610 'C:\e2e\elsewhere\uninstall.exe' /S
cp "$dest2/uninstall.exe" "$dest2/damaged.exe"
key_name='Software\Microsoft\Windows\CurrentVersion\Uninstall\Uninstall E2E Two'
# The key's length, the last entry before the end chunk, made to overrun its chunk.
printf '\xff' | dd of="$dest2/damaged.exe" bs=1 conv=notrunc status=none \
  seek=$(($(stat -c %s "$dest2/damaged.exe") - 8 - ${#key_name} - 2))
check "a damaged log with /S: exit code 1610" ends_with damaged-silent 1610 "$folder2\\damaged.exe" /S
check "declined and refused: nothing is removed" [ -e "$(unix_of "$shared")" -a -e "$dest2/uninstall.exe" ]
rm -rf "$dest2/damaged.exe" "$drive_c/e2e/elsewhere"

check "second removal with /S: exit code 0" ends_with remove-two 0 "$u2" /S
wineserver -w
check "second removal: the shared file, its count and the folder are gone" \
  [ ! -e "$(unix_of "$shared")" -a -z "$(reg_value "$shared_dlls_key" "$shared")" -a ! -e "$dest2" ]
restart
check "no temporary copy of the uninstaller is left" [ -z "$(ls "$(temp_folder)"/_uninst*.exe 2>/dev/null)" ]
rm -f "$old_font"
[ "$failures" -eq 0 ]
