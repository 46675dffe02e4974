#!/usr/bin/env bash
# stamp-stub.sh LINKED OUT: writes the program's file length into its stub
# mark (the u32 right after the 16-byte tag "Setvik StubSize\0") and copies
# the result to OUT. The tag must occur exactly once.
set -euo pipefail
in=$1 out=$2
tag='Setvik StubSize'
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
echo "setvik-stub.exe: $size bytes"
