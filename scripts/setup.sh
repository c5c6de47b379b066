#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the editor's demo run need.
# Safe to run again: it does nothing when everything is present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  librtmidi-dev libjack-jackd2-dev libcurl4-openssl-dev
  librsvg2-dev libcairo2-dev libpango1.0-dev libfontconfig-dev libgtk-4-dev
  nlohmann-json3-dev
  mingw-w64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 dpf-source
  wine wine64 fonts-wine fonts-dejavu-core fonts-dejavu-extra xvfb xauth imagemagick xdotool
  clang libclang-rt-14-dev clang-format
  sox jackd2 python3
  guitarix-common
  nsis zip unzip dpkg-dev desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO apt-get update -qq
# jackd2 asks about realtime priority; answer it up front.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
