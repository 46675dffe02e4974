# Sourced by the installation tests (tests/wine/install-*.sh) and the
# installation benchmark: real setups made by `setvik build`, run under Wine
# and clicked through by the UI driver, then the prefix checked.
#
# Every setup made with setup_project has short texts of its own, so that
# the driver can tell the pages apart: WELCOME (page 0, control 1000),
# INFORMATION (page 1, shown since its text is not empty), DIRECTORY
# (page 2), CONFIRM (page 3), INSTALLED (page 5, success) and
# "FAILED: <reason>" (page 5, error view); the messages are as short.
source "$(dirname "${BASH_SOURCE[0]}")/../wine-env.sh"
bin=${SETVIK_BIN:-$SETVIK_ROOT/build/bin}
helpers=$bin/wintest
drive_c=$WINEPREFIX/drive_c
failures=0

require_programs() {
  local f
  for f in setvik setvik-stub.exe setvik-uidriver.exe wintest/setvik-holdfile.exe wintest/setvik-linkreader.exe \
           wintest/setvik-copytree.exe "$@"; do
    [ -e "$bin/$f" ] || { echo "missing $bin/$f: run make win32 first"; exit 1; }
  done
}

# A work folder under build/, removed at the end; the installation folders
# live in the prefix below C:\e2e\<name>, removed at the end when every
# check passed (left for a look otherwise).
new_work() { # name
  work=$(mktemp -d "$SETVIK_ROOT/build/wine-$1.XXXXXX")
  trap end_work EXIT
}
end_work() {
  rm -rf "$work"
  [ "$failures" -ne 0 ] || rm -rf "$drive_c/e2e"
}

# The same, showing a text (what was read back) when the check fails.
check_show() { # description text command...
  local what=$1 shown=$2
  shift 2
  check "$what" "$@" || true
  if ! "$@" 2>/dev/null; then sed 's/^/    /' <<<"$shown"; fi
}

# A Unix path below the prefix's drive C for a Windows path C:\...
unix_of() { local p=${1#[Cc]:\\}; echo "$drive_c/${p//\\//}"; }

# The [setup] and [texts] tables of a test project, on stdout; further
# [setup] keys may follow as arguments (key = value lines).
setup_project() { # title default-folder [setup lines...]
  local title=$1 folder=$2
  shift 2
  printf '[setup]\ntitle = "%s"\ndefault_folder = "%s"\n' "$title" "${folder//\\/\\\\}"
  local line
  for line in "$@"; do echo "$line"; done
  cat <<'TOML'
[texts.welcome]
paragraph1 = "WELCOME"
[texts.information]
text = "INFORMATION"
[texts.directory]
paragraph1 = "DIRECTORY"
[texts.confirmation]
paragraph1 = "CONFIRM"
[texts.progress]
paragraph2 = "INSTALLING"
[texts.finish]
success = "INSTALLED"
failure = "FAILED: %s"
[texts.messages]
title = "E2E"
create_folder = "CREATE FOLDER?"
overwrite_read_only = "OVERWRITE READ-ONLY?"
disk_space_low = "SPACE LOW?"
really_stop = "REALLY STOP?"
not_completed = "NOT COMPLETED"
cannot_open = "CANNOT OPEN %s"
cannot_create = "CANNOT CREATE %s"
checksum_error = "CHECKSUM %s"
access_denied = "DENIED %s"
insert_disk = "INSERT DISK %d"
newer_file = "NEWER %s"
other_language = "LANGUAGE %s"
TOML
}

build_setup() { # project output
  "$bin/setvik" build "$1" -o "$2" --stub "$bin/setvik-stub.exe" >/dev/null
}

# The driver's script lines for the road from the start to the
# confirmation page: welcome, information, directory (the folder typed in;
# the folder must exist unless the caller answers the creation question).
to_confirmation() { # setup.exe folder
  cat <<SCRIPT
timeout 60
start $1
wait-window SetvikClass
expect-text 1000 "WELCOME"
click 1
expect-text 1000 "INFORMATION"
click 1
expect-text 1000 "DIRECTORY"
set-text 1004 "${2//\\/\\\\}"
click 1
SCRIPT
}
confirm() { printf 'expect-text 1000 "CONFIRM"\nclick 1\n'; }
# From the finish page (success, or the error view with this reason) on
# through the closing page to the end.
finish() { # [failure-reason-pattern]
  if [ -n "${1:-}" ]; then
    printf 'expect-text 1000 "FAILED: %s"\n' "$1"
  else
    printf 'expect-text 1000 "INSTALLED"\n'
  fi
  printf 'click 1\nexpect-text 1005 "Setvik"\nclick 2\nexpect-exit 0\n'
}

# Holds a file open from another process until release_file NAME; "read"
# lets others read it (but neither delete nor rename it), "load" loads it as
# a library. The helper signals with the flag file $work/NAME.flag once the
# file is held; a copy of it elsewhere (program) is a running program there.
declare -A holders
hold_file() { # name windows-path [read|delete|load] [program]
  rm -f "$work/$1.flag"
  wine "${4:-$helpers/setvik-holdfile.exe}" "$2" "$(winpath_of "$work/$1.flag")" ${3:-} >/dev/null 2>&1 &
  holders[$1]=$!
  local i
  for i in $(seq 150); do [ -e "$work/$1.flag" ] && return 0; sleep 0.2; done
  echo "  the helper could not hold $2"
  return 1
}
release_file() { # name
  rm -f "$work/$1.flag"
  wait "${holders[$1]}" 2>/dev/null || true
}

# Runs a driver script (stdin) as NAME in the background; wait_for_step
# waits until the driver has begun the step that holds a text, and
# driven NAME waits for the driver's end (true when it passed).
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
  if [ "$code" -ne 0 ]; then
    echo "  driver script $1 failed (exit $code):"
    sed 's/^/    /' "$work/$1.log"
    return 1
  fi
}

winpath_of() { # unix path -> Z:\...
  local p=$1
  echo "Z:${p//\//\\}"
}

# The pending renames, from the registry file the stopped server left.
pending_renames() {
  wineserver -w
  grep -i -A6 '^"PendingFileRenameOperations"' "$WINEPREFIX/system.reg" || true
}

# The files of a folder with their sizes and contents as one listing, for
# comparing a whole tree at once.
same_tree() { # expected-folder installed-folder
  diff -r "$1" "$2" >/dev/null
}

# No temporary file of the installation (*.$$?) below a folder.
no_temporary_files() { # folder
  [ -z "$(find "$1" -name '*.$$?' 2>/dev/null)" ]
}

# Read-only as Wine sees it: no write permission bit at all (the tests run
# as root, for whom `test -w` is always true).
read_only() { [ -z "$(find "$1" -maxdepth 0 -perm /222)" ]; }

# An uninstaller for a test setup: any program that ends with the free
# header (7F 7F and six zero bytes) over which the setup writes its log.
make_uninstaller() { # output
  cp "$helpers/setvik-marker.exe" "$1"
  printf '\x7f\x7f\0\0\0\0\0\0' >> "$1"
}

# The uninstall log of an installed uninstaller in readable form.
uninstall_log() { # uninstaller
  "$bin/setvik" log "$1"
}
