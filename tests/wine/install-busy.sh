#!/usr/bin/env bash
# Targets in the Windows, system and Fonts folders held open by another
# program (setvik-holdfile opens them without delete or rename sharing), end
# to end under Wine: /QUIET ends with 3010 (the finish page's restart
# button: wizard-route.sh), and after `wineboot -r` the new files are in
# place; a font in use is kept.
# (The rules, Retry, Ignore and Abort in the installation folder included,
# are InstallStepTest's; the WININIT.INI form of the delayed move is
# StartupTest's.)
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs
on_virtual_display INSTALL_BUSY_ON_DISPLAY "$0"
new_work install-busy

folder='C:\e2e\busy'
dest=$(unix_of "$folder")
rm -rf "$dest"
mkdir -p "$dest"
windows=$drive_c/windows
fonts=$windows/Fonts
rm -f "$windows"/setvik-e2e* "$windows"/system32/setvik-e2e* "$fonts"/SetvikE2E*
printf 'new windows file\n' > "$work/setvik-e2e-win.txt"
printf 'new system file\n' > "$work/setvik-e2e-sys.txt"
cp /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$work/SetvikE2E.ttf"
{ setup_project "Busy" "$folder"; printf '[[file]]\nsource = "%s"\ndestination = "%s"\n' setvik-e2e-win.txt windows \
    setvik-e2e-sys.txt system SetvikE2E.ttf fonts; } > "$work/restart.toml"
build_setup "$work/restart.toml" "$work/restart.exe"
printf 'old windows file\n' > "$windows/setvik-e2e-win.txt"
printf 'old system file\n' > "$windows/system32/setvik-e2e-sys.txt"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$fonts/SetvikE2E.ttf"
hold_file win 'C:\windows\setvik-e2e-win.txt'
hold_file sys 'C:\windows\system32\setvik-e2e-sys.txt'
hold_file font 'C:\windows\Fonts\SetvikE2E.ttf'
check "in use in the Windows, system and Fonts folders: /QUIET ends with 3010" \
  ends_with restart 3010 "$work/restart.exe" /QUIET /NORESTART
check "before the restart both are the old ones; the font in use is kept, its temporary file dropped" eval '
  grep -qx "old windows file" "$windows/setvik-e2e-win.txt" && grep -qx "old system file" "$windows/system32/setvik-e2e-sys.txt" &&
  cmp -s /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$fonts/SetvikE2E.ttf" && no_temporary_files "$fonts"'
for h in win sys font; do release_file $h; done
check "the replacements wait for the restart" grep -qi 'setvik-e2e-win' <(pending_renames)
restart
check "after the restart both are the new ones, no temporary file is left, the font is still the old one" eval '
  cmp -s "$work/setvik-e2e-win.txt" "$windows/setvik-e2e-win.txt" && cmp -s "$work/setvik-e2e-sys.txt" "$windows/system32/setvik-e2e-sys.txt" &&
  [ -z "$(find "$windows" -maxdepth 2 -name "setvik-e2e*.\$\$?")" ] && cmp -s /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$fonts/SetvikE2E.ttf"'
rm -f "$windows"/setvik-e2e* "$windows"/system32/setvik-e2e* "$fonts"/SetvikE2E*

[ "$failures" -eq 0 ]
