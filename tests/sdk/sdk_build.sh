#!/usr/bin/env bash
# Installs the widget SDK (the install component widgets-dev) of a build
# folder into a temporary prefix, then configures and builds a project
# outside Tarvolin's tree against it with find_package(TarvolinWidgets), and
# runs the program it makes offscreen when a name is given.
#   sdk_build.sh <build dir> <work dir> <project dir> [program]
set -euo pipefail
BUILD=${1:?usage: sdk_build.sh <build dir> <work dir> <project dir> [program]}
WORK=${2:?usage: sdk_build.sh <build dir> <work dir> <project dir> [program]}
PROJECT=${3:?usage: sdk_build.sh <build dir> <work dir> <project dir> [program]}
PROGRAM=${4:-}
rm -rf "$WORK"
mkdir -p "$WORK"
WORK=$(cd "$WORK" && pwd)

cmake --install "$BUILD" --component widgets-dev --prefix "$WORK/prefix" >/dev/null
# Only what the component installed: no header or library of the source or
# build tree may be found.
cmake -S "$PROJECT" -B "$WORK/build" -DCMAKE_PREFIX_PATH="$WORK/prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$WORK/build" -j"$(nproc)"
if [ -n "$PROGRAM" ]; then
  QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$WORK/config" "$WORK/build/$PROGRAM"
fi
