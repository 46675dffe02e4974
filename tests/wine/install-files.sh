#!/usr/bin/env bash
# Installing files, end to end: setups made by `setvik build`, run under
# Wine and clicked through by the UI driver, then the prefix checked.
# - a clean install of a tree of files in sub-folders (every file compared
#   with its source), a target without extension and one below a folder
#   whose name has a dot, a free temporary name found when .$$A is taken,
#   a read-only target replaced (the confirmation page asks first) and still
#   read-only, a writable one replaced, a file given its times;
# - the same setup again: every target replaced, nothing left behind;
# - a setup whose file data was damaged after building: the finish page
#   names the checksum error and the file, the files before it are in, the
#   damaged file's old copy and every later target are as they were, and no
#   temporary file is left;
# - a target whose path does not fit beside a long folder: refused, nothing
#   written under a cut name;
# - a setup that shows only its progress page.
set -euo pipefail
source "$(dirname "$0")/lib/install-common.sh"
require_programs
on_virtual_display INSTALL_FILES_ON_DISPLAY "$0"
new_work install-files

# 1. The payload: 60 files over three levels, empty, tiny and larger ones,
# text and random bytes.
folder='C:\e2e\files'
dest=$(unix_of "$folder")
rm -rf "$dest"
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
printf 'no extension\n' > "$work/readme-src"
printf 'below a dotted folder\n' > "$work/dotted-src"
printf 'the data file\n' > "$work/data-src"
printf 'new read-only content\n' > "$work/locked-src"
printf 'new writable content\n' > "$work/old-src"
{
  setup_project "Files" "$folder" "compression = 9"
  cat <<TOML
[[file]]
source = "tree"
target = "Tree"
[[file]]
source = "readme-src"
target = "README"
[[file]]
source = "dotted-src"
target = 'Tools.new\README'
[[file]]
source = "data-src"
target = "data.bin"
[[file]]
source = "locked-src"
target = "locked.txt"
[[file]]
source = "old-src"
target = "old.txt"
[[file]]
source = "dotted-src"
target = "dated.txt"
times = { creation = 2020-01-02T03:04:05Z, access = 2021-02-03T04:05:06Z, write = 2022-03-04T05:06:07Z }
TOML
} > "$work/files.toml"
build_setup "$work/files.toml" "$work/files.exe"

# What is there before: a taken temporary name, a read-only and a writable
# target.
mkdir -p "$dest"
printf 'somebody else'"'"'s file\n' > "$dest/data.\$\$A"
printf 'old read-only content\n' > "$dest/locked.txt"
chmod a-w "$dest/locked.txt"
printf 'old writable content\n' > "$dest/old.txt"

{
  to_confirmation "$work/files.exe" "$folder"
  echo 'expect-text 1000 "CONFIRM"'
  echo 'click 1'
  echo 'answer-box yes "OVERWRITE READ-ONLY?" "E2E"'
  finish
} | drive clean-install && installed=1 || installed=0
check "clean install: the wizard runs to its finish page and exit code 0" [ "$installed" = 1 ]
check "the tree of 60 files is installed as it was packed" same_tree "$work/tree" "$dest/Tree"
check "a target without extension (README)" cmp -s "$work/readme-src" "$dest/README"
check 'a target below a folder with a dot (Tools.new\README)' cmp -s "$work/dotted-src" "$dest/Tools.new/README"
check "no stray file beside README in Tools.new" [ "$(ls "$dest/Tools.new")" = README ]
check 'data.bin installed although data.$$A was taken' cmp -s "$work/data-src" "$dest/data.bin"
check 'the taken data.$$A is left as it was' grep -qx "somebody else's file" "$dest/data.\$\$A"
check "the read-only target is replaced" cmp -s "$work/locked-src" "$dest/locked.txt"
check "and is still read-only" read_only "$dest/locked.txt"
check "the writable target is replaced" cmp -s "$work/old-src" "$dest/old.txt"
# Only the last-write time can be seen here: Linux keeps no creation time,
# and the check that reads the file back after its times were set moves its
# access time on (relatime).
check "a file with given times has its last-write time" \
  [ "$(stat -c '%Y' "$dest/dated.txt")" = "$(date -d 2022-03-04T05:06:07Z +%s)" ]
rm -f "$dest/data.\$\$A"
check "no temporary file is left" no_temporary_files "$dest"

# 2. The same setup again over its own installation: every target is
# replaced in place (the read-only one asked about again).
echo "changed" > "$dest/Tree/file1.bin"
{
  to_confirmation "$work/files.exe" "$folder"
  echo 'expect-text 1000 "CONFIRM"'
  echo 'click 1'
  echo 'answer-box yes "OVERWRITE READ-ONLY?" "E2E"'
  finish
} | drive reinstall && installed=1 || installed=0
check "a second run over the installation ends on the finish page" [ "$installed" = 1 ]
check "the changed file is replaced by the packed one" same_tree "$work/tree" "$dest/Tree"
check "the read-only target is still read-only" read_only "$dest/locked.txt"
check "no temporary file is left" no_temporary_files "$dest"

# 3. Damaged file data: a stored (uncompressed) setup whose second file has
# one byte changed after building.
folder='C:\e2e\damaged'
dest=$(unix_of "$folder")
rm -rf "$dest"
mkdir -p "$dest"
printf 'first file\n' > "$work/first.txt"
{ echo "VICTIM-CONTENT-BEGINS"; seq 1 2000; } > "$work/victim.txt"
printf 'after the damage\n' > "$work/after.txt"
{
  setup_project "Damaged" "$folder" "compression = 0"
  printf '[[file]]\nsource = "first.txt"\n[[file]]\nsource = "victim.txt"\n[[file]]\nsource = "after.txt"\n'
} > "$work/damaged.toml"
build_setup "$work/damaged.toml" "$work/damaged.exe"
at=$(grep -obUa "VICTIM-CONTENT-BEGINS" "$work/damaged.exe" | head -1 | cut -d: -f1)
printf 'X' | dd of="$work/damaged.exe" bs=1 seek=$((at + 30)) conv=notrunc status=none
printf 'the old victim\n' > "$dest/victim.txt"
printf 'the old after\n' > "$dest/after.txt"
victim_win="${folder}\\victim.txt"
{
  to_confirmation "$work/damaged.exe" "$folder"
  confirm
  finish "CHECKSUM ${victim_win//\\/\\\\}"
} | drive damaged && shown=1 || shown=0
check "damaged data: the finish page shows the checksum error for victim.txt" [ "$shown" = 1 ]
check "the file before the damaged one is installed" cmp -s "$work/first.txt" "$dest/first.txt"
check "the damaged file's target is untouched" grep -qx 'the old victim' "$dest/victim.txt"
check "the later target is untouched" grep -qx 'the old after' "$dest/after.txt"
check "no temporary file is left" no_temporary_files "$dest"

# 4. A folder so long that a target's path does not fit in 259 characters:
# cut after "some.configuration" it would still take a temporary name, so
# the step must see that the path is not whole. Nothing is written under a
# cut name; the finish page says the file cannot be created.
pad=$(printf 'p%.0s' $(seq 1 228))
folder="C:\\e2e\\long\\$pad"
dest=$(unix_of "$folder")
rm -rf "$drive_c/e2e/long"
mkdir -p "$dest"
printf 'configuration\n' > "$work/some.configuration.txt"
{
  setup_project "Long" 'C:\e2e\long'
  printf '[[file]]\nsource = "some.configuration.txt"\n'
} > "$work/long.toml"
build_setup "$work/long.toml" "$work/long.exe"
{
  to_confirmation "$work/long.exe" "$folder"
  confirm
  finish 'CANNOT CREATE C:\\e2e\\long\\*'
} | drive long && ok=1 || ok=0
check "a target path that does not fit: the finish page says it cannot be created" [ "$ok" = 1 ]
check "nothing is written under a cut name" [ -z "$(ls -A "$dest")" ]
rm -rf "$drive_c/e2e/long"

# 5. A setup that shows only its progress page: it installs into its
# default folder, then stays with 100% and the last file's path shortened
# to about 30 characters; Cancel ends it without a question.
folder='C:\e2e\single'
dest=$(unix_of "$folder")
rm -rf "$dest"
{
  setup_project "Single" "$folder" 'single_page = "progress"'
  cat <<'TOML'
[[file]]
source = "readme-src"
target = 'Some Folder\Deeper\first.txt'
[[file]]
source = "dotted-src"
target = 'Some Folder\Deeper\last-file.txt'
TOML
} > "$work/single.toml"
build_setup "$work/single.toml" "$work/single.exe"
{
  echo 'timeout 30'
  echo "start $work/single.exe"
  echo 'wait-window SetvikClass'
  echo 'expect-text 1001 "INSTALLING"'
  echo 'expect-text 1010 "100%"'
  echo 'expect-text 1008 "C:\\e2e\\single\\...\\last-file.txt"'
  echo 'click 2'
  echo 'expect-no-box'
  echo 'expect-exit 0'
} | drive single && ok=1 || ok=0
check "the progress page alone: 100%, the last path shortened, Cancel ends it" [ "$ok" = 1 ]
check "both files are in their sub-folder" \
  eval 'cmp -s "$work/readme-src" "$dest/Some Folder/Deeper/first.txt" && cmp -s "$work/dotted-src" "$dest/Some Folder/Deeper/last-file.txt"'

[ "$failures" -eq 0 ]
