#!/usr/bin/env bash
# Builds the Debian packages of a build folder with cpack, as the README says,
# into a folder of the tests' own.
#   build_deb.sh <build dir> <out dir>
# A package is what users install, so it is made from an optimised build:
# Debian's hardening (checked C library calls) needs optimisation, and
# lintian checks for it. A build folder of another type (Debug) gets an
# optimised build of its own first, beside the out dir, with the same source,
# compilers and choice of the Designer plugin; later runs reuse it.
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

cached() { sed -n "s/^$1:[A-Z]*=//p" "$BUILD/CMakeCache.txt" | head -1; }
type=$(cached CMAKE_BUILD_TYPE)
case "${type,,}" in
  release|relwithdebinfo|minsizerel) ;;
  *)
    release=$(cd "$OUT/.." && pwd)/release-build
    echo "== a $type build: packaging an optimised build of the same source in $release"
    options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVOLIN_BUILD_TESTS=OFF -DTARVOLIN_BUILD_EXAMPLES=OFF
             -DTARVOLIN_BUILD_BENCH=OFF -DTARVOLIN_SANITIZE=OFF -DTARVOLIN_FUZZ=OFF
             "-DTARVOLIN_BUILD_DESIGNER_PLUGIN=$(cached TARVOLIN_BUILD_DESIGNER_PLUGIN)"
             "-DCMAKE_CXX_COMPILER=$(cached CMAKE_CXX_COMPILER)")
    for launcher in CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER; do
      value=$(cached "$launcher")
      [ -n "$value" ] && options+=("-D$launcher=$value")
    done
    cmake -S "$(cached CMAKE_HOME_DIRECTORY)" -B "$release" "${options[@]}" >/dev/null
    cmake --build "$release" -j"$(nproc)"
    BUILD=$release
    ;;
esac
cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$OUT"
ls "$OUT"/*.deb
