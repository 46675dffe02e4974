#!/usr/bin/env bash
# Installing through the wizard, end to end, as the project file asks and
# the stub reads it back from the setup, in one run:
# - a tree of 60 files in sub-folders (every file compared with its
#   source), a read-only target replaced after the question, a file given
#   its times;
# - a desktop shortcut and a start-menu shortcut in a two-level group, read
#   back through the shell-link interface (target, arguments with quotes,
#   working folder, the icon only on the start-menu one);
# - a shared file counted nowhere while the SharedDLLs key is missing (the
#   key is not made); a font with no registry entry; a run-after program
#   whose box was cleared does not start;
# - the same setup again over its own installation: every target replaced,
#   one past a left-over file in the way of its set-aside name; the shared
#   file counted once now that the key is there.
# (The step's rules, paths and overwriting: InstallStepTest; the version
# and language questions: OverwriteRulesTest; counts, registration and the
# Uninstall entry: uninstall-e2e.sh; the finish page's launches:
# wizard-route.sh.)
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs wintest/setvik-marker.exe
on_virtual_display INSTALL_FILES_ON_DISPLAY "$0"
new_work install-files

folder='C:\e2e\installed files'
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

# The payload: 60 files over three levels, empty, tiny and larger ones,
# text and random bytes; then the extras.
mkdir -p "$work/tree/a/b/c" "$work/tree/d" "$work/tree/space name"
for i in $(seq 1 15); do
  head -c $((i * 997)) /dev/urandom > "$work/tree/file$i.bin"
  seq 1 $((i * 300)) > "$work/tree/a/list$i.txt"
  head -c $((i * i * 13)) /dev/urandom > "$work/tree/a/b/c/deep$i.dat"
  printf 'note %d\n' "$i" > "$work/tree/space name/note $i.txt"
done
: > "$work/tree/d/empty.txt"
head -c 1 /dev/urandom > "$work/tree/d/one.bin"
head -c 300000 /dev/urandom > "$work/tree/d/large.bin"
printf 'new read-only content\n' > "$work/locked-src"
cp "$helpers/setvik-marker.exe" "$work/app.exe"
cp "$helpers/setvik-marker.exe" "$work/after.exe"
printf 'shared library stand-in\n' > "$work/setvik-e2e-shared.dll"
cp /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$work/SetvikE2EFont.ttf"
{
  setup_project "Files" "$folder" "compression = 9"
  cat <<'TOML'
[[file]]
source = "tree"
target = "Tree"
[[file]]
source = "locked-src"
target = "locked.txt"
[[file]]
source = "locked-src"
target = "dated.txt"
times = { creation = 2020-01-02T03:04:05Z, access = 2021-02-03T04:05:06Z, write = 2022-03-04T05:06:07Z }
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
} > "$work/files.toml"
build_setup "$work/files.toml" "$work/files.exe"

# What is there before: a read-only target; no SharedDLLs key.
mkdir -p "$dest"
printf 'old read-only content\n' > "$dest/locked.txt"
chmod a-w "$dest/locked.txt"
wine reg delete "$shared_dlls_key" /f >/dev/null 2>&1 || true

run() {
  to_confirmation "$work/files.exe" "$folder"; confirm; echo 'answer-box yes "OVERWRITE READ-ONLY?" "E2E"'
  printf 'expect-text 1000 "INSTALLED"\nuncheck 1015\n'; finish
}
check "the wizard asks about the read-only target, ends on the finish page, the run-after box cleared" drive install < <(run)
check "the tree of 60 files is installed as it was packed" diff -r -q "$work/tree" "$dest/Tree"
check "the read-only target is replaced and still read-only" eval '
  cmp -s "$work/locked-src" "$dest/locked.txt" && read_only "$dest/locked.txt"'
# Only the last-write time can be seen: Linux keeps no creation time, and
# reading the file back moves its access time on (relatime).
check "a file with given times has its last-write time" \
  [ "$(stat -c '%Y' "$dest/dated.txt")" = "$(date -d 2022-03-04T05:06:07Z +%s)" ]
check "no temporary file is left" no_temporary_files "$dest"
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

# The same setup again over its own installation, with the SharedDLLs key;
# a file left by an earlier run holds the first name for setting a changed
# target aside.
echo "changed" > "$dest/Tree/file1.bin"
echo "left over" > "$dest/Tree/file1.\$\$B"
wine reg add "$shared_dlls_key" /f >/dev/null 2>&1
check "a second run over the installation" drive reinstall < <(run)
check "the left-over file is kept, the read-only target still read-only" eval '
  grep -qx "left over" "$dest/Tree/file1.\$\$B" && rm "$dest/Tree/file1.\$\$B" && read_only "$dest/locked.txt"'
check "the changed file is replaced by the packed one, nothing left over" eval '
  diff -r -q "$work/tree" "$dest/Tree" && no_temporary_files "$dest"'
check "the shared file is counted once" [ "$(reg_value "$shared_dlls_key" "$shared_dll")" = 0x1 ]
[ "$failures" -eq 0 ]
