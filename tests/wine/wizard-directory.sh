#!/usr/bin/env bash
# The directory page and the folder browser under Wine, driven the way a
# person does, each case installing to the end: a relative folder typed
# with a trailing backslash (made absolute, shown without the backslash, a
# missing folder kept missing on No and created on Yes); a folder that
# cannot be created; a setup whose folder cannot be changed (read-only edit,
# disabled browse button, the checks still run); too little space on a
# small drive (answered No, then Yes); the folder browser with the setup's
# own captions, cancelled and then confirmed with another folder; and a
# setup showing only the directory page, whose Next ends it without checks.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"

drive=r:  # the small drive, when a tmpfs can be mounted
on_virtual_display WIZARD_DIRECTORY_ON_DISPLAY "$0"

new_work directory
at_exit 'rm -f "$WINEPREFIX/dosdevices/$drive"; mountpoint -q "$work/small" 2>/dev/null && umount "$work/small"'
# A Unix path as the setup sees it, as a script's quoted text (backslashes
# doubled) and as a TOML literal string.
zq() { printf 'Z:%s' "${1//\//\\\\}"; }
literal() { printf "'Z:%s'" "${1//\//\\}"; }

mkdir -p "$work/files" "$work/dest" "$work/other" "$work/cwd"
for i in 1 2 3; do echo "file $i of the directory test" > "$work/files/f$i.txt"; done
echo "not a folder" > "$work/afile"
# make_setup NAME DEFAULT-FOLDER [extra [setup] lines]
make_setup() {
  local name=$1 folder=$2
  shift 2
  cat > "$work/$name.toml" <<TOML
[setup]
title = "Directory Test"
default_folder = $folder
$(printf '%s\n' "$@")
[texts.information]
text = "Read this first."
[texts.messages]
browser_title = "Pick a Folder"
browser_folder_label = "Folder &name here:"
browser_drive_label = "&Drives here:"
[texts.buttons]
browser_ok = "&Take"
stop = "&Stop"
[[file]]
source = "files"
target = "Files"
TOML
  build_setup "$work/$name.toml" "$work/$name.exe"
}
installed() { [ -f "$1/Files/f3.txt" ] && cmp -s "$work/files/f3.txt" "$1/Files/f3.txt"; }

to_directory='wait-window SetvikClass
click 1
expect-text 1000 "Read this first."
click 1
expect-text 1000 "Setup will install Directory Test in the following folder."'
start_at() { printf 'timeout 30\nstart %s\n%s\n' "$work/$1.exe" "$to_directory"; }
# From the confirmation page to the end of the wizard.
install_to_end='click 1
expect-text 1000 "Directory Test has been installed on your computer."
click 1
expect-text 1005 "Setvik"
click 2
expect-exit 0'
missing='"The destination folder does not exist. Do you want to create it?"'

# 1. A relative folder with a trailing backslash, against the current
# directory; No keeps it missing, Yes creates it; Back shows it absolute.
make_setup typed "$(literal "$work/dest")"
drive_background typed <<SCRIPT
timeout 30
workdir $work/cwd
start $work/typed.exe
$to_directory
expect-text 1004 "$(zq "$work/dest")"
expect-writable 1004
expect-enabled 1005
set-text 1004 "rel\\\\sub\\\\"
click 1
answer-box no $missing "Directory Test Setup"
sleep 1000
expect-title "Directory Test Setup - Destination Folder"
click 1
answer-box yes $missing
expect-title "Directory Test Setup - Ready to Install"
click 1007
expect-text 1004 "$(zq "$work/cwd/rel/sub")"
click 1
expect-title "Directory Test Setup - Ready to Install"
$install_to_end
SCRIPT
if wait_for_step typed "sleep 1000"; then
  check "typed: No creates nothing" [ ! -e "$work/cwd/rel" ]
fi
check "typed: the driver's steps passed" driven typed
check "typed: installed in the folder made absolute" installed "$work/cwd/rel/sub"

# 2. A folder that cannot be created (a file is in the way): 6/6, 6/5,
# the page stays; then the folder browser: its captions, Cancel, and OK
# with a folder typed into its edit.
make_setup browse "$(literal "$work/dest")"
check "browse: the driver's steps passed" drive browse <<SCRIPT
$(start_at browse)
set-text 1004 "$(zq "$work/afile/sub")"
click 1
answer-box yes $missing
answer-box ok "The folder name is not valid, or the folder cannot be created."
expect-title "Directory Test Setup - Destination Folder"
set-text 1004 "$(zq "$work/dest")"
click 1005
wait-window #32770 "Pick a Folder"
expect-text 1009 "Folder &name here:"
expect-text 1091 "&Drives here:"
expect-text 1 "&Take"
expect-text 2 "&Stop"
expect-text 101 "$(zq "$work/dest")"
expect-visible 1121
expect-hidden 1152
click 2
wait-gone
wait-window SetvikClass
expect-text 1004 "$(zq "$work/dest")"
click 1005
wait-window #32770 "Pick a Folder"
set-text 101 "$(zq "$work/other")"
click 1
wait-gone
wait-window SetvikClass
expect-text 1004 "$(zq "$work/other")"
click 1
expect-title "Directory Test Setup - Ready to Install"
$install_to_end
SCRIPT
check "browse: installed in the folder chosen in the browser" installed "$work/other"

# 3. A folder that cannot be changed: read-only edit, no browsing, and the
# existence check still runs.
make_setup fixed "$(literal "$work/fixed")" 'folder_changeable = false'
check "fixed: the driver's steps passed" drive fixed <<SCRIPT
$(start_at fixed)
expect-text 1004 "$(zq "$work/fixed")"
expect-readonly 1004
expect-disabled 1005
click 1
answer-box yes $missing
expect-title "Directory Test Setup - Ready to Install"
$install_to_end
SCRIPT
check "fixed: installed in the fixed folder" installed "$work/fixed"

# 4. Too little space: a 1 MiB tmpfs as drive R: (when this machine lets us
# mount one), and a 2 MB file.
mkdir -p "$work/small"
if mount -t tmpfs -o size=1m tmpfs "$work/small" 2>/dev/null; then
  mkdir -p "$work/small/app" "$work/big"
  head -c 2097152 /dev/zero > "$work/big/big.dat"
  ln -sfn "$work/small" "$WINEPREFIX/dosdevices/$drive"
  roomy=$(df -m --output=avail "$work/dest" | tail -1 | tr -d ' ')
  make_setup full "'R:\\app'"
  sed -i "s|^source = \"files\"|source = \"big\"|" "$work/full.toml"
  build_setup "$work/full.toml" "$work/full.exe"
  check "full: the driver's steps passed" drive full <<SCRIPT
$(start_at full)
expect-text 1004 "R:\\\\app"
expect-text 1016 "2 MB"
expect-text 1019 "1 MB"
click 1
answer-box no "There is not enough free space in the destination folder. Do you want to try anyway?"
expect-title "Directory Test Setup - Destination Folder"
click 1
answer-box yes "There is not enough free space*"
expect-title "Directory Test Setup - Ready to Install"
click 1007
set-text 1004 "$(zq "$work/dest")"
expect-text 1019 "${roomy:0:1}*"
click 1
expect-title "Directory Test Setup - Ready to Install"
$install_to_end
SCRIPT
  check "full: the big file went to the roomy folder" [ -f "$work/dest/Files/big.dat" ]
else
  echo "skipped: too little space (no tmpfs can be mounted here)"
fi

# 5. Only the directory page: Next ends it without checks (the missing
# folder is neither asked about nor created); browsing still works.
make_setup single "$(literal "$work/single")" 'single_page = "directory"'
check "single: the driver's steps passed" drive single <<SCRIPT
timeout 30
start $work/single.exe
wait-window SetvikClass
expect-text 1004 "$(zq "$work/single")"
click 1005
wait-window #32770 "Pick a Folder"
click 2
wait-gone
wait-window SetvikClass
click 1
expect-exit 0
SCRIPT
check "single: the missing folder was not created" [ ! -e "$work/single" ]

[ "$failures" -eq 0 ]
