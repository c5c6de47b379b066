#!/usr/bin/env bash
# What storing the pictures compressed costs and saves, against a build of a base revision:
#   sizes: nimba-editor.exe and nimba-editor-demo.exe (at most 8 MB each), setup.exe and the zip
#   (no larger than the base's), the .deb (at most 5 MB);
#   the Linux demo: time to its first frame (NIMBA_LAUNCH_MS; ratio to the base at most 1.1) and
#   peak memory at its first screen (no higher than the base's);
#   the Windows demo under Wine: time to its first painted frame (the window polled every
#   10 ms; ratio at most 1.1) and peak memory at its first screen (at least 30% lower), beside
#   the peak of a bare Direct2D window of the same size under the same Wine (bench/d2d_floor,
#   built from this tree), which no Windows program that draws can go below, and each demo's
#   own share above it.
# Runs alternate between the two builds, so a busy machine slows both alike; medians are shown.
#
#   scripts/bench-pictures.sh <base revision> [runs]      (runs: 5 unless given)
# The base is built in a worktree of its own (NIMBA_BENCH_BASE_TREE, default
# <this tree>-base); NIMBA_BENCH_NO_BUILD=1 measures the builds already there.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
[ $# -ge 1 ] || { echo "usage: $0 <base revision> [runs]"; exit 2; }
base_rev=$(git rev-parse --verify "$1^{commit}") || exit 2
runs=${2:-5}
base=${NIMBA_BENCH_BASE_TREE:-$root-base}
tag=bench-pictures
fail() { echo "$tag: $*"; exit 1; }

if [ ! -d "$base" ]; then
  git worktree add --detach "$base" "$base_rev" >/dev/null || fail "no worktree at $base"
fi
[ "$(git -C "$base" rev-parse HEAD)" = "$base_rev" ] || fail "$base is not at $base_rev"

build_tree() {
  (cd "$1" &&
    cmake --preset windows >/dev/null &&
    cmake --build build/windows -j2 --target package >/dev/null &&
    cmake --preset linux-release >/dev/null &&
    cmake --build build/linux-release -j2 --target package >/dev/null) ||
    fail "$1 did not build"
}
if [ "${NIMBA_BENCH_NO_BUILD:-0}" != 1 ]; then
  build_tree "$base"
  build_tree "$root"
fi
floor_exe=$root/build/windows/bench/d2d_floor.exe
cmake --build "$root/build/windows" -j2 --target d2d_floor >/dev/null || fail "d2d_floor did not build"

# ---- sizes --------------------------------------------------------------------------------
verdicts=()
judge() { # judge <what> <ok?>
  if [ "$2" = 1 ]; then verdicts+=("ok   $1"); else verdicts+=("FAIL $1"); fi
}
mb() { awk -v b="$1" 'BEGIN { printf "%.2f MB", b / 1000000 }'; }
# size <tree> <glob>: the size in bytes of the first file the glob names in the tree, or nothing.
size() { local f; f=$(compgen -G "$1/$2" | head -1); [ -n "$f" ] && stat -c %s "$f"; }
# compare <what> <glob> <rule: at_most BYTES | no_larger>
compare() {
  local now was
  now=$(size "$root" "$2")
  was=$(size "$base" "$2")
  if [ -z "$now" ]; then
    judge "$1: not built" 0
    return
  fi
  echo "$tag: $1 $(mb "$now") (base $(if [ -n "$was" ]; then mb "$was"; else echo not built; fi))"
  if [ "$3" = at_most ]; then
    judge "$1 at most $(mb "$4")" $((now <= $4))
  elif [ -n "$was" ]; then
    judge "$1 no larger than the base's" $((now <= was))
  else
    judge "$1 against the base's: the base's is not built" 0
  fi
}
compare nimba-editor.exe build/windows/app/nimba-editor.exe at_most 8000000
compare nimba-editor-demo.exe build/windows/app/nimba-editor-demo.exe at_most 8000000
compare setup.exe 'build/windows/packages/*-win64-setup.exe' no_larger
compare zip 'build/windows/packages/*-win64.zip' no_larger
compare .deb 'build/linux-release/packages/*.deb' at_most 5000000

# ---- runs ---------------------------------------------------------------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/nimba-bench-pictures.XXXXXX")
source scripts/lib/xvfb.sh
demo_pid=""
trap '[ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null; wineserver -k 2>/dev/null;
      [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
now_ms() { echo $(($(date +%s%N) / 1000000)); }
start_xvfb 100 130 1100x760x24
peak_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status" 2>/dev/null; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
window_of() { # window_of <pid> [title pattern]
  local w
  for _ in $(seq 1 600); do
    w=$(xdotool search --name "${2:-^Corvane Editor\$}" 2>/dev/null | head -1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.02
  done
  return 1
}
# stop <pid>: ends a demo and waits for its window to go.
stop() {
  kill "$1" 2>/dev/null
  wait "$1" 2>/dev/null
  for _ in $(seq 1 100); do
    xdotool search --name '^Corvane Editor$' >/dev/null 2>&1 || return 0
    sleep 0.1
  done
}

# linux_run <tree> <label>: one start of the Linux demo; appends "<ms> <peak kB>" to
# $work/<label>.linux.
linux_run() {
  local start ms
  start=$(now_ms)
  (source scripts/lib/gtk-env.sh &&
    NIMBA_LAUNCH_MS=$start NIMBA_DEMO_LOG="$work/amp.log" \
      exec "$1/build/linux-release/app/nimba-editor-demo") 2>"$work/linux.err" &
  demo_pid=$!
  for _ in $(seq 1 300); do
    grep -q 'first frame drawn' "$work/linux.err" && break
    sleep 0.05
  done
  ms=$(sed -n 's/^nimba: first frame drawn \([0-9]*\) ms.*/\1/p' "$work/linux.err")
  [ -n "$ms" ] || fail "$2: the Linux demo drew no first frame: $(head -5 "$work/linux.err")"
  sleep 3 # the connect sequence and the program's own tolex: the first screen
  echo "$ms $(peak_kb "$demo_pid")" >>"$work/$2.linux"
  stop "$demo_pid"
  demo_pid=""
}

export WINEPREFIX="$work/wineprefix"
source scripts/wine-env.sh
wineserver -p 600 # one server for every run: none of them pays for its start
# wine_run <tree> <label>: one start of the Windows demo under Wine; appends "<ms> <peak kB>" to
# $work/<label>.wine.
wine_run() {
  local start window ms
  start=$(now_ms)
  NIMBA_DEMO_LOG="Z:${work//\//\\}\\amp.log" wine "$1/build/windows/app/nimba-editor-demo.exe" \
    >/dev/null 2>&1 &
  demo_pid=$!
  window=$(window_of "$demo_pid") || fail "$2: the Windows demo opened no window"
  ms=$(python3 scripts/lib/first_paint.py "$window" "$start" 60) ||
    fail "$2: the Windows demo painted nothing"
  sleep 3
  echo "$ms $(peak_kb "$demo_pid")" >>"$work/$2.wine"
  stop "$demo_pid"
  demo_pid=""
}

# floor_run: one start of the bare Direct2D window under Wine; appends its peak kB to
# $work/floor.wine.
floor_run() {
  wine "$floor_exe" >/dev/null 2>&1 &
  demo_pid=$!
  window_of "$demo_pid" '^d2d floor$' >/dev/null || fail "d2d_floor opened no window"
  sleep 3
  peak_kb "$demo_pid" >>"$work/floor.wine"
  kill "$demo_pid" 2>/dev/null
  wait "$demo_pid" 2>/dev/null
  demo_pid=""
}

for i in $(seq 1 "$runs"); do
  for label in base new; do
    tree=$root
    [ $label = base ] && tree=$base
    linux_run "$tree" $label
    wine_run "$tree" $label
  done
  floor_run
  echo "$tag: run $i of $runs done"
done

report() { # report <edition> <suffix> <peak rule: lower30 | not_higher>
  local t_base t_new m_base m_new ratio drop
  t_base=$(cut -d' ' -f1 "$work/base.$2" | median)
  t_new=$(cut -d' ' -f1 "$work/new.$2" | median)
  m_base=$(cut -d' ' -f2 "$work/base.$2" | median)
  m_new=$(cut -d' ' -f2 "$work/new.$2" | median)
  ratio=$(awk -v a="$t_new" -v b="$t_base" 'BEGIN { printf "%.3f", a / b }')
  drop=$(awk -v a="$m_new" -v b="$m_base" 'BEGIN { printf "%.1f", 100 * (1 - a / b) }')
  echo "$tag: $1 first frame: median ${t_new} ms, base ${t_base} ms, ratio $ratio" \
    "(runs: $(cut -d' ' -f1 "$work/new.$2" | tr '\n' ' ')/ base: $(cut -d' ' -f1 "$work/base.$2" | tr '\n' ' '))"
  echo "$tag: $1 peak memory: median $((m_new / 1024)) MB, base $((m_base / 1024)) MB," \
    "${drop}% lower"
  judge "$1 first frame ratio at most 1.1" "$(awk -v r="$ratio" 'BEGIN { print (r <= 1.1) }')"
  if [ "$3" = lower30 ]; then
    judge "$1 peak memory at least 30% lower" "$(awk -v d="$drop" 'BEGIN { print (d >= 30) }')"
  else
    judge "$1 peak memory no higher" $((m_new <= m_base))
  fi
}
report "Linux demo" linux not_higher
report "Windows demo under Wine" wine lower30
floor=$(median <"$work/floor.wine")
echo "$tag: bare Direct2D window under Wine: peak median $((floor / 1024)) MB" \
  "(runs: $(tr '\n' ' ' <"$work/floor.wine")kB); the demo's own share above it:" \
  "$((($(cut -d' ' -f2 "$work/new.wine" | median) - floor) / 1024)) MB," \
  "base $((($(cut -d' ' -f2 "$work/base.wine" | median) - floor) / 1024)) MB"
printf '%s\n' "${verdicts[@]}"
printf '%s\n' "${verdicts[@]}" | grep -q '^FAIL' && exit 1
exit 0
