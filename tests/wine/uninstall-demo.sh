#!/usr/bin/env bash
# The example setup (examples/demo) there and back under Wine: built with
# `setvik build`, clicked through all its pages by the UI driver into a
# folder of the test's own, then removed by the uninstaller it installed,
# started from its Uninstall key and answered like a person (Yes, OK).
# - after the installation: the program, the uninstaller with its log, the
#   Uninstall key, the shortcuts, the font, the module's registration and
#   the remembered folder are there, and nothing waits for a restart;
# - after the removal: exit code 0, all of it is gone but the kept read-me
#   and the remembered folder; after a restart the uninstaller's temporary
#   copy is gone too;
# - with those two taken away by hand, the prefix's files and registry equal
#   the snapshot taken before the installation.
set -euo pipefail
source "$(dirname "$0")/lib/uninstall-common.sh"
require_uninstaller demo/DemoNotes.exe demo/DemoCore.dll
on_virtual_display UNINSTALL_DEMO_ON_DISPLAY "$0"
new_uninstall_work uninstall-demo

folder='C:\svk-demo-roundtrip'
dest=$(unix_of "$folder")
caption="Demo Notes 1.2 Setup"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Demo Notes 1.2'
memory_key='HKCU\Software\Setvik Demo'
programs=$(shell_folder Programs)
desktop=$(shell_folder Desktop)
fonts=$(shell_folder Fonts)
group=$(unix_of "$programs\\Demo Notes")
desktop_link=$(unix_of "$desktop\\Demo Notes.lnk")
font=$(unix_of "$fonts\\DejaVuSansMono.ttf")
check "the prefix names its folders ($programs, $desktop, $fonts)" [ -n "$programs" -a -n "$desktop" -a -n "$fonts" ]

# A registry value's whole data (reg_value keeps only its last word).
reg_text() { # key value
  local out
  out=$(wine reg query "$1" /v "$2" 2>/dev/null) || return 0
  tr -d '\r' <<<"$out" |
    awk -v v="$2" 'tolower($1) == tolower(v) { sub(/^[ \t]*[^ \t]+[ \t]+REG_[A-Z_]+[ \t]+/, ""); print }'
}
# The remembered folder as it was before, put back (the setup saves it, by
# design, and no uninstall log records it); the key goes too when the test
# made it and nothing else is left in it.
restore_memory() {
  if [ -n "$remembered" ]; then
    wine reg add "$memory_key" /v InstallDir /d "$remembered" /f >/dev/null 2>&1
  else
    wine reg delete "$memory_key" /v InstallDir /f >/dev/null 2>&1 || true
    if [ "$memory_key_was_there" = 0 ] &&
       [ -z "$(wine reg query "$memory_key" 2>/dev/null | tr -d '\r' | grep -v '^HKEY' | grep .)" ]; then
      wine reg delete "$memory_key" /f >/dev/null 2>&1 || true
    fi
  fi
}
# Whatever a failed or interrupted run left: the installation removed by
# its own uninstaller, then by hand; the remembered folder put back.
clean_prefix() {
  [ -z "${finished:-}" ] || return 0
  if [ -e "$dest/Uninstall.exe" ]; then
    wine "$dest/Uninstall.exe" /S >/dev/null 2>&1 || true
    wineserver -w
    wineboot -r >/dev/null 2>&1 || true  # its temporary copy
    wineserver -w
  fi
  if [ -e "$dest" ] || wine reg query "$uninstall_key" >/dev/null 2>&1; then
    rm -rf "$dest" "$group" "$desktop_link" "$font"
    wine reg delete "$uninstall_key" /f >/dev/null 2>&1 || true
    wine reg delete "$memory_key\\Core" /f >/dev/null 2>&1 || true
  fi
  [ -z "${remembered+set}" ] || restore_memory
}
trap 'clean_prefix; [ -n "${KEEP_WORK:-}" ] && echo "work folder: $work" || rm -rf "$work"' EXIT

# The demo installed by `make demo` shares this prefix and every name of the
# installation (its Uninstall key, shortcuts, font, registration): it is
# removed first, by its own uninstaller; its kept read-me stays.
earlier=$(reg_text "$uninstall_key" UninstallString | tr -d '"')
if [ -n "$earlier" ]; then
  echo "removing the demo installed earlier in this prefix ($earlier)"
  wine "$earlier" /S >/dev/null 2>&1 || true
  wineserver -w
fi
rm -rf "$dest"
memory_key_was_there=0
wine reg query "$memory_key" >/dev/null 2>&1 && memory_key_was_there=1
remembered=$(reg_text "$memory_key" InstallDir)
leftover=
for f in "$group" "$desktop_link" "$font"; do [ ! -e "$f" ] || leftover+=" $f"; done
[ -z "$(reg_text "$uninstall_key" DisplayName)" ] || leftover+=" $uninstall_key"
check "no demo is installed before the test (left:${leftover:- nothing})" [ -z "$leftover" ]

"$bin/setvik" build "$SETVIK_ROOT/examples/demo/setup.toml" -o "$work/setup.exe" >/dev/null
snapshot "$work/before"

# Every page, as a person goes through them: the folder typed in and its
# creation agreed to, the run-after box cleared so that Demo Notes does not
# start after the wizard.
drive install <<SCRIPT && installed=1 || installed=0
timeout 60
start $work/setup.exe
wait-window SetvikClass
expect-title "$caption - Welcome"
click 1
expect-title "$caption - Information"
click 1
expect-title "$caption - Destination Folder"
set-text 1004 $(script_text "$folder")
click 1
answer-box yes "The destination folder does not exist. Do you want to create it?" "$caption"
expect-title "$caption - Ready to Install"
click 1
expect-title "$caption - Setup Complete"
expect-text 1000 "Demo Notes 1.2 has been installed on your computer."
expect-checked 1015
uncheck 1015
click 1
expect-title "Setvik"
click 2
expect-exit 0
SCRIPT
wineserver -w
check "the setup is clicked through all its pages and ends with 0" [ "$installed" = 1 ]
check "the program is installed" cmp -s "$bin/demo/DemoNotes.exe" "$dest/DemoNotes.exe"
check "the documents are installed in Docs" \
  [ -e "$dest/Docs/license.txt" -a -e "$dest/Docs/changes.txt" -a -e "$dest/readme.txt" ]
check "the uninstaller is installed with its log" grep -q "^registry key:" <("$bin/setvik" log "$dest/Uninstall.exe")
command=$(reg_text "$uninstall_key" UninstallString)
check_show "the Uninstall key lists the uninstaller" "$command" [ "$command" = "\"$folder\\Uninstall.exe\"" ]
# The entry's details: the project's publisher, version, icon and links,
# and where, how big (every file's size, in KiB rounded up) and how to
# remove it without questions.
sizes=$("$bin/setvik" list "$work/setup.exe" | sed -n 's/.* fileSize \([0-9]*\) .*/\1/p' | paste -sd+)
entry=$(wine reg query "$uninstall_key" 2>/dev/null | tr -d '\r')
expected=$(printf '%s\n' "Publisher REG_SZ Setvik Example Software" "DisplayVersion REG_SZ 1.2.0" \
  "DisplayIcon REG_SZ $folder\\DemoNotes.exe" "URLInfoAbout REG_SZ https://example.com/demo-notes" \
  "HelpLink REG_SZ https://example.com/demo-notes/help" "InstallLocation REG_SZ $folder" \
  "QuietUninstallString REG_SZ \"$folder\\Uninstall.exe\" /S" "NoModify REG_DWORD 0x1" "NoRepair REG_DWORD 0x1" \
  "EstimatedSize REG_DWORD $(printf '0x%x' $(( ($sizes + 1023) / 1024 )))")
missing=$(while read -r line; do grep -qF -- "$line" <<<"$(sed 's/   */ /g; s/^ //' <<<"$entry")" || echo "$line"; done <<<"$expected")
check_show "the entry shows publisher, version, icon, links, location, size and the quiet removal" "$entry" [ -z "$missing" ]
check "the shortcuts and the font are there" [ -e "$group/Demo Notes.lnk" -a -e "$group/Read Me.lnk" \
  -a -e "$group/Uninstall Demo Notes.lnk" -a -e "$desktop_link" -a -e "$font" ]
check "the module registered itself" [ -n "$(reg_text "$memory_key\\Core" State)" ]
check "the folder is remembered" [ "$(reg_text "$memory_key" InstallDir)" = "$folder" ]
renames=$(pending_renames)
check_show "nothing of the installation waits for a restart" "$renames" eval '! grep -qiE "svk-demo-roundtrip|DejaVuSansMono" <<<"$renames"'
check "no temporary file is left in the installation" no_temporary_files "$dest"

# Removal as from the list of installed programs: its command started, the
# question answered Yes and the final message OK.
drive remove <<SCRIPT && removed=1 || removed=0
timeout 60
start $(script_text "${command//\"/}")
answer-box yes "Do you want to remove Demo Notes 1.2 from your computer? Your own notes stay." "Demo Notes 1.2 Uninstall"
answer-box ok "Demo Notes 1.2 was removed from your computer." "Demo Notes 1.2 Uninstall"
expect-exit 0
SCRIPT
wineserver -w  # the temporary copy deletes the original and the empty folders
check "removal: asked, told it is done, exit code 0" [ "$removed" = 1 ]
left=$(cd "$dest" 2>/dev/null && find . | sort | tr '\n' ' ' || true)
check_show "removal: only the kept read-me is left in the folder" "$left" [ "$left" = ". ./readme.txt " ]
check "removal: the shortcuts, their group and the font are gone" \
  [ ! -e "$group" -a ! -e "$desktop_link" -a ! -e "$font" ]
check "removal: the module is unregistered, the Uninstall key gone" \
  eval '! wine reg query "$memory_key\\Core" >/dev/null 2>&1 && ! wine reg query "$uninstall_key" >/dev/null 2>&1'
wineboot -r >/dev/null 2>&1 || true  # the temporary copy is deleted at the restart
wineserver -w
check "after the restart no temporary copy of the uninstaller is left" \
  [ -z "$(ls "$(temp_folder)"/_uninst*.exe 2>/dev/null)" ]

# Kept by design, taken away by hand: the read-me (uninstall = "keep": the
# user's now) and with it its folder, which the uninstaller leaves since it
# is not empty; the remembered folder ([folder_memory]: the setup saves it
# for a later run, and no log records it).
rm -f "$dest/readme.txt"
rmdir "$dest" 2>/dev/null || true
restore_memory
snapshot "$work/after"
check "without the kept read-me and the remembered folder, the prefix is as before" \
  same_snapshot "$work/before" "$work/after"
[ "$failures" -ne 0 ] || finished=1
[ "$failures" -eq 0 ]
