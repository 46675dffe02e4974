#!/usr/bin/env bash
# Installing files through the wizard, end to end: a tree of 60 files in
# sub-folders (every file compared with its source), a target without
# extension and one below a folder whose name has a dot, a read-only target
# (the confirmation asks first) and a writable one replaced, a file given
# its times; then the same setup again over its own installation. The
# step's rules (taken temporary names, damage, paths that do not fit) are
# the Windows unit tests' (InstallStepTest).
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
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

# What is there before: a read-only and a writable target.
mkdir -p "$dest"
printf 'old read-only content\n' > "$dest/locked.txt"
chmod a-w "$dest/locked.txt"
printf 'old writable content\n' > "$dest/old.txt"

run() { to_confirmation "$work/files.exe" "$folder"; confirm; echo 'answer-box yes "OVERWRITE READ-ONLY?" "E2E"'; finish; }
check "the wizard asks about the read-only target and runs to the end" drive clean-install < <(run)
check "the tree of 60 files is installed as it was packed" diff -r -q "$work/tree" "$dest/Tree"
check 'targets without extension (README) and below a dotted folder (Tools.new\README), nothing beside' eval '
  cmp -s "$work/readme-src" "$dest/README" && cmp -s "$work/dotted-src" "$dest/Tools.new/README" && [ "$(ls "$dest/Tools.new")" = README ]'
check "the read-only target is replaced and still read-only, the writable one replaced" eval '
  cmp -s "$work/locked-src" "$dest/locked.txt" && read_only "$dest/locked.txt" && cmp -s "$work/old-src" "$dest/old.txt"'
# Only the last-write time can be seen: Linux keeps no creation time, and
# reading the file back moves its access time on (relatime).
check "a file with given times has its last-write time" \
  [ "$(stat -c '%Y' "$dest/dated.txt")" = "$(date -d 2022-03-04T05:06:07Z +%s)" ]
check "no temporary file is left" no_temporary_files "$dest"

# 2. The same setup again over its own installation: every target replaced.
echo "changed" > "$dest/Tree/file1.bin"
check "a second run over the installation" drive reinstall < <(run)
check "the changed file is replaced by the packed one, the read-only one still read-only, nothing left over" eval '
  diff -r -q "$work/tree" "$dest/Tree" && read_only "$dest/locked.txt" && no_temporary_files "$dest"'

[ "$failures" -eq 0 ]
