#!/usr/bin/env bash
# Targets held open by another program (setvik-holdfile opens them without
# delete or rename sharing), end to end under Wine; the rules themselves are
# the Windows unit tests' (InstallStepTest), this shows what only a person
# and a restart show:
# - in the installation folder, the question "DENIED <file>" answered in
#   the wizard: Retry while still held asks again, Retry after it was let go
#   replaces it, Ignore keeps it and goes on, Abort ends the installation
#   with the file named on the finish page and the later target untouched;
# - in the Windows and system folders: no question, the finish page offers
#   the restart, and after `wineboot -r` the new files are in place; a font
#   in use is kept;
# - on Windows 98 (as Wine plays it) the same through WININIT.INI, beside an
#   entry that was there before, and the setup's own deletion (/DEL).
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs
on_virtual_display INSTALL_BUSY_ON_DISPLAY "$0"
new_work install-busy
trap 'for h in "${!holders[@]}"; do release_file "$h"; done; end_work' EXIT

folder='C:\e2e\busy'
dest=$(unix_of "$folder")
rm -rf "$dest"
mkdir -p "$dest"
for name in retry ignore abort later; do printf 'new %s\n' "$name" > "$work/$name.txt"; done
denied() { local p="$folder\\$1"; echo "DENIED ${p//\\/\\\\}"; }

# 1. Retry, Ignore and Abort in one run.
{ setup_project "Busy" "$folder"; printf '[[file]]\nsource = "%s"\n' retry.txt ignore.txt abort.txt later.txt; } >"$work/answers.toml"
build_setup "$work/answers.toml" "$work/answers.exe"
for name in retry ignore abort later; do printf 'old %s\n' "$name" > "$dest/$name.txt"; done
for name in retry ignore abort; do hold_file $name "$folder\\$name.txt"; done
drive_background answers < <(
  to_confirmation "$work/answers.exe" "$folder"
  confirm
  echo "answer-box retry \"$(denied retry.txt)\" \"E2E\""
  echo "sleep 2000"
  echo "answer-box retry \"$(denied retry.txt)\""
  echo "answer-box ignore \"$(denied ignore.txt)\""
  echo "answer-box abort \"$(denied abort.txt)\""
  finish "$(denied abort.txt)"
)
wait_for_step answers ": sleep 2000" && release_file retry
check "Retry asks again while held, Ignore goes on, Abort ends; the finish page names the file" driven answers
for name in ignore abort; do release_file $name; done
check "Retry after the file was let go replaces it" cmp -s "$work/retry.txt" "$dest/retry.txt"
check "Ignore and Abort keep their targets, the later one is untouched" \
  eval 'grep -qx "old ignore" "$dest/ignore.txt" && grep -qx "old abort" "$dest/abort.txt" && grep -qx "old later" "$dest/later.txt"'
check "no temporary file is left" no_temporary_files "$dest"

# 2. The Windows folder (kind 1), the system folder (kind 2) and the Fonts
# folder (kind 3), each target held.
windows=$drive_c/windows
fonts=$windows/Fonts
rm -f "$windows"/setvik-e2e* "$windows"/system32/setvik-e2e* "$fonts"/SetvikE2E*
printf 'new windows file\n' > "$work/setvik-e2e-win.txt"
printf 'new system file\n' > "$work/setvik-e2e-sys.txt"
cp /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$work/SetvikE2E.ttf"
{ setup_project "Busy" "$folder"; printf '[[file]]\nsource = "%s"\ndestination = "%s"\n' setvik-e2e-win.txt windows \
    setvik-e2e-sys.txt system SetvikE2E.ttf fonts; } > "$work/restart.toml"
build_setup "$work/restart.toml" "$work/restart.exe"
printf 'old windows file\n' > "$windows/setvik-e2e-win.txt"
printf 'old system file\n' > "$windows/system32/setvik-e2e-sys.txt"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$fonts/SetvikE2E.ttf"
hold_file win 'C:\windows\setvik-e2e-win.txt'
hold_file sys 'C:\windows\system32\setvik-e2e-sys.txt'
hold_file font 'C:\windows\Fonts\SetvikE2E.ttf'
check "in use in the Windows, system and Fonts folders: no question, the finish page offers the restart" drive restart < <(
  to_confirmation "$work/restart.exe" "$folder"; confirm
  printf 'expect-text 1000 "INSTALLED"\nexpect-text 1007 "&Restart"\nexpect-enabled 1007\n'; finish)
check "before the restart both are the old ones; the font in use is kept, its temporary file dropped" eval '
  grep -qx "old windows file" "$windows/setvik-e2e-win.txt" && grep -qx "old system file" "$windows/system32/setvik-e2e-sys.txt" &&
  cmp -s /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$fonts/SetvikE2E.ttf" && no_temporary_files "$fonts"'
for h in win sys font; do release_file $h; done
check "the replacements wait for the restart" grep -qi 'setvik-e2e-win' <(pending_renames)
restart
check "after the restart both are the new ones, no temporary file is left, the font is still the old one" eval '
  cmp -s "$work/setvik-e2e-win.txt" "$windows/setvik-e2e-win.txt" && cmp -s "$work/setvik-e2e-sys.txt" "$windows/system32/setvik-e2e-sys.txt" &&
  [ -z "$(find "$windows" -maxdepth 2 -name "setvik-e2e*.\$\$?")" ] && cmp -s /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$fonts/SetvikE2E.ttf"'
rm -f "$windows"/setvik-e2e* "$windows"/system32/setvik-e2e* "$fonts"/SetvikE2E*

# 3. The same on the Windows 95 family (Wine tells the setup it runs on
# Windows 98): the replacement goes into WININIT.INI's [Rename] section
# under short names, beside an entry that was there before, and a deletion
# (the setup's own, asked for with /DEL) becomes a NUL entry; `wineboot -r`
# carries both out.
win98() { wine reg add 'HKCU\Software\Wine\AppDefaults\'"$1" /v Version /d win98 /f >/dev/null 2>&1; }
printf 'new windows file\n' > "$work/setvik-e2e-w98.txt"
{ setup_project "Busy" "$folder"; printf '[[file]]\nsource = "setvik-e2e-w98.txt"\ndestination = "windows"\n'; } > "$work/setup98.toml"
build_setup "$work/setup98.toml" "$work/setup98.exe"
cp "$work/setup98.exe" "$work/delete98.exe"
win98 setup98.exe
win98 delete98.exe
rm -f "$windows"/[Ww][Ii][Nn][Ii][Nn][Ii][Tt].*
printf '[Rename]\r\nC:\\windows\\setvik-e2e-other.txt=C:\\windows\\setvik-e2e-other.new\r\n' > "$windows/WININIT.INI"
printf 'other new\n' > "$windows/setvik-e2e-other.new"
printf 'old windows file\n' > "$windows/setvik-e2e-w98.txt"
hold_file w98 'C:\windows\setvik-e2e-w98.txt'
check "Windows 98: the held file's replacement is offered a restart" drive win98 < <(
  to_confirmation "$work/setup98.exe" "$folder"; confirm; printf 'expect-text 1000 "INSTALLED"\nexpect-text 1007 "&Restart"\n'; finish)
release_file w98
check "Windows 98: /DEL runs" drive delete98 <<<"$(printf 'start %s /DEL\nwait-window SetvikClass\nclick 2\nanswer-box yes\nanswer-box ok "NOT COMPLETED"\nexpect-text 1005 "Setvik"\nclick 2\nexpect-exit 0' "$work/delete98.exe")"
wininit=$(tr -d '\r' < "$windows/WININIT.INI" 2>/dev/null || true)
check_show "WININIT.INI keeps the old entry and adds a short-name rename and a NUL entry" "$wininit" \
  eval 'grep -qx "C:.windows.setvik-e2e-other.txt=.*" <<<"$wininit" && grep -qx "C:.windows.SETV[^=]*~[^=]*\.TXT=C:.windows.SETV[^=]*~[^=]*\.\$\$A" <<<"$wininit" && grep -qix "NUL=.*delete98\.exe" <<<"$wininit"'
restart
check "after the restart: the new file, the earlier entry carried out, the /DEL setup gone, no temporary file" eval '
  cmp -s "$work/setvik-e2e-w98.txt" "$windows/setvik-e2e-w98.txt" && grep -qx "other new" "$windows/setvik-e2e-other.txt" &&
  [ ! -e "$work/delete98.exe" -a -z "$(find "$windows" -maxdepth 1 -name "setvik-e2e*.\$\$?")" ]'
for e in setup98 delete98; do wine reg delete "HKCU\\Software\\Wine\\AppDefaults\\$e.exe" /f >/dev/null 2>&1 || true; done
rm -f "$windows"/setvik-e2e* "$windows"/[Ww][Ii][Nn][Ii][Nn][Ii][Tt].*

[ "$failures" -eq 0 ]
