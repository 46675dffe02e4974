#!/usr/bin/env bash
# make bench: builds the benchmark corpus once (build/corpus, from
# ../shared/bench/make-corpus.sh, which lists Windows PE files, documents and
# manual pages installed on a Debian machine) and runs every benchmark. The
# figures are printed; nothing is asserted. The installation benchmark runs
# the stub under Wine (bench/install-bench.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
corpus=build/corpus
maker=${CORPUS_SCRIPT:-$root/../shared/bench/make-corpus.sh}
if [ ! -d "$corpus" ]; then
  # Packages whose files the corpus list names, beyond what the build needs.
  extra=(fonts-droid-fallback fonts-wine glib-networking-services i965-va-driver libasound2-plugins
         libavc1394-0 libdecor-0-0 libdjvulibre21 libdv4 libgphoto2-l10n libgsm1 libiec61883-0 libjxr0
         libnetpbm11 libpaper-utils libsamplerate0 libsdl2-2.0-0 libshine3 libtag1v5-vanilla libv4lconvert0
         libvdpau1 libvulkan1 libwayland-cursor0 libx264-164 poppler-data xfonts-utils netpbm)
  missing=()
  for p in "${extra[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
  bash "$maker" "$corpus.tmp" && mv "$corpus.tmp" "$corpus"
fi
# The peer installer system of the installation benchmark, and the i386
# libraries the decoder's 32-bit figures are measured against.
need=()
command -v makensis >/dev/null || need+=(nsis)
for p in g++-multilib libdeflate-dev:i386 zlib1g-dev:i386; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
echo "== decoder: throughput against zlib and libdeflate"
build/host/bench_inflate "$corpus"
echo
echo "== decoder built for i686, as the stub runs it"
bench/inflate-i686.sh "$corpus"
echo
echo "== encoder: sizes against zlib 9 and libdeflate 12"
build/host/bench_encode "$corpus"
echo
echo "== setvik build over the corpus"
build/host/bench_build "$corpus" build/bin/setvik-stub.exe
echo
echo "== installation under Wine against a plain copy"
bash bench/install-bench.sh "$corpus"
