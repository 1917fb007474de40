#!/usr/bin/env bash
# Tarvolin and the example hex editor as a screen reader and a keyboard-only
# user meet them, on an X server with a window manager and a session bus with
# the accessibility bus of their own:
#   - both programs' AT-SPI trees, walked with pyatspi as Orca reads them:
#     every focusable object named, the names unique in their window;
#   - the hex editor's text, caret and description following Right and a
#     typed character;
#   - Tarvolin by keys alone, driven with xdotool: the fields' mnemonics, a
#     menu's mnemonics, the About box, the web link reached by Tab and opened
#     with Enter and Space, and Ctrl+Q.
#   a11y_e2e.sh --xvfb <tarvolin> <hexedit> <work dir>   starts its own X server and bus
set -u
STEP_TIMEOUT=${STEP_TIMEOUT:-20}
export STEP_TIMEOUT
HERE=$(cd "$(dirname "$0")" && pwd)
fail() {
  echo "FAIL: $*" >&2
  for log in "$WORK"/*.log; do echo "--- $log"; tail -20 "$log"; done >&2
  exit 1
}
# shellcheck source=../common/traydesktop.sh
. "$HERE/../common/traydesktop.sh"
require_programs openbox xdotool dbus-run-session dbus-send /usr/libexec/at-spi-bus-launcher /usr/bin/python3
if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
  echo "SKIP: needs python3-pyatspi (scripts/deps.sh test installs it)"
  exit "$TARVOLIN_SKIP_STATUS"
fi
if [ "${1:-}" = "--xvfb" ]; then
  shift
  require_programs xvfb-run xauth
  exec_under_xvfb 1024x768x24 dbus-run-session -- "$0" "$@"
fi

APP_BIN=${1:?usage: a11y_e2e.sh <tarvolin> <hexedit> <work dir>}
HEX_BIN=${2:?usage: a11y_e2e.sh <tarvolin> <hexedit> <work dir>}
WORK=${3:?usage: a11y_e2e.sh <tarvolin> <hexedit> <work dir>}
rm -rf "$WORK"
mkdir -p "$WORK/config" "$WORK/runtime" "$WORK/home" "$WORK/bin"
chmod 700 "$WORK/runtime"
export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" HOME="$WORK/home"
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset WAYLAND_DISPLAY
# The desktop's opener, standing in for the browser: it notes what it was
# asked to open.
cat >"$WORK/bin/xdg-open" <<EOS
#!/bin/sh
printf '%s\n' "\$*" >>"$WORK/opened.txt"
EOS
chmod +x "$WORK/bin/xdg-open"
export PATH="$WORK/bin:$PATH"
walk() { /usr/bin/python3 "$HERE/a11y_walk.py" "$@"; }

APP=""
WM=""
BUS=""
cleanup() {
  end_processes $APP $WM $BUS
}
trap cleanup EXIT

wait_for "the X server on ${DISPLAY:-}" xprop -root
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$WORK/atspi.log" 2>&1 & BUS=$!
a11y_bus() { dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress; }
wait_for "the accessibility bus" a11y_bus
openbox >"$WORK/openbox.log" 2>&1 & WM=$!
wait_for "the window manager" wm_running
app_gone() { ! kill -0 "$APP" 2>/dev/null; }

echo "== Tarvolin's tree"
"$APP_BIN" >"$WORK/tarvolin.log" 2>&1 & APP=$!
wait_for "the Tarvolin window" window_visible
walk tree tarvolin || fail "Tarvolin's tree"

echo "== Tarvolin by keys alone"
xdotool windowfocus "$(xdotool search --onlyvisible --name '^Tarvolin$' | head -1)"
walk focus tarvolin "binary:" || fail "the binary field has no focus at start"
xdotool key alt+x
walk focus tarvolin "hex:" || fail "Alt+X did not reach the hex field"
xdotool key alt+b ctrl+a
xdotool type 101
walk text tarvolin "decimal:" 5 || fail "typing after Alt+B did not set the value"
xdotool key alt+p
walk focus tarvolin "Hex pad width" || fail "Alt+P did not reach the pad"
xdotool key alt+1
walk text tarvolin "hex:" 500 || fail "Alt+1 did not reverse the bytes over 16 bits"
# On from the pad, the Tab order's end: the three flips, then the link.
for next in "Reverse byte order over 32 bits" "Reverse byte order over 24 bits" \
            "Reverse byte order over 16 bits" "visit www.dremsel.example"; do
  xdotool key Tab
  walk focus tarvolin "$next" || fail "Tab did not go on to '$next'"
done
opened() { [ "$(grep -c . "$WORK/opened.txt" 2>/dev/null)" = "$1" ]; }
xdotool key Return
wait_for "Enter to open the link" opened 1
xdotool key space
wait_for "Space to open the link" opened 2
grep -qx 'https://www.dremsel.example/' "$WORK/opened.txt" || fail "the link opened $(head -1 "$WORK/opened.txt")"
xdotool key alt+s
walk showing tarvolin "Hide on Taskbar instead of Closing" || fail "Alt+S did not open the Settings menu"
xdotool key h
walk checked tarvolin "Hide on Taskbar instead of Closing" no || fail "Alt+S, H did not uncheck the item"
xdotool key alt+h a
walk window tarvolin "About Tarvolin" >/dev/null || fail "Alt+H, A did not open the About box"
walk tree tarvolin || fail "Tarvolin's tree with the About box"
walk focus tarvolin "Ok" || fail "the About box's Ok has no focus"
xdotool key Tab
walk focus tarvolin "https://www.dremsel.example/tarvolin/" || fail "Tab did not reach the About box's first link"
xdotool key Escape
walk window tarvolin "About Tarvolin" - || fail "Escape did not close the About box"
xdotool key ctrl+q
wait_for "Ctrl+Q to end the program" app_gone
grep -q '^hideontaskbar=0' "$XDG_CONFIG_HOME/Dremsel/KVMorvic.conf" || fail "the settings saved hideontaskbar as $(grep hideontaskbar "$XDG_CONFIG_HOME/Dremsel/KVMorvic.conf")"

echo "== hexedit's tree, and its editor"
for _ in $(seq 1 20); do printf 'Hello, world. '; done >"$WORK/hello.txt"
"$HEX_BIN" "$WORK/hello.txt" >"$WORK/hexedit.log" 2>&1 & APP=$!
hex_visible() { [ -n "$(xdotool search --onlyvisible --name 'hello.txt - hexedit' 2>/dev/null)" ]; }
wait_for "the hexedit window" hex_visible
walk tree hexedit || fail "hexedit's tree"
xdotool windowfocus "$(xdotool search --onlyvisible --name 'hello.txt - hexedit' | head -1)"
walk hex hexedit || fail "the hex editor"
xdotool key ctrl+f
walk focus hexedit "Find what" || fail "Ctrl+F did not reach the find field"
# The changes are saved first, so that Ctrl+Q has nothing to ask.
xdotool key ctrl+s ctrl+q
wait_for "Ctrl+Q to end hexedit" app_gone
grep -q '^HZAlo' "$WORK/hello.txt" || fail "Ctrl+S did not save the typed Z and the byte written as the value"
echo "PASS"
