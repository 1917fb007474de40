#!/usr/bin/env bash
# Builds the Debian packages of a build folder with cpack, as the README says,
# into a folder of the tests' own.
#   build_deb.sh <build dir> <out dir>
set -euo pipefail
# shellcheck source=../common/shelltest.sh
. "$(dirname "$0")/../common/shelltest.sh"
BUILD=${1:?usage: build_deb.sh <build dir> <out dir>}
OUT=${2:?usage: build_deb.sh <build dir> <out dir>}
rm -rf "$OUT"
mkdir -p "$OUT"
# cpack's Debian generator works out the run-time dependencies with
# dpkg-shlibdeps, which reads the binaries with objdump.
( require_programs dpkg-deb dpkg-shlibdeps objdump ) || { rc=$?; touch "$OUT/SKIPPED"; exit $rc; }
cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$OUT"
ls "$OUT"/*.deb
