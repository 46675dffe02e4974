#!/usr/bin/env bash
# Signed setups end to end under Wine: `setvik build --sign-command` signs
# the uninstaller and the setup with osslsigncode and a self-signed
# certificate made for the run.
# - the signed setup verifies, and installs through the wizard and with
#   /QUIET;
# - the same setup with 5 bytes after its signature, or with a damaged size
#   of its certificate table, is refused with text 6/31 and installs nothing;
# - the installed uninstaller is the signed one and still verifies; its log
#   lies beside it in uninstall.dat, and `uninstall.exe /S` removes
#   everything, that file and the folder included.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs setvik-uninst.exe
command -v osslsigncode >/dev/null && command -v openssl >/dev/null || { echo "missing osslsigncode"; exit 1; }
on_virtual_display INSTALL_SIGNED_ON_DISPLAY "$0"
new_work install-signed

folder='C:\e2e\install-signed'
dest=$(unix_of "$folder")
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Signed E2E'
rm -rf "$dest"
wine reg delete "$key" /f >/dev/null 2>&1 || true
mkdir -p "$(unix_of 'C:\e2e')"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Setvik Test Signer" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
verified() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1; }

echo "payload" >"$work/payload.txt"
{
  setup_project "Signed E2E" "$folder" 'uninstall_name = "Signed E2E"'
  echo 'invalid_setup = "DAMAGED"'
  printf '[[file]]\nsource = "payload.txt"\n[uninstaller]\n'
} >"$work/signed.toml"
"$bin/setvik" build "$work/signed.toml" -o "$work/signed.exe" --stub "$bin/setvik-stub.exe" --sign-command \
  "osslsigncode sign -certs '$work/cert.pem' -key '$work/key.pem' -n 'Signed E2E' -h sha256 -in {in} -out {out}" \
  >"$work/build.log" 2>&1
check "the setup carries a valid signature" verified "$work/signed.exe"
verify=$("$bin/setvik" verify "$work/signed.exe" 2>&1 || true)
names_table() { grep -q '^certificate table: [0-9]* bytes at offset' <<<"$verify"; }
check_show "setvik verify names its certificate table" "$verify" names_table

# Damage after the file data: bytes behind the table, or a table size (the
# security directory's second field in the stub's PE header) that no
# longer reaches the end of the file.
cp "$work/signed.exe" "$work/appended.exe"
printf 'extra' >>"$work/appended.exe"
cp "$work/signed.exe" "$work/badsize.exe"
pe=$(od -An -tu4 -j60 -N4 "$work/signed.exe" | tr -d ' ')
printf '\xff' | dd of="$work/badsize.exe" bs=1 seek=$((pe + 24 + 96 + 4 * 8 + 5)) conv=notrunc 2>/dev/null
refused() { # name setup
  drive "$1" <<SCRIPT
timeout 60
start $2
answer-box ok "DAMAGED" "E2E"
expect-exit -1
SCRIPT
}
check "5 bytes after the signature: refused with 6/31" refused appended "$work/appended.exe"
check "a damaged certificate-table size: refused with 6/31" refused badsize "$work/badsize.exe"
check "the refused setups installed nothing" [ ! -e "$dest" ]

check "the signed setup installs through the wizard" drive install < <(
  to_confirmation "$work/signed.exe" "$folder"
  echo 'answer-box yes "CREATE FOLDER?" "E2E"'
  confirm
  finish
)
check "the file is installed, the uninstaller still verifies and is listed, its log beside it" eval '
  cmp -s "$work/payload.txt" "$dest/payload.txt" && verified "$dest/uninstall.exe" && [ -n "$(reg_value "$key" UninstallString)" ] &&
  grep -q "name \"uninstall.dat\"" <("$bin/setvik" log "$dest/uninstall.exe")'

check "removal with /S: exit code 0" ends_with remove 0 "$folder\\uninstall.exe" /S
wineserver -w
check "removal: the folder (the log file included) and the Uninstall key are gone" [ ! -e "$dest" -a -z "$(reg_value "$key" DisplayName)" ]

# The same signed setup unattended: installed with /QUIET, removed again.
check "the signed setup installs with /QUIET" ends_with quiet 0 "$work/signed.exe" /QUIET "/DIR=$folder"
check "and its file is there" cmp -s "$work/payload.txt" "$dest/payload.txt"
check "quiet removal with /S: exit code 0" ends_with quiet-remove 0 "$folder\\uninstall.exe" /S
wineserver -w
[ "$failures" -eq 0 ]
