# A virtual X display for the checks that run the editor under Wine. Sourced; the caller
# defines fail() and kills $xvfb_pid in its cleanup.

# start_xvfb FIRST LAST SIZE: starts Xvfb on the first free display number from FIRST to LAST
# with a SIZE (WxHxDEPTH) screen, sets $xvfb_pid and exports DISPLAY.
start_xvfb() {
  local n
  for n in $(seq "$1" "$2"); do
    { [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; } && continue
    Xvfb ":$n" -screen 0 "$3" -br -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    sleep 1
    if kill -0 "$xvfb_pid" 2>/dev/null; then
      export DISPLAY=":$n"
      return 0
    fi
    xvfb_pid=""
  done
  fail "no free X display"
}
