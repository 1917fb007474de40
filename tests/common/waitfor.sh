# Sourced by the shell tests that drive a real X server.
# wait_for <what> <command...>: polls the command every 50 ms until it
# succeeds, for at most STEP_TIMEOUT seconds; then calls the script's own
# fail function with what it waited for.
wait_for() {
  local what=$1; shift
  local deadline=$((SECONDS + STEP_TIMEOUT))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -ge $deadline ] && fail "timed out waiting for: $what"
    sleep 0.05
  done
}

# click_until <what> <check> <command...>: runs the command (a click), waits up
# to three seconds for the check and tries again, five times at most. A click
# that lands while the program is still finishing the previous request (its
# message box just closed), or before a window just shown takes input, is
# lost by design.
click_until() {
  local what=$1 check=$2 try deadline
  shift 2
  for try in 1 2 3 4 5; do
    "$@"
    deadline=$((SECONDS + 3))
    until "$check"; do
      [ $SECONDS -ge $deadline ] && break
      sleep 0.05
    done
    "$check" && return 0
  done
  fail "$what did not open after $try clicks"
}
