#!/usr/bin/env bash
# The finish page end to end under Wine, where only a real installation
# shows it (the views' layout is in tests/windows/FinishPageTest.cpp):
# - success: the launch button opens its program at once, the ticked
#   run-after box starts its program after the wizard;
# - a restart needed (a file in the Windows folder held open by another
#   process): Back becomes the restart button, the file is left as it was;
# - failure (the file data damaged after building, full screen): the
#   checksum message with the file's name, only Next, nothing started.
# The programs are copies of a marker program that writes "<itself>.txt".
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs wintest/setvik-marker.exe wintest/setvik-holdfile.exe
on_virtual_display WIZARD_FINISH_ON_DISPLAY "$0"
new_work wizard-finish
mkdir -p "$work/shots"

caption="Finish Test Setup"
success="Finish Test has been installed."
launch_intro="Click the button below to read the notes."
run_after_intro="Tick the box to start Finish Test when Setup closes."
launch_button="&View Notes"
run_after_box="&Start Finish Test now"
restart_notice="Some files are in use. Click Restart to restart Windows now."
failure="Setup could not complete the installation: %s"
checksum="%s is damaged (checksum error)."

cp "$bin/wintest/setvik-marker.exe" "$work/viewer.exe"
cp "$bin/wintest/setvik-marker.exe" "$work/program.exe"
head -c 20000 /dev/urandom > "$work/plain.dat"

project() { # full_screen launch-intro run-after-intro [file tables...]
  cat <<TOML
[setup]
title = "Finish Test"
full_screen = $1
compression = 0
[frame]
picture = "$SETVIK_ROOT/examples/demo/art/side.bmp"
[texts.welcome]
paragraph1 = "WELCOME"
[texts.finish]
title = "Setup Complete"
success = "$success"
launch_intro = "$2"
run_after_intro = "$3"
launch_button = "$launch_button"
run_after_checkbox = "$run_after_box"
restart_notice = "$restart_notice"
failure = "$failure"
[texts.messages]
title = "$caption"
checksum_error = "$checksum"
[texts.buttons]
back = "< &Back"
restart = "&Restart"
TOML
  shift 3
  local table
  for table in "$@"; do printf '%s\n' "$table"; done
}
viewer='[[file]]
source = "viewer.exe"
launch = "finish"'
program='[[file]]
source = "program.exe"
launch = "run-after"'
plain='[[file]]
source = "plain.dat"'

# From the start to the finish page, installing into folder.
to_finish() { # setup.exe folder
  echo "timeout 30"
  echo "start $1"
  echo "wait-window SetvikClass"
  echo 'expect-text 1000 "WELCOME"'
  echo "click 1"
  echo "set-text 1004 $(quoted "$2")"
  echo "click 1"
  echo "answer-box yes"   # create the folder
  echo "click 1"          # Install
}
# fresh VAR FOLDER: the folder's Unix path into VAR, emptied now and at the end.
fresh() { printf -v "$1" '%s' "$(unix_of "$2")"; rm -rf "${!1}"; at_exit "rm -rf '${!1}'"; }
# On from the finish page through the closing page to the end.
to_end() { printf 'click 1\nexpect-text 1005 "Setvik"\nclick 2\nexpect-exit 0\n'; }
# Waits up to 10 s for a file that a started program writes.
appears() { local i; for i in $(seq 50); do [ -e "$1" ] && return 0; sleep 0.2; done; return 1; }

# 1. Success, with both the launch button and the run-after check box.
project false "$launch_intro" "$run_after_intro" "$viewer" "$program" "$plain" > "$work/both.toml"
build_setup "$work/both.toml" "$work/both.exe"
folder='C:\e2e-wizard\finish-both' && fresh dest "$folder"
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

# 2. A restart needed: a file in the Windows folder, held open without
# sharing by a helper process, is replaced at the next restart.
busy_name=SvkWizardBusy.dat
busy=$drive_c/windows/$busy_name
printf 'the old content\n' > "$busy"
at_exit "rm -f '$busy' '$drive_c'/windows/SvkWizardBusy.\$\$?"
at_exit "wine reg delete 'HKLM\\System\\CurrentControlSet\\Control\\Session Manager' /v PendingFileRenameOperations /f >/dev/null 2>&1"
printf 'the new content\n' > "$work/$busy_name"
busy_file="[[file]]
source = \"$busy_name\"
destination = \"windows\""
project false "" "$run_after_intro" "$busy_file" "$program" > "$work/restart.toml"
build_setup "$work/restart.toml" "$work/restart.exe"
folder3='C:\e2e-wizard\finish-restart' && fresh dest3 "$folder3"
check "the helper holds the file in the Windows folder" hold_file held "C:\\windows\\$busy_name"
{
  to_finish "$work/restart.exe" "$folder3"
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
check "the held file is still the old one until the restart" grep -qx 'the old content' "$busy"

# 3. Failure, full screen: the last file's data damaged after building. A
# file before it also waits for the restart, and the launch and run-after
# programs are in place, yet none of it shows.
printf 'VICTIM-CONTENT-BEGINS and goes on for a while\n' > "$work/victim.txt"
victim='[[file]]
source = "victim.txt"'
project true "$launch_intro" "$run_after_intro" "$busy_file" "$viewer" "$program" "$victim" > "$work/failure.toml"
build_setup "$work/failure.toml" "$work/failure.exe"
at=$(grep -obUa "VICTIM-CONTENT-BEGINS" "$work/failure.exe" | head -1 | cut -d: -f1)
printf 'X' | dd of="$work/failure.exe" bs=1 seek=$((at + 30)) conv=notrunc status=none
folder4='C:\e2e-wizard\finish-failure' && fresh dest4 "$folder4"
hold_file held "C:\\windows\\$busy_name"
reason=${checksum/\%s/$folder4\\victim.txt}
{
  to_finish "$work/failure.exe" "$folder4"
  echo "expect-text 1000 $(quoted "${failure/\%s/$reason}")"
  page_is fullscreen "Setup Complete"
  buttons off on off
  shot fullscreen "$work/shots/fullscreen-5-finish-failure.bmp"
  to_end
} | drive failure && ran=1 || ran=0
release_file held
check "failure: the checksum message with the file name, no restart button, only Next" [ "$ran" = 1 ]
check "the files before the damaged one are in place" [ -e "$dest4/program.exe" -a -e "$dest4/viewer.exe" ]
sleep 3
check "after a failure nothing is started" [ ! -e "$dest4/program.exe.txt" -a ! -e "$dest4/viewer.exe.txt" ]

[ -z "${SETVIK_SCREENSHOT_DIR:-}" ] || pngs_of "$work/shots" "$SETVIK_SCREENSHOT_DIR"

[ "$failures" -eq 0 ]
