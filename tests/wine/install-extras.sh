#!/usr/bin/env bash
# What an installation does besides writing files, end to end under Wine:
# - a desktop shortcut and a start-menu shortcut in a two-level group, read
#   back through the shell-link interface: target, arguments, working
#   folder, and the icon (only the start-menu shortcut names one); the
#   start-menu shortcut is recorded in the uninstall log;
# - shared-use counts under SharedDLLs: none while the key is missing (it is
#   not created), then 1 and 2 over two installations;
# - a font in the Fonts folder (no registry entry is written for it) and a
#   library whose DllRegisterServer leaves its mark in the registry, both
#   flagged as such in the uninstall log;
# - the Uninstall entry of the installed program;
# - in a folder whose name has a space: the finish page's button opens the
#   launch file, and the run-after program starts when the wizard ends while
#   its box is ticked, and not when it was cleared.
set -euo pipefail
source "$(dirname "$0")/lib/install-common.sh"
require_programs wintest/SelfRegister.dll
on_virtual_display INSTALL_EXTRAS_ON_DISPLAY "$0"
new_work install-extras

folder='C:\e2e\extra files'
dest=$(unix_of "$folder")
shared_key='HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs'
shared_dll='C:\windows\system32\setvik-e2e-shared.dll'
fonts=$drive_c/windows/Fonts
cleanup_prefix() {
  rm -rf "$dest" "$fonts/SetvikE2EFont.ttf" "$(unix_of "$shared_dll")" "$drive_c"/users/*/Desktop/"Setvik E2E"*.lnk \
    "$drive_c"/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs/"Setvik E2E"
  wine reg delete "$shared_key" /v "$shared_dll" /f >/dev/null 2>&1 || true
  wine reg delete 'HKCU\Software\Setvik Test\SelfRegister' /f >/dev/null 2>&1 || true
  wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Setvik E2E Extras' /f >/dev/null 2>&1 || true
}
cleanup_prefix
mkdir -p "$dest"
make_uninstaller "$work/uninst.exe"
cp "$helpers/setvik-marker.exe" "$work/app.exe"
cp "$helpers/setvik-marker.exe" "$work/launch.exe"
cp "$helpers/setvik-marker.exe" "$work/after.exe"
printf 'shared library stand-in\n' > "$work/setvik-e2e-shared.dll"
cp /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$work/SetvikE2EFont.ttf"
cp "$helpers/SelfRegister.dll" "$work/SelfRegister.dll"
{
  setup_project "Extras" "$folder" 'uninstall_name = "Setvik E2E Extras"'
  cat <<'TOML'
[[file]]
source = "uninst.exe"
uninstaller = true
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
source = "SelfRegister.dll"
register = "self"
[[file]]
source = "launch.exe"
launch = "finish"
[[file]]
source = "after.exe"
launch = "run-after"
TOML
} > "$work/extras.toml"
build_setup "$work/extras.toml" "$work/extras.exe"

install() { # name [script lines for the finish page]
  { to_confirmation "$work/extras.exe" "$folder"; confirm; echo 'expect-text 1000 "INSTALLED"'; echo "${2:-}"; finish; } |
    drive "$1"
}
# The command line a started marker program wrote beside itself, waited for.
started_with() { # program
  local i
  for i in $(seq 50); do [ -s "$dest/$1.txt" ] && break; sleep 0.2; done
  cat "$dest/$1.txt" 2>/dev/null
}
shared_count() {
  wine reg query "$shared_key" /v "$shared_dll" 2>/dev/null | tr -d '\r' | awk '/REG_DWORD/ { print $NF }'
}

# 1. Without a SharedDLLs key.
wine reg delete "$shared_key" /f >/dev/null 2>&1 || true
install first "$(printf 'click 1014\nexpect-checked 1015')" && ok=1 || ok=0
check "the first installation ends on the finish page" [ "$ok" = 1 ]
check "without the SharedDLLs key nothing is counted and the key is not made" \
  eval '! wine reg query "$shared_key" >/dev/null 2>&1'

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
check "the font is in the Fonts folder" cmp -s "$work/SetvikE2EFont.ttf" "$fonts/SetvikE2EFont.ttf"
check "no registry entry is written for the font" \
  eval '! wine reg query "HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts" 2>/dev/null | grep -qi SetvikE2EFont'
mark=$(wine reg query 'HKCU\Software\Setvik Test\SelfRegister' /v State 2>/dev/null | tr -d '\r' | awk '/REG_SZ/ { print $NF }')
check "DllRegisterServer ran (its registry mark: ${mark:-none})" [ "$mark" = registered ]
entry=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Setvik E2E Extras' 2>/dev/null | tr -d '\r')
check_show "the Uninstall entry names the program and the uninstaller" "$entry" \
  eval 'grep -q "DisplayName.*Setvik E2E Extras" <<<"$entry" && grep -qiF "$folder\\uninst.exe" <<<"$entry"'
log=$(uninstall_log "$dest/uninst.exe" 2>&1 || true)
check "the log flags the font 0x02 and the registered library 0x04" \
  eval 'grep -q "SetvikE2EFont.ttf\" flags 0x02" <<<"$log" && grep -q "SelfRegister.dll\" flags 0x04" <<<"$log"'
check "the log records the start-menu shortcut" grep -q 'Setvik E2E App.lnk' <<<"$log"

check "the finish page's button opens the launch file" [ "$(started_with launch.exe)" = "\"$folder\\launch.exe\"" ]
check "the run-after program starts, its path quoted" [ "$(started_with after.exe)" = "\"$folder\\after.exe\"" ]

# 2. and 3. With the key: counts 1, then 2; the run-after box cleared.
rm -f "$dest/after.exe.txt"
wine reg add "$shared_key" /f >/dev/null 2>&1
install second "uncheck 1015" && ok=1 || ok=0
first_count=$(shared_count)
install third "uncheck 1015" && ok=$((ok + 1)) || true
second_count=$(shared_count)
check "two more installations end on the finish page" [ "$ok" = 2 ]
check "the shared count goes 1 then 2 (got ${first_count:-none} then ${second_count:-none})" \
  [ "$first_count $second_count" = "0x1 0x2" ]
log=$(uninstall_log "$dest/uninst.exe" 2>&1 || true)
check "the log flags the shared library 0x01" grep -q 'setvik-e2e-shared.dll" flags 0x01' <<<"$log"
sleep 2
check "with its box cleared, the run-after program does not start" [ ! -e "$dest/after.exe.txt" ]
[ "$failures" -eq 0 ] || { echo "uninstall log:"; sed 's/^/    /' <<<"$log"; }
cleanup_prefix
[ "$failures" -eq 0 ]
