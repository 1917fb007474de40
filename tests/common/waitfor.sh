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
