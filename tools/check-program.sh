#!/usr/bin/env bash
# check-program.sh PROGRAM BUDGET DLL...: fails (exit 1, with the figures)
# when the program is larger than BUDGET bytes or imports a DLL that is not
# among the DLLs named (compared without regard to case). Every byte of the
# stub is a byte of every setup, and every import is a DLL that each setup
# loads, so the build checks both after linking.
set -euo pipefail
program=$1 budget=$2
shift 2
size=$(stat -c %s "$program")
name=$(basename "$program")
failed=0
if [ "$size" -gt "$budget" ]; then
  echo "check-program: $name is $size bytes, over its budget of $budget" >&2
  failed=1
fi
allowed=" $(echo "$*" | tr 'A-Z' 'a-z') "
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
while read -r dll; do
  [[ "$allowed" == *" $(tr 'A-Z' 'a-z' <<<"$dll") "* ]] ||
    { echo "check-program: $name imports $dll, which is not on its list: $*" >&2; failed=1; }
done < <("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ "$failed" -eq 0 ] || exit 1
echo "$name: $size of $budget bytes"
