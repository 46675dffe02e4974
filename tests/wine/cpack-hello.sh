#!/usr/bin/env bash
# The CPack generator end to end, as a publisher uses it: examples/cpack-hello
# configured with the mingw toolchain and SetvikCPack, built, packaged by
# `cpack` and passed by `setvik verify`; the setup installed under Wine with
# /QUIET, the program started as its start-menu shortcut says (it prints its
# library's greeting), and the installation removed by its uninstaller (/S).
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs setvik-uninst.exe
on_virtual_display CPACK_HELLO_ON_DISPLAY "$0"
new_work cpack-hello
folder='C:\e2e\cpack-hello'
dest=$(unix_of "$folder")
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\CPack Hello'
link='programs:CPack Hello\Hello.lnk'

# step NAME COMMAND...: its output in $work/NAME.log, shown when it fails.
step() {
  local name=$1
  shift
  "$@" > "$work/$name.log" 2>&1 || { sed 's/^/    /' "$work/$name.log"; return 1; }
}
check "configure, build and cpack the example" eval 'step configure cmake -S "$SETVIK_ROOT/examples/cpack-hello" \
    -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$SETVIK_ROOT/cmake/mingw-i686.cmake" \
    -DCMAKE_MODULE_PATH="$SETVIK_ROOT/cmake" -DCPACK_SETVIK_EXECUTABLE="$bin/setvik" &&
  step build cmake --build "$work/build" && (cd "$work/build" && step cpack cpack)'
setup=$work/build/CPackHello-1.0.0-win32.exe
check "setvik verify passes the setup" step verify "$bin/setvik" verify "$setup"

rm -rf "$dest"
check "/QUIET installs it with exit code 0" wine "$setup" /QUIET "/DIR=$folder"
wineserver -w
check "the program, its library and the read-me are installed" \
  [ -s "$dest/bin/hello.exe" -a -s "$dest/bin/greet.dll" -a -s "$dest/README.txt" ]
check "it is listed among the installed programs, by its vendor" \
  eval 'wine reg query "$key" /v Publisher 2>/dev/null | grep -q "Setvik Example Software"'
shortcut=$(wine "$helpers/setvik-linkreader.exe" "$link" 2>/dev/null | tr -d '\r' || true)
target=$(sed -n 's/^path=//p' <<<"$shortcut")
check_show "the start-menu shortcut Hello starts bin\\hello.exe" "$shortcut" [ "$target" = "$folder\\bin\\hello.exe" ]
start_in=$(sed -n 's/^dir=//p' <<<"$shortcut")
output=$(cd "$(unix_of "${start_in:-$folder}")" && wine "$target" $(sed -n 's/^args=//p' <<<"$shortcut") 2>&1 | tr -d '\r')
check_show "started so, it prints greet.dll's greeting" "$output" [ "$output" = "Hello, world, from greet.dll" ]

check "the uninstaller /S ends with 0" wine "$dest/Uninstall.exe" /S
wineserver -w
check "the folder, the shortcut and the Uninstall key are gone" eval '[ ! -e "$dest" ] &&
  ! wine "$helpers/setvik-linkreader.exe" "$link" >/dev/null 2>&1 && ! wine reg query "$key" >/dev/null 2>&1'
wineboot -r >/dev/null 2>&1 || true  # the uninstaller's temporary copy goes at the restart
wineserver -w
[ "$failures" -eq 0 ]
