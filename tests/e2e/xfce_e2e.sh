#!/usr/bin/env bash
# End-to-end run of the real Tarvolin executable on X11 with a StatusNotifier
# host: Xvfb, openbox and xfce4-panel's notification area (which draws an
# item's menu itself, from the item's DBusMenu), on a session bus of its own.
#   xfce_e2e.sh <tarvolin> <work dir>
# Exits 77 when a program it needs is missing. Every step polls for its
# outcome with a bound. With SHOT_DIR set, screenshots are saved there.
set -u
APP_BIN=${1:?usage: xfce_e2e.sh <tarvolin executable> <work dir>}
WORK=${2:?usage: xfce_e2e.sh <tarvolin executable> <work dir>}
STEP_TIMEOUT=${STEP_TIMEOUT:-15}
HERE=$(cd "$(dirname "$0")" && pwd)

. "$HERE/../common/shelltest.sh"
require_programs Xvfb openbox xfce4-panel dbus-run-session busctl xdotool wmctrl xwininfo xprop xmessage pgrep

# The panel's settings daemon is started by the bus and inherits the bus's
# environment: the settings folder must be set before the bus starts, or the
# panel loads the distribution's default layout.
export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" HOME="$WORK/home"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY SESSION_MANAGER
if [ -z "${TARVOLIN_E2E_BUS:-}" ]; then
  rm -rf "$WORK"
  mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml" "$XDG_RUNTIME_DIR" "$HOME"
  chmod 700 "$XDG_RUNTIME_DIR"
  TARVOLIN_E2E_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
SETTINGS="$XDG_CONFIG_HOME/Dremsel/KVMorvic.conf"

# One panel along the bottom: a spacer, then the notification area.
cat >"$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array"><value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=8;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="size" type="uint" value="30"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/><value type="int" value="2"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="separator"><property name="expand" type="bool" value="true"/></property>
    <property name="plugin-2" type="string" value="systray"/>
  </property>
</channel>
XML

PIDS=()
APP=""
PANEL=""
cleanup() {
  end_processes "${PIDS[@]}" $APP $PANEL
}
trap cleanup EXIT
step() { echo "== $*"; }
fail() {
  echo "FAIL: $*" >&2
  for log in "$WORK"/*.log; do echo "--- $log"; tail -20 "$log"; done >&2
  [ -n "${SHOT_DIR:-}" ] && import -window root "$SHOT_DIR/xfce-failure.png" 2>/dev/null
  exit 1
}
# shellcheck source=../common/traydesktop.sh
. "$HERE/../common/traydesktop.sh"
. "$HERE/../common/sni.sh"

# The notification area runs in a process of its own: its window is the
# viewable "wrapper-2.0" inside the panel (the menus it pops up are narrower
# than its icons are wide). Prints the centre of our icon, the only one.
icon_xy() {
  xwininfo -root -tree | awk '/"wrapper-2.0": \("wrapper-2.0"/ && $5 ~ /^[0-9]+x[0-9]+\+[0-9]+\+[0-9]+$/ && $6 ~ /^\+[0-9]+\+[0-9]+$/ {
    split($5, g, /[x+]/); split($6, a, "+"); if (g[1] > 12 && g[2] <= 30) { print a[2] + int(g[1] / 2), a[3] + int(g[2] / 2); exit } }'
}
icon_shown() { [ -n "$(icon_xy)" ]; }
click_icon() {
  local xy; xy=$(icon_xy)
  [ -n "$xy" ] || fail "no icon in the panel to click"
  # shellcheck disable=SC2086
  xdotool mousemove $xy sleep 0.2 click "$1"
}
# The panel's own menu for the icon: an override-redirect "wrapper-2.0"
# window taller than the panel.
host_menu_shown() {
  xwininfo -root -tree | awk '/"wrapper-2.0": \("wrapper-2.0"/ {split($5, g, /[x+]/); if (g[2] > 30) found = 1} END {exit !found}'
}
start_panel() {
  xfce4-panel >>"$WORK/panel.log" 2>&1 &
  PANEL=$!
  wait_for "the panel's notification area (a StatusNotifier watcher)" sni_watcher
}
hide_by_close() {
  wmctrl -c Tarvolin
  wait_for "the window to hide" window_gone
  wait_for "the item to register" sni_has_item
  app_running || fail "closing ended the program although a notification area is there"
}
shot() { [ -n "${SHOT_DIR:-}" ] && import -window root "$SHOT_DIR/$1" 2>/dev/null; true; }

step "X server, window manager and xfce4-panel"
export DISPLAY=:$((1000 + RANDOM % 30000))
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 & PIDS+=($!)
wait_for "the X server on $DISPLAY" xprop -root
openbox >"$WORK/openbox.log" 2>&1 & PIDS+=($!)
wait_for "the window manager" wm_running
start_panel

step "close hides to the tray: the item is registered with its menu"
"$APP_BIN" >"$WORK/tarvolin.log" 2>&1 & APP=$!
wait_for "the Tarvolin window" window_visible
hide_by_close
sni_items
entries=$(sni_menu_entries)
echo "menu: $entries"
[ "$entries" = "Open|-|Quit" ] || fail "the item's menu is \"$entries\", not Open, a separator, Quit"
wait_for "the icon in the panel" icon_shown

step "a real left click on the icon restores, and the item goes"
click_until "the window" window_visible click_icon 1
wait_for "the item to go" sni_no_item

step "Activate from the host restores"
hide_by_close
sni_item_call Activate
wait_for "the window to come back" window_visible

step "the menu's Open restores"
hide_by_close
sni_menu_click Open || fail "no Open entry to click"
wait_for "the window to come back" window_visible

step "the panel restarts while hidden: the icon comes back and still restores"
hide_by_close
xfce4-panel --quit >/dev/null 2>&1
wait "$PANEL" 2>/dev/null; PANEL=""
wait_for "the old panel's watcher to go" sni_watcher_gone
start_panel
wait_for "the item to register again" sni_has_item
wait_for "the icon in the new panel" icon_shown
window_gone || fail "the window came back although the panel returned"
click_until "the window" window_visible click_icon 1

step "the panel ends for good while hidden: the window comes back minimised"
hide_by_close
xfce4-panel --quit >/dev/null 2>&1
wait "$PANEL" 2>/dev/null; PANEL=""
wait_for "the window to be minimised" window_iconic
app_running || fail "the program ended when the panel went away"
start_panel
wmctrl -a Tarvolin
wait_for "the window to come back" window_visible

step "a second start brings the running window forward, hands over and ends"
# Another window has the focus: the running one must come in front of it.
xmessage -name other "another program" >"$WORK/xmessage.log" 2>&1 & PIDS+=($!)
OTHER=$(xdotool search --sync --onlyvisible --classname '^other$' | head -1)
active() { xdotool getactivewindow 2>/dev/null; }
other_active() { [ "$(active)" = "$OTHER" ]; }
click_until "the other window to have the focus" other_active xdotool windowactivate "$OTHER"
ours_active() { [ "$(active)" = "$(xdotool search --onlyvisible --name '^Tarvolin$' | head -1)" ]; }
second_start() {
  "$APP_BIN" "$@" >>"$WORK/second.log" 2>&1
  local rc=$?
  [ $rc -eq 0 ] || fail "the second start ended with status $rc"
}
copies() { pgrep -c -f "^$APP_BIN" 2>/dev/null || echo 0; }
second_start
wait_for "the running window to take the focus" ours_active
[ "$(copies)" -eq 1 ] || fail "$(copies) copies run"

step "hidden in the tray, a second start restores the window; still one item"
hide_by_close
[ "$(sni_items | awk '{print $2}')" = 1 ] || fail "not exactly one item: $(sni_items)"
second_start
wait_for "the window to come back" window_visible
wait_for "the item to go" sni_no_item
[ "$(copies)" -eq 1 ] || fail "$(copies) copies run"

step "with a password set, --toggle asks for it rather than showing the window"
printf 'hidetask_usepassword=1\nhidetask_password=secret\n' >>"$SETTINGS"
hide_by_close # the password is read at every hide
second_start --toggle
wait_for "the password dialog" dialog_visible
window_visible && fail "the window came back without the password"
xdotool search --onlyvisible --name '^Restore Program$' windowactivate --sync key Escape
wait_for "the dialog to close" bash -c "! xdotool search --onlyvisible --name '^Restore Program\$' >/dev/null 2>&1"
window_visible && fail "a cancelled password showed the window"
second_start --toggle
wait_for "the password dialog" dialog_visible
xdotool search --onlyvisible --name '^Restore Program$' windowactivate --sync type secret
xdotool key Return
wait_for "the window to come back" window_visible
sed -i '/^hidetask_/d' "$SETTINGS"

step "a real right click shows the panel's menu for the icon; its Quit ends the program"
hide_by_close
wait_for "the icon in the panel" icon_shown
click_until "the panel's menu" host_menu_shown click_icon 3
shot tray-menu-xfce.png
xdotool key Up Return # the last entry, Quit
wait_for "the program to end" app_ended
wait "$APP"; rc=$?; APP=""
[ $rc -eq 0 ] || fail "the program ended with status $rc"
grep -q '^hideontaskbar=1' "$SETTINGS" || fail "the settings were not kept"

step "SIGTERM (a session that ends) saves the settings as a close does, and ends"
"$APP_BIN" >>"$WORK/tarvolin.log" 2>&1 & APP=$!
wait_for "the Tarvolin window" window_visible
sed -i 's/^padhex=.*/padhex=7/' "$SETTINGS" # not what the window holds
kill -TERM "$APP"
wait_for "the program to end" app_ended
wait "$APP"; rc=$?; APP=""
[ $rc -eq 0 ] || fail "the program ended with status $rc after SIGTERM"
grep -q '^padhex=0$' "$SETTINGS" || fail "the settings were not saved at SIGTERM: $(grep padhex "$SETTINGS")"
echo "PASS"
