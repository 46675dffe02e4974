#!/usr/bin/env bash
# The finish page end to end under Wine, where only a real installation
# shows it:
# - success: the launch button opens its program at once, the ticked
#   run-after box starts its program after the wizard;
# - a restart needed (a file in the Windows folder held open by another
#   process): Back becomes the restart button, with the notice;
# - failure (the file data damaged after building, full screen): the
#   checksum message with the file's name, only Next, nothing started.
# The programs are copies of a marker program that writes "<itself>.txt".
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs wintest/setvik-marker.exe
on_virtual_display WIZARD_FINISH_ON_DISPLAY "$0"
new_work wizard-finish
mkdir -p "$work/shots"

caption="Finish Test Setup"
success="Finish Test has been installed."
launch_button="&View Notes"
run_after_box="&Start Finish Test now"
restart_notice="Some files are in use. Click Restart to restart Windows now."
failure="Setup could not complete the installation: %s"
checksum="%s is damaged (checksum error)."
cp "$bin/wintest/setvik-marker.exe" "$work/viewer.exe"
cp "$bin/wintest/setvik-marker.exe" "$work/program.exe"
printf 'VICTIM-CONTENT-BEGINS and goes on for a while\n' > "$work/victim.txt"
printf 'the new content\n' > "$work/SvkWizardBusy.dat"

# A setup with the run-after program, the launch button's program when
# there is an intro for it, and further file tables.
project() { # name full_screen launch-intro [file tables...]
  cat > "$work/$1.toml" <<TOML
[setup]
title = "Finish Test"
full_screen = $2
compression = 0
[frame]
picture = "$SETVIK_ROOT/examples/demo/art/side.bmp"
[texts.welcome]
paragraph1 = "WELCOME"
[texts.finish]
title = "Setup Complete"
success = "$success"
launch_intro = "$3"
run_after_intro = "Tick the box to start Finish Test when Setup closes."
launch_button = "$launch_button"
run_after_checkbox = "$run_after_box"
restart_notice = "$restart_notice"
failure = "$failure"
[texts.messages]
title = "$caption"
checksum_error = "$checksum"
[texts.buttons]
restart = "&Restart"
[[file]]
source = "program.exe"
launch = "run-after"
$([ -z "$3" ] || printf '[[file]]\nsource = "viewer.exe"\nlaunch = "finish"')
TOML
  local name=$1
  shift 3
  printf '%s\n' "$@" >> "$work/$name.toml"
  build_setup "$work/$name.toml" "$work/$name.exe"
}
# The folder's Unix path into dest, emptied now and at the end.
fresh() { dest=$(unix_of "$1"); rm -rf "$dest"; at_exit "rm -rf '$dest'"; }
# From the start to the finish page, installing into folder.
to_finish() { # setup.exe folder
  printf 'timeout 30\nstart %s\nwait-window SetvikClass\nexpect-text 1000 "WELCOME"\nclick 1\n' "$1"
  printf 'set-text 1004 %s\nclick 1\nanswer-box yes\nclick 1\n' "$(quoted "$2")"
}
to_end() { printf 'click 1\nexpect-text 1005 "Setvik"\nclick 2\nexpect-exit 0\n'; }
# Waits up to 10 s for a file that a started program writes.
appears() { local i; for i in $(seq 50); do [ -e "$1" ] && return 0; sleep 0.2; done; return 1; }

# 1. Success, with both the launch button and the run-after check box.
project both false "Click the button below to read the notes."
folder='C:\e2e-wizard\finish-both' && fresh "$folder"
{
  to_finish "$work/both.exe" "$folder"
  echo "expect-title $(quoted "$caption - Setup Complete")"
  echo "expect-text 1014 $(quoted "$launch_button")"
  echo "expect-text 1015 $(quoted "$run_after_box")"
  echo "expect-checked 1015"
  buttons off on off
  shot windowed "$work/shots/windowed-5-finish-launch.bmp"
  echo "click 1014"
  echo "sleep 1000"
  echo "expect-text 1000 $(quoted "$success")"   # the page stays
  to_end
} | drive both && ran=1 || ran=0
check "success: launch button and ticked run-after box; Next leads to the closing page" [ "$ran" = 1 ]
check "the launch button opened its program" appears "$dest/viewer.exe.txt"
check "the ticked box started the run-after program after the wizard" appears "$dest/program.exe.txt"

# 2. A restart needed: a file in the Windows folder, held open.
busy=$drive_c/windows/SvkWizardBusy.dat
printf 'the old content\n' > "$busy"
at_exit "rm -f '$busy' '$drive_c'/windows/SvkWizardBusy.\$\$?"
at_exit "wine reg delete 'HKLM\\System\\CurrentControlSet\\Control\\Session Manager' /v PendingFileRenameOperations /f >/dev/null 2>&1"
project restart false "" $'[[file]]\nsource = "SvkWizardBusy.dat"\ndestination = "windows"'
folder='C:\e2e-wizard\finish-restart' && fresh "$folder"
hold_file held 'C:\windows\SvkWizardBusy.dat'
{
  to_finish "$work/restart.exe" "$folder"
  echo "expect-text 1000 $(quoted "$success")"
  buttons on on off
  echo 'expect-text 1007 "&Restart"'
  echo "expect-text 1002 $(quoted "$restart_notice")"
  shot windowed "$work/shots/windowed-5-finish-restart.bmp"
  echo "uncheck 1015"
  to_end
} | drive restart && ran=1 || ran=0
release_file held
check "restart needed: Back is the restart button, with the notice" [ "$ran" = 1 ]

# 3. Failure, full screen: the last file's data damaged after building;
# the launch and run-after programs are in place, yet none of it shows.
project failure true "Click the button below to read the notes." $'[[file]]\nsource = "victim.txt"'
at=$(grep -obUa "VICTIM-CONTENT-BEGINS" "$work/failure.exe" | head -1 | cut -d: -f1)
printf 'X' | dd of="$work/failure.exe" bs=1 seek=$((at + 30)) conv=notrunc status=none
folder='C:\e2e-wizard\finish-failure' && fresh "$folder"
reason=${checksum/\%s/$folder\\victim.txt}
{
  to_finish "$work/failure.exe" "$folder"
  echo "expect-text 1000 $(quoted "${failure/\%s/$reason}")"
  page_is fullscreen "Setup Complete"
  buttons off on off
  shot fullscreen "$work/shots/fullscreen-5-finish-failure.bmp"
  to_end
} | drive failure && ran=1 || ran=0
check "failure: the checksum message with the file name, only Next" [ "$ran" = 1 ]
sleep 3
check "after a failure nothing is started, though the programs are in place" \
  [ -e "$dest/program.exe" -a ! -e "$dest/program.exe.txt" -a ! -e "$dest/viewer.exe.txt" ]

[ -z "${SETVIK_SCREENSHOT_DIR:-}" ] || pngs_of "$work/shots" "$SETVIK_SCREENSHOT_DIR"
[ "$failures" -eq 0 ]
