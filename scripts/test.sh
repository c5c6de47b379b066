#!/usr/bin/env bash
# Runs every test on a fresh machine: installs what is missing, then
#   1. native build (Debug, ASan + UBSan) and all its tests,
#   2. ThreadSanitizer build and its tests,
#   3. Windows cross build and its test executables under Wine (headless),
#   4. the browser edition's build (Emscripten) and its unit tests under node,
#   5. clang-format check,
#   6. each scripts/checks/*.sh (fuzzers, end-to-end tests), in name order.
# Ends with one line "tests: N passed, N failed" and a non-zero exit when anything failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh || { echo "setup failed"; exit 1; }

passed=0; failed=0; failures=()
step() {
  local name=$1; shift
  echo "=== $name"
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); failures+=("$name"); echo "!!! $name failed"; fi
}

native() {
  cmake --preset native >/dev/null && cmake --build --preset native && ctest --preset native
}
tsan() {
  # TSan needs a fixed address-space layout; the setarch call turns off randomisation.
  cmake --preset native-tsan >/dev/null && cmake --build --preset native-tsan &&
    setarch "$(uname -m)" -R ctest --preset native-tsan
}
windows() {
  cmake --preset windows >/dev/null && cmake --build --preset windows || return 1
  source scripts/wine-env.sh
  local ok=0 exe
  for exe in build/windows/tests/*/*_tests.exe; do
    echo "--- wine $exe"
    wine "$exe" --gtest_brief=1 || ok=1
  done
  return $ok
}
web() {
  # Under node the file system has no FIFOs, devices or file-size limits: the cases that need
  # them are built only natively (NIMBA_TEST_POSIX_FILES in tests/core/temp_files.h).
  echo "web: FIFO, device and file-size-limit cases are native only (node's file system has none)"
  cmake --preset web >/dev/null && cmake --build --preset web && ctest --preset web
}
format() {
  local files
  files=$(git ls-files '*.cpp' '*.h' | grep -v '^build/')
  [ -z "$files" ] && return 0
  clang-format --dry-run --Werror $files
}

step native native
step tsan tsan
step windows windows
step web web
step format format
for check in scripts/checks/*.sh; do
  [ -e "$check" ] || continue
  step "$(basename "$check" .sh)" bash "$check"
done

[ ${#failures[@]} -gt 0 ] && echo "failed steps: ${failures[*]}"
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
