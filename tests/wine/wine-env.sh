# Sourced by the Wine tests and the demo: a private Wine prefix under build/,
# quiet, without the Mono and Gecko installers, and a virtual X display when
# there is no real one.
: "${SETVIK_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
# SETVIK_WINE64 set: a 64-bit prefix of its own (Debian's wine64), for the
# tests of 64-bit setups; every prefix pins its WINEARCH.
if [ -n "${SETVIK_WINE64:-}" ]; then
  export WINEPREFIX=$SETVIK_ROOT/build/wineprefix64 WINEARCH=win64
else
  export WINEPREFIX=${WINEPREFIX:-$SETVIK_ROOT/build/wineprefix} WINEARCH=win32
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree=;mshtml=;winemenubuilder.exe=d"}

# Creates the prefix once (the first start takes a while). Xvfb runs no
# window manager, and Wine waits 2 s for one at every window that is hidden
# or destroyed unless its windows are unmanaged, so they are.
wine_prefix_ready() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # Wine links the user's Desktop, Documents and the like to the home
  # folder; the prefix gets folders of its own instead.
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
  done
  if ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
  fi
}

# Runs the calling script again on a virtual X display with the prefix ready,
# and ends with its exit code; inside that run (the marker variable set) it
# returns at once. Use: on_virtual_display MARKER_VARIABLE "$0"
# SETVIK_SCREEN sets the virtual screen (default 1024x768x24).
on_virtual_display() {
  [ -z "${!1:-}" ] || return 0
  wine_prefix_ready
  # A Wine session an earlier run left behind keeps its own display.
  wineserver -w
  set +e
  # A display number of this process's own: runs started together do not race.
  env "$1=1" timeout 600 xvfb-run -a -n $((100 + $$ % 800)) -s "-screen 0 ${SETVIK_SCREEN:-1024x768x24}" "$2"
  local code=$?
  set -e
  wineserver -w
  exit $code
}
