# Sourced by the shell tests that run the real Tarvolin on an X server with a
# window manager (openbox) and an XEmbed notification area (trayer), driven
# with xdotool/wmctrl. The sourcing script defines fail() and may set
# STEP_TIMEOUT; APP holds the program's process id and TR the tray host's.
# shellcheck shell=bash
# shellcheck source=shelltest.sh
. "$(dirname "${BASH_SOURCE[0]}")/shelltest.sh"
# shellcheck source=waitfor.sh
. "$(dirname "${BASH_SOURCE[0]}")/waitfor.sh"

# run_under_xvfb "$0" "$@": when the script's first argument is --xvfb, runs
# it again, without that argument, under a virtual X server of its own, and
# does not return.
run_under_xvfb() {
  local script=$1
  shift
  [ "${1:-}" = "--xvfb" ] || return 0
  shift
  require_programs xvfb-run xauth
  exec_under_xvfb 1024x768x24 "$script" "$@"
}

window_visible() { [ -n "$(xdotool search --onlyvisible --name '^Tarvolin$' 2>/dev/null)" ]; }
window_gone() { ! window_visible; }
window_iconic() {
  local w; w=$(xdotool search --name '^Tarvolin$' 2>/dev/null | while read -r id; do
    xprop -id "$id" WM_STATE 2>/dev/null | grep -q 'Iconic' && echo "$id"; done)
  [ -n "$w" ]
}
app_running() { kill -0 "$APP" 2>/dev/null; }
app_ended() { ! app_running; }
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
tray_panel() { xdotool search --classname '^panel$' 2>/dev/null | head -1; }
tray_panel_exists() { [ -n "$(tray_panel)" ]; }
# The icon is the first named child of trayer's panel window.
tray_icon() {
  local panel; panel=$(tray_panel)
  [ -n "$panel" ] || return 1
  xwininfo -tree -id "$panel" 2>/dev/null | awk '/^ +0x[0-9a-f]+ "/ {print $1; exit}'
}
icon_present() { [ -n "$(tray_icon)" ]; }
icon_absent() { ! icon_present; }
icon_mapped() {
  local icon; icon=$(tray_icon)
  [ -n "$icon" ] && xwininfo -id "$icon" 2>/dev/null | grep -q 'IsViewable'
}
# The icon docked and the same window for a quarter of a second: the tray
# host and Qt may both re-dock it, replacing the window a click would go to.
LAST_ICON=""
STABLE_COUNT=0
icon_settled() {
  local icon; icon=$(tray_icon)
  if [ -n "$icon" ] && [ "$icon" = "$LAST_ICON" ] && icon_mapped; then
    STABLE_COUNT=$((STABLE_COUNT + 1))
  else
    STABLE_COUNT=0
  fi
  LAST_ICON=$icon
  [ $STABLE_COUNT -ge 5 ]
}
wait_icon_settled() { LAST_ICON=""; STABLE_COUNT=0; wait_for "the tray icon to settle" icon_settled; }
click_icon() {
  local icon X Y; icon=$(tray_icon)
  [ -n "$icon" ] || fail "no tray icon to click"
  eval "$(xdotool getwindowgeometry --shell "$icon")"
  xdotool mousemove $((X + 5)) $((Y + 5)) click "$1"
}
start_tray() {
  trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 \
         --transparent false >/dev/null 2>&1 &
  # shellcheck disable=SC2034 # the sourcing script stops it
  TR=$!
  wait_for "the tray host's panel" tray_panel_exists
}

dialog_visible() { [ -n "$(xdotool search --onlyvisible --name '^Restore Program$' 2>/dev/null)" ]; }
dialog_gone() { ! dialog_visible; }
invalid_visible() { [ -n "$(xdotool search --onlyvisible --name '^Invalid Password$' 2>/dev/null)" ]; }
invalid_gone() { ! invalid_visible; }
# Gives the keyboard to the visible window titled $1, then types $2 (any
# text) and presses Return.
type_into() {
  local w; w=$(xdotool search --onlyvisible --name "^$1\$" | head -1)
  [ -n "$w" ] || fail "no window \"$1\" to type into"
  xdotool windowactivate --sync "$w" >/dev/null 2>&1 || xdotool windowfocus --sync "$w"
  [ -n "$2" ] && xdotool type --delay 20 "$2"
  xdotool key Return
}
click_until_dialog() { click_until "the password dialog" dialog_visible click_icon 1; }
