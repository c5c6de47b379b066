# The browser checks' common start, sourced by scripts/checks/8*-web-*.sh after they define
# fail(). web_check_start makes the work folder ($work, removed on exit with the server ended),
# builds the site (web preset) and nimba-cli (native), checks the browser tests' npm packages,
# serves the site as run-web.sh does on a free port of 127.0.0.1 ($web_port, $web_server the
# server's pid), and makes the round's two WAV files: $work/low-rate.wav (22050 Hz, refused)
# and "$work/MY CAB.wav" (48 kHz, 24-bit).
web_server=""

web_check_end() {
  [ -n "$web_server" ] && kill "$web_server" 2>/dev/null
  rm -rf "$work"
}

web_check_start() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/nimba-$1.XXXXXX")
  trap web_check_end EXIT
  cmake --preset web >/dev/null && cmake --build --preset web --target nimba_site >/dev/null ||
    fail "the site did not build"
  cmake --preset native >/dev/null && cmake --build --preset native --target nimba-cli >/dev/null ||
    fail "nimba-cli did not build"
  [ -d tests/web/node_modules/puppeteer-core ] && [ -d tests/web/node_modules/ws ] ||
    fail "the browser tests' packages are missing (bash scripts/setup.sh)"
  web_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  python3 scripts/lib/web_server.py build/web/site "$web_port" &
  web_server=$!
  sleep 0.5
  sox -n -r 22050 -c 1 -b 16 "$work/low-rate.wav" synth 0.05 sine 440 || fail "sox failed"
  sox -n -r 48000 -c 1 -b 24 "$work/MY CAB.wav" synth 0.05 sine 220 fade 0 0.05 0.04 ||
    fail "sox failed"
}
