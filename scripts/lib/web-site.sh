# The browser edition's site for the checks that drive it in headless Chromium. Sourced; the
# caller defines fail() and kills $site_server in its cleanup.

# serve_site: builds the site (the web preset), checks puppeteer-core is there, and serves the
# site as run-web.sh does on a free port: sets $site_address and $site_server (its pid).
serve_site() {
  cmake --preset web >/dev/null && cmake --build --preset web --target nimba_site >/dev/null ||
    fail "the site did not build"
  [ -d tests/web/node_modules/puppeteer-core ] || fail "puppeteer-core is missing (bash scripts/setup.sh)"
  local port
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  python3 scripts/lib/web_server.py build/web/site "$port" &
  site_server=$!
  site_address="http://127.0.0.1:$port"
  sleep 0.5
}
