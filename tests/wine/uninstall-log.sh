#!/usr/bin/env bash
# The uninstaller under Wine on logs written here in bash (as a setup
# appends them), so every kind of entry and every kind of damage can be
# set up without a wizard (files in use, shared counts above one and /S on a
# real installation: uninstall-e2e.sh):
# - a full removal through its questions: files in the folder and below it,
#   a desktop shortcut, a start-menu shortcut two folders deep, a shared
#   file whose count reaches zero, a font, a self-registered module, the
#   Uninstall key; the prefix afterwards equals the snapshot taken before,
#   the program itself goes through its temporary copy, and the copy at the
#   next restart;
# - No to the question changes nothing (exit 1602);
# - a damaged log, a log with a path that climbs out of the folder, a
#   copy of the uninstaller in another folder, a log without a key, and a
#   program that was never installed: a message (or, with /S, exit code
#   1610) and nothing removed; an unknown argument: exit 87;
# - /S: no question, exit code 0, the prefix as before.
set -euo pipefail
source "$(dirname "$0")/lib/uninstall-common.sh"
require_uninstaller demo/DemoCore.dll
on_virtual_display UNINSTALL_LOG_ON_DISPLAY "$0"
new_uninstall_work uninstall-log

packed_uninstaller "$work/uninstall.exe" "Log Test"
folder='C:\e2e\uninstall log'
app=$(unix_of "$folder")
programs=$(shell_folder Programs)
desktop=$(shell_folder Desktop)
fonts=$(shell_folder Fonts)
system32='C:\windows\system32'
rm -rf "$app" "$(unix_of "$programs\\Log Test")"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Log Test'
mkdir -p "$(unix_of 'C:\e2e')"
ensure_shared_dlls_key
wine reg add 'HKCU\Software\Setvik Demo' /f >/dev/null 2>&1

# The installation that every scenario starts from.
install_app() {
  mkdir -p "$app/Data/Sounds" "$(unix_of "$programs\\Log Test\\Tools")"
  echo main >"$app/main.exe"
  echo sound >"$app/Data/Sounds/ding.wav"
  cp "$bin/demo/DemoCore.dll" "$app/selfreg.dll"
  echo link >"$(unix_of "$desktop\\Log Test.lnk")"
  echo link >"$(unix_of "$programs\\Log Test\\Tools\\Log Test.lnk")"
  echo shared >"$(unix_of "$system32\\logtest-shared.dll")"
  cp /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$(unix_of "$fonts\\logtest.ttf")"
  wine reg add "$shared_dlls_key" /v "$system32\\logtest-shared.dll" /t REG_DWORD /d 1 /f >/dev/null 2>&1
  wine reg add "$uninstall_key" /v DisplayName /d "Log Test" /f >/dev/null 2>&1
  wine reg add "$uninstall_key" /v UninstallString /d "\"$folder\\uninstall.exe\"" /f >/dev/null 2>&1
  # What DemoCore's DllRegisterServer leaves, and its DllUnregisterServer takes.
  wine reg add 'HKCU\Software\Setvik Demo\Core' /v State /d registered /f >/dev/null 2>&1
  install_log "$work/uninstall.exe" "$app/uninstall.exe" \
    file . main.exe 0 file '.\Data\Sounds' ding.wav 0 file . selfreg.dll 4 \
    file "$desktop" "Log Test.lnk" 0 file "$system32" logtest-shared.dll 1 file "$fonts" logtest.ttf 2 \
    shortcut "$programs\\Log Test\\Tools" "Log Test.lnk" key "Log Test"
}

# 1. Removal through the questions.
snapshot "$work/before"
install_app
drive remove <<SCRIPT
timeout 30
start $(script_text "$folder\\uninstall.exe")
answer-box yes "Do you want to remove Log Test and all of its components*" "Log Test Uninstall"
answer-box ok "Log Test was removed from your computer."
expect-exit 0
SCRIPT
check "removal: the temporary copy waits for the restart" grep -qi '_uninst[0-9]*\.exe' <(pending_renames)
check "removal: the installation folder is gone" [ ! -e "$app" ]
snapshot "$work/after"
check "removal: the prefix is as it was before the installation" same_snapshot "$work/before" "$work/after"
temp=$(temp_folder)
wineboot -r >/dev/null 2>&1 || true
wineserver -w
check "removal: the restart takes the temporary copy" [ -z "$(ls "$temp"/_uninst*.exe 2>/dev/null)" ]

# 2. No to the question.
install_app
snapshot "$work/installed"
drive decline <<SCRIPT
timeout 30
start $(script_text "$folder\\uninstall.exe")
answer-box no "Do you want to remove Log Test*"
expect-exit 1602
SCRIPT
snapshot "$work/declined"
check "declined: nothing changed" same_snapshot "$work/installed" "$work/declined"

# 3. Logs that are refused: nothing is removed.
mkdir -p "$app/sub"
echo victim >"$(unix_of 'C:\e2e\victim.txt')"
echo keep >"$app/sub/keep.txt"
refused() { # name expected-message
  snapshot "$work/$1-before"
  drive "$1" <<SCRIPT
timeout 30
start $(script_text "$folder\\uninstall.exe")
answer-box ok "$2" "Log Test Uninstall"
expect-exit 1610
SCRIPT
  snapshot "$work/$1-after"
  same_snapshot "$work/$1-before" "$work/$1-after"
}
install_log "$work/uninstall.exe" "$app/uninstall.exe" file '.\sub' keep.txt 0 file '.\..' victim.txt 0 key "Log Test"
check "a path out of the folder: refused, nothing removed" refused escape "The uninstall information of Log Test is damaged*"
install_log "$work/uninstall.exe" "$app/uninstall.exe" file '.\sub' keep.txt 0 file '.\sub/..\..' victim.txt 0 key "Log Test"
check "a slash that climbs out: refused, nothing removed" refused slash "The uninstall information of Log Test is damaged*"
install_log "$work/uninstall.exe" "$app/uninstall.exe" file '.\sub' keep.txt 0
size=$(stat -c %s "$app/uninstall.exe")
printf '\x09' | dd of="$app/uninstall.exe" bs=1 seek=$((size - 19)) conv=notrunc status=none  # keep.txt's length
check "a damaged log: refused, nothing removed" refused damaged "The uninstall information of Log Test is damaged*"
check "a damaged log with /S: exit code 1610" ends_with damaged-silent 1610 "$folder\\uninstall.exe" /S
cp "$work/uninstall.exe" "$app/uninstall.exe"
check "never installed: refused, nothing removed" refused fresh "This program holds no uninstall information*"
check "an unknown argument with /S: exit code 87" ends_with bad-argument 87 "$folder\\uninstall.exe" /S /X
check "the victim outside the folder is still there" [ -e "$(unix_of 'C:\e2e\victim.txt')" ]

# A whole, valid log in a copy of the uninstaller elsewhere: its "." is not
# the installation folder, so nothing there is removed; nor by a log that
# names no Uninstall key, which cannot say where the installation is.
install_log "$work/uninstall.exe" "$app/uninstall.exe" file . keep.txt 0 file '.\sub' keep.txt 0 key "Log Test"
elsewhere=$(unix_of 'C:\e2e\elsewhere')
mkdir -p "$elsewhere/sub"
echo keep >"$elsewhere/keep.txt"
echo keep >"$elsewhere/sub/keep.txt"
cp "$app/uninstall.exe" "$elsewhere/uninstall.exe"
check "a copy elsewhere with /S: exit code 1610" ends_with copied 1610 'C:\e2e\elsewhere\uninstall.exe' /S
check "a copy elsewhere: the same-named files beside it stay" [ -e "$elsewhere/keep.txt" -a -e "$elsewhere/sub/keep.txt" ]
install_log "$work/uninstall.exe" "$app/uninstall.exe" file '.\sub' keep.txt 0
check "a log without a key with /S: exit code 1610" ends_with keyless 1610 "$folder\\uninstall.exe" /S
check "a log without a key: nothing removed" [ -e "$app/sub/keep.txt" ]
rm -rf "$elsewhere"

# 4. Without questions: everything goes, back to the first snapshot.
rm -rf "$app/sub" "$(unix_of 'C:\e2e\victim.txt')"
install_app
check "/S: exit code 0" ends_with silent 0 "$folder\\uninstall.exe" /S
snapshot "$work/after-silent"
check "/S: the prefix is as it was before the installation" same_snapshot "$work/before" "$work/after-silent"

[ "$failures" -eq 0 ]
