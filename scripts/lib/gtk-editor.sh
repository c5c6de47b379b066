# The Linux edition under a virtual X display, for the checks. Sourced after gui-round.sh
# (which it needs for $window, $wx, $wy and wait_for); the caller sets $root, $work and
# $cli_exe (the native nimba-cli). Defines gui-round.sh's hooks for a native program.

source "$root/scripts/lib/gtk-env.sh"
# Leak reports leave out fontconfig's caches, thread reports the calls GLib and GTK make.
export LSAN_OPTIONS="suppressions=$root/scripts/lib/lsan-gtk.supp:print_suppressions=0"
export TSAN_OPTIONS="suppressions=$root/scripts/lib/tsan-gtk.supp"

# The drawing area is the whole client area; paths and nimba-cli are native.
client_w=1024
client_h=720
host_path() { echo "$1"; }
cli() { timeout 60 "$cli_exe" "$@"; }

# GTK 4 drops synthetic events (xdotool's --window): the pointer moves in root coordinates.
point_at() { xdotool mousemove --sync $((wx + $1)) $((wy + $2)); }

# Without a window manager the keyboard follows the pointer: keys go to the window under it.
keys() {
  xdotool key --delay 120 "$@"
  sleep 0.2
}

# Types the path into the open GTK file chooser's location field (ctrl+L) over whatever it holds
# (a save dialog proposes a name and selects it without its extension) and accepts it. Without
# a window manager the keyboard follows the pointer, so the pointer goes onto the dialog first.
answer_picker() {
  local dialog="" title=$1 dx dy
  find_dialog() {
    dialog=$(xdotool search --name "^$title\$" 2>/dev/null | head -1)
    [ -n "$dialog" ]
  }
  wait_for 15 find_dialog || fail "the \"$title\" picker did not open"
  sleep 0.5
  read -r dx dy < <(xdotool getwindowgeometry "$dialog" | awk -F'[ ,]+' '/Position/ { print $3, $4 }')
  xdotool mousemove --sync $((dx + 300)) $((dy + 150))
  sleep 0.2
  xdotool key ctrl+l
  sleep 0.3
  xdotool key ctrl+a
  xdotool type --delay 10 "$2"
  sleep 0.2
  xdotool key Return
}

# close_editor <pid> <stderr file>: closes the window as a window manager would, waits for the
# process to end and fails unless it ended with 0 and no sanitizer report. Sets $closed_ms, the
# time from the request to the end.
close_editor() {
  python3 "$root/scripts/lib/close_window.py" "$window" || fail "the window could not be closed"
  local asked
  asked=$(now_ms)
  editor_ended() { ! kill -0 "$1" 2>/dev/null; }
  wait_for 10 editor_ended "$1" || fail "the editor did not end after its window closed"
  closed_ms=$(($(now_ms) - asked))
  wait "$1"
  local code=$?
  if grep -qE 'ERROR: (Address|Leak)Sanitizer|WARNING: ThreadSanitizer|runtime error:' "$2"; then
    sed -n '/Sanitizer\|runtime error/,+30p' "$2" | head -60
    fail "the editor's run has a sanitizer report"
  fi
  [ $code -eq 0 ] || fail "the editor's exit code was $code"
}

# first_frame <stderr file>: the time to the first frame the editor drew (NIMBA_LAUNCH_MS).
first_frame() { sed -n 's/^nimba: first frame drawn \([0-9]* ms after launch.*\)$/\1/p' "$1"; }
