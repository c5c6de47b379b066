# What the checks that drive nimba-cli share: counting failures, one run of the tool with its
# exit status checked and its output kept, a line that must be in a file, and wall time.
# Sourced after $cli (the tool) and $work (a folder for outputs) are set.

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run <expected exit> <name> <nimba-cli arguments...>: output in $work/<name>.out and .err.
run() {
  local want=$1 run_name=$2
  shift 2
  timeout 120 "$cli" "$@" >"$work/$run_name.out" 2>"$work/$run_name.err"
  local rc=$?
  if [ "$rc" -ne "$want" ]; then
    fail "$run_name: nimba-cli $* exited $rc, expected $want"
    sed 's/^/    /' "$work/$run_name.out" "$work/$run_name.err" | grep -v -e '^ *$' | tail -5
  fi
}

expect_line() { # <file> <fixed line>
  grep -qxF -- "$2" "$1" || fail "$(basename "$1") lacks the line: $2"
}

seconds_since() { # <start from date +%s.%N>
  echo "$1 $(date +%s.%N)" | awk '{ printf "%.2f", $2 - $1 }'
}
