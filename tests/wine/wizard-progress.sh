#!/usr/bin/env bash
# The progress page under Wine, driven the way a person does: with
# pace = "per-file", one file per tick of the timer, and Cancel answered No
# (no step runs while the question is open, then the installation goes on
# to the end); in batches, Cancel answered Yes between two files (the "did
# not complete" note, the closing page, the files installed so far stay,
# whole, and no further file comes); a setup showing only the progress
# page, which stays with 100% and the last path shortened and whose Cancel
# asks nothing. (Giving up at a disk prompt: install-volumes.sh.)
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
on_virtual_display WIZARD_PROGRESS_ON_DISPLAY "$0"
new_work progress

# 300 small files: at 50 ms between steps the installation takes long
# enough to click during it. In batches it takes no time at all, so the
# batched Cancel gets 300 files of 2 MiB (of zeros: the setup stays small).
count=300
mkdir -p "$work/files" "$work/large"
for i in $(seq $count); do
  echo "file $i of the progress test" > "$work/files/f$i.txt"
  truncate -s 2M "$work/large/f$i.txt"
done
make_setup() { # name [extra [setup] lines]: installs $files (default files) into $work/NAME
  local name=$1
  shift
  printf '[setup]\ntitle = "Progress Test"\ndefault_folder = %s\n' "'$(winpath_of "$work/$name")'" > "$work/$name.toml"
  printf '%s\n' "$@" >> "$work/$name.toml"
  printf '[[file]]\nsource = "%s"\ntarget = "Files"\n' "${files:-files}" >> "$work/$name.toml"
  build_setup "$work/$name.toml" "$work/$name.exe"
}
installed() { find "$work/$1/Files" -name 'f*.txt' 2>/dev/null | wc -l; }
# The pages up to the progress page, the destination folder created.
to_progress() { # name
  printf 'timeout 60\nstart %s\nwait-window SetvikClass\nclick 1\nexpect-text 1004 "*"\nclick 1\n' "$work/$1.exe"
  printf 'answer-box yes "The destination folder does not exist*"\nclick 1\nexpect-text 1008 "Z:*"\n'
}
question='"Setup is installing files. Do you really want to stop?"'

# 1. One file per tick; nothing is installed while the question is open.
make_setup resume 'pace = "per-file"'
drive_background resume <<SCRIPT
$(to_progress resume)
click 2
sleep 3000
answer-box no $question "Progress Test Setup"
expect-text 1000 "Progress Test has been installed on your computer."
click 1
click 2
expect-exit 0
SCRIPT
if wait_for_step resume "sleep 3000"; then
  sleep 0.5
  before=$(installed resume)
  sleep 1.5
  check "resume: no file installed while the question is open ($before)" \
    [ "$(installed resume)" -eq "$before" -a "$before" -lt "$count" ]
fi
check "resume: the driver's steps passed, all files installed after No" \
  eval 'driven resume && [ "$(installed resume)" -eq "$count" ]'

# 2. In batches, Cancel answered Yes between two files.
files=large make_setup stop 'compression = 1'
drive_background stop <<SCRIPT
$(to_progress stop)
click 2
answer-box yes $question
answer-box ok "Setup did not complete the installation. You can run Setup again later."
expect-text 1005 "Setvik"
sleep 2000
click 2
expect-exit 0
SCRIPT
if wait_for_step stop "sleep 2000"; then
  sleep 0.3
  stopped=$(installed stop)
  sleep 1.5
  check "stop: files installed before Yes stay ($stopped), no file after" \
    [ "$stopped" -gt 0 -a "$stopped" -lt "$count" -a "$(installed stop)" -eq "$stopped" ]
  whole() { local f; for f in "$work"/stop/Files/*; do cmp -s "$f" "$work/large/${f##*/}" || return 1; done; }
  check "stop: every file installed is whole, and no temporary file is left" \
    eval 'whole && no_temporary_files "$work/stop"'
fi
check "stop: the driver's steps passed" driven stop

# 3. Only the progress page: it installs into its default folder at once,
# then shows 100% and the last file's path shortened.
printf '[setup]\ntitle = "Single"\ndefault_folder = %s\nsingle_page = "progress"\n' "'C:\e2e\single'" \
  > "$work/single.toml"
printf "[[file]]\nsource = \"files/%s\"\ntarget = 'Some Folder\\\\Deeper\\\\%s'\n" f1.txt first.txt f2.txt last-file.txt \
  >> "$work/single.toml"
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
  cmp -s "$work/files/f2.txt" "$drive_c/e2e/single/Some Folder/Deeper/last-file.txt"
[ "$failures" -eq 0 ]
