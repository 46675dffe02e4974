#!/usr/bin/env bash
# Regenerates the pictures of the wizard in docs/screenshots/ (shown in
# README.md): every page in the windowed and the full-screen mode, and the
# finish page's other views, as the Wine tests take them on an 800x600
# virtual display. Needs the Windows programs (make win32) and setvik.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/docs/screenshots
status=0
SETVIK_SCREEN=800x600x24 SETVIK_SCREENSHOT_DIR=$out bash "$root/tests/wine/wizard-route.sh" || status=1
[ "$status" -eq 0 ] || echo "a test failed: look at the pictures before you keep them"
ls -l "$out"/windowed-*.png "$out"/fullscreen-*.png
exit "$status"
