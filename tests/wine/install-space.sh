#!/usr/bin/env bash
# The destination check's arithmetic on a real drive, end to end: a 1 MiB
# tmpfs (4 KiB allocation units) as drive S:, holding an 8 KiB file that the
# setup replaces by one of the same size, so 1016 KiB are free. A new 1-byte
# file needs a whole unit (4 KiB), the replaced file adds nothing, and room
# for the largest file (an external record of a given size, which is never
# written) is reserved on top. Needed exactly the free space: the directory
# page asks whether to go on anyway (No stays, Yes goes on); one unit less:
# no question. Skipped where no tmpfs can be mounted.
set -euo pipefail
source "$(dirname "$0")/lib/install-common.sh"
require_programs
on_virtual_display INSTALL_SPACE_ON_DISPLAY "$0"
new_work install-space
drive=s:
cleanup() {
  rm -f "$WINEPREFIX/dosdevices/$drive"
  mountpoint -q "$work/small" 2>/dev/null && umount "$work/small"
  end_work
}
trap cleanup EXIT
mkdir -p "$work/small"
if ! mount -t tmpfs -o size=1m tmpfs "$work/small" 2>/dev/null; then
  echo "skipped: no tmpfs can be mounted here"
  exit 0
fi
ln -sfn "$work/small" "$WINEPREFIX/dosdevices/$drive"
folder='S:\app'
head -c 8192 /dev/urandom > "$work/same-size.dat"
printf 'x' > "$work/one.txt"
fresh_drive() {
  rm -rf "$work/small/app"
  mkdir -p "$work/small/app"
  head -c 8192 /dev/zero > "$work/small/app/same-size.dat"
}
project() { # name largest-size
  {
    setup_project "Space" "$folder"
    printf '[[file]]\nsource = "one.txt"\n[[file]]\nsource = "same-size.dat"\n'
    printf '[[file]]\ntarget = "never-written.bin"\nuninstall = "external"\nsize = %d\n' "$2"
  } > "$work/$1.toml"
  build_setup "$work/$1.toml" "$work/$1.exe"
}

# 4 KiB + 0 + 1012 KiB = 1016 KiB, not less than the 1016 KiB free.
fresh_drive
free=$(stat -f -c '%a %S' "$work/small" | awk '{ print $1 * $2 / 1024 }')
check "the drive has 1016 KiB free (got $free)" [ "$free" = 1016 ]
project border $((1012 * 1024 - 4095))
{
  to_confirmation "$work/border.exe" "$folder"
  echo 'answer-box no "SPACE LOW?" "E2E"'
  echo 'expect-text 1000 "DIRECTORY"'
  echo 'click 1'
  echo 'answer-box yes "SPACE LOW?" "E2E"'
  confirm
  finish
} | drive border && ok=1 || ok=0
check "needed = free: asked; No stays on the page, Yes goes on and installs" [ "$ok" = 1 ]
check "the files are in" eval 'cmp -s "$work/one.txt" "$work/small/app/one.txt" && cmp -s "$work/same-size.dat" "$work/small/app/same-size.dat"'

# One unit less: 1012 KiB needed, no question.
fresh_drive
project room $((1008 * 1024))
{ to_confirmation "$work/room.exe" "$folder"; confirm; finish; } | drive room && ok=1 || ok=0
check "one unit less: no question, installed" [ "$ok" = 1 ]
check "the replaced file is in" cmp -s "$work/same-size.dat" "$work/small/app/same-size.dat"
[ "$failures" -eq 0 ]
