#!/usr/bin/env bash
# A signed per-user UTF-8 setup end to end under Wine: `setvik build
# --sign-command` signs the uninstaller and the setup with osslsigncode and
# a self-signed certificate made for the run; scope = "user", encoding =
# "utf-8", with title, texts, folder, file and shortcut names in Cyrillic,
# Greek and CJK.
# - the setup verifies, and it and its uninstaller ask for no elevation;
#   with 5 bytes after its signature it is refused with text 6/31 and
#   installs nothing (a damaged table size: SetupLoaderTest);
# - through the wizard (its welcome page pictured; kept as
#   utf8-0-welcome.png in SETVIK_SCREENSHOT_DIR when set), which proposes
#   the user's Programs folder: files, Uninstall entry, shortcut and font
#   (with its value) are the user's, none of them the machine's, and their
#   names on disk and in the registry read back equal; the installed
#   uninstaller is the signed one and still verifies, its log beside it in
#   uninstall.dat;
# - `uninstall.exe /S` leaves nothing, that file and the folder included.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
export LC_ALL=C.UTF-8  # Wine names Linux files in the locale's character set
require_programs setvik-uninst.exe
command -v osslsigncode >/dev/null && command -v openssl >/dev/null || { echo "missing osslsigncode"; exit 1; }
on_virtual_display INSTALL_SIGNED_ON_DISPLAY "$0"
new_work install-signed

title='Тест Ωμέγα 中文'
local_appdata=$(shell_folder 'Local AppData')
programs=$(unix_of "$(shell_folder Programs)")
folder="$local_appdata\\Programs\\Папка Ωμέγα 中文"
dest=$(unix_of "$folder")
font=$(unix_of "$local_appdata\\Microsoft\\Windows\\Fonts\\svk-signed.ttf")
font_key='HKCU\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
names=('Café.txt' 'Файл.txt' 'Αρχείο.txt' '文件.txt')
rm -rf "$dest" "$programs/Группа Ω" "$font"  # what a failed run left
wine reg delete "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$title" /f >/dev/null 2>&1 || true
wine reg delete "$font_key" /v svk-signed.ttf /f >/dev/null 2>&1 || true

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Setvik Test Signer" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
verified() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1; }
echo "notes" >"$work/notes.txt"
{
  printf '[setup]\ntitle = "%s"\ndefault_folder = "#Program Files#\\\\Папка Ωμέγα 中文"\nencoding = "utf-8"\n' "$title"
  printf 'scope = "user"\nuninstall_name = "%s"\n' "$title"
  printf '[texts.welcome]\nparagraph1 = "WELCOME Добро пожаловать Καλώς ήρθατε 欢迎"\n'
  printf '[texts.finish]\nsuccess = "INSTALLED"\n[texts.messages]\ntitle = "E2E %s"\n' "$title"
  printf 'create_folder = "CREATE?"\ninvalid_setup = "DAMAGED"\n'
  for name in "${names[@]}"; do printf '[[file]]\nsource = "notes.txt"\ntarget = "%s"\n' "$name"; done
  printf 'start_menu = { group = "Группа Ω", name = "Ярлык 中" }\n'
  printf '[[file]]\nsource = "%s"\ntarget = "svk-signed.ttf"\ndestination = "fonts"\n[uninstaller]\n' \
    /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf
} >"$work/signed.toml"
"$bin/setvik" build "$work/signed.toml" -o "$work/signed.exe" --stub "$bin/setvik-stub.exe" --sign-command \
  "osslsigncode sign -certs '$work/cert.pem' -key '$work/key.pem' -n 'Signed E2E' -h sha256 -in {in} -out {out}" \
  >"$work/build.log" 2>&1
check "the setup carries a valid signature" verified "$work/signed.exe"
verify=$("$bin/setvik" verify "$work/signed.exe" 2>&1 || true)
check_show "setvik verify names its certificate table" "$verify" \
  grep -q '^certificate table: [0-9]* bytes at offset' <<<"$verify"
"$bin/setvik" extract "$work/signed.exe" "$work/x" >/dev/null
check "the setup and its uninstaller ask for no elevation" eval 'grep -q "^manifest: asInvoker, UTF-8$" \
  <("$bin/setvik" list "$work/signed.exe") && grep -qa "level=\"asInvoker\"" "$work/x/install/uninstall.exe"'

# Damage after the file data: bytes behind the certificate table.
cp "$work/signed.exe" "$work/appended.exe"
printf 'extra' >>"$work/appended.exe"
check "5 bytes after the signature: refused with 6/31" drive appended <<SCRIPT
timeout 60
start $work/appended.exe
answer-box ok "DAMAGED" "E2E *"
expect-exit -1
SCRIPT
check "the refused setup installed nothing" [ ! -e "$dest" ]

# The registry as Wine stores it, its \x escapes decoded.
registry_text() { # system|user
  wineserver -w
  python3 -c 'import re,sys; t=open(sys.argv[1],encoding="utf-8").read(); sys.stdout.reconfigure(errors="replace")
print(re.sub(r"\\x([0-9a-fA-F]{1,4})", lambda m: chr(int(m.group(1),16)), t))' "$WINEPREFIX/$1.reg" 2>/dev/null
}
check "the wizard proposes the user's Programs folder and installs" drive install <<SCRIPT
timeout 60
start $work/signed.exe
wait-window SetvikClass
expect-text 1000 "WELCOME *"
sleep 300
screenshot $work/welcome.bmp window
click 1
expect-text 1004 $(quoted "$local_appdata\\Programs\\*")
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
[ -z "${SETVIK_SCREENSHOT_DIR:-}" ] || convert "$work/welcome.bmp" -strip "$SETVIK_SCREENSHOT_DIR/utf8-0-welcome.png"
listed=$(ls "$dest" 2>/dev/null | tr '\n' '|')
check_show "the files carry their names" "$listed" \
  [ "$listed" = "$(printf '%s\n' "${names[@]}" uninstall.dat uninstall.exe | LC_ALL=C.UTF-8 sort | tr '\n' '|')" ]
check "entry (its name and folder), shortcut and font are the user's, not the machine's" eval '
  grep -qF -e "\"DisplayName\"=\"$title\"" <(registry_text user) && ! grep -qF "$title" <(registry_text system) &&
  grep -qF -e "\"InstallLocation\"=\"${folder//\\/\\\\}\"" <(registry_text user) &&
  [ -e "$programs/Группа Ω/Ярлык 中.lnk" -a -e "$font" -a -n "$(reg_value "$font_key" svk-signed.ttf)" ]'
check "the uninstaller still verifies, its log beside it" eval 'verified "$dest/uninstall.exe" &&
  grep -q "name \"uninstall.dat\"" <("$bin/setvik" log "$dest/uninstall.exe")'
# Started by Wine itself: the UI driver's code page cannot name the folder.
check "removed with /S, exit code 0" wine "$folder\\uninstall.exe" /S
wineserver -w
check "the removal leaves nothing" eval '[ ! -e "$dest" -a ! -e "$programs/Группа Ω" -a ! -e "$font" ] &&
  ! grep -qF -e "\"DisplayName\"=\"$title\"" <(registry_text user) && [ -z "$(reg_value "$font_key" svk-signed.ttf)" ]'

[ "$failures" -eq 0 ]
