#!/usr/bin/env bash
# The installation of the benchmark corpus under Wine, measured (figures are
# printed, nothing is asserted), in one run:
# - the batched setup (setvik build's default) through its wizard: from the
#   confirmation page's Next to the finish page, as the UI driver sees it
#   (its polls are 50 ms apart);
# - the same setup built with pace = "per-file", the specified one file per
#   tick of the progress page's timer;
# - the batched setup with /QUIET, and a peer installer from Debian (nsis,
#   SetCompressor zlib, bench/nsis-corpus.nsi) with /S: each the wall time
#   of its process, Wine's start included;
# - a plain copy of the same files into the prefix by a small Win32 program.
# Ratios are to the plain copy. The time in the batched run's steps comes
# from the installed files themselves: each new file is created under its
# own name when its step starts writing (the birth time) and last changed
# when the step sets its times at the end of the write (the change time).
#   bench/install-bench.sh [CORPUS-FOLDER]   (default build/corpus)
set -euo pipefail
source "$(dirname "$0")/../tests/wine/lib/common.sh"
corpus=${INSTALL_BENCH_CORPUS:-$(cd "${1:-$SETVIK_ROOT/build/corpus}" && pwd)}
require_programs wintest/setvik-copytree.exe
export INSTALL_BENCH_CORPUS=$corpus
on_virtual_display INSTALL_BENCH_ON_DISPLAY "$0"
new_work install-bench
bench=$drive_c/bench
rm -rf "$bench"

# A setup of the corpus, paced as asked.
corpus_setup() { # name pace
  {
    setup_project "Bench" 'C:\bench\wizard' "pace = \"$2\""
    printf '[[file]]\nsource = "%s"\ntarget = "corpus"\n' "$INSTALL_BENCH_CORPUS"
  } > "$work/$1.toml"
  build_setup "$work/$1.toml" "$work/$1.exe"
}
# Seconds between two of the driver's time marks in its log.
marked() { # log
  awk '/^time-mark start:/ { s = $3 } /^time-mark end:/ { e = $3 } END { printf "%.2f", (e - s) / 1000 }' "$1"
}
# The wizard run of a setup into folder; its seconds from Next on the
# confirmation page to the finish page.
through_wizard() { # name folder
  rm -rf "$(unix_of "$2")"
  mkdir -p "$(unix_of "$2")"
  {
    to_confirmation "$work/$1.exe" "$2" | sed 's/^timeout 60$/timeout 900/'
    echo 'expect-text 1000 "CONFIRM"'
    echo 'time-mark start'
    echo 'click 1'
    echo 'expect-text 1000 "INSTALLED"'
    echo 'time-mark end'
    printf 'click 1\nexpect-text 1005 "Setvik"\nclick 2\nexpect-exit 0\n'
  } | drive "$1" || { echo "the $1 installation did not finish"; exit 1; }
  diff -r -q "$INSTALL_BENCH_CORPUS" "$(unix_of "$2")/corpus" >/dev/null ||
    { echo "the $1 installation differs from the corpus"; exit 1; }
  marked "$work/$1.log"
}
# Wall seconds of a command.
timed() {
  local started ended
  started=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  ended=$(date +%s.%N)
  awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.2f", b - a }'
}

corpus_setup batched batched
corpus_setup paced per-file
batched=$(through_wizard batched 'C:\bench\wizard')
find "$bench/wizard/corpus" -type f -exec stat -c '%.9W %.9Z %s' {} + > "$work/times"
paced=$(through_wizard paced 'C:\bench\paced')
quiet=$(timed wine "$work/batched.exe" /QUIET '/DIR=C:\bench\quiet')
diff -r -q "$INSTALL_BENCH_CORPUS" "$bench/quiet/corpus" >/dev/null || { echo "the /QUIET installation differs"; exit 1; }

nsis=
if command -v makensis >/dev/null; then
  makensis -V1 -DCORPUS="$INSTALL_BENCH_CORPUS" -DOUT="$work/nsis.exe" "$SETVIK_ROOT/bench/nsis-corpus.nsi" >/dev/null
  nsis=$(timed wine "$work/nsis.exe" /S '/D=C:\bench\nsis')
  diff -r -q "$INSTALL_BENCH_CORPUS" "$bench/nsis/corpus" >/dev/null || { echo "the nsis installation differs"; exit 1; }
fi

# The plain copy, three times into fresh folders; the best run counts.
copy_ms=
for run in 1 2 3; do
  line=$(wine "$helpers/setvik-copytree.exe" "$(winpath_of "$INSTALL_BENCH_CORPUS")" "C:\\bench\\copy$run" 2>/dev/null |
    tr -d '\r')
  ms=$(sed -n 's/.*ms=\([0-9.]*\).*/\1/p' <<<"$line")
  if [ -n "$ms" ] && { [ -z "$copy_ms" ] || awk -v a="$ms" -v b="$copy_ms" 'BEGIN { exit !(a < b) }'; }; then copy_ms=$ms; fi
done
rm -rf "$bench"

awk -v setup="$(stat -c %s "$work/batched.exe")" -v batched="$batched" -v paced="$paced" -v quiet="$quiet" \
    -v nsis="$nsis" -v copy="$(awk -v ms="$copy_ms" 'BEGIN { printf "%.3f", ms / 1000 }')" '
  function ratio(t) { return copy > 0 ? sprintf("%.1f x the copy", t / copy) : "" }
  { n++; bytes += $3; steps += $2 - $1 }
  END {
    mb = 1048576
    printf "corpus: %d files, %.1f MB; setup %.1f MB\n", n, bytes / mb, setup / mb
    printf "plain copy (CopyFileA, best of 3):          %6.2f s\n", copy
    printf "batched, Next to finish page:               %6.2f s  %s\n", batched, ratio(batched)
    printf "  in the steps (create to last change):    %6.2f s  %.2f ms per file\n", steps, 1000 * steps / n
    printf "per-file pacing, Next to finish page:       %6.2f s  %s\n", paced, ratio(paced)
    printf "batched /QUIET, whole process:              %6.2f s  %s\n", quiet, ratio(quiet)
    if (nsis != "") printf "nsis (zlib) /S, whole process:              %6.2f s  %s\n", nsis, ratio(nsis)
    else print "nsis: makensis not installed (apt-get install nsis)"
  }' "$work/times"
