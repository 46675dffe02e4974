# Sourced by the uninstaller's Wine tests (tests/wine/uninstall-*.sh):
# checks, snapshots of the prefix's files and registry, and a writer of
# uninstall logs in bash for logs that no setup would write.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
export LC_ALL=C
bin=${SETVIK_BIN:-$SETVIK_ROOT/build/bin}

failures=0
check() { # description command...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# Runs a UI-driver script (from standard input); true when every step held.
drive() { # name
  local script="$work/$1.txt"
  cat > "$script"
  if wine "$bin/setvik-uidriver.exe" "$script" >"$work/$1.log" 2>&1; then return 0; fi
  sed 's/^/    /' "$work/$1.log"
  return 1
}

# --- Snapshots ------------------------------------------------------------------
# The prefix's files (with sizes) and registry, after the server has written
# the registry files. Left out: the temporary folders (the uninstaller's copy
# waits there for the restart), Wine's own bookkeeping values and the time
# stamps of keys.
snapshot() { # out-prefix
  wineserver -w
  (cd "$WINEPREFIX/drive_c" && find . -path './windows/temp' -prune -o -path './users/*/Temp' -prune -o \
    -path './users/*/AppData/Local/Temp' -prune -o -printf '%y %s %p\n' | sort) >"$1.files"
  local reg
  for reg in system user; do
    sed -e 's/^\(\[.*\]\) [0-9]*$/\1/' -e '/^#time=/d' -e '/^#class=/d' -e '/^;; All keys relative/d' \
      "$WINEPREFIX/$reg.reg" | awk -v RS= -v ORS='\n\n' '
        /^\[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Perflib/ { next }
        /^\[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\]/ {
          gsub(/\n"PendingFileRenameOperations"[^\n]*(\n[^\n"\[][^\n]*)*/, "") }
        /^\[Software\\\\Wine\\\\(Drives|X11 Driver)\]/ { next }
        { print }' >"$1.$reg"
  done
}

# True when two snapshots agree; the differences are printed otherwise.
same_snapshot() { # before after
  local kind ok=0
  for kind in files system user; do
    if ! diff -u "$1.$kind" "$2.$kind" >"$2.$kind.diff"; then
      sed 's/^/    /' "$2.$kind.diff" | head -40
      ok=1
    fi
  done
  return $ok
}

# The pending renames, read from the registry file the stopped server left.
pending() {
  wineserver -w
  grep -i -A3 '^"PendingFileRenameOperations"' "$WINEPREFIX/system.reg" || true
}

temp_folder() { # the temporary folder as Linux sees it
  local t
  t=$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
  winepath -u "$t" 2>/dev/null
}

reg_value() { # key value: the value's data as `wine reg query` prints it, or nothing
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v v="$2" 'tolower($1) == tolower(v) { print $NF }'
}

# --- Uninstall logs in bash -------------------------------------------------------
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
logstr() { le16 ${#1}; printf '%s' "$1"; }
chunk() { # id body-file
  le16 "$1"
  le16 0
  le32 "$(stat -c %s "$2")"
  cat "$2"
}

# install_log UNINSTALLER OUT [file FOLDER NAME FLAGS]... [shortcut FOLDER NAME]... [key NAME]
# OUT = UNINSTALLER with its free header replaced by a log of these entries.
install_log() {
  local in=$1 out=$2
  shift 2
  local files=$work/log-files shortcuts=$work/log-shortcuts nfiles=0 nshortcuts=0 key=
  : >"$files.body"
  : >"$shortcuts.body"
  while [ $# -gt 0 ]; do
    case $1 in
      file) { logstr "$2"; logstr "$3"; printf "\\x$(printf %02x "$4")"; } >>"$files.body"; nfiles=$((nfiles + 1)); shift 4 ;;
      shortcut) { logstr "$2"; logstr "$3"; } >>"$shortcuts.body"; nshortcuts=$((nshortcuts + 1)); shift 3 ;;
      key) key=$2; shift 2 ;;
      *) echo "install_log: unknown entry $1" >&2; return 1 ;;
    esac
  done
  { le32 $nfiles; cat "$files.body"; } >"$files"
  { le32 $nshortcuts; cat "$shortcuts.body"; } >"$shortcuts"
  {
    head -c -8 "$in"
    chunk $((0x1235)) "$files"
    [ $nshortcuts -eq 0 ] || chunk $((0x1236)) "$shortcuts"
    if [ -n "$key" ]; then
      { le32 $((0x80000002)); logstr "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$key"; } >"$work/log-key"
      chunk $((0x1238)) "$work/log-key"
    fi
    le16 $((0x7F7F)); le16 0; le32 0
  } >"$out"
}
