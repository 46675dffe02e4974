# Sourced by the wizard's end-to-end tests (tests/wine/wizard-*.sh), the
# screenshot script and the demo: setups made by `setvik build`, run under
# Wine and clicked through by the UI driver the way a person would, then the
# prefix checked.
#
# The route through the pages is written as UI-driver script lines by the
# functions below (on stdout), so that a test reads as the pages a person
# meets: `page_is MODE PAGE-TITLE`, `buttons BACK NEXT CANCEL`, ...
source "$(dirname "${BASH_SOURCE[0]}")/../wine-env.sh"
bin=${SETVIK_BIN:-$SETVIK_ROOT/build/bin}
drive_c=$WINEPREFIX/drive_c
failures=0

require_programs() {
  local f
  for f in setvik setvik-stub.exe setvik-uidriver.exe "$@"; do
    [ -e "$bin/$f" ] || { echo "missing $bin/$f: run make win32 first"; exit 1; }
  done
}

# A work folder under build/, removed at the end (with whatever the test
# adds to the cleanup list).
cleanups=()
new_work() { # name
  work=$(mktemp -d "$SETVIK_ROOT/build/wine-$1.XXXXXX")
  trap 'for c in "${cleanups[@]}"; do eval "$c" || true; done; rm -rf "$work"' EXIT
}
at_exit() { cleanups+=("$1"); }


# Paths: a Unix path below the prefix for C:\..., and Z:\... for a Unix path.
unix_of() { local p=${1#[Cc]:\\}; echo "$drive_c/${p//\\//}"; }
winpath_of() { local p=$1; echo "Z:${p//\//\\}"; }
# A text for a driver script: backslashes and quotes escaped.
quoted() { local t=${1//\\/\\\\}; echo "\"${t//\"/\\\"}\""; }

build_setup() { # project output
  "$bin/setvik" build "$1" -o "$2" --stub "$bin/setvik-stub.exe" >/dev/null
}

# A registry value's data as `wine reg query` prints it, or nothing.
reg_value() { # key value
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v v="$2" 'tolower($1) == tolower(v) { sub(/^[ \t]*[^ \t]+[ \t]+REG_[A-Z_]+[ \t]+/, ""); print }'
}
# A folder of the user's shell (Desktop, Programs, Startup, Start Menu), as
# Wine's prefix records it.
shell_folder() { # name
  reg_value 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' "$1"
}

# --- Script lines for the pages ---------------------------------------------

# The page's title where a person sees it: in the windowed mode the
# background window's caption "<setup caption> - <title>"; full screen the
# frame dialog's caption, with the background window showing the setup's
# caption alone. Needs $caption (text 6/0).
page_is() { # windowed|fullscreen title
  if [ "$1" = windowed ]; then
    echo "expect-title $(quoted "$caption - $2")"
  else
    echo "expect-title $(quoted "$caption")"
    echo "expect-parent-text 1 $(quoted "$2")"
  fi
}
# States of Back, Next and Cancel (the frame's 1007, 1 and 2): on or off.
buttons() { # back next cancel
  local id state i=0
  for id in 1007 1 2; do
    i=$((i + 1))
    state=${!i}
    [ "$state" = on ] && echo "expect-enabled $id" || echo "expect-disabled $id"
  done
}
# Captions of Back, Next and Cancel.
captions() { # back next cancel
  echo "expect-text 1007 $(quoted "$1")"
  echo "expect-text 1 $(quoted "$2")"
  echo "expect-text 2 $(quoted "$3")"
}
# Cancel answered No: the question, and the page is still there (its
# control shows the same text).
cancel_declined() { # question control text
  echo "click 2"
  echo "answer-box no $(quoted "$1") $(quoted "$caption")"
  echo "expect-no-box"
  echo "expect-text $2 $(quoted "$3")"
}
# Cancel answered Yes: the question, the notice, then the closing page.
cancel_confirmed() { # question notice
  echo "click 2"
  echo "answer-box yes $(quoted "$1") $(quoted "$caption")"
  echo "answer-box ok $(quoted "$2") $(quoted "$caption")"
  echo 'expect-text 1005 "Setvik"'
}
# A picture of the screen (full screen) or of the wizard's window.
shot() { # windowed|fullscreen file.bmp
  echo "sleep 300"
  [ "$1" = windowed ] && echo "screenshot $2 window" || echo "screenshot $2"
}

# Turns the BMP screenshots of a folder into small PNGs in another folder.
pngs_of() { # bmp-folder png-folder
  mkdir -p "$2"
  local f
  for f in "$1"/*.bmp; do
    [ -e "$f" ] || continue
    convert "$f" -strip -define png:compression-level=9 "$2/$(basename "${f%.bmp}").png"
  done
}
