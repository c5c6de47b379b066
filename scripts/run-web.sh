#!/usr/bin/env bash
# Builds the browser edition (the web preset, Emscripten) and serves its site on
# http://127.0.0.1:${NIMBA_WEB_PORT:-8080}/: the editor at / (Web MIDI, Chrome or Edge) and the
# demo with the built-in virtual amplifier at /demo.html. Runs until interrupted.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh web
port=${NIMBA_WEB_PORT:-8080}
cmake --preset web >/dev/null
if ! cmake --build --preset web --target nimba_site; then
  echo "run-web: the site did not build (see the errors above)." >&2
  exit 1
fi
echo "The editor:   http://127.0.0.1:$port/"
echo "The demo:     http://127.0.0.1:$port/demo.html"
exec python3 scripts/lib/web_server.py build/web/site "$port"
