#!/usr/bin/env bash
# End-to-end run of the real Tarvolin executable on Wayland: sway with
# swaybar's notification area (a StatusNotifier host that asks the program to
# show its own menu), then sway with waybar (which draws the item's menu from
# its DBusMenu), each on a session bus of its own.
#   wayland_e2e.sh <tarvolin> <work dir>
# sway refuses to run as root: as root, the script runs a copy of itself and
# of the program as "nobody". The first part uses sway's headless
# back end (no input devices: the host is driven over D-Bus, keys are typed
# with wtype); the second runs sway inside Xvfb so that a real pointer click
# reaches waybar. Exits 77 when a program it needs is missing. With SHOT_DIR
# set, screenshots are saved there.
set -u
APP_BIN=${1:?usage: wayland_e2e.sh <tarvolin executable> <work dir>}
WORK=${2:?usage: wayland_e2e.sh <tarvolin executable> <work dir>}
STEP_TIMEOUT=${STEP_TIMEOUT:-15}
# The window's app_id: Qt gives Wayland the desktop entry's id.
APP_ID=${TARVOLIN_APP_ID:-example.dremsel.tarvolin}
HERE=$(cd "$(dirname "$0")" && pwd)

. "$HERE/../common/shelltest.sh"
require_programs sway swaybar swaymsg waybar grim wtype Xvfb xdotool xprop dbus-run-session busctl \
                 python3 convert compare setpriv
[ -n "$(find /usr/lib -path '*qt6/plugins/platforms/libqwayland-generic.so' 2>/dev/null | head -1)" ] \
  || { echo "SKIP: needs Qt's Wayland platform plugin (qt6-wayland)"; exit "$TARVOLIN_SKIP_STATUS"; }

if [ "$(id -u)" = 0 ]; then
  # Run as nobody, from copies of the script, its helpers and the program in
  # a folder of nobody's own: the build folder may lie where nobody cannot
  # reach it. Logs and screenshots come back to the work folder.
  rm -rf "$WORK"
  mkdir -p "$WORK"
  run=$(mktemp -d /tmp/tarvolin-wayland.XXXXXX)
  mkdir -p "$run/e2e" "$run/common" "$run/bin" "$run/work"
  cp "$0" "$HERE/wayland_token.py" "$run/e2e/"
  cp "$HERE"/../common/*.sh "$run/common/"
  cp "$APP_BIN" "$run/bin/tarvolin"
  cp "$(dirname "$APP_BIN")"/libtarvolin-program.so "$run/bin/"
  chown -R nobody:nogroup "$run"
  chmod 755 "$run"
  keep=(PATH="$PATH" STEP_TIMEOUT="$STEP_TIMEOUT" TARVOLIN_APP_ID="$APP_ID" TARVOLIN_E2E_USER=1)
  for v in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS; do [ -n "${!v:-}" ] && keep+=("$v=${!v}"); done
  setpriv --reuid=nobody --regid=nogroup --clear-groups --reset-env -- \
    env "${keep[@]}" "$run/e2e/$(basename "$0")" "$run/bin/tarvolin" "$run/work"
  rc=$?
  cp "$run"/work/*.log "$run"/work/*.png "$run"/work/shots/*.png "$WORK"/ 2>/dev/null
  [ -n "${SHOT_DIR:-}" ] && cp "$run"/work/shots/*.png "$SHOT_DIR"/ 2>/dev/null
  rm -rf "$run"
  exit $rc
fi
[ -n "${TARVOLIN_E2E_USER:-}" ] || rm -rf "$WORK"
mkdir -p "$WORK/shots"
SHOTS="$WORK/shots"
[ -n "${SHOT_DIR:-}" ] && SHOTS=$SHOT_DIR

export XDG_CONFIG_HOME="$WORK/config" HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/runtime"
export QT_QPA_PLATFORM=wayland
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK
if [ -z "${TARVOLIN_E2E_BUS:-}" ]; then
  mkdir -p "$XDG_CONFIG_HOME/waybar" "$HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  TARVOLIN_E2E_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
SETTINGS="$XDG_CONFIG_HOME/Dremsel/KVMorvic.conf"

PIDS=()
APP=""
BAR=""
SWAY=""
cleanup() {
  end_processes $APP $BAR $SWAY "${PIDS[@]}"
}
trap cleanup EXIT
step() { echo "== $*"; }
fail() {
  echo "FAIL: $*" >&2
  windows >&2
  for log in "$WORK"/*.log; do echo "--- $log"; tail -20 "$log"; done >&2
  grim "$SHOTS/wayland-failure.png" 2>/dev/null
  exit 1
}
. "$HERE/../common/waitfor.sh"
. "$HERE/../common/sni.sh"

# Every window of ours: "title x y width height".
windows() {
  swaymsg -t get_tree 2>/dev/null | APP_ID=$APP_ID python3 -c '
import json, os, sys
def walk(n):
    if n.get("app_id") == os.environ["APP_ID"]:
        r = n["rect"]; print(repr(n["name"]), r["x"], r["y"], r["width"], r["height"])
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        walk(c)
walk(json.load(sys.stdin))'
}
window_count() { windows | wc -l; }
window_shown() { windows | grep -q "^'Tarvolin' "; }
window_gone() { [ "$(window_count)" -eq 0 ]; }
app_running() { kill -0 "$APP" 2>/dev/null; }
app_ended() { ! app_running; }
setting() { sed -n "s/^$1=//p" "$SETTINGS" | head -1; }
# Passes when the command keeps succeeding for the whole of the given seconds.
holds_for() {
  local seconds=$1; shift
  local until=$((SECONDS + seconds))
  while [ $SECONDS -lt $until ]; do "$@" || return 1; sleep 0.1; done
}
start_app() {
  "$APP_BIN" "$@" >>"$WORK/tarvolin.log" 2>&1 &
  APP=$!
  wait_for "the Tarvolin window" window_shown
}
close_window() { swaymsg "[app_id=\"$APP_ID\"] kill" >/dev/null; }
hide_by_close() {
  close_window
  wait_for "the window to hide" window_gone
  wait_for "the item to register" sni_has_item
  app_running || fail "closing ended the program although a notification area is there"
}
end_app() {
  wait_for "the program to end" app_ended
  wait "$APP"; local rc=$?; APP=""
  [ $rc -eq 0 ] || fail "the program ended with status $rc"
}
# start_sway <headless|x11>: sway on its own, the bar is started separately.
start_sway() {
  cat >"$WORK/sway.conf" <<CONF
output * resolution 1024x768 position 0,0 bg #203040 solid_color
default_border none
# Let a program take the focus with a launcher's activation token.
focus_on_window_activation focus
bar {
    id bar-0
    position bottom
    status_command while :; do echo Tarvolin test; sleep 3600; done
    tray_output *
    swaybar_command true
}
CONF
  WLR_BACKENDS=$1 WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 WLR_X11_OUTPUTS=1 \
    sway -c "$WORK/sway.conf" >>"$WORK/sway.log" 2>&1 &
  SWAY=$!
  wait_for "sway's socket" sway_socket
  SWAYSOCK=$(sway_socket)
  WAYLAND_DISPLAY=$(basename "$(ls "$XDG_RUNTIME_DIR"/wayland-* | grep -v lock | head -1)")
  export SWAYSOCK WAYLAND_DISPLAY
  wait_for "sway to answer" swaymsg -t get_version
}
sway_socket() { ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2>/dev/null | head -1 | grep .; }
stop_sway() {
  kill "$BAR" "$SWAY" 2>/dev/null; wait "$BAR" "$SWAY" 2>/dev/null; BAR=""; SWAY=""
  rm -f "$XDG_RUNTIME_DIR"/sway-ipc.*.sock "$XDG_RUNTIME_DIR"/wayland-*
  wait_for "the bar's watcher to go" sni_watcher_gone
}

step "headless sway with swaybar's notification area"
start_sway headless
# sway would double-fork the bar itself; started here, it can be stopped.
swaybar -b bar-0 >>"$WORK/swaybar.log" 2>&1 & BAR=$!
wait_for "swaybar's StatusNotifier watcher" sni_watcher

step "the window maps; close hides it to the tray with its menu"
# A position saved on X11 that the Wayland session must keep.
mkdir -p "$(dirname "$SETTINGS")"
printf '[General]\ntop=60\nleft=100\n' >"$SETTINGS"
start_app
windows
hide_by_close
entries=$(sni_menu_entries)
[ "$entries" = "Open|-|Quit" ] || fail "the item's menu is \"$entries\", not Open, a separator, Quit"
grim "$SHOTS/wayland-hidden.png"

step "Activate restores"
sni_item_call Activate
wait_for "the window to come back" window_shown
wait_for "the item to go" sni_no_item

step "a second start with a launcher's activation token brings the window to the focus"
window_focused() {
  swaymsg -t get_tree 2>/dev/null | APP_ID=$APP_ID python3 -c '
import json, os, sys
def walk(n):
    if n.get("app_id") == os.environ["APP_ID"] and n.get("focused"):
        sys.exit(0)
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        walk(c)
walk(json.load(sys.stdin)); sys.exit(1)'
}
swaymsg workspace 2 >/dev/null # out of sight, without the focus
window_unfocused() { ! window_focused; }
wait_for "the window to lose the focus" window_unfocused
token=$(python3 "$HERE/wayland_token.py") || fail "sway gave no activation token"
XDG_ACTIVATION_TOKEN=$token "$APP_BIN" >>"$WORK/second.log" 2>&1 || fail "the second start ended with status $?"
wait_for "the window to have the focus" window_focused
[ "$(pgrep -c -f "^$APP_BIN")" -eq 1 ] || fail "more than one copy runs"

step "the host's ContextMenu opens no window; the menu's Open restores"
hide_by_close
sni_item_call ContextMenu 1000 750
# Handled in order: had the first call opened a window, it would be there
# by the time the second one shows the main window.
sni_menu_click Open || fail "no Open entry to click"
wait_for "the window to come back" window_shown
[ "$(window_count)" -eq 1 ] || fail "a window besides the main window appeared: $(windows)"

step "the menu's Quit ends the program; the position saved on X11 is kept"
hide_by_close
sni_menu_click Quit || fail "no Quit entry to click"
end_app
cat "$SETTINGS"
[ "$(setting left)" = 100 ] && [ "$(setting top)" = 60 ] \
  || fail "the stored position was overwritten: left=$(setting left) top=$(setting top)"
[ -n "$(setting width)" ] && [ -n "$(setting height)" ] || fail "the size was not saved"

step "the bar ends for good while hidden: the window comes back"
start_app
hide_by_close
kill "$BAR"; wait "$BAR" 2>/dev/null; BAR=""
wait_for "swaybar's watcher to go" sni_watcher_gone
wait_for "the window to come back" window_shown
close_window
end_app

step "no notification area: -autominimize leaves the window shown and usable, a close ends the program"
start_app -autominimize
holds_for 1 window_shown || fail "the window went away with no notification area to bring it back"
grim "$WORK/before-typing.png"
wtype 101
changed() { grim "$WORK/after-typing.png" && ! compare -metric AE "$WORK/before-typing.png" "$WORK/after-typing.png" null: 2>/dev/null; }
wait_for "the window to take the typed digits" changed
close_window
end_app
stop_sway

step "sway inside Xvfb with waybar: a real right click shows waybar's menu for the icon"
export DISPLAY=:$((1000 + RANDOM % 30000))
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 & PIDS+=($!)
wait_for "the X server on $DISPLAY" xprop -root
start_sway x11
cat >"$XDG_CONFIG_HOME/waybar/config" <<'CONF'
{ "layer": "top", "position": "bottom", "height": 30, "modules-right": ["tray"], "tray": { "icon-size": 20, "spacing": 4 } }
CONF
printf '* { font-family: sans-serif; font-size: 12px; }\nwindow#waybar { background: #dcdcdc; }\n#tray { padding: 0 8px; }\n' \
  >"$XDG_CONFIG_HOME/waybar/style.css"
waybar >>"$WORK/waybar.log" 2>&1 & BAR=$!
wait_for "waybar's StatusNotifier watcher" sni_watcher
start_app
hide_by_close
# The icon is the tray's only one, at the bar's right end.
icon_drawn() { grim -g "994,738 30x30" "$WORK/icon.png" && [ "$(convert "$WORK/icon.png" -format '%k' info:)" -gt 2 ]; }
wait_for "the icon in waybar" icon_drawn
xdotool mousemove 1010 753 click 3
# The menu grows up from the click, over a plain background: its box is
# what trimming that background leaves.
menu_box() {
  grim -g "724,500 300x238" "$WORK/above-bar.png" \
    && convert "$WORK/above-bar.png" -trim -format '%w %h %X %Y' info: 2>/dev/null
}
menu_drawn() { read -r w h _ _ <<<"$(menu_box)"; [ "${w:-0}" -gt 40 ] && [ "${h:-0}" -gt 20 ]; }
wait_for "waybar's menu" menu_drawn
grim "$SHOTS/tray-menu-sway.png"
[ "$(window_count)" -eq 0 ] || fail "the menu opened a window of the program: $(windows)"
read -r w h x y <<<"$(menu_box)"
xdotool mousemove $((724 + ${x#+} + w / 2)) $((500 + ${y#+} + 15)) click 1 # the first entry, Open
wait_for "the window to come back" window_shown
hide_by_close
sni_menu_click Quit || fail "no Quit entry to click"
end_app
echo "PASS"
