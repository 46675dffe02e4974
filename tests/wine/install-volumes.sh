#!/usr/bin/env bash
# A setup split over three volumes (setup.exe, setup.D01, setup.D02), its
# files stored so that they cross the volume ends, end to end under Wine:
# the second volume missing at first: the disk prompt asks for disk 2;
# Cancel and then No to the question asks again; once the file is there, OK
# goes on, and every file is installed whole.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs
on_virtual_display INSTALL_VOLUMES_ON_DISPLAY "$0"
new_work install-volumes

folder='C:\e2e\volumes'
dest=$(unix_of "$folder")
rm -rf "$dest"
mkdir -p "$dest" "$work/disks"
for i in 1 2 3; do head -c 40000 /dev/urandom > "$work/part$i.bin"; done
{
  setup_project "Volumes" "$folder" "compression = 0"
  # About 20 kB of file data in the setup file, 55 kB in each volume: the
  # first file crosses into the second volume, the second into the third.
  printf '[volumes]\nsetup_size = %d\nvolume_size = 55000\n' $(($(stat -c %s "$bin/setvik-stub.exe") + 25000))
  for i in 1 2 3; do printf '[[file]]\nsource = "part%d.bin"\n' "$i"; done
} > "$work/volumes.toml"
build_setup "$work/volumes.toml" "$work/disks/setup.exe"

mv "$work/disks/setup.D01" "$work/setup.D01"
drive_background disk2 < <(
  to_confirmation "$work/disks/setup.exe" "$folder"
  confirm
  printf 'answer-box cancel "INSERT DISK 2" "E2E"\nanswer-box no "REALLY STOP?" "E2E"\nsleep 1500\n'
  printf 'answer-box ok "INSERT DISK 2" "E2E"\nexpect-no-box\n'
  finish
)
wait_for_step disk2 ": sleep 1500" && mv "$work/setup.D01" "$work/disks/setup.D01"
driven disk2 && ok=1 || ok=0
check "disk 2 asked for, Cancel and No ask again, OK goes on once it is there" [ "$ok" = 1 ]
check "every file is installed whole" cmp -s <(cat "$work"/part{1,2,3}.bin) <(cat "$dest"/part{1,2,3}.bin)

[ "$failures" -eq 0 ]
