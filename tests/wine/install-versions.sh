#!/usr/bin/env bash
# The version and language questions, end to end: existing libraries with
# version resources (product 2.0.0.0, file 1.0.0.2, language 0x0409; and
# one whose version words have the top bit set) against records that carry
# a version of their own. The questions come in file order, each naming its
# file; No keeps the old file (and a No to the version question asks no
# language question after it), Yes replaces it; equal languages, a newer
# file version within an equal product version and a missing file ask
# nothing. The uninstall log lists the files written (new or replaced) and
# leaves out the ones kept. A kept file still gets its desktop shortcut, and
# so does an external file (beside the setup, never read from the data).
set -euo pipefail
source "$(dirname "$0")/lib/install-common.sh"
require_programs wintest/VersionNewer.dll wintest/VersionHighBit.dll
on_virtual_display INSTALL_VERSIONS_ON_DISPLAY "$0"
new_work install-versions

folder='C:\e2e\versions'
dest=$(unix_of "$folder")
rm -rf "$dest"
mkdir -p "$dest"
make_uninstaller "$work/uninst.exe"
older='{ file = "1.0.0.1", product = "1.9.9.9", language = 0x0409 }'
german='{ file = "1.0.0.2", product = "2.0.0.0", language = 0x0407 }'
english='{ file = "1.0.0.2", product = "2.0.0.0", language = 0x0409 }'
newer_file='{ file = "1.0.0.3", product = "2.0.0.0", language = 0x0409 }'
below_high_bit='{ file = "1.0.0.0", product = "32767.65535.65535.65535", language = 0x0407 }'
record() { # name options...
  printf 'new %s\n' "$1" > "$work/$1"
  printf '[[file]]\nsource = "%s"\n' "$1"
  shift
  local o
  for o in "$@"; do echo "$o"; done
}
{
  setup_project "Versions" "$folder"
  printf '[[file]]\nsource = "uninst.exe"\nuninstaller = true\n'
  printf '[[file]]\ntarget = "beside.txt"\nuninstall = "external"\nsize = 10\n'
  printf 'desktop = { name = "Setvik E2E Beside" }\n'
  record newer-no.dll "check_version = true" "check_language = true" "version = $older" \
    'desktop = { name = "Setvik E2E Kept" }'
  record newer-yes.dll "check_version = true" "version = $older"
  record lang-no.dll "check_language = true" "version = $german"
  record lang-yes.dll "check_language = true" "version = $german"
  record same-lang.dll "check_language = true" "check_version = true" "version = $english"
  record newer-file.dll "check_version = true" "version = $newer_file"
  record high-bit.dll "check_version = true" "version = $below_high_bit"
  record absent.dll "check_version = true" "check_language = true" "version = $older"
} > "$work/versions.toml"
build_setup "$work/versions.toml" "$work/versions.exe"
for f in newer-no newer-yes lang-no lang-yes same-lang newer-file; do
  cp "$helpers/VersionNewer.dll" "$dest/$f.dll"
done
cp "$helpers/VersionHighBit.dll" "$dest/high-bit.dll"

ask() { local p="$folder\\$2"; echo "answer-box $1 \"$3 ${p//\\/\\\\}\" \"E2E\""; }
{
  to_confirmation "$work/versions.exe" "$folder"
  confirm
  ask no newer-no.dll NEWER
  ask yes newer-yes.dll NEWER
  ask no lang-no.dll LANGUAGE
  ask yes lang-yes.dll LANGUAGE
  ask no high-bit.dll NEWER
  finish
} | drive versions && ok=1 || ok=0
check "the questions come in file order, each for its file, and the rest ask nothing" [ "$ok" = 1 ]
kept() { cmp -s "$helpers/$2" "$dest/$1"; }
written() { cmp -s "$work/$1" "$dest/$1"; }
check "newer file, No: kept" kept newer-no.dll VersionNewer.dll
check "newer file, Yes: replaced" written newer-yes.dll
check "other language, No: kept" kept lang-no.dll VersionNewer.dll
check "other language, Yes: replaced" written lang-yes.dll
check "same version and language: replaced without a question" written same-lang.dll
check "a newer file version within the same product version: replaced" written newer-file.dll
check "top-bit version words compare unsigned: kept on No" kept high-bit.dll VersionHighBit.dll
check "no file yet: written" written absent.dll
log=$(uninstall_log "$dest/uninst.exe" 2>&1 || true)
listed() { grep -q "$1" <<<"$log"; }
for f in newer-yes lang-yes same-lang newer-file absent; do
  check "the uninstall log lists $f.dll (written)" listed "$f.dll"
done
for f in newer-no lang-no high-bit; do
  check "the uninstall log leaves out $f.dll (kept)" eval '! listed "$f.dll"'
done
links=$(wine "$helpers/setvik-linkreader.exe" 'desktop:Setvik E2E Kept.lnk' 'desktop:Setvik E2E Beside.lnk' 2>/dev/null |
        tr -d '\r' | grep '^path=' || true)
check_show "a kept file and an external one (beside the setup) still get their desktop shortcuts" "$links" \
  [ "$links" = "$(printf 'path=%s\npath=%s' "$folder\\newer-no.dll" "$(winpath_of "$work")\\beside.txt")" ]
rm -f "$drive_c"/users/*/Desktop/"Setvik E2E"*.lnk
check "no temporary file is left" no_temporary_files "$dest"
[ "$failures" -eq 0 ] || { echo "uninstall log:"; sed 's/^/    /' <<<"$log"; false; }
