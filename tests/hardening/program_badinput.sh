#!/usr/bin/env bash
# The real executable against bad input from outside, on a virtual X server:
# started from a folder whose name holds spaces, quotes and shell characters,
# in a working directory that has been deleted, with a command line of
# thousands of arguments (one of 100,000 characters, some not valid text) and
# a settings file it cannot read. Its window must appear and be its only one
# (a message box at start would hold the window back), the program must keep
# running, and the settings file must be exactly as it was.
#   program_badinput.sh --xvfb <tarvolin> <work dir>   on an X server of its own
#   program_badinput.sh <tarvolin> <work dir>          on $DISPLAY
set -u
# shellcheck source=../common/shelltest.sh
. "$(dirname "$0")/../common/shelltest.sh"
require_programs xdotool md5sum
if [ "${1:-}" = "--xvfb" ]; then
  shift
  require_programs xvfb-run xauth
  exec_under_xvfb 1024x768x24 "$0" "$@"
fi
APP_BIN=${1:?usage: program_badinput.sh <tarvolin> <work dir>}
WORK=${2:?usage: program_badinput.sh <tarvolin> <work dir>}
STEP_TIMEOUT=${STEP_TIMEOUT:-20}

rm -rf "$WORK"
mkdir -p "$WORK/config/Dremsel" "$WORK/runtime" "$WORK/home"
chmod 700 "$WORK/runtime"
export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" HOME="$WORK/home"
export QT_QPA_PLATFORM=xcb
# No session bus: the user's running Tarvolin must not take this start over.
unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS

APP=""
cleanup() { [ -n "$APP" ] && kill "$APP" 2>/dev/null; wait 2>/dev/null; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# shellcheck source=../common/waitfor.sh
. "$(dirname "$0")/../common/waitfor.sh"
app_windows() { xdotool search --onlyvisible --pid "$APP" 2>/dev/null; }
window_visible() { [ -n "$(xdotool search --onlyvisible --name '^Tarvolin$' 2>/dev/null)" ]; }

odd_dir="$WORK/bin dir with spaces, \"quotes\", it's \$HOME & #1"
mkdir -p "$odd_dir"
cp "$APP_BIN" "$odd_dir/tar volin"
# The program library the executable loads goes beside it.
cp "$(dirname "$APP_BIN")"/libtarvolin-program.so "$odd_dir/"

settings="$XDG_CONFIG_HOME/Dremsel/KVMorvic.conf"
printf '\377\376 not settings\n[[[\n\000\001\002' >"$settings"
before=$(md5sum <"$settings")

gone="$WORK/gone"
mkdir -p "$gone"

# Thousands of arguments, a very long one, and bytes that are not UTF-8.
args=()
for i in $(seq 1 3000); do args+=("arg $i"); done
# (One argument may hold at most 128 KiB on Linux.)
args+=("$(head -c 100000 /dev/zero | tr '\0' x)" $'\xff\xfe\x80' '' '--' '-autominimize=no')

(cd "$gone" && rmdir "$gone" && exec "$odd_dir/tar volin" "${args[@]}") &
APP=$!

echo "== the window appears"
wait_for "the window" window_visible
kill -0 "$APP" 2>/dev/null || fail "the program ended"
count=$(app_windows | wc -l)
[ "$count" -eq 1 ] || fail "expected only the main window, saw $count windows"

[ "$(md5sum <"$settings")" = "$before" ] || fail "the unreadable settings file was changed"
kill -0 "$APP" 2>/dev/null || fail "the program ended"
echo "PASS"
