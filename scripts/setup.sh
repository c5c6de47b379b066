#!/usr/bin/env bash
# Installs the Debian packages (and the browser tests' npm packages) for what is about to run:
#   setup.sh linux-demo     the Linux demo edition (scripts/run-demo.sh)
#   setup.sh windows-demo   the Windows demo edition under Wine (scripts/run-demo-windows.sh)
#   setup.sh web            the browser edition's site (scripts/run-web.sh)
#   setup.sh [tests]        everything: every build, the tests and the checks (scripts/test.sh)
# Safe to run again: it does nothing when everything is present.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# Every configure: the host tools that make the artwork (and its PNGs) and cabinets, the
# pictures' PNG decoder, the backup files' JSON, GoogleTest (the test folders are configured by
# default) and Google Benchmark (native-release, which run-demo.sh builds, configures bench/).
build=(build-essential cmake ninja-build pkg-config librsvg2-dev libcairo2-dev libpng-dev
       libstb-dev nlohmann-json3-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
       python3)
linux=(librtmidi-dev libjack-jackd2-dev libcurl4-openssl-dev libpango1.0-dev libfontconfig-dev
       libgtk-4-dev fonts-dejavu-core xvfb xauth)
windows=(mingw-w64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 dpf-source
         wine wine64 fonts-wine fonts-dejavu-core xvfb xauth)
web=(emscripten nodejs)
tests=(fonts-dejavu-extra imagemagick xdotool clang libclang-rt-14-dev
       clang-format sox jackd2 nsis zip unzip dpkg-dev desktop-file-utils appstream
       guitarix-common chromium firefox-esr at-spi2-core python3-pyatspi python3-xlib dbus)

purpose=${1:-tests}
case "$purpose" in
  linux-demo) packages=("${build[@]}" "${linux[@]}") ;;
  windows-demo) packages=("${build[@]}" "${windows[@]}") ;;
  web) packages=("${build[@]}" "${web[@]}") ;;
  tests) packages=("${build[@]}" "${linux[@]}" "${windows[@]}" "${web[@]}" "${tests[@]}") ;;
  *) echo "setup: unknown purpose \"$purpose\" (linux-demo, windows-demo, web, tests)" >&2; exit 2 ;;
esac
# npm comes with some builds of nodejs and is a package of its own in Debian's.
if [ "$purpose" = tests ] && ! command -v npm >/dev/null; then packages+=(npm); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  # jackd2 asks about realtime priority; answer it up front.
  echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The browser tests' driver (puppeteer-core, pinned with its lock file), from npm.
if [ "$purpose" = tests ]; then
  browser_tests="$root/tests/web"
  if [ ! -d "$browser_tests/node_modules/puppeteer-core" ]; then
    (cd "$browser_tests" && npm ci --no-audit --no-fund --loglevel=error)
  fi
fi
