#!/usr/bin/env bash
# Debian's own checks on every package build_deb.sh made: lintian (errors,
# warnings and info tags fail; pedantic ones are shown), AppStream's
# validator on the metadata and desktop-file-validate on the desktop entries
# (any hint fails).
#   lint.sh [--sanitized] <out dir of build_deb.sh>
# --sanitized: the packages come from a sanitizer build, which leaves out the
# fortified C library calls (they get in the sanitizers' way); lintian's info
# tag for that is not reported. Such packages are for testing only.
set -uo pipefail
suppress=()
if [ "${1:-}" = "--sanitized" ]; then
  shift
  suppress=(--suppress-tags hardening-no-fortify-functions)
fi
# shellcheck source=../common/shelltest.sh
. "$(dirname "$0")/../common/shelltest.sh"
OUT=${1:?usage: lint.sh [--sanitized] <out dir>}
[ -e "$OUT/SKIPPED" ] && { echo "SKIP: no package was built (package_deb was skipped)"; exit 77; }
require_programs lintian appstreamcli desktop-file-validate dpkg-deb
shopt -s nullglob
debs=("$OUT"/*.deb)
[ ${#debs[@]} -gt 0 ] || { echo "FAIL: no package in $OUT"; exit 1; }

status=0
for deb in "${debs[@]}"; do
  echo "== lintian --pedantic $(basename "$deb")"
  said=$(lintian --pedantic --display-info --fail-on error,warning,info "${suppress[@]}" "$deb" 2>&1)
  rc=$?
  grep -v 'running with root privileges' <<<"$said"
  [ $rc -eq 0 ] || { echo "FAIL: lintian"; status=1; }

  # Help > Users Manual and the web links need a URL opener.
  if [[ $(basename "$deb") == tarvolin_* ]] && ! dpkg-deb -f "$deb" Recommends | grep -qw xdg-utils; then
    echo "FAIL: $(basename "$deb") does not recommend xdg-utils"; status=1
  fi

  root=$(mktemp -d)
  dpkg-deb -x "$deb" "$root"
  for xml in "$root"/usr/share/metainfo/*.xml; do
    echo "== appstreamcli validate --no-net --pedantic $(basename "$xml")"
    # The maker's domain, dremsel.example, ends in a reserved name that the
    # validator does not know as a top-level domain; it says so as an info.
    appstreamcli validate --no-net --pedantic --strict --override=cid-maybe-not-rdns=pedantic "$xml" \
      || { echo "FAIL: appstreamcli"; status=1; }
  done
  for entry in "$root"/usr/share/applications/*.desktop; do
    echo "== desktop-file-validate $(basename "$entry")"
    said=$(desktop-file-validate "$entry" 2>&1) || status=1
    if [ -n "$said" ]; then echo "$said"; echo "FAIL: desktop-file-validate"; status=1; fi
  done
  rm -rf "$root"
done
exit $status
