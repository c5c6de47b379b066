#!/usr/bin/env bash
# Builds the Windows demo edition of the editor (the built-in virtual amplifier in place of MIDI
# ports) and starts it under Wine, inside Xvfb when there is no display. The Linux edition:
# scripts/run-demo.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh windows-demo
cmake --preset windows >/dev/null
if ! cmake --build --preset windows --target nimba-editor-demo; then
  echo "run-demo: the demo edition did not build (see the errors above)." >&2
  exit 1
fi
source scripts/wine-env.sh
exe=build/windows/app/nimba-editor-demo.exe
if [ -n "${DISPLAY:-}" ]; then
  exec wine "$exe"
else
  echo "No display: running in Xvfb on :99 (take a look with: DISPLAY=:99 import -window root shot.png)"
  # -ac: the display takes any local client, so a screenshot needs no Xauthority.
  exec xvfb-run -n 99 -s "-ac -screen 0 1280x800x24" wine "$exe"
fi
