#!/usr/bin/env bash
# A signed per-user setup end to end under Wine: `setvik build
# --sign-command` signs the uninstaller and the setup with osslsigncode and
# a self-signed certificate made for the run; scope = "user".
# - the setup verifies, and it and its uninstaller ask for no elevation;
#   with 5 bytes after its signature it is refused with text 6/31 and
#   installs nothing (a damaged table size: SetupLoaderTest);
# - through the wizard, which proposes the user's Programs folder: files,
#   Uninstall entry, shortcut and font (with its value) are the user's, none
#   of them the machine's; the installed uninstaller is the signed one and
#   still verifies, its log beside it in uninstall.dat;
# - `uninstall.exe /S` leaves nothing, that file and the folder included.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs setvik-uninst.exe
command -v osslsigncode >/dev/null && command -v openssl >/dev/null || { echo "missing osslsigncode"; exit 1; }
on_virtual_display INSTALL_SIGNED_ON_DISPLAY "$0"
new_work install-signed

local_appdata=$(shell_folder 'Local AppData')
programs=$(shell_folder Programs)
folder="$local_appdata\\Programs\\Signed E2E"
dest=$(unix_of "$folder")
font=$(unix_of "$local_appdata\\Microsoft\\Windows\\Fonts\\svk-signed.ttf")
key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Signed E2E'
font_key='HKCU\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
rm -rf "$dest" "$(unix_of "$programs\\Signed E2E")" "$font"  # what a failed run left
wine reg delete "HKCU\\$key" /f >/dev/null 2>&1 || true
wine reg delete "$font_key" /v svk-signed.ttf /f >/dev/null 2>&1 || true

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Setvik Test Signer" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
verified() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1; }
echo "notes" >"$work/notes.txt"
{
  setup_project "Signed E2E" '#Program Files#\Signed E2E' 'scope = "user"' 'uninstall_name = "Signed E2E"'
  cat <<TOML
invalid_setup = "DAMAGED"
[[file]]
source = "notes.txt"
start_menu = { group = "Signed E2E", name = "Notes" }
[[file]]
source = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
target = "svk-signed.ttf"
destination = "fonts"
[uninstaller]
TOML
} >"$work/signed.toml"
"$bin/setvik" build "$work/signed.toml" -o "$work/signed.exe" --stub "$bin/setvik-stub.exe" --sign-command \
  "osslsigncode sign -certs '$work/cert.pem' -key '$work/key.pem' -n 'Signed E2E' -h sha256 -in {in} -out {out}" \
  >"$work/build.log" 2>&1
check "the setup carries a valid signature" verified "$work/signed.exe"
verify=$("$bin/setvik" verify "$work/signed.exe" 2>&1 || true)
check_show "setvik verify names its certificate table" "$verify" \
  grep -q '^certificate table: [0-9]* bytes at offset' <<<"$verify"
"$bin/setvik" extract "$work/signed.exe" "$work/x" >/dev/null
check "the setup and its uninstaller ask for no elevation" eval 'grep -q "^manifest: asInvoker$" \
  <("$bin/setvik" list "$work/signed.exe") && grep -qa "level=\"asInvoker\"" "$work/x/install/uninstall.exe"'

# Damage after the file data: bytes behind the certificate table.
cp "$work/signed.exe" "$work/appended.exe"
printf 'extra' >>"$work/appended.exe"
check "5 bytes after the signature: refused with 6/31" drive appended <<SCRIPT
timeout 60
start $work/appended.exe
answer-box ok "DAMAGED" "E2E"
expect-exit -1
SCRIPT
check "the refused setup installed nothing" [ ! -e "$dest" ]

check "the wizard proposes the user's Programs folder and installs" drive install < <(
  to_confirmation "$work/signed.exe" "$folder" proposed; echo 'answer-box yes "CREATE FOLDER?" "E2E"'; confirm; finish)
check "files, entry, shortcut and font are the user's, not the machine's" eval '[ -e "$dest/notes.txt" ] &&
  [ -n "$(reg_value "HKCU\\$key" DisplayName)" -a -z "$(reg_value "HKLM\\$key" DisplayName)" ] &&
  [ -e "$(unix_of "$programs\\Signed E2E\\Notes.lnk")" -a -e "$font" -a -n "$(reg_value "$font_key" svk-signed.ttf)" ]'
check "the uninstaller still verifies, its log beside it" eval 'verified "$dest/uninstall.exe" &&
  grep -q "name \"uninstall.dat\"" <("$bin/setvik" log "$dest/uninstall.exe")'
check "removal with /S: exit code 0" ends_with remove 0 "$folder\\uninstall.exe" /S
wineserver -w
check "the removal leaves nothing" eval '[ ! -e "$dest" -a ! -e "$(unix_of "$programs\\Signed E2E")" -a ! -e "$font" ] &&
  [ -z "$(reg_value "HKCU\\$key" DisplayName)" -a -z "$(reg_value "$font_key" svk-signed.ttf)" ]'
[ "$failures" -eq 0 ]
