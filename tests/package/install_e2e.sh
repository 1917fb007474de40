#!/usr/bin/env bash
# The program as the package installs it: unpacks tarvolin_*.deb into a
# folder of its own (dpkg-deb -x), starts usr/bin/tarvolin from there on an X
# server and chooses Help > Users Manual. A stand-in xdg-open, first on PATH,
# records what the desktop is asked to open (Qt hands files to xdg-open on a
# desktop without a portal); it must be the manual the package installed in
# usr/share/doc/tarvolin.
#   install_e2e.sh --xvfb <out dir of build_deb.sh> <work dir>
set -u
# shellcheck source=../common/shelltest.sh
. "$(dirname "$0")/../common/shelltest.sh"
if [ "${1:-}" = "--xvfb" ]; then
  shift
  [ -e "${1:-}/SKIPPED" ] && { echo "SKIP: no package was built (package_deb was skipped)"; exit 77; }
  require_programs xvfb-run xauth xdotool xwininfo dpkg-deb
  exec_under_xvfb 1024x768x24 "$0" "$@"
fi
OUT=${1:?usage: install_e2e.sh [--xvfb] <out dir> <work dir>}
WORK=${2:?usage: install_e2e.sh [--xvfb] <out dir> <work dir>}
STEP_TIMEOUT=${STEP_TIMEOUT:-20}

APP=""
cleanup() { [ -n "$APP" ] && kill "$APP" 2>/dev/null; wait 2>/dev/null; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$WORK/tarvolin.log" ] && tail -20 "$WORK/tarvolin.log" >&2; exit 1; }
# shellcheck source=../common/waitfor.sh
. "$(dirname "$0")/../common/waitfor.sh"

shopt -s nullglob
debs=("$OUT"/tarvolin_*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one tarvolin package in $OUT, found ${#debs[@]}"
rm -rf "$WORK"
mkdir -p "$WORK/root" "$WORK/bin" "$WORK/start" "$WORK/config" "$WORK/runtime" "$WORK/home"
chmod 700 "$WORK/runtime"
WORK=$(cd "$WORK" && pwd)
dpkg-deb -x "${debs[0]}" "$WORK/root"
APP_BIN=$WORK/root/usr/bin/tarvolin
[ -x "$APP_BIN" ] || fail "the package has no usr/bin/tarvolin"

cat >"$WORK/bin/xdg-open" <<EOS
#!/bin/sh
printf '%s\n' "\$*" >>"$WORK/opened.txt"
EOS
chmod +x "$WORK/bin/xdg-open"
export PATH="$WORK/bin:$PATH"
export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" HOME="$WORK/home"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP BROWSER DEFAULT_BROWSER

# Started from an empty folder, so that only the installed manual can be found.
cd "$WORK/start" || fail "no start folder"
"$APP_BIN" >"$WORK/tarvolin.log" 2>&1 & APP=$!
main_window() { xdotool search --onlyvisible --name '^Tarvolin$' 2>/dev/null | head -1; }
window_visible() { [ -n "$(main_window)" ]; }
wait_for "the Tarvolin window" window_visible
win=$(main_window)
ax=$(xwininfo -id "$win" | sed -n 's/^ *Absolute upper-left X: *//p')
ay=$(xwininfo -id "$win" | sed -n 's/^ *Absolute upper-left Y: *//p')
# A menu of the program open, left edge at least $1 pixels right of the window's.
menu_open_at() {
  local w x
  for w in $(xdotool search --onlyvisible --pid "$APP" 2>/dev/null); do
    [ "$w" = "$win" ] && continue
    x=$(xwininfo -id "$w" 2>/dev/null | sed -n 's/^ *Absolute upper-left X: *//p')
    [ -n "$x" ] && [ "$x" -ge $((ax + $1)) ] && return 0
  done
  return 1
}
help_open() { menu_open_at 40; }
xdotool mousemove $((ax + 12)) $((ay + 10)) click 1   # the File menu, the first
wait_for "the File menu" menu_open_at 0
xdotool key Left                                     # wraps round to Help, the last
wait_for "the Help menu" help_open
xdotool key Return                                   # its first item, Users Manual
opened() { [ -s "$WORK/opened.txt" ]; }
wait_for "the manual to be handed to xdg-open" opened

want="file://$WORK/root/usr/share/doc/tarvolin/morvic.html"
got=$(head -1 "$WORK/opened.txt")
[ "$got" = "$want" ] || fail "xdg-open was asked to open '$got', not '$want'"
echo "PASS: Help > Users Manual opened $got"
