#!/usr/bin/env bash
# Builds the demo edition of the editor for Linux (GTK 4, the built-in virtual amplifier in
# place of MIDI ports) and starts it, inside Xvfb when there is no display. The Windows edition
# under Wine: scripts/run-demo-windows.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh linux-demo
cmake --preset native-release >/dev/null
if ! cmake --build --preset native-release --target nimba-editor-demo; then
  echo "run-demo: the demo edition did not build (see the errors above)." >&2
  exit 1
fi
demo=build/native-release/app/nimba-editor-demo
if [ -n "${DISPLAY:-}" ]; then
  exec "$demo"
else
  echo "No display: running in Xvfb on :99 (take a look with: DISPLAY=:99 import -window root shot.png)"
  source scripts/lib/gtk-env.sh
  # -ac: the display takes any local client, so a screenshot needs no Xauthority.
  exec xvfb-run -n 99 -s "-ac -screen 0 1280x800x24" "$demo"
fi
