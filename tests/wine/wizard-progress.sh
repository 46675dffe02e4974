#!/usr/bin/env bash
# The progress page under Wine, driven the way a person does (Cancel
# answered No: wizard-route.sh): in batches, Cancel answered Yes between
# two files (the "did not complete" note, the closing page, the files
# installed so far stay, whole, and no further file comes); a setup showing
# only the progress page, which stays with 100% and the last path shortened
# and whose Cancel asks nothing. (Giving up at a disk prompt:
# install-volumes.sh.)
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
on_virtual_display WIZARD_PROGRESS_ON_DISPLAY "$0"
new_work progress

# 1. In batches the installation takes no time at all, so Cancel gets 300
# files of 2 MiB (of zeros: the setup stays small).
count=300
mkdir -p "$work/large"
for i in $(seq $count); do truncate -s 2M "$work/large/f$i.txt"; done
printf '[setup]\ntitle = "Progress Test"\ndefault_folder = %s\ncompression = 1\n' "'$(winpath_of "$work/stop")'" \
  > "$work/stop.toml"
printf '[[file]]\nsource = "large"\ntarget = "Files"\n' >> "$work/stop.toml"
build_setup "$work/stop.toml" "$work/stop.exe"
installed() { find "$work/stop/Files" -name 'f*.txt' 2>/dev/null | wc -l; }
drive_background stop <<SCRIPT
timeout 60
start $work/stop.exe
wait-window SetvikClass
click 1
expect-text 1004 "*"
click 1
answer-box yes "The destination folder does not exist*"
click 1
expect-text 1008 "Z:*"
click 2
answer-box yes "Setup is installing files. Do you really want to stop?"
answer-box ok "Setup did not complete the installation. You can run Setup again later."
expect-text 1005 "Setvik"
sleep 2000
click 2
expect-exit 0
SCRIPT
if wait_for_step stop "sleep 2000"; then
  sleep 0.3
  stopped=$(installed)
  sleep 1.5
  check "stop: files installed before Yes stay ($stopped), no file after" \
    [ "$stopped" -gt 0 -a "$stopped" -lt "$count" -a "$(installed)" -eq "$stopped" ]
  whole() { local f; for f in "$work"/stop/Files/*; do cmp -s "$f" "$work/large/${f##*/}" || return 1; done; }
  check "stop: every file installed is whole, and no temporary file is left" \
    eval 'whole && no_temporary_files "$work/stop"'
fi
check "stop: the driver's steps passed" driven stop

# 2. Only the progress page: it installs into its default folder at once,
# then shows 100% and the last file's path shortened.
echo first > "$work/first.txt"
echo last > "$work/last-file.txt"
printf '[setup]\ntitle = "Single"\ndefault_folder = %s\nsingle_page = "progress"\n' "'C:\e2e\single'" \
  > "$work/single.toml"
printf "[[file]]\nsource = \"%s\"\ntarget = 'Some Folder\\\\Deeper\\\\%s'\n" first.txt first.txt last-file.txt \
  last-file.txt >> "$work/single.toml"
build_setup "$work/single.toml" "$work/single.exe"
rm -rf "$drive_c/e2e/single"
check "single: 100%, the last path shortened, Cancel ends it unasked" drive single <<SCRIPT
timeout 30
start $work/single.exe
wait-window SetvikClass
expect-text 1010 "100%"
expect-text 1008 "C:\\\\e2e\\\\single\\\\...\\\\last-file.txt"
click 2
expect-no-box
expect-exit 0
SCRIPT
check "single: both files are in their sub-folder" \
  cmp -s "$work/last-file.txt" "$drive_c/e2e/single/Some Folder/Deeper/last-file.txt"
[ "$failures" -eq 0 ]
