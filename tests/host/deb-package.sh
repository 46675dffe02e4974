#!/usr/bin/env bash
# The Debian package of the tool as a user gets it: made by CPack from the
# host tree's install rules (into a scratch folder, not build/), with its
# dependencies declared and Wine only suggested; unpacked with dpkg -x into
# a scratch root, where the installed tool alone answers --version, --help
# and help COMMAND, and builds and verifies the demo setup with the stub
# and uninstaller it finds in its own share/setvik; and CPack, given the
# installed generator, packages examples/cpack-hello as a setup that
# verifies and holds the program, its library and its vendor.
# Use: deb-package.sh HOST_BUILD_TREE (build/bin must hold the Windows
# programs: make all).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "$root/build/deb-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
check() { # description command...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

if ! cpack --config "$1/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1; then
  sed 's/^/    /' "$work/cpack.log"
  echo "FAILED: cpack -G DEB"
  exit 1
fi
deb=$(ls "$work"/out/setvik_*.deb)
version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
echo "$(basename "$deb"): Depends: $depends"
check "the package is named setvik_<version>_<arch>.deb" \
  [ "$(basename "$deb")" = "setvik_${version}_$(dpkg --print-architecture).deb" ]
check "it depends on libdeflate and libstdc++, and on Wine not at all" \
  eval 'grep -q libdeflate <<<"$depends" && grep -q libstdc++ <<<"$depends" && ! grep -q wine <<<"$depends"'
check "it suggests Wine" [ "$(dpkg-deb -f "$deb" Suggests)" = wine ]

dpkg -x "$deb" "$work/root"
usr=$work/root/usr
tool=$usr/bin/setvik
check "--version prints the package's version" [ "$("$tool" --version)" = "setvik $version" ]
# Every command of the README's reference, in the overview.
help=$("$tool" --help)
missing=$(sed -n 's/^setvik \([a-z]*\) .*/\1/p' "$root/README.md" | grep -v '^help$' |
  while read -r command; do grep -q "^  $command " <<<"$help" || echo "$command"; done)
check "--help shows every command${missing:+ (not: $missing)}" [ -z "$missing" ]
check "help build shows its options" eval '"$tool" help build | grep -q -- "--sign-command CMD "'
check "the man page, the CPack generator and the documentation are installed" \
  [ -s "$usr/share/man/man1/setvik.1.gz" -a -s "$usr/share/setvik/cmake/SetvikCPack.cmake" \
    -a -s "$usr/share/doc/setvik/project-file.md" ]
check "the installed tool builds the demo with its own stub and uninstaller" \
  eval '"$tool" build "$root/examples/demo/setup.toml" -o "$work/demo.exe" >/dev/null'
check "and verifies it" eval '"$tool" verify "$work/demo.exe" >/dev/null'
check "CPack makes examples/cpack-hello a setup with the installed generator" eval 'cmake -S \
  "$root/examples/cpack-hello" -B "$work/hello" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_MODULE_PATH="$usr/share/setvik/cmake" -DCPACK_SETVIK_EXECUTABLE="$tool" >"$work/hello.log" 2>&1 &&
  cmake --build "$work/hello" >>"$work/hello.log" 2>&1 && (cd "$work/hello" && cpack >>"$work/hello.log" 2>&1) ||
  { sed "s/^/    /" "$work/hello.log"; false; }'
listing=$("$tool" list "$work/hello/CPackHello-1.0.0-win32.exe" 2>&1 || true)
check "which verifies and holds hello.exe, greet.dll and the vendor" eval '"$tool" verify \
  "$work/hello/CPackHello-1.0.0-win32.exe" >/dev/null && grep -q "hello.exe" <<<"$listing" &&
  grep -q "greet.dll" <<<"$listing" && grep -q "Setvik Example Software" <<<"$listing"'
[ "$failures" -eq 0 ]
