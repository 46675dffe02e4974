#!/usr/bin/env bash
# The wizard's chrome under Wine, driven as a person would through the UI
# driver: captions in windowed and full-screen mode, Next and Back through
# the text pages (and past an empty information text on the way forward), the Cancel question
# answered No and Yes, the closing page's own caption, the close boxes of
# the frame and of the background window, single-page mode, the finish
# page's success view with its launch button and run-after box, and a
# full-screen screenshot whose pixels show the gradient, the title with its
# shadow and the frame picture. SETVIK_BIN names another folder of built
# programs (default build/bin).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
bin=${SETVIK_BIN:-$SETVIK_ROOT/build/bin}
for f in setvik setvik-stub.exe setvik-uidriver.exe; do
  [ -e "$bin/$f" ] || { echo "missing $bin/$f: run make first"; exit 1; }
done

on_virtual_display WIZARD_CHROME_ON_DISPLAY "$0"

work=$(mktemp -d "$SETVIK_ROOT/build/wine-chrome.XXXXXX")
# The route creates the setup's default folder in the prefix; a folder left
# by an earlier run would skip the creation question.
installed="$WINEPREFIX/drive_c/Program Files/Chrome Test"
rm -rf "$installed"
trap '[ -n "${KEEP_WORK:-}" ] || rm -rf "$work" "$installed"' EXIT
failures=0
echo "payload" > "$work/payload.txt"
echo "notes" > "$work/notes.txt"
convert -size 120x200 gradient:red-yellow -colors 200 -type Palette -compress None BMP3:"$work/picture.bmp"

# setup NAME < project-lines: a setup with one file and the given settings.
setup() {
  { cat; printf '[[file]]\nsource = "payload.txt"\n'; } > "$work/$1.toml"
  "$bin/setvik" build "$work/$1.toml" -o "$work/$1.exe" --stub "$bin/setvik-stub.exe" >/dev/null
}
# scenario NAME < script: the UI driver must pass every step.
scenario() {
  { echo "timeout 30"; cat; } > "$work/$1.txt"
  set +e
  (cd "$work" && wine "$bin/setvik-uidriver.exe" "$work/$1.txt") > "$work/$1.log" 2>&1
  local code=$?
  set -e
  if [ "$code" -eq 0 ]; then echo "ok: $1"; else
    echo "FAILED: $1 (driver exit $code)"; sed 's/^/    /' "$work/$1.log"; failures=$((failures + 1)); fi
}

setup windowed <<'TOML'
[setup]
title = "Chrome Test"
[texts.information]
text = "First line of the information.\r\nSecond line."
TOML
scenario windowed-route <<SCRIPT
start $work/windowed.exe
wait-window SetvikClass "Chrome Test Setup - Welcome"
expect-disabled 1007
expect-enabled 1
expect-text 1000 "Welcome to the setup of Chrome Test*"
click 1
wait-window SetvikClass "Chrome Test Setup - Information"
expect-text 1000 "First line of the information.*"
expect-enabled 1007
click 1007
wait-window SetvikClass "Chrome Test Setup - Welcome"
click 1
wait-window SetvikClass "Chrome Test Setup - Information"
click 1
wait-window SetvikClass "Chrome Test Setup - Destination Folder"
click 1
answer-box yes "The destination folder does not exist*"
wait-window SetvikClass "Chrome Test Setup - Ready to Install"
sleep 300
expect-text 1 "&Install"
expect-text 1001 "The files will be installed in C:\\\\Program Files\\\\Chrome Test."
# Cancel: No keeps the page, Yes leads through the notice to the closing
# page, which names itself in the caption and has only Cancel.
click 2
answer-box no "The installation is not complete. Do you really want to exit Setup?" "Chrome Test Setup"
expect-title "Chrome Test Setup - Ready to Install"
expect-no-box
click 2
answer-box yes "The installation is not complete*"
answer-box ok "Setup did not complete the installation.*" "Chrome Test Setup"
wait-window SetvikClass "Setvik"
expect-disabled 1
expect-disabled 1007
expect-enabled 2
click 2
expect-no-box
expect-exit 0
SCRIPT

setup bare <<'TOML'
[setup]
title = "Chrome Test"
TOML
scenario empty-information-and-close-box <<SCRIPT
start $work/bare.exe
wait-window SetvikClass "Chrome Test Setup - Welcome"
click 1
wait-window SetvikClass "Chrome Test Setup - Destination Folder"
# The background window's close box ends the page as Cancel, unasked.
close
wait-window SetvikClass "Setvik"
expect-no-box
close
expect-no-box
expect-exit 0
SCRIPT

setup full <<'TOML'
[setup]
title = "Chrome Test"
full_screen = true
[background]
title = "Chrome Title"
[background.font]
face = "Times New Roman"
[frame]
picture = "picture.bmp"
TOML
scenario full-screen <<SCRIPT
start $work/full.exe
wait-window SetvikClass "Chrome Test Setup"
expect-text 0 "Welcome"
# Time to paint, on a busy machine.
sleep 3000
screenshot $work/full.bmp
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
# The screenshot, read as a 24-bit bottom-up BMP: below the caption bar the
# right-hand column holds only blue down to the window's border, 255 at
# the top, the band at half height made of its eight colours (the rows 0,
# 8, ... 56 below its top) and nearly 0 at the bottom; the title is white
# with a black shadow exactly 4 pixels right and down.
check_pixels() {
  python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
offset, = struct.unpack_from("<I", data, 10)
width, height = struct.unpack_from("<ii", data, 18)
stride = (width * 3 + 3) // 4 * 4
def pixel(x, y):
    b, g, r = data[offset + (height - 1 - y) * stride + x * 3: offset + (height - 1 - y) * stride + x * 3 + 3]
    return r, g, b
x = width - 10
top = next((y for y in range(height) if pixel(x, y) == (0, 0, 255)), None)
assert top is not None, "no gradient top in column %d of a %dx%d screen (another display?): %s" % (
    x, width, height, [pixel(x, y) for y in range(0, 80, 8)])
bottom = next(y for y in range(top, height + 1) if y == height or pixel(x, y)[:2] != (0, 0))
assert bottom >= height - 8, "the gradient holds only blue down to the window's border"
client = bottom - top
column = [pixel(x, y) for y in range(top, bottom)]
assert min(b for _, _, b in column[:8]) >= 250, column[:8]
# The band holding row H/2 shows its eight colours eight times each.
band = client // 2 // 8 * 8
blue = lambda y: 255 - 255 * y * y // (client * client)
assert blue(client // 2) in (191, 192)
expected = sum(blue(min(band + 8 * k, client)) for k in range(8)) / 8
middle = [pixel(x - dx, top + band + dy)[2] for dx in range(8) for dy in range(8)]
assert abs(sum(middle) / 64 - expected) < 0.5, (sum(middle) / 64, expected)
assert max(b for _, _, b in column[-4:]) <= 8, column[-4:]
white, black = [], []
for y in range(top + 2, top + 100):
    for x in range(5, 500):
        p = pixel(x, y)
        if p == (255, 255, 255): white.append((x, y))
        elif p == (0, 0, 0): black.append((x, y))
assert len(white) > 200 and len(black) > 200, (len(white), len(black))
box = lambda points: (min(p[0] for p in points), min(p[1] for p in points), max(p[0] for p in points), max(p[1] for p in points))
wb, bb = box(white), box(black)
assert wb[0] >= 10 and wb[1] >= top + 10, wb
assert (bb[2] - wb[2], bb[3] - wb[3]) == (4, 4), (wb, bb)
print("client %d rows from y=%d, title %s, shadow %s" % (client, top, wb, bb))
PY
}
if check_pixels "$work/full.bmp"; then echo "ok: full-screen pixels"; else
  echo "FAILED: full-screen pixels"; failures=$((failures + 1)); fi

setup finish <<'TOML'
[setup]
title = "Chrome Test"
single_page = "finish"
TOML
scenario finish-success-view <<SCRIPT
start $work/finish.exe
wait-window SetvikClass "Chrome Test Setup - Setup Complete"
expect-text 1000 "Chrome Test has been installed on your computer."
expect-text 1001 "Click the button below to open it now."
expect-visible 1014
expect-text 1014 "&Open"
expect-visible 1015
expect-text 1015 "&Start Chrome Test now"
expect-checked 1015
expect-text 1003 ""
expect-enabled 1
expect-disabled 2
expect-disabled 1007
click 1015
expect-unchecked 1015
click 1015
expect-checked 1015
click 1014
expect-no-box
click 1
expect-no-box
expect-exit 0
SCRIPT

setup single <<'TOML'
[setup]
title = "Chrome Test"
single_page = "welcome"
TOML
scenario single-page-cancel-unasked <<SCRIPT
start $work/single.exe
wait-window SetvikClass "Chrome Test Setup - Welcome"
click 2
expect-no-box
expect-exit 0
SCRIPT

[ "$failures" -eq 0 ]
