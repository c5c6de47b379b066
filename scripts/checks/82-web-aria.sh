#!/usr/bin/env bash
# The browser edition to keyboard and screen readers, in headless Chromium: builds and serves the
# site and runs tests/web/aria_round.js on the demo page (the controls in the accessibility tree
# with their roles, names and states; the round by keyboard only; the live region; the mirror's
# cost per frame; the mirror unseen). Its screenshot is kept in build/web/check.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
fail() {
  echo "web-aria: $*"
  exit 1
}
# shellcheck source=scripts/lib/web-site.sh
source scripts/lib/web-site.sh
web_check_start web-aria

node tests/web/aria_round.js "http://127.0.0.1:$web_port" "$work" || fail "the round failed"
mkdir -p build/web/check && cp "$work/aria.png" build/web/check/
echo "web-aria: passed (build/web/check/aria.png)"
