#!/usr/bin/env bash
# The progress page under Wine, driven the way a person does: with
# pace = "per-file", one file per tick of the timer, and Cancel
# answered No (no step runs while the question is open, the installation
# resumes and completes); in batches, Cancel answered Yes between two files
# (the "did not complete" note, the closing page, the files installed so far
# stay and no further file comes); the close box during the installation
# (the closing page, no question); a setup showing only the progress page,
# whose Cancel asks nothing. (Giving up at a disk prompt: install-volumes.sh.)
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
on_virtual_display WIZARD_PROGRESS_ON_DISPLAY "$0"
new_work progress

# 300 small files: at 50 ms between steps the installation takes long
# enough to click during it. In batches it takes no time at all, so the
# batched Cancel gets 300 files of 2 MiB (of zeros: the setup stays small
# and is quick to make at the fastest level; Cancel comes after the first
# few of them).
count=300
mkdir -p "$work/files" "$work/large"
for i in $(seq $count); do echo "file $i of the progress test" > "$work/files/f$i.txt"; done
for i in $(seq $count); do truncate -s 2M "$work/large/f$i.txt"; done
# make_setup NAME [extra [setup] lines]: a setup installing into $work/NAME
# (from the folder $files, default files).
make_setup() {
  local name=$1
  shift
  {
    echo '[setup]'
    echo 'title = "Progress Test"'
    echo "default_folder = 'Z:${work//\//\\}\\$name'"
    printf '%s\n' "$@"
    echo '[texts.information]'
    echo 'text = "Read this first."'
    echo '[[file]]'
    echo "source = \"${files:-files}\""
    echo 'target = "Files"'
  } > "$work/$name.toml"
  build_setup "$work/$name.toml" "$work/$name.exe"
}
installed() { find "$work/$1/Files" -name 'f*.txt' 2>/dev/null | wc -l; }

# The pages up to the progress page: welcome, information, directory (whose
# folder does not exist yet), confirmation.
to_progress='click 1
expect-text 1000 "Read this first."
click 1
expect-text 1004 "*"
click 1
answer-box yes "The destination folder does not exist. Do you want to create it?"
click 1
expect-text 1000 "Installing:"'

# 2. One file per tick: at most about 20 files a second. Cancel answered No:
# nothing is installed while the question is open, then the installation
# goes on to the end.
make_setup resume 'pace = "per-file"'
drive_background resume <<SCRIPT
timeout 60
start $work/resume.exe
wait-window SetvikClass
$to_progress
expect-text 1008 "Z:*"
expect-text 1010 "1*"
sleep 1500
click 2
sleep 3000
answer-box no "Setup is installing files. Do you really want to stop?" "Progress Test Setup"
expect-text 1000 "Progress Test has been installed on your computer."
click 1
click 2
expect-exit 0
SCRIPT
if wait_for_step resume "sleep 1500"; then
  # Files per second over the time actually measured (a loaded machine
  # stretches the second); one per 50 ms tick is at most 20.
  started=$(date +%s%N)
  first=$(installed resume)
  sleep 1
  second=$(installed resume)
  rate=$(( (second - first) * 1000000000 / ($(date +%s%N) - started) ))
  check "resume: one file per tick, not more than 25 in a second ($first, then $second: $rate a second)" [ "$rate" -le 25 ]
fi
if wait_for_step resume "sleep 3000"; then
  sleep 0.5
  before=$(installed resume)
  sleep 1.5
  check "resume: no file installed while the question is open ($before)" [ "$(installed resume)" -eq "$before" ]
  check "resume: the question came before the end ($before files)" [ "$before" -lt "$count" ]
fi
check "resume: the driver's steps passed" driven resume
check "resume: all $count files installed after No" [ "$(installed resume)" -eq "$count" ]

# 3. In batches, Cancel answered Yes between two files: the note, the
# closing page, the files so far stay, whole.
files=large make_setup stop 'compression = 1'
drive_background stop <<SCRIPT
timeout 60
start $work/stop.exe
wait-window SetvikClass
$to_progress
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
  stopped=$(installed stop)
  sleep 1.5
  check "stop: files installed before Yes stay ($stopped)" [ "$stopped" -gt 0 ] && [ "$stopped" -lt "$count" ]
  check "stop: no file after Yes" [ "$(installed stop)" -eq "$stopped" ]
  whole() { local f; for f in "$work"/stop/Files/*; do cmp -s "$f" "$work/large/${f##*/}" || return 1; done; }
  check "stop: every file installed is whole, and no temporary file is left" \
    eval 'whole && [ -z "$(find "$work/stop" -name "*.\$\$?")" ]'
fi
check "stop: the driver's steps passed" driven stop

# 4. The close box during the installation: the closing page follows
# without a question.
make_setup closed 'pace = "per-file"'
check "closed: the driver's steps passed" drive closed <<SCRIPT
timeout 60
start $work/closed.exe
wait-window SetvikClass
$to_progress
expect-text 1008 "Z:*"
close
expect-text 1005 "Setvik"
expect-no-box
click 2
expect-exit 0
SCRIPT
check "closed: some files, not all" [ "$(installed closed)" -gt 0 ] && [ "$(installed closed)" -lt "$count" ]

# 5. Only the progress page: it installs at once, and Cancel ends it
# without a question (100% and the last path: install-files.sh).
make_setup single 'single_page = "progress"'
check "single: the driver's steps passed" drive single <<SCRIPT
timeout 60
start $work/single.exe
wait-window SetvikClass
expect-text 1008 "Z:*"
click 2
expect-no-box
expect-exit 0
SCRIPT
check "single: the installation had begun ($(installed single) files)" [ "$(installed single)" -gt 0 ]

[ "$failures" -eq 0 ]
