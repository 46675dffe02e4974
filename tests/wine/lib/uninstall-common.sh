# Sourced by the uninstaller's Wine tests (tests/wine/uninstall-*.sh), on
# top of the installation tests' helpers: snapshots of the prefix's files
# and registry, and a writer of uninstall logs in bash for the logs that no
# setup would write (damaged, hostile, or made without a wizard).
source "$(dirname "${BASH_SOURCE[0]}")/install-common.sh"
export LC_ALL=C

require_uninstaller() {
  require_programs setvik-uninst.exe "$@"
}

# new_work, keeping the work folder when KEEP_WORK is set (for a look at the
# snapshots and driver logs of a failed run).
new_uninstall_work() { # name
  new_work "$1"
  [ -z "${KEEP_WORK:-}" ] || { trap - EXIT; echo "work folder: $work"; }
}

# A registry value as `wine reg query` prints it (its data field), or empty.
reg_value() { # key value
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v v="$2" 'tolower($1) == tolower(v) { print $NF }'
}

# --- Snapshots ------------------------------------------------------------------
# The prefix's files (type, size, path) and registry, after the server has
# written the registry files. Left out: the temporary folders (the
# uninstaller's copy waits there for the restart), the time stamps of keys,
# the pending renames, and what Wine itself changes between sessions.
snapshot() { # out-prefix
  wineserver -w
  (cd "$drive_c" && find . -path './windows/temp' -prune -o -path './users/*/Temp' -prune -o \
    -path './users/*/AppData/Local/Temp' -prune -o -printf '%y %s %p\n' | sort) >"$1.files"
  local reg
  for reg in system user; do
    sed -e 's/^\(\[.*\]\) [0-9]*$/\1/' -e '/^#time=/d' -e '/^"DriverDateData"=/d' "$WINEPREFIX/$reg.reg" |
      awk -v RS= -v ORS='\n\n' '
        # Rewritten by Wine at every start of a session with a display:
        # the display devices and the fonts it finds.
        /^\[System\\\\CurrentControlSet\\\\(Control\\\\Class|Control\\\\Video|Enum|Hardware Profiles)/ { next }
        /^\[Software\\\\Microsoft\\\\Windows( NT)?\\\\CurrentVersion\\\\Fonts\]/ { next }
        /^\[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Perflib/ { next }
        /^\[Software\\\\Wine\\\\(Drives|X11 Driver|Fonts)/ { next }
        /^\[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\]/ {
          gsub(/\n"PendingFileRenameOperations"=[^\n]*(\n  [^\n]*)*/, "") }
        { print }' >"$1.$reg"
  done
}

# True when two snapshots agree; the differences are printed otherwise.
same_snapshot() { # before after
  local kind ok=0
  for kind in files system user; do
    if ! diff -u "$1.$kind" "$2.$kind" >"$2.$kind.diff"; then
      grep '^[-+][^-+]' "$2.$kind.diff" | head -30 | sed 's/^/    /'
      ok=1
    fi
  done
  return $ok
}

temp_folder() { # the temporary folder as Linux sees it
  local t
  t=$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
  winepath -u "$t" 2>/dev/null
}

# Runs a program through the UI driver, which sees the whole exit code (a
# shell sees only its low byte): true when it ends with code, unattended.
ends_with() { # name code program args...
  local name=$1 code=$2 program=$3
  shift 3
  drive "$name" <<SCRIPT
timeout 60
start $(script_text "$program") $*
expect-exit $code
SCRIPT
}

# A text for a driver script: quoted, backslashes and quotes escaped.
script_text() { local t=${1//\\/\\\\}; echo "\"${t//\"/\\\"}\""; }

# The uninstaller as `setvik build` packs it: a setup with an [uninstaller]
# table, and its stored uninstall.exe taken back out.
packed_uninstaller() { # out title
  mkdir -p "$work/packed"
  echo "payload" >"$work/packed/payload.txt"
  cat >"$work/packed/setup.toml" <<TOML
[setup]
title = "$2"
uninstall_name = "$2"
[[file]]
source = "payload.txt"
[uninstaller]
TOML
  "$bin/setvik" build "$work/packed/setup.toml" -o "$work/packed/setup.exe" >/dev/null
  rm -rf "$work/packed/out"
  "$bin/setvik" extract "$work/packed/setup.exe" "$work/packed/out" >/dev/null
  cp "$work/packed/out/install/uninstall.exe" "$1"
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
# OUT = UNINSTALLER with its free header replaced by a log of these entries,
# as a setup appends it.
install_log() {
  local in=$1 out=$2
  shift 2
  local files=$work/log-files shortcuts=$work/log-shortcuts nfiles=0 nshortcuts=0 key=
  : >"$files.body"
  : >"$shortcuts.body"
  while [ $# -gt 0 ]; do
    case $1 in
      file)
        { logstr "$2"; logstr "$3"; printf "\\x$(printf %02x "$4")"; } >>"$files.body"
        nfiles=$((nfiles + 1))
        shift 4 ;;
      shortcut)
        { logstr "$2"; logstr "$3"; } >>"$shortcuts.body"
        nshortcuts=$((nshortcuts + 1))
        shift 3 ;;
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

# A folder of the current user's shell (Programs, Desktop, Fonts, ...) as a
# Windows path.
shell_folder() { # name
  wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' /v "$1" 2>/dev/null |
    tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"
}

# The SharedDLLs key, which a fresh Wine prefix lacks (Windows has it); the
# setup counts only when it is there.
shared_dlls_key='HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs'
ensure_shared_dlls_key() {
  wine reg add "$shared_dlls_key" /f >/dev/null 2>&1
}
