#!/usr/bin/env bash
# make demo: builds the example setup (examples/demo/setup.toml), checks it,
# shows what it holds, and starts it under Wine (on a virtual display when
# there is no real one).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bin=build/bin
mkdir -p build/demo
echo "== building the demo setup"
"$bin/setvik" build examples/demo/setup.toml -o build/demo/setup.exe
echo "== checking every stored file"
"$bin/setvik" verify build/demo/setup.exe
echo "== what the setup holds"
"$bin/setvik" list build/demo/setup.exe | sed -n '/^files:/,$p'
rm -rf build/demo/extracted
"$bin/setvik" extract build/demo/setup.exe build/demo/extracted
(cd build/demo/extracted && find . -type f | sort | sed 's/^/   /')

echo "== running the setup under Wine"
source tests/wine/wine-env.sh
wine_prefix_ready
run=(wine build/demo/setup.exe)
[ -n "${DISPLAY:-}" ] || run=(xvfb-run -a "${run[@]}")
set +e
"${run[@]}" >/dev/null 2>&1
code=$?
set -e
echo "setup.exe ended with exit code $code"
[ "$code" -eq 0 ]
