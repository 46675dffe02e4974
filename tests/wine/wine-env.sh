# Sourced by the Wine tests and the demo: a private Wine prefix under build/,
# quiet, without the Mono and Gecko installers, and a virtual X display when
# there is no real one.
: "${SETVIK_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
export WINEPREFIX=${WINEPREFIX:-$SETVIK_ROOT/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree=;mshtml=;winemenubuilder.exe=d"}
export WINEARCH=win32

# Creates the prefix once (the first start takes a while).
wine_prefix_ready() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
}
