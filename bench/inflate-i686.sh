#!/usr/bin/env bash
# The decoder's throughput as the stub runs it: bench_inflate built for i686
# (g++ -m32, the 32-bit bit buffer and loop, -Os as in the stub) against the
# i386 builds of zlib and libdeflate from Debian. Prints figures, asserts
# nothing.   bench/inflate-i686.sh CORPUS-FOLDER [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/bench-i686
mkdir -p "$out"
cd "$root"
sources=(bench/bench_inflate.cpp authoring/Encoder.cpp authoring/Rfc1951Transcoder.cpp
         authoring/FixedBlockEncoder.cpp)
for folder in base inflate setupdata; do
  for source in "$folder"/*.cpp; do
    case $source in *Win32.cpp | */Runtime.cpp) ;; *) sources+=("$source") ;; esac
  done
done
g++ -m32 -march=i686 -Os -mpreferred-stack-boundary=2 -std=c++20 -I. "${sources[@]}" \
  -o "$out/bench_inflate" -ldeflate -lz
"$out/bench_inflate" "$@"
