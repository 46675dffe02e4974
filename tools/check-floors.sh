#!/usr/bin/env bash
# The folders stand in floors, and this proves it (make test runs it):
# - a folder includes headers only of its own and of the folders below it;
# - a variable is declared (extern) only in a header of the folder that
#   defines it;
# - no test compiles a production source by including a .cpp file.
# Prints each breach with its file and line; exit code 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# What each folder may include besides itself, the floors below it. The
# stub stands startup > wizard > install > uninstlog > setupdata > inflate >
# base; the uninstaller and the authoring tool stand beside it on the same
# ground.
declare -A below=(
  [startup]="wizard install uninstlog setupdata inflate base"
  [wizard]="install uninstlog setupdata inflate base"
  [install]="uninstlog setupdata inflate base"
  [uninstaller]="uninstlog setupdata inflate base"
  [authoring/cli]="authoring uninstlog setupdata inflate base"
  [authoring]="uninstlog setupdata inflate base"
  [uninstlog]="setupdata inflate base"
  [setupdata]="inflate base"
  [inflate]="base"
  [base]=""
)

breaches=0
breach() { echo "check-floors: $*"; breaches=$((breaches + 1)); }

for folder in "${!below[@]}"; do
  [ -d "$folder" ] || continue
  allowed=" $folder ${below[$folder]} "
  while IFS=: read -r file line text; do
    included=$(sed -n 's/^#include "\(.*\)\/[^/]*"$/\1/p' <<<"$text")
    [ -n "$included" ] || continue
    [[ "$allowed" == *" $included "* ]] || breach "$file:$line: $folder includes $included, which does not stand below it"
  done < <(grep -Hn '^#include "' "$folder"/*.cpp "$folder"/*.h 2>/dev/null || true)
done

# Each extern variable of a folder's headers is defined in that folder.
for folder in "${!below[@]}"; do
  [ -d "$folder" ] || continue
  while IFS=: read -r file line text; do
    text=${text%%//*}
    name=$(sed -E 's/.*[^A-Za-z0-9_]([A-Za-z_][A-Za-z0-9_]*)(\[[^]]*\])? *; *$/\1/' <<<"$text")
    grep -Eq "^[A-Za-z_].*[^A-Za-z0-9_]$name(\[[^]]*\])? *(=|;|\{)" "$folder"/*.cpp 2>/dev/null ||
      breach "$file:$line: $name is declared here but not defined in $folder/"
  done < <(grep -Hn '^extern [^"(]*;' "$folder"/*.h 2>/dev/null || true)
done

# Tests reach production code through libraries and interfaces only.
while IFS=: read -r file line text; do
  breach "$file:$line: a test includes production source (${text#\#include })"
done < <(grep -rHn '^#include ".*\.cpp"' tests bench 2>/dev/null || true)

[ "$breaches" -eq 0 ] || { echo "check-floors: $breaches breaches"; exit 1; }
echo "check-floors: every folder includes only its own floor and those below"
