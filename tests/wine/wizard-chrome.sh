#!/usr/bin/env bash
# The wizard's chrome and its progress page under Wine, full screen, driven
# as a person would (the route's pages and Cancel answered No are in
# wizard-route.sh): the default texts, Next and Back past an empty
# information text, the background as a person sees it (a gradient that
# darkens downward, the title with its shadow); in batches, Cancel answered
# Yes between two files (the "did not complete" note, the closing page, the
# files installed so far stay, whole, and no further file comes), and the
# background window's close box.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs
on_virtual_display WIZARD_CHROME_ON_DISPLAY "$0"
new_work chrome

# In batches the installation takes no time at all, so Cancel gets 300
# files of 2 MiB (of zeros: the setup stays small).
count=300
mkdir -p "$work/large"
for i in $(seq $count); do truncate -s 2M "$work/large/f$i.txt"; done
convert -size 120x200 gradient:red-yellow -colors 200 -type Palette -compress None BMP3:"$work/picture.bmp"
cat > "$work/stop.toml" <<TOML
[setup]
title = "Chrome Test"
default_folder = '$(winpath_of "$work/stop")'
compression = 1
full_screen = true
[background]
title = "Chrome Title"
[background.font]
face = "Times New Roman"
[frame]
picture = "picture.bmp"
[[file]]
source = "large"
target = "Files"
TOML
build_setup "$work/stop.toml" "$work/stop.exe"
installed() { find "$work/stop/Files" -name 'f*.txt' 2>/dev/null | wc -l; }
drive_background stop <<SCRIPT
timeout 60
start $work/stop.exe
wait-window SetvikClass "Chrome Test Setup"
expect-text 0 "Welcome"
expect-text 1000 "Welcome to the setup of Chrome Test*"
# Time to paint, on a busy machine.
sleep 3000
screenshot $work/full.bmp
# Without an information text, Next and Back skip its page.
click 1
expect-text 0 "Destination Folder"
click 1007
expect-text 0 "Welcome"
click 1
expect-title "Chrome Test Setup"
expect-text 1004 "*"
click 1
answer-box yes "The destination folder does not exist*"
click 1
expect-text 1008 "Z:*"
click 2
answer-box yes "Setup is installing files. Do you really want to stop?"
answer-box ok "Setup did not complete the installation. You can run Setup again later."
expect-text 0 "Setvik"
sleep 2000
close
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
check "default texts, Next and Back past no information, Cancel Yes, the close box" driven stop
# What a person sees full screen: a background that darkens downward from
# blue (the right-hand column, below the caption bar), and the white title
# with a black shadow 4 pixels below and right of it.
check_pixels() {
  python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
offset, = struct.unpack_from("<I", data, 10)
width, height = struct.unpack_from("<ii", data, 18)
stride = (width * 3 + 3) // 4 * 4
def pixel(x, y):
    at = offset + (height - 1 - y) * stride + x * 3
    return tuple(reversed(data[at:at + 3]))
column = [pixel(width - 10, y) for y in range(40, height - 10)]
blues = [b for r, g, b in column if r == g == 0]
assert len(blues) > len(column) * 0.9 and blues[0] >= 240 and blues[-1] <= 16, (blues[:4], blues[-4:])
quarters = [sum(q) / len(q) for q in (blues[i * len(blues) // 4:(i + 1) * len(blues) // 4] for i in range(4))]
assert quarters == sorted(quarters, reverse=True) and quarters[0] > quarters[3] + 100, quarters
area = [(x, y) for y in range(40, 140) for x in range(5, 500)]
white = [p for p in area if pixel(*p) == (255, 255, 255)]
black = [p for p in area if pixel(*p) == (0, 0, 0)]
assert len(white) > 200 and len(black) > 200, (len(white), len(black))
# The shadow's far edges lie 4 pixels right of and below the title's.
shift = (max(x for x, _ in black) - max(x for x, _ in white), max(y for _, y in black) - max(y for _, y in white))
assert shift == (4, 4), shift
PY
}

check "full screen: a background darkening downward, the title with its shadow" check_pixels "$work/full.bmp"
[ "$failures" -eq 0 ]
