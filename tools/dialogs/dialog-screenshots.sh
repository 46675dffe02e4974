#!/bin/bash
# Screenshots of the dialog templates as the wizard shows them: builds
# dialog-pack and dialog-view, packs the default templates (or the .rc or
# .res given), and shows each template under Wine on a virtual X display.
#   tools/dialogs/dialog-screenshots.sh [file.rc|file.res] [output folder]
# Writes templates-<n>.png (n = template number) into the output folder,
# docs/screenshots by default. Needs a host build tree (HOST_DIR, default
# build/host) for the compiled default templates.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$root/build/dialog-view
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix-dialogs}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"

if [ "${1:-}" = --inside ]; then
  # Runs on the virtual display: one view after another.
  out=$2
  shot() {  # view template-number
    rm -f "$work/rect.txt"
    wine "$work/dialog-view.exe" "$work/body.bin" "$1" 8 "$work/rect.txt" &
    local viewer=$!
    for _ in $(seq 100); do [ -s "$work/rect.txt" ] && break; sleep 0.1; done
    sleep 2
    import -window root "$work/screen.png"
    convert "$work/screen.png" -crop "$(cat "$work/rect.txt")" +repage -colors 256 -strip \
      "PNG8:$out/templates-$2.png"
    kill "$viewer" 2>/dev/null || true
    wait "$viewer" 2>/dev/null || true
  }
  wineboot -i >/dev/null 2>&1 || true
  # Without a window manager, Wine draws captions and borders itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  shot frame 0
  shot full5 1
  shot page2 2
  shot page3 3
  shot page4 4
  shot page5 5
  shot page6 6
  shot browser 7
  shot page8 8
  wineserver -k || true
  exit 0
fi

input=${1:---default}
out=$(realpath -m "${2:-$root/docs/screenshots}")
host=${HOST_DIR:-$root/build/host}
mkdir -p "$work" "$out"
cmake --build "$host" --target setvik_dialogs >/dev/null
clang++ -std=c++20 -O1 -I"$root" -o "$work/dialog-pack" "$root/tools/dialogs/dialog-pack.cpp" \
  "$root/authoring/DialogTemplates.cpp" "$root/authoring/ResourceCompiler.cpp" "$host/dialogs/DefaultDialogs.cpp"
i686-w64-mingw32-g++ -O1 -static-libgcc -static-libstdc++ -mwindows -o "$work/dialog-view.exe" \
  "$root/tools/dialogs/dialog-view.cpp" -lcomdlg32 -lgdi32
"$work/dialog-pack" "$input" "$work/body.bin" >/dev/null
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside "$out"
ls -l "$out"/templates-*.png
