#!/usr/bin/env bash
# The wizard's ordinary route, as a person meets it, in the windowed and in
# the full-screen mode: pages 0 to 6 in order, each checked for its title (the
# background window's caption "<caption> - <title>" windowed, the frame
# dialog's caption full screen), a text and the states and captions of Back,
# Next and Cancel; Back from pages 1 and 3; on the directory page the folder
# browser with the setup's captions taking a folder, and a folder typed with
# a trailing backslash, created on request and shown again after Back;
# Cancel answered No on pages 0 and 4 (the page stays; on the progress page
# no file is installed while the question is open); full screen, a proposed
# folder on a small drive (No to the question stays, Yes goes on); windowed,
# the frame within the background window; and a picture of every page, kept
# as PNG files in SETVIK_SCREENSHOT_DIR when set (tools/update-screenshots.sh).
# The finish page's other views, where only a real installation shows them:
# the launch button opens its program at once, the ticked run-after box
# starts its program after the wizard; a restart needed (a file in the
# Windows folder held open by another process): Back becomes the restart
# button, with the notice, and the new file arrives at `wineboot -r`.
# Those programs are copies of a marker program that writes "<itself>.txt".
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs wintest/setvik-marker.exe
on_virtual_display WIZARD_ROUTE_ON_DISPLAY "$0"
new_work wizard-route
mkdir -p "$work/shots" "$work/payload/data"

caption="Demo Notes 1.2 Setup"
welcome="Welcome to the setup of Demo Notes 1.2, a small note pad for Windows."
info_start="Demo Notes 1.2: licence"
directory="Setup will install Demo Notes in the following folder."
confirm="The files will be installed in %s."
success="Demo Notes 1.2 has been installed on your computer."
really_exit="The installation is not complete. Do you really want to leave Setup?"
really_stop="Setup is installing files. Do you really want to stop?"
create_folder="The folder does not exist. Do you want to create it?"
launch_button="&View Notes"
run_after_box="&Start Demo Notes now"
restart_notice="Some files are in use. Click Restart to restart Windows now."
for i in $(seq -w 1 60); do head -c 50000 /dev/urandom > "$work/payload/data/notes$i.dat"; done
printf '%s\r\n\r\nDemo Notes may be copied and given away freely.\r\n' "$info_start" > "$work/payload/license.txt"
printf 'Demo Notes\r\n' > "$work/payload/readme.txt"
cp "$bin/wintest/setvik-marker.exe" "$work/payload/viewer.exe"
cp "$bin/wintest/setvik-marker.exe" "$work/payload/program.exe"
printf 'the new content\n' > "$work/payload/SvkWizardBusy.dat"
# Space needed: every file raised to 32 KiB blocks, in whole megabytes
# rounded up: 60 x 64 KiB + 32 KiB.
needed_mb=$(( (60 * 65536 + 32768 + 1048575) >> 20 ))

# The setup in a mode, and with the finish page's programs (the launch
# button's and the run-after one) and further file tables when these are
# given.
project() { # full_screen default-folder [file tables...]
  local finish=${3+programs}
  cat <<TOML
[setup]
title = "Demo Notes 1.2"
default_folder = "${2//\\/\\\\}"
full_screen = $1
information_file = "payload/license.txt"
compression = 1
# One file per tick: the route stops on the progress page and asks there.
pace = "per-file"
[frame]
picture = "$SETVIK_ROOT/examples/demo/art/side.bmp"
[background]
title = "Demo Notes 1.2"
font = { face = "Times New Roman", height = -40, weight = 700, italic = true }
[texts.welcome]
paragraph1 = "$welcome"
[texts.information]
title = "Licence"
[texts.directory]
title = "Destination Folder"
paragraph1 = "$directory"
space_needed_label = "Space needed:"
megabytes = "%d MB"
[texts.confirmation]
title = "Ready to Install"
folder = "$confirm"
[texts.progress]
title = "Installing"
file_label = "Installing:"
[texts.finish]
title = "Setup Complete"
success = "$success"
launch_intro = "${finish:+Click the button below to read the notes.}"
run_after_intro = "${finish:+Tick the box to start Demo Notes when Setup closes.}"
launch_button = "$launch_button"
run_after_checkbox = "$run_after_box"
restart_notice = "$restart_notice"
[texts.messages]
title = "$caption"
really_exit = "$really_exit"
really_stop = "$really_stop"
create_folder = "$create_folder"
browser_title = "Pick a Folder"
browser_folder_label = "Folder &name here:"
[texts.buttons]
stop = "&Stop"
browser_ok = "&Take"
restart = "&Restart"
[[file]]
source = "payload/data"
target = "Data"
[[file]]
source = "payload/readme.txt"
TOML
  [ -z "$finish" ] || printf '[[file]]\nsource = "payload/%s"\nlaunch = "%s"\n' program.exe run-after viewer.exe finish
  printf '%s\n' "${@:3}"
}

# The page's title where a person sees it: windowed, the background
# window's caption "<caption> - <title>"; full screen, the frame's caption
# (the frame is control 0), the background showing the caption alone.
page_is() { # windowed|fullscreen title
  if [ "$1" = windowed ]; then
    echo "expect-title $(quoted "$caption - $2")"
  else
    printf 'expect-title %s\nexpect-text 0 %s\n' "$(quoted "$caption")" "$(quoted "$2")"
  fi
}
# States of Back, Next and Cancel (the frame's 1007, 1 and 2): on or off.
buttons() { # back next cancel
  local ids=(1007 1 2) states=("$@") i
  for i in 0 1 2; do [ "${states[i]}" = on ] && echo "expect-enabled ${ids[i]}" || echo "expect-disabled ${ids[i]}"; done
}
# A picture of the screen (full screen) or of the wizard's window.
shot() { # windowed|fullscreen file.bmp
  echo "sleep 300"
  [ "$1" = windowed ] && echo "screenshot $2 window" || echo "screenshot $2"
}

# Too little space: a 1 MiB tmpfs as drive R: (where this machine lets us
# mount one), proposed full screen.
mkdir -p "$work/small"
# Not while pictures are taken for the documentation.
if [ -z "${SETVIK_SCREENSHOT_DIR:-}" ] && mount -t tmpfs -o size=1m tmpfs "$work/small" 2>/dev/null; then
  at_exit "umount '$work/small'; rm -f '$WINEPREFIX/dosdevices/r:'"
  mkdir "$work/small/Demo Notes"
  ln -sfn "$work/small" "$WINEPREFIX/dosdevices/r:"
  small='R:\Demo Notes'
else
  echo "skipped: too little space (no tmpfs can be mounted here)"
fi
no_room=$(quoted "There is not enough free space in the destination folder. Do you want to try anyway?")

page_names=(welcome information directory confirmation progress finish closing)
for mode in windowed fullscreen; do
  [ "$mode" = windowed ] && full=false || full=true
  proposed='C:\Program Files\Demo Notes'
  [ "$mode" = windowed ] || proposed=${small:-$proposed}
  project "$full" "${proposed/C:\\Program Files/#Program Files#}" > "$work/$mode.toml"
  build_setup "$work/$mode.toml" "$work/$mode.exe"
  folder="C:\\e2e-wizard\\route-$mode"
  dest=$(unix_of "$folder")
  rm -rf "$dest"
  at_exit "rm -rf '$dest'"
  # at_page N TITLE "BACK NEXT CANCEL" [ID=TEXT...]: the page's title, the
  # states of its buttons (when given), texts, and a picture.
  at_page() {
    local n=$1 t
    page_is "$mode" "$2"
    [ -z "$3" ] || buttons $3
    shift 3
    for t in "$@"; do echo "expect-text ${t%%=*} $(quoted "${t#*=}")"; done
    shot "$mode" "$work/shots/$mode-$n-${page_names[n]}.bmp"
  }
  # back_and_on TITLE-BEFORE TITLE-HERE: Back, then Next again.
  back_and_on() { echo "click 1007"; page_is "$mode" "$1"; echo "click 1"; page_is "$mode" "$2"; }
  {
    printf 'timeout 30\nstart %s\nwait-window SetvikClass\n' "$work/$mode.exe"
    at_page 0 Welcome "off on on" "1000=$welcome" "1007=< &Back" "1=&Next >" "2=Cancel"
    # Windowed, the frame fits within the background window's caption and borders.
    [ "$mode" = fullscreen ] || echo "expect-inside 0"
    printf 'click 2\nanswer-box no %s %s\nexpect-no-box\n' "$(quoted "$really_exit")" "$(quoted "$caption")"
    echo "expect-text 1000 $(quoted "$welcome")"
    echo "click 1"
    # The licence in the read-only edit.
    at_page 1 Licence "on on on" "1000=$info_start*"
    back_and_on Welcome Licence
    echo "click 1"
    at_page 2 "Destination Folder" "on on on" "1000=$directory" "1004=$proposed" \
      "1017=Space needed:" "1016=$needed_mb MB"
    if [ "$proposed" = "${small:-}" ]; then
      printf 'expect-text 1019 "1 MB"\nclick 1\nanswer-box no %s %s\n' "$no_room" "$(quoted "$caption")"
      printf 'expect-text 1000 %s\nclick 1\nanswer-box yes %s\n' "$(quoted "$directory")" "$no_room"
      page_is "$mode" "Ready to Install"
      echo "click 1007"
    fi
    # The folder browser takes the one typed into its edit; then the folder
    # typed with a trailing backslash.
    printf 'click 1005\nwait-window #32770 "Pick a Folder"\nexpect-text 1009 "Folder &name here:"\n'
    printf 'expect-text 1 "&Take"\nset-text 101 "C:\\\\windows"\nclick 1\nwait-gone\nwait-window SetvikClass\n'
    echo 'expect-text 1004 "C:\\windows"'
    echo "set-text 1004 $(quoted "$folder\\")"
    echo "click 1"
    echo "answer-box yes $(quoted "$create_folder") $(quoted "$caption")"
    # The folder in its sentence, Next reads Install; after Back the folder
    # as typed, and Next again.
    at_page 3 "Ready to Install" "on on on" "1001=${confirm/\%s/$folder}" "1=&Install"
    echo "click 1007"
    page_is "$mode" "Destination Folder"
    printf 'expect-text 1004 %s\nexpect-text 1 "&Next >"\nclick 1\n' "$(quoted "$folder")"
    page_is "$mode" "Ready to Install"
    printf 'expect-no-box\nclick 1\n'
    # Only Cancel, which reads Stop; No lets the installation go on.
    at_page 4 Installing "" "1000=Installing:"
    echo "click 2"
    buttons off off on
    echo 'expect-text 2 "&Stop"'
    # Held open for longer than the remaining files take: none is installed
    # meanwhile, so the page is still there after No.
    echo "sleep 4000"
    echo "answer-box no $(quoted "$really_stop") $(quoted "$caption")"
    echo 'expect-text 1000 "Installing:"'
    # Success: the message alone, only Next.
    at_page 5 "Setup Complete" "off on off" "1000=$success" "1001=" "2=Cancel"
    echo 'click 1'
    # The closing page is named by the caption; only Cancel, which ends it.
    [ "$mode" = windowed ] && echo 'expect-title "Setvik"' || page_is fullscreen Setvik
    echo 'expect-text 1005 "Setvik"'
    buttons off off on
    shot "$mode" "$work/shots/$mode-6-closing.bmp"
    printf 'click 2\nexpect-exit 0\n'
  } | drive "route-$mode" && ran=1 || ran=0
  check "$mode: pages 0 to 6 with their titles, texts and buttons, Back and Cancel-No on the way" [ "$ran" = 1 ]
  check "$mode: all 61 files installed, whole" eval '[ "$(find "$dest" -type f | wc -l)" -eq 61 ] &&
    diff -r -q "$work/payload/data" "$dest/Data"'
done

# --- The finish page's other views ------------------------------------------
# Waits up to 10 s for a file that a started program writes.
appears() { local i; for i in $(seq 50); do [ -e "$1" ] && return 0; sleep 0.2; done; return 1; }

# Success, with the launch button, the ticked run-after box and a restart
# needed: a file in the Windows folder, held open.
busy=$drive_c/windows/SvkWizardBusy.dat
printf 'the old content\n' > "$busy"
at_exit "rm -f '$busy' '$drive_c'/windows/SvkWizardBusy.\$\$?"
at_exit "wine reg delete 'HKLM\\System\\CurrentControlSet\\Control\\Session Manager' /v PendingFileRenameOperations /f >/dev/null 2>&1"
project false '#Program Files#\Demo Notes' $'[[file]]\nsource = "payload/SvkWizardBusy.dat"\ndestination = "windows"' \
  > "$work/restart.toml"
build_setup "$work/restart.toml" "$work/restart.exe"
folder='C:\e2e-wizard\finish-restart'
dest=$(unix_of "$folder")
rm -rf "$dest"
at_exit "rm -rf '$dest'"
hold_file held 'C:\windows\SvkWizardBusy.dat'
{  # from the start to the finish page
  printf 'timeout 60\nstart %s\nwait-window SetvikClass\nclick 1\nexpect-text 1000 %s\nclick 1\n' \
    "$work/restart.exe" "$(quoted "$info_start*")"
  printf 'set-text 1004 %s\nclick 1\nanswer-box yes\nclick 1\n' "$(quoted "$folder")"
  echo "expect-text 1000 $(quoted "$success")"
  buttons on on off
  echo 'expect-text 1007 "&Restart"'
  echo "expect-text 1003 $(quoted "$restart_notice")"  # after the two intros
  echo "expect-text 1014 $(quoted "$launch_button")"
  echo "expect-text 1015 $(quoted "$run_after_box")"
  echo "expect-checked 1015"
  shot windowed "$work/shots/windowed-5-finish-restart.bmp"
  printf 'click 1014\nsleep 1000\n'
  echo "expect-text 1000 $(quoted "$success")"   # the page stays
  printf 'click 1\nexpect-text 1005 "Setvik"\nclick 2\nexpect-exit 0\n'
} | drive restart && ran=1 || ran=0
release_file held
check "finish page: the launch and run-after programs, Back is the restart button with the notice" [ "$ran" = 1 ]
check "the launch button and the ticked box (after the wizard) started their programs" \
  eval 'appears "$dest/viewer.exe.txt" && appears "$dest/program.exe.txt"'
check "restart needed: the new file waits for the restart and arrives then" \
  eval 'grep -qi SvkWizardBusy <(pending_renames) && restart && grep -qx "the new content" "$busy"'

[ -z "${SETVIK_SCREENSHOT_DIR:-}" ] || pngs_of "$work/shots" "$SETVIK_SCREENSHOT_DIR"
[ "$failures" -eq 0 ]
