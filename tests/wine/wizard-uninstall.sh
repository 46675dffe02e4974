#!/usr/bin/env bash
# What the end of the installation leaves for a later removal, end to end
# under Wine: a setup with an uninstaller, files in the installation folder,
# in a sub-folder, in the Windows and system folders and among the fonts,
# shared, registered and kept files, desktop and start-menu shortcuts, an
# uninstall name and a remembered folder, clicked through by the UI driver.
# - the uninstaller file compared byte for byte with its source followed by
#   the log that the file table implies, computed here on its own (python3):
#   folders ".", ".\sub" and absolute, flags 0x01, 0x02, 0x03 and 0x04, the
#   kept file and the uninstaller itself left out, desktop shortcut entries,
#   the start-menu shortcuts (a group, the Programs folder, the Startup
#   folder), the registry key and the end chunk;
# - the Uninstall key's DisplayName and UninstallString;
# - the folder saved to the registry and to an INI file, and proposed again
#   on the directory page by a second run of the setup (read from the
#   registry) and by a setup that knows only the INI place.
set -euo pipefail
source "$(dirname "$0")/lib/wizard-common.sh"
require_programs wintest/SelfRegister.dll
on_virtual_display WIZARD_UNINSTALL_ON_DISPLAY "$0"
new_work wizard-uninstall

folder='C:\e2e-wizard\uninstall'
dest=$(unix_of "$folder")
name="Wizard Log Test 1.0"
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name"
memory_key='HKCU\Software\Setvik Wizard Test'
windir=$(wine cmd /c echo %windir% 2>/dev/null | tr -d '\r')
system="$windir\\system32"
fonts=$(shell_folder Fonts)
desktop=$(shell_folder Desktop)
programs=$(shell_folder Programs)
startup=$(shell_folder Startup)
check "the prefix names its folders ($windir, $fonts, $desktop, $programs, $startup)" \
  [ -n "$windir" -a -n "$fonts" -a -n "$desktop" -a -n "$programs" -a -n "$startup" ]

clean() {
  rm -rf "$dest"
  rm -f "$(unix_of "$system")/SvkWizLog.dll" "$(unix_of "$windir")/SvkWizLog.ini" \
        "$(unix_of "$windir")/svkwizard.ini" "$(unix_of "$fonts")"/SvkWizLog*.ttf \
        "$(unix_of "$desktop")"/"Wizard Log"*.lnk "$(unix_of "$startup")/Wizard Log Notes.lnk" \
        "$(unix_of "$programs")/Wizard Log Direct.lnk"
  rm -rf "$(unix_of "$programs")/Wizard Log"
  local key
  for key in "$uninstall_key" "$memory_key" 'HKCU\Software\Setvik Test\SelfRegister'; do
    wine reg delete "$key" /f >/dev/null 2>&1 || true
  done
  wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs' /v "$system\\SvkWizLog.dll" /f \
    >/dev/null 2>&1 || true
}
clean
at_exit clean

# --- The setup.
mkdir -p "$work/src"
head -c 3000 /dev/urandom > "$work/src/uninst.exe"
head -c 5000 /dev/urandom > "$work/src/app.exe"
head -c 700 /dev/urandom > "$work/src/ding.wav"
printf 'notes\r\n' > "$work/src/notes.txt"
head -c 900 /dev/urandom > "$work/src/SvkWizLog.dll"
printf '[x]\r\n' > "$work/src/SvkWizLog.ini"
cp /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$work/src/SvkWizLogA.ttf"
cp /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$work/src/SvkWizLogB.ttf"
cp "$bin/wintest/SelfRegister.dll" "$work/src/SvkSelfReg.dll"

cat > "$work/setup.toml" <<TOML
[setup]
title = "Wizard Log Test"
default_folder = "#Program Files#\\\\Wizard Log Test"
uninstall_name = "$name"
compression = 6
[folder_memory]
registry_root = "HKCU"
registry_key = "Software\\\\Setvik Wizard Test"
registry_value = "Folder"
ini_file = "svkwizard.ini"
ini_section = "Setup"
ini_key = "Folder"
save_to_registry = true
save_to_ini = true
[texts.welcome]
paragraph1 = "WELCOME"
[texts.messages]
title = "Log Test"

[[file]]
source = "src/uninst.exe"
uninstaller = true
start_menu = { group = "Wizard Log", name = "Uninstall" }
[[file]]
source = "src/app.exe"
start_menu = { group = "Wizard Log", name = "Wizard Log App" }
desktop = { name = "Wizard Log App" }
[[file]]
source = "src/ding.wav"
target = 'Data\\Sounds\\ding.wav'
start_menu = { group = "", name = "Wizard Log Direct" }
[[file]]
source = "src/notes.txt"
uninstall = "keep"
start_menu = { group = "#Startup#", name = "Wizard Log Notes" }
desktop = { name = "Wizard Log Notes" }
[[file]]
source = "src/SvkWizLog.dll"
destination = "system"
shared = true
[[file]]
source = "src/SvkWizLog.ini"
destination = "windows"
[[file]]
source = "src/SvkWizLogA.ttf"
destination = "fonts"
[[file]]
source = "src/SvkWizLogB.ttf"
destination = "fonts"
shared = true
[[file]]
source = "src/SvkSelfReg.dll"
register = "self"
TOML
build_setup "$work/setup.toml" "$work/setup.exe"

# The route: the folder typed in and created, then on to the end.
{
  echo "timeout 30"
  echo "start $work/setup.exe"
  echo "wait-window SetvikClass"
  echo 'expect-text 1000 "WELCOME"'
  echo "click 1"
  echo "set-text 1004 $(quoted "$folder")"
  echo "click 1"
  echo "answer-box yes"   # create the folder
  echo "click 1"          # Install
  echo "expect-hidden 1014"
  echo "expect-enabled 1"
  echo "click 1"
  echo 'expect-text 1005 "Setvik"'
  echo "click 2"
  echo "expect-exit 0"
} | drive install && ran=1 || ran=0
check "the setup runs through all pages to the end" [ "$ran" = 1 ]

# --- The log the file table implies, computed from the project above.
python3 - "$work/src/uninst.exe" "$dest/uninst.exe" "$name" <<PY && same=1 || same=0
import struct, sys
source, installed, name = sys.argv[1:4]
def log_string(text):
    data = text.encode("cp1252")
    return struct.pack("<H", len(data)) + data
def chunk(kind, body):
    return struct.pack("<HHI", kind, 0, len(body)) + body
r = lambda p: p  # paths as Windows shows them
files = [  # (folder, name, flags) in table order; desktop entries after their record
    (".", "app.exe", 0),
    (r(r"""$desktop"""), "Wizard Log App.lnk", 0),
    (r".\Data\Sounds", "ding.wav", 0),
    # notes.txt is kept: only its desktop shortcut is listed
    (r(r"""$desktop"""), "Wizard Log Notes.lnk", 0),
    (r(r"""$system"""), "SvkWizLog.dll", 0x01),
    (r(r"""$windir"""), "SvkWizLog.ini", 0),
    (r(r"""$fonts"""), "SvkWizLogA.ttf", 0x02),
    (r(r"""$fonts"""), "SvkWizLogB.ttf", 0x03),
    (".", "SvkSelfReg.dll", 0x04),
]
shortcuts = [
    (r(r"""$programs""") + r"\Wizard Log", "Uninstall.lnk"),
    (r(r"""$programs""") + r"\Wizard Log", "Wizard Log App.lnk"),
    (r(r"""$programs"""), "Wizard Log Direct.lnk"),
    (r(r"""$startup"""), "Wizard Log Notes.lnk"),
]
body = struct.pack("<I", len(files))
for folder, file, flags in files:
    body += log_string(folder) + log_string(file) + bytes([flags])
log = chunk(0x1235, body)
body = struct.pack("<I", len(shortcuts))
for folder, file in shortcuts:
    body += log_string(folder) + log_string(file)
log += chunk(0x1236, body)
key = "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\" + name
log += chunk(0x1238, struct.pack("<I", 0x80000002) + log_string(key))
log += chunk(0x7F7F, b"")
free = bytes([0x7F, 0x7F, 0, 0, 0, 0, 0, 0])
original = open(source, "rb").read()
if not original.endswith(free):
    original += free  # the authoring tool adds the free header
expected = original[:-8] + log
got = open(installed, "rb").read()
if got != expected:
    at = next((i for i in range(min(len(got), len(expected))) if got[i] != expected[i]), min(len(got), len(expected)))
    print(f"  the uninstaller has {len(got)} bytes, expected {len(expected)}; first difference at {at}"
          f" (log starts at {len(original) - 8})")
    print("  expected:", expected[len(original) - 8:].hex(" "))
    print("  got:     ", got[len(original) - 8:].hex(" "))
    sys.exit(1)
PY
check "the uninstaller is its source followed by the log that the file table implies" [ "$same" = 1 ]
[ "$same" = 1 ] || "$bin/setvik" log "$dest/uninst.exe" 2>&1 | sed 's/^/    /' || true

check "the desktop shortcuts are there" [ -e "$(unix_of "$desktop")/Wizard Log App.lnk" -a \
  -e "$(unix_of "$desktop")/Wizard Log Notes.lnk" ]
check "the start-menu shortcuts are there" [ -e "$(unix_of "$programs")/Wizard Log/Uninstall.lnk" -a \
  -e "$(unix_of "$startup")/Wizard Log Notes.lnk" ]

# --- The Uninstall key and the remembered folder.
check "Uninstall key: DisplayName is the uninstall name" [ "$(reg_value "$uninstall_key" DisplayName)" = "$name" ]
got=$(reg_value "$uninstall_key" UninstallString)
# Quoted, so that a folder with a space cannot start another program.
check "Uninstall key: UninstallString names the uninstaller, quoted (got: $got)" [ "$got" = "\"$folder\\uninst.exe\"" ]
got=$(reg_value "$memory_key" Folder)
check "the folder saved to the registry (got: $got)" [ "$got" = "$folder" ]
ini=$(unix_of "$windir")/svkwizard.ini
check "the folder saved to the INI file" grep -qxF "Folder=$folder" <(tr -d '\r' < "$ini" 2>/dev/null)

# A second run proposes the remembered folder; so does a setup that knows
# only the INI place.
proposes() { # setup.exe
  cat <<SCRIPT
timeout 30
start $1
wait-window SetvikClass
expect-text 1000 "WELCOME"
click 1
expect-text 1004 $(quoted "$folder")
click 2
answer-box yes
answer-box ok
expect-text 1005 "Setvik"
click 2
expect-exit 0
SCRIPT
}
proposes "$work/setup.exe" | drive again && ran=1 || ran=0
check "a second run proposes the folder from the registry" [ "$ran" = 1 ]
sed -e '/^registry_/d' -e '/^save_to_registry/d' "$work/setup.toml" > "$work/ini-only.toml"
build_setup "$work/ini-only.toml" "$work/ini-only.exe"
proposes "$work/ini-only.exe" | drive ini-only && ran=1 || ran=0
check "a setup that knows only the INI place proposes the folder from it" [ "$ran" = 1 ]

[ "$failures" -eq 0 ] && echo "all uninstall information checks passed"
[ "$failures" -eq 0 ]
