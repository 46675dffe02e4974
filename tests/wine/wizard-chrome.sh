#!/usr/bin/env bash
# The wizard's chrome under Wine, full screen, driven as a person would
# (the route's pages are in wizard-route.sh, Cancel answered Yes in
# startup.sh): the default texts, Next and Back past an empty information
# text, the close boxes of the frame and of the background window, and the
# background as a person sees it (a gradient that darkens downward, the
# title with its shadow).
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
require_programs
on_virtual_display WIZARD_CHROME_ON_DISPLAY "$0"
new_work chrome
echo "payload" > "$work/payload.txt"
convert -size 120x200 gradient:red-yellow -colors 200 -type Palette -compress None BMP3:"$work/picture.bmp"
cat > "$work/full.toml" <<'TOML'
[setup]
title = "Chrome Test"
full_screen = true
[background]
title = "Chrome Title"
[background.font]
face = "Times New Roman"
[frame]
picture = "picture.bmp"
[[file]]
source = "payload.txt"
TOML
build_setup "$work/full.toml" "$work/full.exe"
check "full screen: default texts, Next and Back past no information, the close boxes" drive full-screen <<SCRIPT
timeout 30
start $work/full.exe
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
sleep 500
expect-title "Chrome Test Setup"
expect-text 0 "Destination Folder"
# The frame's own close box: Cancel without the question.
close 0
sleep 500
expect-no-box
expect-text 0 "Setvik"
expect-title "Chrome Test Setup"
close
expect-exit 0
SCRIPT
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
