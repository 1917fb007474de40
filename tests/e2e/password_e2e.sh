#!/usr/bin/env bash
# The restore password on the real Tarvolin executable, typed with xdotool
# into the real dialog, on an X server with a window manager and a tray:
# a password of Cyrillic and Latin letters stored in the settings file by
# hand opens only for the same text (a to z in any case), and the program's
# own saves keep it byte for byte.
#   password_e2e.sh --xvfb <tarvolin> <work dir>   starts its own X server
#   password_e2e.sh <tarvolin> <work dir>          uses $DISPLAY (an X server of its own!)
set -u
STEP_TIMEOUT=${STEP_TIMEOUT:-15}
fail() {
  echo "FAIL: $*" >&2
  for log in "$WORK"/*.log; do echo "--- $log"; tail -20 "$log"; done >&2
  exit 1
}
# shellcheck source=../common/traydesktop.sh
. "$(dirname "$0")/../common/traydesktop.sh"
require_programs openbox trayer xdotool wmctrl xwininfo xprop setxkbmap
run_under_xvfb "$0" "$@"

APP_BIN=${1:?usage: password_e2e.sh <tarvolin executable> <work dir>}
WORK=${2:?usage: password_e2e.sh <tarvolin executable> <work dir>}
rm -rf "$WORK"
mkdir -p "$WORK/config/Dremsel" "$WORK/runtime" "$WORK/home"
chmod 700 "$WORK/runtime"
export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" HOME="$WORK/home"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS # the XEmbed tray, not a status notifier
SETTINGS="$XDG_CONFIG_HOME/Dremsel/KVMorvic.conf"

APP=""
TR=""
WM=""
cleanup() {
  end_processes $APP $TR $WM
}
trap cleanup EXIT

PASSWORD_LINE='hidetask_password=пароль-Key'
printf '[General]\n%s\nhidetask_usepassword=1\n' "$PASSWORD_LINE" >"$SETTINGS"

echo "== start hidden in the tray"
wait_for "the X server on ${DISPLAY:-}" xprop -root
# With the Cyrillic letters on the keyboard xdotool types them as they are;
# otherwise it remaps a spare key for each one, racing the program as it
# reads the keys, and letters get lost.
setxkbmap -layout us,ru || fail "cannot set the keyboard layout"
openbox >"$WORK/openbox.log" 2>&1 & WM=$!
wait_for "the window manager" wm_running
start_tray
"$APP_BIN" -autominimize >"$WORK/tarvolin.log" 2>&1 & APP=$!
wait_for "the tray icon" icon_mapped
wait_for "the window to hide" window_gone

echo "== the same Cyrillic letters in another case do not open"
wait_icon_settled
click_until_dialog
type_into "Restore Program" "ПАРОЛЬ-key"
wait_for "the Invalid Password box" invalid_visible
type_into "Invalid Password" ""
wait_for "the Invalid Password box to close" invalid_gone
window_gone || fail "a wrong password restored the window"
icon_present || fail "the icon went away after the wrong password"

echo "== the right one, a to z in another case, opens"
click_until_dialog
type_into "Restore Program" "пароль-kEY"
wait_for "the window to come back" window_visible
wait_for "the icon to go" icon_absent

echo "== a close saves the settings and keeps the password as written"
wmctrl -c Tarvolin
wait_for "the window to hide" window_gone
app_running || fail "the program ended"
settings_saved() { grep -q '^left=' "$SETTINGS"; }
wait_for "the settings to be saved" settings_saved
grep -qxF "$PASSWORD_LINE" "$SETTINGS" || fail "the password changed: $(grep hidetask_password "$SETTINGS")"
echo "PASS"
