#!/usr/bin/env bash
# Installs the Debian packages that building and testing Setvik need.
# Does nothing (and needs no network) when everything is already there.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev lld pkg-config
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
  libdeflate-dev zlib1g-dev libtomlplusplus-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  wine wine32:i386 wine64 xvfb xauth imagemagick fonts-dejavu-core
  python3 osslsigncode openssl dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
