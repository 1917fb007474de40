# Sourced by the shell tests that need programs from outside the project.
#
# require_programs <program>...: when any of them is not on PATH, prints
#   "SKIP: ..." naming them and ends the test with status 77, which ctest
#   reports as skipped (the tests set SKIP_RETURN_CODE 77). Call it before
#   anything else.
# exec_under_xvfb <screen> <script> <args>...: runs the script again on an
#   X server of its own (xvfb-run), with a random free display number.
# shellcheck shell=bash

TARVOLIN_SKIP_STATUS=77

require_programs() {
  local p missing=()
  for p in "$@"; do
    command -v "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "SKIP: needs ${missing[*]} (scripts/deps.sh test installs them)"
  exit "$TARVOLIN_SKIP_STATUS"
}

exec_under_xvfb() {
  local screen=$1 n; shift
  # xvfb-run --auto-servernum starts looking at :99, so two runs started at
  # the same moment on one machine may pick the same display. A random free
  # number makes that unlikely.
  for _ in $(seq 1 50); do
    n=$((1000 + RANDOM % 30000))
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
  # -noreset: the server would otherwise reset whenever its last client
  # disconnects, refusing connections for a moment.
  exec xvfb-run -n "$n" -s "-screen 0 $screen -nolisten tcp -noreset" "$@"
}
