# A virtual X display for the checks that run the editor (under Wine or natively). Sourced; the
# caller defines fail() and kills $xvfb_pid in its cleanup (or uses the cleanup below).

# start_xvfb FIRST LAST SIZE: starts Xvfb on the first free display number from FIRST to LAST
# with a SIZE (WxHxDEPTH) screen, sets $xvfb_pid and exports DISPLAY.
start_xvfb() {
  local n
  for n in $(seq "$1" "$2"); do
    { [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; } && continue
    Xvfb ":$n" -screen 0 "$3" -br -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    # Ready once it takes a client; on a loaded machine that can take several seconds, and a
    # program started before then fails to open the display.
    local tries
    for tries in $(seq 100); do
      kill -0 "$xvfb_pid" 2>/dev/null || break
      if DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
      fi
      sleep 0.1
    done
    kill "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
  done
  fail "no free X display"
}

# wait_for_editor_window [PID]: waits up to 30 s for the editor's window and sets $window; false
# at the deadline, or at once when PID is given and that process has ended.
wait_for_editor_window() {
  window=""
  for _ in $(seq 1 120); do
    window=$(xdotool search --name '^Corvane Editor$' 2>/dev/null | head -1)
    [ -n "$window" ] && return 0
    [ -n "${1:-}" ] && ! kill -0 "$1" 2>/dev/null && return 1
    sleep 0.25
  done
  return 1
}

# clean_up_demo_session_on_exit [native]: on exit, end the demo ($demo_pid), the Wine session
# (none for a native program) and the display, and remove the scratch folder $work.
clean_up_demo_session_on_exit() {
  xvfb_pid=""
  demo_pid=""
  local wine_stop="wineserver -k 2>/dev/null;"
  [ "${1:-}" = native ] && wine_stop=""
  trap '[ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null; '"$wine_stop"'
        [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
  trap 'exit 130' INT TERM
}
