#!/usr/bin/env bash
# The wizard's ordinary route, as a person meets it, in the windowed and in
# the full-screen mode: a setup made by `setvik build`, run under Wine on a
# virtual display and clicked through by the UI driver.
# - pages 0 to 6 in order, each checked for its title (the background
#   window's caption "<caption> - <title>" in the windowed mode, the frame
#   dialog's caption full screen), its texts, and the states and captions of
#   Back, Next and Cancel; Back from pages 1, 2 and 3; the folder typed on
#   the directory page, created on request and shown again after Back;
# - Cancel on pages 0 to 4 answered No (the page stays; on the progress page
#   the installation goes on);
# - a picture of every page. With SETVIK_SCREENSHOT_DIR set, they are kept
#   there as PNG files (tools/update-screenshots.sh).
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs
on_virtual_display WIZARD_ROUTE_ON_DISPLAY "$0"
new_work wizard-route
mkdir -p "$work/shots"

# --- The setup: a product with an information page, a frame picture and a
# background title, and enough files for the progress page to be seen.
caption="Demo Notes 1.2 Setup"
welcome=("Welcome to the setup of Demo Notes 1.2, a small note pad for Windows."
         "This program installs Demo Notes on your computer."
         "It is recommended that you close all other programs before you go on."
         "Click Next to continue, or Cancel to leave the setup.")
info_start="Demo Notes 1.2: licence"
directory=("Setup will install Demo Notes in the following folder."
           "To install in this folder, click Next."
           "To install in another folder, type its name or click Browse."
           "Demo Notes needs about 4 MB on the disk.")
confirm=("Setup is now ready to install Demo Notes."
         "The files will be installed in %s."
         "Click Install to begin, or Back to change the folder."
         "The installation takes a few seconds.")
progress=("Installing:" "Please wait while Setup installs Demo Notes.")
success="Demo Notes 1.2 has been installed on your computer."
really_exit="The installation is not complete. Do you really want to leave Setup?"
really_stop="Setup is installing files. Do you really want to stop?"
not_completed="Setup did not complete the installation. You can run Setup again later."
create_folder="The folder does not exist. Do you want to create it?"

mkdir -p "$work/payload/data"
for i in $(seq -w 1 60); do head -c 50000 /dev/urandom > "$work/payload/data/notes$i.dat"; done
{
  printf '%s\r\n\r\n' "$info_start"
  printf 'Demo Notes may be copied and given away freely.\r\n'
} > "$work/payload/license.txt"
printf 'Demo Notes\r\n' > "$work/payload/readme.txt"
file_count=61
# Space needed: every file raised to 32 KiB blocks, in whole megabytes
# rounded up: 60 x 64 KiB + 32 KiB.
needed_mb=$(( (60 * 65536 + 32768 + 1048575) >> 20 ))

paragraphs() { local i; for i in 1 2 3 4; do echo "paragraph$i = \"${!i}\""; done; }
project() { # full_screen
  cat <<TOML
[setup]
title = "Demo Notes 1.2"
default_folder = "#Program Files#\\\\Demo Notes"
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
$(paragraphs "${welcome[@]}")
[texts.information]
title = "Licence"
[texts.directory]
title = "Destination Folder"
$(paragraphs "${directory[@]}")
space_needed_label = "Space needed:"
space_available_label = "Space available:"
megabytes = "%d MB"
[texts.confirmation]
title = "Ready to Install"
paragraph1 = "${confirm[0]}"
folder = "${confirm[1]}"
paragraph3 = "${confirm[2]}"
paragraph4 = "${confirm[3]}"
[texts.progress]
title = "Installing"
file_label = "${progress[0]}"
paragraph2 = "${progress[1]}"
[texts.finish]
title = "Setup Complete"
success = "$success"
launch_intro = ""
run_after_intro = ""
[texts.messages]
title = "$caption"
really_exit = "$really_exit"
really_stop = "$really_stop"
not_completed = "$not_completed"
create_folder = "$create_folder"
[texts.buttons]
back = "< &Back"
next = "&Next >"
cancel = "Cancel"
install = "&Install"
stop = "&Stop"
[[file]]
source = "payload/data"
target = "Data"
[[file]]
source = "payload/readme.txt"
TOML
}

page_names=("welcome" "information" "directory" "confirmation" "progress" "finish" "closing")

for mode in windowed fullscreen; do
  [ "$mode" = windowed ] && full=false || full=true
  project "$full" > "$work/$mode.toml"
  build_setup "$work/$mode.toml" "$work/$mode.exe"
  folder="C:\\e2e-wizard\\route-$mode"
  dest=$(unix_of "$folder")
  rm -rf "$dest"
  at_exit "rm -rf '$dest'"
  s() { echo "$work/shots/$mode-$1-${page_names[$1]}.bmp"; }

  # at_page N TITLE "BACK NEXT CANCEL" [ID=TEXT...]: the page's title, the
  # states of its buttons (when given), texts, and a picture.
  at_page() {
    local n=$1 t
    page_is "$mode" "$2"
    [ -z "$3" ] || buttons $3
    shift 3
    for t in "$@"; do echo "expect-text ${t%%=*} $(quoted "${t#*=}")"; done
    shot "$mode" "$(s "$n")"
  }
  {
    echo "timeout 30"
    echo "start $work/$mode.exe"
    echo "wait-window SetvikClass"
    # 0: welcome. Back is off.
    at_page 0 Welcome "off on on" "1000=${welcome[0]}" "1001=${welcome[1]}" "1002=${welcome[2]}" \
      "1003=${welcome[3]}" "1007=< &Back" "1=&Next >" "2=Cancel"
    cancel_declined "$really_exit" 1000 "${welcome[0]}"
    echo "click 1"
    # 1: information, the licence in the read-only edit; Back to 0 and on.
    at_page 1 Licence "on on on" "1000=$info_start*"
    cancel_declined "$really_exit" 1000 "$info_start*"
    echo "click 1007"
    page_is "$mode" "Welcome"
    echo "click 1"
    page_is "$mode" "Licence"
    echo "click 1"
    # 2: directory, the proposed folder, the space needed; Back and on.
    at_page 2 "Destination Folder" "on on on" "1000=${directory[0]}" "1001=${directory[1]}" \
      "1002=${directory[2]}" "1003=${directory[3]}" '1004=C:\Program Files\Demo Notes' \
      "1017=Space needed:" "1016=$needed_mb MB" "1018=Space available:"
    echo "expect-enabled 1005"
    cancel_declined "$really_exit" 1000 "${directory[0]}"
    echo "click 1007"
    page_is "$mode" "Licence"
    echo "click 1"
    page_is "$mode" "Destination Folder"
    # A folder typed with a trailing backslash, created on request.
    echo "set-text 1004 $(quoted "$folder\\")"
    echo "click 1"
    echo "answer-box yes $(quoted "$create_folder") $(quoted "$caption")"
    # 3: confirmation, the folder in its sentence, Next reads Install; after
    # Back the folder as typed and Next again.
    at_page 3 "Ready to Install" "on on on" "1000=${confirm[0]}" "1001=${confirm[1]/\%s/$folder}" \
      "1002=${confirm[2]}" "1003=${confirm[3]}" "1=&Install"
    cancel_declined "$really_exit" 1000 "${confirm[0]}"
    echo "click 1007"
    page_is "$mode" "Destination Folder"
    echo "expect-text 1004 $(quoted "$folder")"
    echo 'expect-text 1 "&Next >"'
    echo "click 1"
    page_is "$mode" "Ready to Install"
    echo "expect-no-box"
    echo "click 1"
    # 4: progress. Only Cancel, which reads Stop; the question holds the
    # installation, and No lets it go on.
    at_page 4 Installing "" "1000=${progress[0]}" "1001=${progress[1]}"
    echo "click 2"
    buttons off off on
    echo 'expect-text 2 "&Stop"'
    echo "answer-box no $(quoted "$really_stop") $(quoted "$caption")"
    # 5: finish, success: the message alone; only Next, Cancel again.
    at_page 5 "Setup Complete" "off on off" "1000=$success" "1001=" "1002=" "1003=" "2=Cancel"
    echo "expect-hidden 1014"
    echo "expect-hidden 1015"
    echo "click 1"
    # 6: closing: its name is the caption; only Cancel, which ends it.
    if [ "$mode" = windowed ]; then
      echo 'expect-title "Setvik"'
    else
      echo "expect-title $(quoted "$caption")"
      echo 'expect-parent-text 1 "Setvik"'
    fi
    echo 'expect-text 1005 "Setvik"'
    buttons off off on
    shot "$mode" "$(s 6)"
    echo "click 2"
    echo "expect-exit 0"
  } | drive "route-$mode" && ran=1 || ran=0
  check "$mode: pages 0 to 6 with their titles, texts and buttons, Back and Cancel-No on the way" [ "$ran" = 1 ]
  installed=$(find "$dest" -type f 2>/dev/null | wc -l)
  check "$mode: all $file_count files installed (found $installed)" [ "$installed" -eq "$file_count" ]
  check "$mode: a file arrived whole" cmp -s "$work/payload/data/notes37.dat" "$dest/Data/notes37.dat"

done

if [ -n "${SETVIK_SCREENSHOT_DIR:-}" ]; then
  pngs_of "$work/shots" "$SETVIK_SCREENSHOT_DIR"
  echo "screenshots in $SETVIK_SCREENSHOT_DIR"
fi

[ "$failures" -eq 0 ]
