# Sourced by the end-to-end tests (tests/wine/*.sh), the demo and the
# installation benchmark: setups made by `setvik build`, run under Wine and
# driven by the UI driver the way a person clicks, then the prefix checked.
#
# A setup made with setup_project has short texts of its own, so that the
# driver can tell the pages apart: WELCOME (control 1000), INFORMATION,
# DIRECTORY, CONFIRM and INSTALLED; the messages as short.
source "$(dirname "${BASH_SOURCE[0]}")/../wine-env.sh"
bin=${SETVIK_BIN:-$SETVIK_ROOT/build/bin}
helpers=$bin/wintest
drive_c=$WINEPREFIX/drive_c
failures=0

require_programs() {
  local f
  for f in setvik setvik-stub.exe setvik-uidriver.exe wintest/setvik-holdfile.exe wintest/setvik-linkreader.exe "$@"; do
    [ -e "$bin/$f" ] || { echo "missing $bin/$f: run make first"; exit 1; }
  done
}

# A work folder under build/, removed at the end with C:\e2e (kept for a
# look when a check failed or KEEP_WORK is set) after the files held are
# let go; at_exit adds a command.
cleanups=()
at_exit() { cleanups+=("$1"); }
new_work() { # name
  work=$(mktemp -d "$SETVIK_ROOT/build/wine-$1.XXXXXX")
  trap end_work EXIT
}
end_work() {
  local c
  for c in "${!holders[@]}"; do release_file "$c"; done
  for c in "${cleanups[@]}"; do eval "$c" || true; done
  if [ -n "${KEEP_WORK:-}" ]; then echo "work folder: $work"; else rm -rf "$work"; fi
  [ "$failures" -ne 0 ] || rm -rf "$drive_c/e2e"
}

# check DESCRIPTION COMMAND...: "ok:" or "FAILED:", counted in failures;
# check_show also shows a text (what was read back) when the check fails.
check() { check_show "$1" "" "${@:2}"; }
check_show() { # description text command...
  if "${@:3}"; then echo "ok: $1"; return; fi
  echo "FAILED: $1"
  failures=$((failures + 1))
  [ -z "$2" ] || sed 's/^/    /' <<<"$2"
}

# Paths: a Unix path below the prefix for C:\..., and Z:\... for a Unix path.
unix_of() { local p=${1#[Cc]:\\}; echo "$drive_c/${p//\\//}"; }
winpath_of() { local p=$1; echo "Z:${p//\//\\}"; }
# A text for a driver script: quoted, backslashes and quotes escaped.
quoted() { local t=${1//\\/\\\\}; echo "\"${t//\"/\\\"}\""; }

# A registry value's whole data as `wine reg query` prints it, or nothing.
reg_value() { # key value
  { wine reg query "$1" /v "$2" 2>/dev/null || true; } | tr -d '\r' |
    awk -v v="$2" '{ l = $0; sub(/^[ \t]+/, "", l); r = substr(l, length(v) + 1) }
      tolower(substr(l, 1, length(v))) == tolower(v) && sub(/^[ \t]+REG_[A-Z_]+[ \t]*/, "", r) { print r }'
}
# A folder of the user's shell (Desktop, Programs, Fonts, ...), as a Windows path.
shell_folder() { reg_value 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' "$1"; }
shared_dlls_key='HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs'

# --- The UI driver ------------------------------------------------------------
# drive NAME < script: runs it in $work; true when every step passed (the
# log, $work/NAME.log, is shown otherwise). drive_background starts it,
# wait_for_step waits for the step that holds a text, driven for the end.
drive() { local driver_pid; drive_background "$1"; driven "$1"; }
drive_background() { # name
  cat > "$work/$1.txt"
  (cd "$work" && exec wine "$bin/setvik-uidriver.exe" "$work/$1.txt") > "$work/$1.log" 2>&1 &
  driver_pid=$!
}
wait_for_step() { # name text
  local i
  for i in $(seq 600); do grep -qF -- "$2" "$work/$1.log" 2>/dev/null && return 0; sleep 0.2; done
  return 1
}
driven() { # name
  local code=0
  wait "$driver_pid" || code=$?
  [ "$code" -eq 0 ] || { echo "  driver script $1 failed (exit $code):"; sed 's/^/    /' "$work/$1.log"; }
  return "$code"
}
# Runs a program through the driver, which sees the whole exit code (a
# shell sees only its low byte): true when it ends with code, unattended;
# with unseen, no window of it may show meanwhile.
ends_with() { # name code [unseen] program args...
  local name=$1 code=$2 expect=expect-exit
  shift 2
  [ "$1" != unseen ] || { expect=expect-exit-unseen; shift; }
  printf 'timeout 90\nstart %s %s\n%s %s\n' "$(quoted "$1")" "${*:2}" "$expect" "$code" | drive "$name"
}

# --- Test setups ----------------------------------------------------------------
# The [setup] and [texts] tables of a test project, on stdout; further
# [setup] keys may follow as arguments (key = value lines).
setup_project() { # title default-folder [setup lines...]
  printf '[setup]\ntitle = "%s"\ndefault_folder = "%s"\n' "$1" "${2//\\/\\\\}"
  shift 2
  printf '%s\n' "$@"
  cat <<'TOML'
[texts.welcome]
paragraph1 = "WELCOME"
[texts.information]
text = "INFORMATION"
[texts.directory]
paragraph1 = "DIRECTORY"
[texts.confirmation]
paragraph1 = "CONFIRM"
[texts.finish]
success = "INSTALLED"
[texts.messages]
title = "E2E"
create_folder = "CREATE FOLDER?"
overwrite_read_only = "OVERWRITE READ-ONLY?"
really_stop = "REALLY STOP?"
not_completed = "NOT COMPLETED"
insert_disk = "INSERT DISK %d"
TOML
}
build_setup() { # project output
  "$bin/setvik" build "$1" -o "$2" --stub "$bin/setvik-stub.exe" >/dev/null
}

# Driver lines from the start to the directory page: welcome, information,
# directory (the folder typed in, or proposed: expected); to_confirmation
# goes on with Next.
to_directory() { # setup.exe folder [proposed]
  printf 'timeout 60\nstart %s\nwait-window SetvikClass\nexpect-text 1000 "WELCOME"\nclick 1\n' "$1"
  printf 'expect-text 1000 "INFORMATION"\nclick 1\nexpect-text 1000 "DIRECTORY"\n'
  [ "${3:-}" = proposed ] && echo "expect-text 1004 $(quoted "$2")" || echo "set-text 1004 $(quoted "$2")"
}
to_confirmation() { to_directory "$@"; echo 'click 1'; }
confirm() { printf 'expect-text 1000 "CONFIRM"\nclick 1\n'; }
# From the finish page, success, through the closing page to the end.
finish() { printf 'expect-text 1000 "INSTALLED"\nclick 1\nexpect-text 1005 "Setvik"\nclick 2\nexpect-exit 0\n'; }

# --- The prefix -----------------------------------------------------------------
# Holds a file open from another process, without sharing, until
# release_file NAME.
declare -A holders
hold_file() { # name windows-path
  rm -f "$work/$1.flag"
  wine "$helpers/setvik-holdfile.exe" "$2" "$(winpath_of "$work/$1.flag")" >/dev/null 2>&1 &
  holders[$1]=$!
  local i
  for i in $(seq 150); do [ -e "$work/$1.flag" ] && return 0; sleep 0.2; done
  echo "  the helper could not hold $2"
  return 1
}
release_file() { rm -f "$work/$1.flag"; wait "${holders[$1]}" 2>/dev/null || true; }

# The pending renames, from the registry file the stopped server left.
pending_renames() {
  wineserver -w
  grep -i -A6 '^"PendingFileRenameOperations"' "$WINEPREFIX/system.reg" || true
}
restart() { wineboot -r >/dev/null 2>&1 || true; wineserver -w; }
no_temporary_files() { [ -z "$(find "$1" -name '*.$$?' 2>/dev/null)" ]; }
# Read-only as Wine sees it: no write bit at all (root passes `test -w`).
read_only() { [ -z "$(find "$1" -maxdepth 0 -perm /222)" ]; }
temp_folder() { winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')" 2>/dev/null; }

# --- Pictures -------------------------------------------------------------------
# The BMP screenshots of a folder as small PNGs in another.
pngs_of() { # bmp-folder png-folder
  mkdir -p "$2"
  local f
  for f in "$1"/*.bmp; do
    [ -e "$f" ] || continue
    convert "$f" -strip -define png:compression-level=9 "$2/$(basename "${f%.bmp}").png"
  done
}
