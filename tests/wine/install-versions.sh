#!/usr/bin/env bash
# The version and language questions answered in the wizard: existing
# libraries with version resources against records that carry a version of
# their own (the comparison rules are OverwriteRulesTest's). The questions
# come in file order, each naming its file; No keeps the old file, Yes
# replaces it, a missing file asks nothing. The uninstall log lists the
# files written and leaves out the ones kept. A kept file still gets its
# desktop shortcut, and so does an external file (beside the setup).
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs wintest/VersionNewer.dll wintest/setvik-marker.exe
on_virtual_display INSTALL_VERSIONS_ON_DISPLAY "$0"
new_work install-versions

folder='C:\e2e\versions'
dest=$(unix_of "$folder")
rm -rf "$dest"
mkdir -p "$dest"
make_uninstaller "$work/uninst.exe"
older='{ file = "1.0.0.1", product = "1.9.9.9", language = 0x0409 }'
german='{ file = "1.0.0.2", product = "2.0.0.0", language = 0x0407 }'
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
  record absent.dll "check_version = true" "check_language = true" "version = $older"
} > "$work/versions.toml"
build_setup "$work/versions.toml" "$work/versions.exe"
for f in newer-no newer-yes lang-no; do cp "$helpers/VersionNewer.dll" "$dest/$f.dll"; done

ask() { local p="$folder\\$2"; echo "answer-box $1 \"$3 ${p//\\/\\\\}\" \"E2E\""; }
{
  to_confirmation "$work/versions.exe" "$folder"
  confirm
  ask no newer-no.dll NEWER
  ask yes newer-yes.dll NEWER
  ask no lang-no.dll LANGUAGE
  finish
} | drive versions && ok=1 || ok=0
check "the questions come in file order, each for its file, and the rest ask nothing" [ "$ok" = 1 ]
kept() { cmp -s "$helpers/VersionNewer.dll" "$dest/$1"; }
written() { cmp -s "$work/$1" "$dest/$1"; }
log=$("$bin/setvik" log "$dest/uninst.exe" 2>&1 || true)
listed() { grep -q "$1" <<<"$log"; }
check_show "No keeps, Yes and a missing file write; the uninstall log lists only what was written" "$log" eval '
  kept newer-no.dll && kept lang-no.dll && written newer-yes.dll && written absent.dll &&
  listed newer-yes.dll && listed absent.dll && ! listed newer-no.dll && ! listed lang-no.dll'
links=$(wine "$helpers/setvik-linkreader.exe" 'desktop:Setvik E2E Kept.lnk' 'desktop:Setvik E2E Beside.lnk' 2>/dev/null |
        tr -d '\r' | grep '^path=' || true)
check_show "a kept file and an external one (beside the setup) still get their desktop shortcuts" "$links" \
  [ "$links" = "$(printf 'path=%s\npath=%s' "$folder\\newer-no.dll" "$(winpath_of "$work")\\beside.txt")" ]
rm -f "$drive_c"/users/*/Desktop/"Setvik E2E"*.lnk
check "no temporary file is left" no_temporary_files "$dest"
[ "$failures" -eq 0 ]
