#!/usr/bin/env bash
# The installation under Wine, measured (figures are printed, nothing is
# asserted): a setup of the benchmark corpus is built, installed through the
# wizard by the UI driver, and timed from the installed files themselves:
# each file's temporary copy is created when its step starts writing (the
# birth time, which the rename keeps) and renamed into place when the step
# ends (the change time), so the time in the steps is the sum of those
# spans, and the rest of the installation's time is the timer's pauses (100
# ms before the first step, 50 ms after each). Compared with a plain copy of
# the same files into the prefix by a small Win32 program.
#   bench/install-bench.sh [CORPUS-FOLDER]   (default build/corpus)
set -euo pipefail
source "$(dirname "$0")/../tests/wine/lib/install-common.sh"
corpus=${INSTALL_BENCH_CORPUS:-$(cd "${1:-$SETVIK_ROOT/build/corpus}" && pwd)}
require_programs
export INSTALL_BENCH_CORPUS=$corpus
on_virtual_display INSTALL_BENCH_ON_DISPLAY "$0"
new_work install-bench

folder='C:\bench\install'
dest=$(unix_of "$folder")
copy='C:\bench\copy'
rm -rf "$dest" "$(unix_of "$copy")"
mkdir -p "$dest"
{
  setup_project "Bench" "$folder"
  printf '[[file]]\nsource = "%s"\ntarget = "corpus"\n' "$INSTALL_BENCH_CORPUS"
} > "$work/bench.toml"
build_setup "$work/bench.toml" "$work/bench.exe"

started=$(date +%s.%N)
{
  to_confirmation "$work/bench.exe" "$folder" | sed 's/^timeout 60$/timeout 900/'
  confirm
  finish
} | drive install || { echo "the installation did not finish"; exit 1; }
ended=$(date +%s.%N)
if ! diff -r -q "$INSTALL_BENCH_CORPUS" "$dest/corpus" >/dev/null; then
  echo "the installed files differ from the corpus"
  exit 1
fi

# birth, change, size of every installed file.
find "$dest/corpus" -type f -exec stat -c '%.9W %.9Z %s' {} + > "$work/times"
if awk '$1 == 0 { bad = 1 } END { exit !bad }' "$work/times"; then
  echo "this file system keeps no birth times: only the totals can be shown"
fi

# The plain copy, three times into fresh folders; the best run counts.
copy_ms=
for run in 1 2 3; do
  line=$(wine "$helpers/setvik-copytree.exe" "$(winpath_of "$INSTALL_BENCH_CORPUS")" "$copy$run" 2>/dev/null | tr -d '\r')
  ms=$(sed -n 's/.*ms=\([0-9.]*\).*/\1/p' <<<"$line")
  if [ -n "$ms" ] && { [ -z "$copy_ms" ] || awk -v a="$ms" -v b="$copy_ms" 'BEGIN { exit !(a < b) }'; }; then copy_ms=$ms; fi
done
rm -rf "$drive_c/bench"

awk -v setup="$(stat -c %s "$work/bench.exe")" -v wall="$(awk -v a="$started" -v b="$ended" 'BEGIN { print b - a }')" -v copy_ms="$copy_ms" '
  {
    n++; bytes += $3; span = $2 - $1; steps += span
    if (n == 1 || $1 < first) first = $1
    if (n == 1 || $2 > last) last = $2
    if ($3 >= 262144) { large_bytes += $3; large_time += span; large_n++ }
  }
  END {
    mb = 1048576
    total = last - first + 0.1
    pauses = total - steps
    printf "corpus: %d files, %.1f MB; setup %.1f MB\n", n, bytes / mb, setup / mb
    printf "wizard run (driver, Wine start to exit): %.1f s\n", wall
    printf "installation (first step to last file in place, +100 ms): %.2f s\n", total
    printf "  in the steps: %.2f s (%.1f MB/s over all files, %.2f ms per file)\n", steps, bytes / mb / steps, 1000 * steps / n
    printf "  in the pauses: %.2f s (nominal 0.1 + %d x 0.05 = %.2f s)\n", pauses, n - 1, 0.1 + 0.05 * (n - 1)
    if (large_n) printf "  large files (>= 256 KiB): %d files, %.1f MB in %.2f s: %.1f MB/s\n", large_n, large_bytes / mb, large_time, large_bytes / mb / large_time
    if (copy_ms != "") printf "plain copy (CopyFileA, same files into the prefix, best of 3): %.2f s, %.1f MB/s\n", copy_ms / 1000, bytes / mb / (copy_ms / 1000)
  }' "$work/times"
