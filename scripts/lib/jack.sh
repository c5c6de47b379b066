# A private JACK server for the MIDI checks (dummy driver, no realtime) and the wait for the
# ports on it. Sourced; the caller kills $jackd_pid in its cleanup.

# Waits up to 10 s for `jack_lsp` to list a port matching $1 (any port when empty).
wait_for_port() {
  local i
  for i in $(seq 100); do
    if jack_lsp 2>/dev/null | grep -q -- "$1"; then return 0; fi
    sleep 0.1
  done
  return 1
}

# start_jack_server <log file>: a server of this process's own name (JACK_DEFAULT_SERVER),
# synchronous so a busy machine delays the MIDI cycles instead of losing events. Sets
# $jackd_pid; false when it did not come up.
start_jack_server() {
  export JACK_DEFAULT_SERVER="nimba-e2e-$$"
  jackd -n "$JACK_DEFAULT_SERVER" -S -r -d dummy -r 48000 -p 128 >"$1" 2>&1 &
  jackd_pid=$!
  wait_for_port "system:"
}
