#!/usr/bin/env bash
# A UTF-8 setup (encoding = "utf-8") end to end under Wine: title, texts,
# folder, file and shortcut names in Cyrillic, Greek and CJK.
# - through the wizard (its welcome page pictured; with
#   SETVIK_SCREENSHOT_DIR set the picture is kept there as utf8-0-welcome.png):
#   the files, the shortcut and the Uninstall entry carry exactly those
#   names, the entry's values read back equal, the uninstaller (/S) removes
#   it all;
# - with /QUIET the same;
# - with the manifest's UTF-8 declaration blanked out, the setup converts
#   to the system's code page: the file whose name code page 1252 holds
#   installs under its right name, the next one cannot be named there and
#   fails the installation (1603), and nothing is written under a garbled
#   name.
set -euo pipefail
source "$(dirname "$0")/lib/uninstall-common.sh"
# Wine names files on Linux in the locale's character set: UTF-8 here.
export LC_ALL=C.UTF-8
require_uninstaller
on_virtual_display INSTALL_UTF8_ON_DISPLAY "$0"
new_uninstall_work install-utf8

title='Тест Ωμέγα 中文'
folder='C:\e2e\Папка Ωμέγα 中文'
dest=$(unix_of "$folder")
programs=$(shell_folder Programs)
names=('Café.txt' 'Файл.txt' 'Αρχείο.txt' '文件.txt')
rm -rf "$dest" "$(unix_of "$programs")/Группа Ω"
echo "notes" >"$work/notes.txt"
{
  printf '[setup]\ntitle = "%s"\ndefault_folder = "%s"\nencoding = "utf-8"\nuninstall_name = "%s"\n' \
    "$title" "${folder//\\/\\\\}" "$title"
  printf '[texts.welcome]\nparagraph1 = "WELCOME Добро пожаловать Καλώς ήρθατε 欢迎"\n'
  printf '[texts.finish]\nsuccess = "INSTALLED"\n'
  printf '[texts.messages]\ntitle = "E2E %s"\ncreate_folder = "CREATE FOLDER?"\n' "$title"
  for name in "${names[@]}"; do printf '[[file]]\nsource = "notes.txt"\ntarget = "%s"\n' "$name"; done
  printf 'start_menu = { group = "Группа Ω", name = "Ярлык 中" }\n[uninstaller]\n'
} >"$work/utf8.toml"
build_setup "$work/utf8.toml" "$work/utf8.exe"
check "the setup declares UTF-8" grep -q '^manifest: requireAdministrator, UTF-8$' <("$bin/setvik" list "$work/utf8.exe")

# The registry as Wine stores it, its \x escapes decoded.
registry_text() {
  wineserver -w
  python3 -c 'import re,sys; t=open(sys.argv[1],encoding="utf-8",errors="replace").read()
print(re.sub(r"\\x([0-9a-fA-F]{1,4})", lambda m: chr(int(m.group(1),16)), t))' "$WINEPREFIX/system.reg"
}

installed() { # how
  local listed
  listed=$(cd "$dest" 2>/dev/null && ls | sort | tr '\n' '|')
  check_show "$1: the files carry their names" "$listed" \
    [ "$listed" = "$(printf '%s\n' "${names[@]}" uninstall.exe | sort | tr '\n' '|')" ]
  check "$1: the shortcut carries its name" [ -e "$(unix_of "$programs")/Группа Ω/Ярлык 中.lnk" ]
  check "$1: the entry's name and folder read back equal" \
    grep -qF "\"DisplayName\"=\"$title\"" <(registry_text)
  check "$1: ... and its folder" grep -qF "\"InstallLocation\"=\"${folder//\\/\\\\}\"" <(registry_text)
  # Started by Wine itself: the UI driver's own code page cannot name the folder.
  local code=0
  wine "$folder\\uninstall.exe" /S >/dev/null 2>&1 || code=$?
  check "$1: removed with /S, exit code 0" [ "$code" = 0 ]
  wineserver -w
  check "$1: the removal leaves nothing" [ ! -e "$dest" -a ! -e "$(unix_of "$programs")/Группа Ω" ]
  check "$1: ... nor the entry" eval '! grep -qF "\"DisplayName\"=\"$title\"" <(registry_text)'
}

drive wizard <<SCRIPT && ran=1 || ran=0
timeout 60
start $work/utf8.exe
wait-window SetvikClass
expect-text 1000 "WELCOME *"
sleep 300
screenshot $work/welcome.bmp window
click 1
expect-text 1004 "C:*"
click 1
answer-box yes "CREATE FOLDER?" "E2E *"
expect-text 1000 "Setup is now ready to install *"
click 1
expect-text 1000 "INSTALLED"
click 1
expect-text 1005 "Setvik"
click 2
expect-exit 0
SCRIPT
check "the wizard runs through" [ "$ran" = 1 ]
if [ -n "${SETVIK_SCREENSHOT_DIR:-}" ] && [ -e "$work/welcome.bmp" ]; then
  convert "$work/welcome.bmp" -strip -define png:compression-level=9 "$SETVIK_SCREENSHOT_DIR/utf8-0-welcome.png"
fi
installed wizard

check "/QUIET installs with exit code 0" wine "$work/utf8.exe" /QUIET
installed quiet

# The same setup where Windows does not take its UTF-8 declaration.
python3 - "$work/utf8.exe" "$work/ansi.exe" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
element = b'<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>'
assert data.count(element) == 1
open(sys.argv[2], 'wb').write(data.replace(element, b' ' * len(element)))
PY
ansi='C:\e2e\utf8-ansi'
rm -rf "$(unix_of "$ansi")"
code=0
wine "$work/ansi.exe" /QUIET "/DIR=$ansi" "/LOG=$(winpath_of "$work/ansi.log")" >/dev/null 2>&1 || code=$?
check "without the declaration: /QUIET fails with 1603" [ "$code" = $((1603 & 255)) ]  # as wine passes it on
check "without the declaration: error 17 names the file code page 1252 cannot name" \
  grep -qa 'failed 17: C:\\e2e\\utf8-ansi\\????\.' "$work/ansi.log"
listed=$(cd "$(unix_of "$ansi")" 2>/dev/null && ls | tr '\n' '|')
check_show "without the declaration: the file code page 1252 can name is in place, no other" "$listed" \
  [ "$listed" = "Café.txt|" ]
rm -rf "$(unix_of "$ansi")"
[ "$failures" -eq 0 ]
