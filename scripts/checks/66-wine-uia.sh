#!/usr/bin/env bash
# The Windows demo's UI Automation tree under Wine, from another process: uia_probe.exe asks
# uiautomationcore for the editor window's node and walks its children with their names,
# control types and patterns, as far as Wine's UI Automation goes. Every element it reaches
# must be one of the editor's controls with the patterns its role asks for; what Wine cannot
# do is printed as the probe's step that failed. (The provider itself is walked element by
# element, patterns and actions included, by shell_tests' UiAutomation tests under Wine.)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
tag=66-wine-uia

fail() {
  echo "$tag: $*"
  [ -n "${probe_out:-}" ] && [ -f "$probe_out" ] && { echo "--- the probe:"; cat "$probe_out"; }
  exit 1
}

cmake --preset windows >/dev/null || fail "configure failed"
cmake --build --preset windows -j2 --target nimba-editor-demo uia_probe >/dev/null ||
  fail "build failed"
export WINEPREFIX="$root/build/windows/wineprefix-uia"
source scripts/wine-env.sh

work=$(mktemp -d "${TMPDIR:-/tmp}/nimba-uia.XXXXXX")
log="$work/amp.log"
probe_out="$work/probe.out"
source scripts/lib/xvfb.sh
clean_up_demo_session_on_exit
start_xvfb 100 130 1100x760x24

NIMBA_DEMO_LOG="Z:${log//\//\\}" wine build/windows/app/nimba-editor-demo.exe >/dev/null 2>&1 &
demo_pid=$!
wait_for_editor_window "$demo_pid" || fail "the demo's window did not appear"
connected() { [ "$(grep -cE '^recv F0 00 04 0[0-5] F7$' "$log" 2>/dev/null)" -ge 6 ]; }
for _ in $(seq 200); do connected && break; sleep 0.1; done
connected || fail "the demo did not connect"
sleep 1

timeout 120 wine build/windows/tests/shell/uia_probe.exe >"$probe_out" 2>/dev/null ||
  fail "the probe found no answering window"
tr -d '\r' <"$probe_out" | sed "s/^/$tag: /"
grep -q '^window ' "$probe_out" || fail "the probe got no node for the window"
elements=$(grep -c '^element ' "$probe_out")
if [ "$elements" -gt 0 ]; then
  # button 50000 with Invoke, IR BYPASS a button with Toggle, a spinner 50016 with RangeValue.
  grep -q '^element STORE type 50000 patterns 10000' "$probe_out" || fail "STORE is not an invokable button"
  grep -q '^element IR BYPASS type 50000 patterns 10015' "$probe_out" || fail "IR BYPASS has no Toggle"
  grep -q '^element PROGRAM CHANGE type 50016 patterns 10003' "$probe_out" ||
    fail "PROGRAM CHANGE is no spinner with RangeValue"
  echo "$tag: ok: $elements elements walked across processes"
else
  echo "$tag: ok: the window's node was found; Wine's UI Automation went no further (above)"
fi
