#!/usr/bin/env bash
# Targets held open by another program (setvik-holdfile opens them without
# delete or rename sharing), end to end under Wine:
# - in the installation folder: the question "DENIED <file>" with Abort,
#   Retry and Ignore answered through the UI driver: Retry while the file is
#   still held asks again, Retry after it was let go replaces it; Ignore
#   keeps the old file and goes on; a held target that already holds the
#   file's content is left alone without a question;
# - Abort ends the installation: the finish page names the file, it and
#   every later target are as they were, no temporary file is left;
# - in the Windows and system folders: replaced at the next restart (the
#   finish page offers the restart); after `wineboot -r` (a new Wine session
#   carries out the pending renames) the new content is in place and the
#   temporary files are gone;
# - a font in use: the new file is dropped and the old font kept;
# - a program running from its target and libraries loaded by a running
#   program, which can be renamed but not deleted: busy all the same;
# - on the Windows 95 family (Windows 98 as Wine plays it): the
#   replacement and the setup's own deletion (/DEL) through WININIT.INI;
# - a temporary name (.$$A) held by another program, which lets others
#   delete it but not read it: it counts as free, cannot be created, and the
#   finish page names it; that program's file is not deleted, and the
#   target is as it was.
set -euo pipefail
source "$(dirname "$0")/lib/install-common.sh"
require_programs
on_virtual_display INSTALL_BUSY_ON_DISPLAY "$0"
new_work install-busy
trap 'for h in "${!holders[@]}"; do release_file "$h"; done; end_work' EXIT

folder='C:\e2e\busy'
dest=$(unix_of "$folder")
rm -rf "$dest"
mkdir -p "$dest"
for name in retry ignore same after abort later held; do printf 'new %s\n' "$name" > "$work/$name.txt"; done
project() { # name files...
  local name=$1
  shift
  {
    setup_project "Busy" "$folder"
    local f
    for f in "$@"; do printf '[[file]]\nsource = "%s"\n' "$f"; done
  } > "$work/$name.toml"
  build_setup "$work/$name.toml" "$work/$name.exe"
}
denied() { local p="$folder\\$1"; echo "DENIED ${p//\\/\\\\}"; }

# 1. Retry, Ignore and the same content.
project answers retry.txt ignore.txt same.txt after.txt
printf 'old retry\n' > "$dest/retry.txt"
printf 'old ignore\n' > "$dest/ignore.txt"
cp "$work/same.txt" "$dest/same.txt"
hold_file retry "$folder\\retry.txt"
hold_file ignore "$folder\\ignore.txt"
hold_file same "$folder\\same.txt" read
drive_background answers < <(
  to_confirmation "$work/answers.exe" "$folder"
  confirm
  echo "answer-box retry \"$(denied retry.txt)\" \"E2E\""
  echo "sleep 2000"
  echo "answer-box retry \"$(denied retry.txt)\""
  echo "answer-box ignore \"$(denied ignore.txt)\""
  echo "expect-no-box"
  finish
)
wait_for_step answers ": sleep 2000" && release_file retry
driven answers && ok=1 || ok=0
check "kind 0: Retry asks again while held, Ignore goes on, the same content asks nothing" [ "$ok" = 1 ]
check "Retry after the file was let go replaces it" cmp -s "$work/retry.txt" "$dest/retry.txt"
check "Ignore keeps the held file as it was" grep -qx 'old ignore' "$dest/ignore.txt"
check "the held file with the same content is left as it was" cmp -s "$work/same.txt" "$dest/same.txt"
check "the installation goes on after Ignore" cmp -s "$work/after.txt" "$dest/after.txt"
release_file ignore
release_file same
check "no temporary file is left" no_temporary_files "$dest"

# 2. Abort: the installation ends there. The held target is read-only too
# (the destination check cannot open it, so nothing asks about that), and
# stays so.
project abort abort.txt later.txt
printf 'old abort\n' > "$dest/abort.txt"
chmod a-w "$dest/abort.txt"
printf 'old later\n' > "$dest/later.txt"
hold_file abort "$folder\\abort.txt"
{
  to_confirmation "$work/abort.exe" "$folder"
  confirm
  echo "answer-box abort \"$(denied abort.txt)\""
  finish "$(denied abort.txt)"
} | drive abort && ok=1 || ok=0
release_file abort
check "kind 0: Abort ends the installation; the finish page names the file" [ "$ok" = 1 ]
check "the aborted target is as it was" grep -qx 'old abort' "$dest/abort.txt"
check "and still read-only" read_only "$dest/abort.txt"
check "the later target is as it was" grep -qx 'old later' "$dest/later.txt"
check "no temporary file is left" no_temporary_files "$dest"

# 3. A temporary name held by another program.
project held-temporary held.txt
printf 'old held\n' > "$dest/held.txt"
echo "another program's file" > "$dest/held.\$\$A"
hold_file temporary "$folder\\held.\$\$A" delete
held_win="$folder\\held.\$\$A"
{
  to_confirmation "$work/held-temporary.exe" "$folder"
  confirm
  finish "CANNOT CREATE ${held_win//\\/\\\\}"
} | drive held-temporary && ok=1 || ok=0
release_file temporary
check "a held .\$\$A: the finish page says it cannot be created" [ "$ok" = 1 ]
check "the other program's .\$\$A is not deleted" grep -qx "another program's file" "$dest/held.\$\$A"
check "the target is as it was" grep -qx 'old held' "$dest/held.txt"
rm -f "$dest/held.\$\$A"

# 4. The Windows folder (kind 1), the system folder (kind 2) and the Fonts
# folder (kind 3), each target held.
windows=$drive_c/windows
fonts=$windows/Fonts
rm -f "$windows"/setvik-e2e* "$windows"/system32/setvik-e2e* "$fonts"/SetvikE2E*
printf 'new windows file\n' > "$work/setvik-e2e-win.txt"
printf 'new system file\n' > "$work/setvik-e2e-sys.txt"
cp /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$work/SetvikE2E.ttf"
{
  setup_project "Busy" "$folder"
  cat <<TOML
[[file]]
source = "setvik-e2e-win.txt"
destination = "windows"
[[file]]
source = "setvik-e2e-sys.txt"
destination = "system"
[[file]]
source = "SetvikE2E.ttf"
destination = "fonts"
TOML
} > "$work/restart.toml"
build_setup "$work/restart.toml" "$work/restart.exe"
printf 'old windows file\n' > "$windows/setvik-e2e-win.txt"
printf 'old system file\n' > "$windows/system32/setvik-e2e-sys.txt"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$fonts/SetvikE2E.ttf"
hold_file win 'C:\windows\setvik-e2e-win.txt'
hold_file sys 'C:\windows\system32\setvik-e2e-sys.txt'
hold_file font 'C:\windows\Fonts\SetvikE2E.ttf'
{
  to_confirmation "$work/restart.exe" "$folder"
  confirm
  echo 'expect-text 1000 "INSTALLED"'
  echo 'expect-text 1007 "&Restart"'
  echo 'expect-enabled 1007'
  finish
} | drive restart && ok=1 || ok=0
check "kinds 1, 2, 3 in use: no question, the finish page offers the restart" [ "$ok" = 1 ]
check "the Windows-folder file is still the old one" grep -qx 'old windows file' "$windows/setvik-e2e-win.txt"
check "the system-folder file is still the old one" grep -qx 'old system file' "$windows/system32/setvik-e2e-sys.txt"
check "the font in use is kept" cmp -s /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$fonts/SetvikE2E.ttf"
check "the font's temporary file is dropped" no_temporary_files "$fonts"
release_file win
release_file sys
release_file font
renames=$(pending_renames)
check "the replacements wait for the restart" grep -qi 'setvik-e2e-win' <<<"$renames"
wineboot -r >/dev/null 2>&1 || true
wineserver -w
check "after the restart the Windows-folder file is the new one" cmp -s "$work/setvik-e2e-win.txt" "$windows/setvik-e2e-win.txt"
check "after the restart the system-folder file is the new one" \
  cmp -s "$work/setvik-e2e-sys.txt" "$windows/system32/setvik-e2e-sys.txt"
check "no temporary file is left in the Windows folder" \
  [ -z "$(find "$windows" -maxdepth 2 -name 'setvik-e2e*.$$?')" ]
check "the font is still the old one" cmp -s /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$fonts/SetvikE2E.ttf"
rm -f "$windows"/setvik-e2e* "$windows"/system32/setvik-e2e* "$fonts"/SetvikE2E*

# 5. A program running from its target, and libraries loaded by a running
# program: the system renames them but will not delete them, so they are
# busy as held files are: in the installation folder the question (Retry
# while the program runs asks again; Ignore leaves it running as it was),
# in the Windows and system folders the replacement at the next restart.
cp "$helpers/setvik-holdfile.exe" "$dest/running.exe"
cp "$helpers/setvik-holdfile.exe" "$windows/setvik-e2e-loaded.dll"
cp "$helpers/setvik-holdfile.exe" "$windows/system32/setvik-e2e-loaded.dll"
echo "held by the running program" > "$dest/held.txt"
printf 'new running\n' > "$work/running.exe"
printf 'new loaded\n' > "$work/setvik-e2e-loaded.dll"
mkdir -p "$work/sys" && printf 'new system loaded\n' > "$work/sys/setvik-e2e-loaded.dll"
{
  setup_project "Busy" "$folder"
  printf '[[file]]\nsource = "running.exe"\n[[file]]\nsource = "setvik-e2e-loaded.dll"\ndestination = "windows"\n'
  printf '[[file]]\nsource = "sys/setvik-e2e-loaded.dll"\ntarget = "setvik-e2e-loaded.dll"\ndestination = "system"\n'
} > "$work/mapped.toml"
build_setup "$work/mapped.toml" "$work/mapped.exe"
hold_file running "$folder\\held.txt" read "$dest/running.exe"
hold_file loaded 'C:\windows\setvik-e2e-loaded.dll' load
hold_file sysloaded 'C:\windows\system32\setvik-e2e-loaded.dll' load
{
  to_confirmation "$work/mapped.exe" "$folder"
  confirm
  echo "answer-box retry \"$(denied running.exe)\""
  echo "answer-box ignore \"$(denied running.exe)\""
  echo 'expect-text 1000 "INSTALLED"'
  echo 'expect-enabled 1007'
  finish
} | drive mapped && ok=1 || ok=0
check "a running program and loaded libraries: asked, then replaced at restart" [ "$ok" = 1 ]
check "the running program is as it was" cmp -s "$helpers/setvik-holdfile.exe" "$dest/running.exe"
check "no temporary file is left beside it" no_temporary_files "$dest"
renames=$(pending_renames)
check_show "the loaded libraries wait for the restart, nothing else" "$renames" \
  eval '[ "$(grep -oi "setvik-e2e-loaded\.\$\$A" <<<"$renames" | wc -l)" = 2 ] && ! grep -q "\$\$B" <<<"$renames"'
release_file running
release_file loaded
release_file sysloaded
wineboot -r >/dev/null 2>&1 || true
wineserver -w
check "after the restart the libraries are the new ones" \
  eval 'cmp -s "$work/setvik-e2e-loaded.dll" "$windows/setvik-e2e-loaded.dll" &&
        cmp -s "$work/sys/setvik-e2e-loaded.dll" "$windows/system32/setvik-e2e-loaded.dll"'
rm -f "$windows"/setvik-e2e* "$windows"/system32/setvik-e2e* "$dest/running.exe" "$dest/held.txt"

# 6. The same on the Windows 95 family (Wine tells the setup it runs on
# Windows 98): the replacement goes into WININIT.INI's [Rename] section
# under short names, beside an entry that was there before, and a deletion
# (the setup's own, asked for with /DEL) becomes a NUL entry; `wineboot -r`
# carries both out.
win98() { wine reg add 'HKCU\Software\Wine\AppDefaults\'"$1" /v Version /d win98 /f >/dev/null 2>&1; }
printf 'new windows file\n' > "$work/setvik-e2e-w98.txt"
{
  setup_project "Busy" "$folder"
  printf '[[file]]\nsource = "setvik-e2e-w98.txt"\ndestination = "windows"\n'
} > "$work/setup98.toml"
build_setup "$work/setup98.toml" "$work/setup98.exe"
cp "$work/setup98.exe" "$work/delete98.exe"
win98 setup98.exe
win98 delete98.exe
rm -f "$windows"/[Ww][Ii][Nn][Ii][Nn][Ii][Tt].*
printf '[Rename]\r\nC:\\windows\\setvik-e2e-other.txt=C:\\windows\\setvik-e2e-other.new\r\n' > "$windows/WININIT.INI"
printf 'other new\n' > "$windows/setvik-e2e-other.new"
printf 'old windows file\n' > "$windows/setvik-e2e-w98.txt"
hold_file w98 'C:\windows\setvik-e2e-w98.txt'
{
  to_confirmation "$work/setup98.exe" "$folder"
  confirm
  echo 'expect-text 1000 "INSTALLED"'
  echo 'expect-text 1007 "&Restart"'
  finish
} | drive win98 && ok=1 || ok=0
release_file w98
{
  echo "start $work/delete98.exe /DEL"
  echo 'wait-window SetvikClass'
  echo 'expect-text 1000 "WELCOME"'
  echo 'click 2'
  echo 'answer-box yes'
  echo 'answer-box ok "NOT COMPLETED"'
  echo 'expect-text 1005 "Setvik"'
  echo 'click 2'
  echo 'expect-exit 0'
} | drive delete98 && ok=$((ok + 1)) || true
check "Windows 98: the held file's replacement is offered a restart; /DEL runs" [ "$ok" = 2 ]
wininit=$(tr -d '\r' < "$windows/WININIT.INI" 2>/dev/null || true)
check_show "WININIT.INI keeps the old entry and adds a short-name rename and a NUL entry" "$wininit" \
  eval 'grep -qx "C:.windows.setvik-e2e-other.txt=.*" <<<"$wininit" && grep -qx "C:.windows.SETV[^=]*~[^=]*\.TXT=C:.windows.SETV[^=]*~[^=]*\.\$\$A" <<<"$wininit" && grep -qix "NUL=.*delete98\.exe" <<<"$wininit"'
wineboot -r >/dev/null 2>&1 || true
wineserver -w
check "after the restart the held file is the new one" cmp -s "$work/setvik-e2e-w98.txt" "$windows/setvik-e2e-w98.txt"
check "the entry that was there before is carried out too" grep -qx 'other new' "$windows/setvik-e2e-other.txt"
check "the /DEL setup is deleted" [ ! -e "$work/delete98.exe" ]
check "no temporary file is left in the Windows folder" [ -z "$(find "$windows" -maxdepth 1 -name 'setvik-e2e*.$$?')" ]
wine reg delete 'HKCU\Software\Wine\AppDefaults\setup98.exe' /f >/dev/null 2>&1 || true
wine reg delete 'HKCU\Software\Wine\AppDefaults\delete98.exe' /f >/dev/null 2>&1 || true
rm -f "$windows"/setvik-e2e* "$windows"/[Ww][Ii][Nn][Ii][Nn][Ii][Tt].*

[ "$failures" -eq 0 ]
