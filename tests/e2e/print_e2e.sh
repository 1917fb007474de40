#!/usr/bin/env bash
# `tarvolin --print` as a terminal user runs it: no display at all, settings
# that hold a Pad width. Each row's output is checked line by line, the
# settings file must keep its contents and time stamp (nothing is written),
# and misused options end with status 2 and a usage message.
#   print_e2e.sh <tarvolin> <work dir>
set -u
APP_BIN=${1:?usage: print_e2e.sh <tarvolin executable> <work dir>}
WORK=${2:?usage: print_e2e.sh <tarvolin executable> <work dir>}
rm -rf "$WORK"
mkdir -p "$WORK/config/Dremsel"
export XDG_CONFIG_HOME="$WORK/config" LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR
SETTINGS="$XDG_CONFIG_HOME/Dremsel/KVMorvic.conf"
printf '[General]\npadhex=6\nleft=10\n' >"$SETTINGS"
touch -d '2001-02-03 04:05:06' "$SETTINGS"
before=$(stat -c '%Y %s' "$SETTINGS")
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

# check <expected lines, "|" between them> <arguments>...
check() {
  local want=$1; shift
  local got rc
  got=$("$APP_BIN" --print "$@" 2>"$WORK/err.log"); rc=$?
  [ $rc -eq 0 ] || fail "--print $* ended with $rc: $(cat "$WORK/err.log")"
  [ "$(tr '\n' '|' <<<"$got")" = "$want|" ] || fail "--print $*: got \"$(tr '\n' '|' <<<"$got")\", want \"$want|\""
}
check "binary: 11111111|decimal: 255|hex: 0000FF|octal: 377|ascii: ÿ|rgb: #0000FF" 255
check "binary: 01000001010000100100001101000100|decimal: 1094861636|hex: 41424344|octal: 10120441504|ascii: ABCD|rgb: #424344" 0x41424344
check "binary: 11111111111111111111111111111111|decimal: 4294967295|hex: FFFFFFFF|octal: 37777777777|ascii: ÿÿÿÿ|rgb: #FFFFFF" -1
check "binary: 0110000101100010|decimal: 24930|hex: 6162|octal: 60542|ascii: ab|rgb: #006162" ab --from ascii --pad 0
check "binary: 01000011010000100100000100000000|decimal: 1128415488|hex: 43424100|octal: 10320440400|ascii: CBA.|rgb: #424100" ABC --from ascii --flip 32
check "binary: 111111110000000000000000|decimal: 16711680|hex: 00FF0000|octal: 77600000|ascii: ÿ..|rgb: #FF0000" ff --from hex --flip 24 --pad 8
check "binary: 0000001000000001|decimal: 513|hex: 000201|octal: 1001|ascii: \\x02\\x01|rgb: #000201" 0x0102 --flip 16

for bad in "--print" "--print 1 --from base64" "--print 1 --flip 8" "--print 1 --pad x" "--pad 3" "--print 1 --bogus"; do
  # shellcheck disable=SC2086
  "$APP_BIN" $bad >/dev/null 2>"$WORK/err.log"; rc=$?
  [ $rc -eq 2 ] || fail "tarvolin $bad ended with $rc, not 2"
  grep -q "Try 'tarvolin --help'" "$WORK/err.log" || fail "tarvolin $bad gave no usage message"
done
"$APP_BIN" --help | grep -q -- '--toggle' || fail "--help does not describe --toggle"
"$APP_BIN" --version | grep -q '^tarvolin [0-9]' || fail "--version does not name the program and its version"

[ "$(stat -c '%Y %s' "$SETTINGS")" = "$before" ] || fail "the settings file was written"
[ "$(ls -A "$XDG_CONFIG_HOME/Dremsel")" = "KVMorvic.conf" ] || fail "files appeared beside the settings: $(ls -A "$XDG_CONFIG_HOME/Dremsel")"
[ $failed -eq 0 ] && echo "PASS"
exit $failed
