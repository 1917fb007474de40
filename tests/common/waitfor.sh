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

# end_processes <pid...>: asks each process to end (SIGTERM), with the
# script's other background jobs and the services the test's own session bus
# started for it (they write to the test's output too), gives them five
# seconds, then kills what is left, and reaps them all. A script's clean-up
# must not hang on a server or panel that ignores the request while it shuts
# down: the test would then run into its time limit after it passed.
end_processes() {
  local p left deadline=$((SECONDS + 5))
  local jobs
  mapfile -t jobs < <(jobs -p)
  set -- "$@" "${jobs[@]}"
  if [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    for p in /proc/[0-9]*; do
      grep -qzxF "DBUS_STARTER_ADDRESS=$DBUS_SESSION_BUS_ADDRESS" "$p/environ" 2>/dev/null && set -- "$@" "${p#/proc/}"
    done
  fi
  for p in "$@"; do kill "$p" 2>/dev/null; done
  while :; do
    left=""
    for p in "$@"; do
      # An ended process whose parent is gone may stay a zombie: it is over.
      kill -0 "$p" 2>/dev/null && [ "$(cut -d' ' -f3 "/proc/$p/stat" 2>/dev/null)" != Z ] && left="$left $p"
    done
    [ -z "$left" ] && break
    if [ $SECONDS -ge $deadline ]; then
      for p in $left; do kill -KILL "$p" 2>/dev/null; done
      break
    fi
    sleep 0.05
  done
  for p in "$@"; do wait "$p" 2>/dev/null; done
  return 0
}
