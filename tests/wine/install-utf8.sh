#!/usr/bin/env bash
# A UTF-8 setup (encoding = "utf-8") under Wine: title, texts, folder, file
# and shortcut names in Cyrillic, Greek and CJK. Through the wizard (its
# welcome page pictured; kept as utf8-0-welcome.png in SETVIK_SCREENSHOT_DIR
# when set), then removed with /S: names on disk and registry values read
# back equal; and the conversion where the declaration of UTF-8 is ignored.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
export LC_ALL=C.UTF-8  # Wine names Linux files in the locale's character set
require_programs setvik-uninst.exe
on_virtual_display INSTALL_UTF8_ON_DISPLAY "$0"
new_work install-utf8

title='Тест Ωμέγα 中文'
folder='C:\e2e\Папка Ωμέγα 中文'
dest=$(unix_of "$folder")
programs=$(unix_of "$(shell_folder Programs)")
names=('Café.txt' 'Файл.txt' 'Αρχείο.txt' '文件.txt')
echo "notes" >"$work/notes.txt"
{
  printf '[setup]\ntitle = "%s"\ndefault_folder = "%s"\nencoding = "utf-8"\nuninstall_name = "%s"\n' \
    "$title" "${folder//\\/\\\\}" "$title"
  printf '[texts.welcome]\nparagraph1 = "WELCOME Добро пожаловать Καλώς ήρθατε 欢迎"\n'
  printf '[texts.finish]\nsuccess = "INSTALLED"\n[texts.messages]\ntitle = "E2E %s"\ncreate_folder = "CREATE?"\n' "$title"
  for name in "${names[@]}"; do printf '[[file]]\nsource = "notes.txt"\ntarget = "%s"\n' "$name"; done
  printf 'start_menu = { group = "Группа Ω", name = "Ярлык 中" }\n[uninstaller]\n'
} >"$work/utf8.toml"
build_setup "$work/utf8.toml" "$work/utf8.exe"
check "the setup declares UTF-8" grep -q '^manifest: requireAdministrator, UTF-8$' <("$bin/setvik" list "$work/utf8.exe")

# The registry as Wine stores it, its \x escapes decoded.
registry_text() {
  wineserver -w
  python3 -c 'import re,sys; t=open(sys.argv[1],encoding="utf-8").read()
print(re.sub(r"\\x([0-9a-fA-F]{1,4})", lambda m: chr(int(m.group(1),16)), t))' "$WINEPREFIX/system.reg"
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
answer-box yes "CREATE?" "E2E *"
expect-text 1000 "Setup is now ready to install *"
click 1
expect-text 1000 "INSTALLED"
click 1
expect-text 1005 "Setvik"
click 2
expect-exit 0
SCRIPT
check "the wizard runs through" [ "$ran" = 1 ]
[ -z "${SETVIK_SCREENSHOT_DIR:-}" ] || convert "$work/welcome.bmp" -strip "$SETVIK_SCREENSHOT_DIR/utf8-0-welcome.png"
listed=$(ls "$dest" 2>/dev/null | tr '\n' '|')
check_show "the files carry their names" "$listed" \
  [ "$listed" = "$(printf '%s\n' "${names[@]}" uninstall.exe | LC_ALL=C.UTF-8 sort | tr '\n' '|')" ]
check "so do the shortcut and the entry's name and folder" eval '[ -e "$programs/Группа Ω/Ярлык 中.lnk" ] &&
  grep -qF -e "\"DisplayName\"=\"$title\"" <(registry_text) &&
  grep -qF -e "\"InstallLocation\"=\"${folder//\\/\\\\}\"" <(registry_text)'
# Started by Wine itself: the UI driver's code page cannot name the folder.
check "removed with /S, exit code 0" wine "$folder\\uninstall.exe" /S
wineserver -w
check "the removal leaves nothing" eval '[ ! -e "$dest" -a ! -e "$programs/Группа Ω" ] &&
  ! grep -qF -e "\"DisplayName\"=\"$title\"" <(registry_text)'

# With the manifest's UTF-8 declaration blanked out the setup converts to
# code page 1252: the file it can name installs under its right name, the
# next fails with error 17, and nothing is written under a garbled name.
python3 - "$work/utf8.exe" "$work/ansi.exe" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
element = b'<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>'
assert data.count(element) == 1
open(sys.argv[2], 'wb').write(data.replace(element, b' ' * len(element)))
PY
ansi='C:\e2e\utf8-ansi'
at_exit "rm -rf '$(unix_of "$ansi")'"
code=0
wine "$work/ansi.exe" /QUIET "/DIR=$ansi" "/LOG=$(winpath_of "$work/ansi.log")" >/dev/null 2>&1 || code=$?
check "declaration ignored: exit code 1603 (as wine passes it on)" [ "$code" = $((1603 & 255)) ]
check "declaration ignored: error 17 names the file 1252 cannot name" \
  grep -qa 'failed 17: C:\\e2e\\utf8-ansi\\????\.' "$work/ansi.log"
listed=$(ls "$(unix_of "$ansi")" 2>/dev/null | tr '\n' '|')
check_show "declaration ignored: the file 1252 can name is in place, no other" "$listed" [ "$listed" = "Café.txt|" ]

[ "$failures" -eq 0 ]
