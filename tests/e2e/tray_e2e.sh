#!/usr/bin/env bash
# End-to-end run of the real Tarvolin executable on an X server with a window
# manager (openbox) and an XEmbed notification area (trayer), driven with
# xdotool/wmctrl:
#   tray_e2e.sh --xvfb <tarvolin> <work dir>   starts its own X server with xvfb-run
#   tray_e2e.sh <tarvolin> <work dir>          uses $DISPLAY (an X server of its own!)
# Every step polls for its outcome with a bound instead of sleeping for a
# fixed time. With SHOT_DIR set, screenshots are saved there.
set -u
# shellcheck source=../common/traydesktop.sh
. "$(dirname "$0")/../common/traydesktop.sh"
require_programs openbox trayer xdotool wmctrl xwininfo xprop
run_under_xvfb "$0" "$@"

APP_BIN=${1:?usage: tray_e2e.sh <tarvolin executable> <work dir>}
WORK=${2:?usage: tray_e2e.sh <tarvolin executable> <work dir>}
STEP_TIMEOUT=${STEP_TIMEOUT:-15}

rm -rf "$WORK"
mkdir -p "$WORK/config" "$WORK/runtime" "$WORK/home"
chmod 700 "$WORK/runtime"
export XDG_CONFIG_HOME="$WORK/config"
export XDG_RUNTIME_DIR="$WORK/runtime"
export HOME="$WORK/home"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
# No session bus: Qt then uses the XEmbed notification area.
unset DBUS_SESSION_BUS_ADDRESS
SETTINGS="$XDG_CONFIG_HOME/Dremsel/KVMorvic.conf"

PIDS=()
APP=""
TR=""
cleanup() {
  end_processes "${PIDS[@]}" $APP $TR
}
trap cleanup EXIT

step() { echo "== $*"; }
fail() {
  echo "FAIL: $*" >&2
  echo "DISPLAY=$DISPLAY XAUTHORITY=${XAUTHORITY:-}" >&2
  panel=$(tray_panel); [ -n "$panel" ] && xwininfo -tree -id "$panel" >&2
  for log in "$WORK"/*.log; do echo "--- $log"; tail -20 "$log"; done >&2
  [ -n "${SHOT_DIR:-}" ] && import -window root "$SHOT_DIR/failure.png" 2>/dev/null
  exit 1
}
# The tray menu: a visible override-redirect window of the program (its main
# window is hidden at that point).
menu_visible() { [ -n "$(xdotool search --onlyvisible --classname '^tarvolin$' 2>/dev/null | while read -r w; do
                   xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q -e OVERRIDE -e POPUP_MENU && echo "$w"; done)" ]; }
# Prints "left top" of the main window's frame, the position the settings hold.
frame_position() {
  local win ext ax ay
  win=$(xdotool search --onlyvisible --name '^Tarvolin$' | head -1)
  [ -n "$win" ] || return 1
  ax=$(xwininfo -id "$win" | sed -n 's/^ *Absolute upper-left X: *//p')
  ay=$(xwininfo -id "$win" | sed -n 's/^ *Absolute upper-left Y: *//p')
  # _NET_FRAME_EXTENTS = left, right, top, bottom
  ext=$(xprop -id "$win" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
  [ -n "$ext" ] || ext="0,0,0,0"
  IFS=, read -r el _ et _ <<<"$ext"
  echo "$((ax - el)) $((ay - et))"
}
tray_panel_gone() { [ -z "$(tray_panel)" ]; }
setting() { sed -n "s/^$1=//p" "$SETTINGS" | head -1; }
shot() { [ -n "${SHOT_DIR:-}" ] && import -window root "$SHOT_DIR/$1" 2>/dev/null; true; }

step "window manager and tray host"
[ -n "${DISPLAY:-}" ] || fail "no X display: run this script under xvfb-run"
wait_for "the X server on $DISPLAY" xprop -root
openbox >"$WORK/openbox.log" 2>&1 & PIDS+=($!)
wait_for "the window manager" wm_running
start_tray

step "start Tarvolin: the window appears where the settings put it"
"$APP_BIN" >"$WORK/tarvolin.log" 2>&1 & APP=$!
wait_for "the Tarvolin window" window_visible
app_running || fail "Tarvolin ended at start"
win=$(xdotool search --onlyvisible --name '^Tarvolin$' | head -1)
# First start: the window's top-left corner at the screen centre.
wait_for "the window frame" frame_position
pos=$(frame_position)
echo "window frame at $pos"
[ "$pos" = "512 384" ] || fail "window not placed at the screen centre: $pos"
[ -f "$SETTINGS" ] || fail "the first start wrote no settings ($SETTINGS)"
[ "$(setting hideontaskbar)" = 1 ] || fail "hideontaskbar not seeded with 1"
icon_absent || fail "a tray icon is shown while the window is shown"
shot window-desktop.png
if [ -n "${SHOT_DIR:-}" ]; then import -window "$win" "$SHOT_DIR/window.png" 2>/dev/null; fi

step "close the window: it hides to the tray and the program keeps running"
wmctrl -c Tarvolin
wait_for "the window to hide" window_gone
wait_for "the tray icon" icon_mapped
app_running || fail "closing ended the program although hideontaskbar is set"
[ -n "$(setting left)" ] && [ -n "$(setting width)" ] || fail "the close saved no position"
shot tray.png

step "left click on the icon restores the window and removes the icon"
wait_icon_settled
click_until "the window" window_visible click_icon 1
wait_for "the icon to go" icon_absent

step "close again, then restart the tray host while hidden: the icon returns"
wmctrl -c Tarvolin
wait_for "the window to hide" window_gone
wait_for "the tray icon" icon_mapped
kill "$TR"; wait "$TR" 2>/dev/null
wait_for "the old panel to go" tray_panel_gone
start_tray
wait_for "the icon to return" icon_mapped
app_running || fail "the program ended when the tray host went away"
window_gone || fail "the window came back although the tray host returned"

step "the returned icon still restores"
wait_icon_settled
click_until "the window" window_visible click_icon 1
wmctrl -c Tarvolin
wait_for "the window to hide" window_gone
wait_for "the tray icon" icon_mapped

step "tray menu › Quit ends the program"
wait_icon_settled
click_icon 3
wait_for "the tray menu" menu_visible
xdotool key Down Down Return
wait_for "the program to end" app_ended
wait "$APP"; rc=$?
APP=""
[ $rc -eq 0 ] || fail "the program ended with status $rc"

step "the settings file afterwards"
cat "$SETTINGS"
for v in top left width height hideontaskbar autoload padhex; do
  [ -n "$(setting $v)" ] || fail "setting $v missing"
done
[ "$(setting hideontaskbar)" = 1 ] || fail "hideontaskbar changed"
[ "$(setting autoload)" = 0 ] || fail "autoload changed"
[ "$(setting padhex)" = 0 ] || fail "padhex changed"

step "second start: the stored position is used, and with hideontaskbar clear a close ends the program"
sed -i -e 's/^left=.*/left=100/' -e 's/^top=.*/top=60/' -e 's/^hideontaskbar=.*/hideontaskbar=0/' "$SETTINGS"
"$APP_BIN" >>"$WORK/tarvolin.log" 2>&1 & APP=$!
wait_for "the Tarvolin window" window_visible
wait_for "the window frame" frame_position
pos=$(frame_position)
echo "window frame at $pos"
[ "$pos" = "100 60" ] || fail "the stored position was not used: $pos"
wmctrl -c Tarvolin
wait_for "the program to end" app_ended
wait "$APP"; rc=$?
APP=""
[ $rc -eq 0 ] || fail "the program ended with status $rc"
icon_absent || fail "an icon is left in the tray"
[ "$(setting hideontaskbar)" = 0 ] || fail "hideontaskbar not kept at 0"
[ "$(setting left)" = 100 ] && [ "$(setting top)" = 60 ] || fail "the position changed: $(setting left),$(setting top)"

step "third start with -AutoMinimize among other arguments: shown, then hidden to the tray"
printf 'hidetask_password=Secret1\nhidetask_usepassword=1\n' >>"$SETTINGS"
"$APP_BIN" --unknown -AutoMinimize >>"$WORK/tarvolin.log" 2>&1 & APP=$!
wait_for "the tray icon" icon_mapped
wait_for "the window to hide" window_gone
app_running || fail "the program ended after hiding at start"

step "restoring asks for the password: a wrong one keeps it hidden, the right one in another case restores"
wait_icon_settled
click_until_dialog
type_into "Restore Program" "wrong"
wait_for "the Invalid Password box" invalid_visible
type_into "Invalid Password" ""
wait_for "the Invalid Password box to close" invalid_gone
window_gone || fail "a wrong password restored the window"
app_running || fail "the program ended after the wrong password"
icon_present || fail "the icon went away after the wrong password"
click_until_dialog
type_into "Restore Program" "sECRET1"
wait_for "the window to come back" window_visible
wait_for "the password dialog to close" dialog_gone
wait_for "the icon to go" icon_absent

step "close ends the program (hideontaskbar is still clear)"
wmctrl -c Tarvolin
wait_for "the program to end" app_ended
wait "$APP"; rc=$?
APP=""
[ $rc -eq 0 ] || fail "the program ended with status $rc"

step "without a notification area a close minimises the window, which comes back from the taskbar"
kill "$TR"; wait "$TR" 2>/dev/null; TR=""
wait_for "the tray host to go" tray_panel_gone
sed -i -e 's/^hideontaskbar=.*/hideontaskbar=1/' -e 's/^hidetask_usepassword=.*/hidetask_usepassword=0/' "$SETTINGS"
"$APP_BIN" >>"$WORK/tarvolin.log" 2>&1 & APP=$!
wait_for "the Tarvolin window" window_visible
wmctrl -c Tarvolin
wait_for "the window to be minimised" window_iconic
app_running || fail "the program ended on a close with no notification area"

step "a tray appears, the window is restored from the taskbar, hidden again: the icon brings it back in its normal state"
start_tray
wmctrl -a Tarvolin
wait_for "the window to come back" window_visible
wmctrl -c Tarvolin
wait_for "the window to hide" window_gone
wait_for "the tray icon" icon_mapped
wait_icon_settled
click_until "the window" window_visible click_icon 1
window_iconic && fail "the window came back minimised"

step "the tray host ends for good while hidden: the window comes back minimised"
place=$(frame_position)
wmctrl -c Tarvolin
wait_for "the window to hide" window_gone
wait_for "the tray icon" icon_mapped
kill "$TR"; wait "$TR" 2>/dev/null; TR=""
wait_for "the window to be minimised" window_iconic
app_running || fail "the program ended when the tray host went away"
wmctrl -a Tarvolin
in_place() { [ "$(frame_position)" = "$place" ]; }
wait_for "the window back in its place ($place)" in_place

step "File › Quit ends the program although hideontaskbar is set"
win=$(xdotool search --onlyvisible --name '^Tarvolin$' | head -1)
xdotool windowactivate --sync "$win" >/dev/null 2>&1
ax=$(xwininfo -id "$win" | sed -n 's/^ *Absolute upper-left X: *//p')
ay=$(xwininfo -id "$win" | sed -n 's/^ *Absolute upper-left Y: *//p')
click_until "the File menu" menu_visible xdotool mousemove $((ax + 12)) $((ay + 10)) click 1
xdotool key Down Return                              # its one item, Quit
wait_for "the program to end" app_ended
wait "$APP"; rc=$?
APP=""
[ $rc -eq 0 ] || fail "the program ended with status $rc"
[ "$(setting hideontaskbar)" = 1 ] || fail "hideontaskbar not kept at 1"
echo "PASS"
