#!/usr/bin/env bash
# stamp-stub.sh LINKED OUT [TAG]: writes the program's file length into its
# mark (the u32 right after the 16-byte tag, by default the stub's
# "Setvik StubSize\0"; the uninstaller's is "Setvik UninSize") and copies the
# result to OUT. The tag must occur exactly once.
set -euo pipefail
in=$1 out=$2
tag=${3:-Setvik StubSize}
offsets=$(grep -obUaF "$tag" "$in" | cut -d: -f1)
count=$(printf '%s\n' "$offsets" | grep -c . || true)
if [ "$count" -ne 1 ]; then
  echo "stamp-stub: $in holds the stub mark $count times, expected once" >&2
  exit 1
fi
size=$(stat -c %s "$in")
at=$((offsets + 16))
tmp="$out.tmp.$$"
mkdir -p "$(dirname "$out")"
cp "$in" "$tmp"
printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((size & 255)) $(((size >> 8) & 255)) $(((size >> 16) & 255)) $(((size >> 24) & 255)))" |
  dd of="$tmp" bs=1 seek="$at" conv=notrunc status=none
mv "$tmp" "$out"
echo "$(basename "$out"): $size bytes"
