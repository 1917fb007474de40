#!/usr/bin/env bash
# Installs the Debian 12 packages a group of tasks needs, only those missing.
#   scripts/deps.sh build|run|test|ci
# Uses sudo when not run as root. Every name here must be a real package, not
# one that another only provides: dpkg-query never finds a provided name
# installed, so it would be installed afresh on every run.
set -euo pipefail

# Building everything the project promises: the program, the examples and the
# Qt Designer plugin (Qt's Designer package needs Qt6OpenGL, from
# libqt6opengl6-dev).
build=(cmake g++ make qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools
       libqt6opengl6-dev libgl-dev qt6-svg-dev libxcb1-dev libdbus-1-dev pkgconf
       fonts-dejavu-core)
# Running the program without a display: Xvfb and the screenshot tools.
run=(xvfb xauth imagemagick x11-utils)
# The tests: the end-to-end tools (window managers, tray hosts and panels on
# X11 and Wayland, X and Wayland drivers, a session bus and its client, the
# accessibility bus and the screen readers' client library), the
# benchmarks' library, and the package checks (building the .deb, lintian,
# AppStream and desktop-entry validators).
test=("${run[@]}" openbox trayer xdotool wmctrl x11-xkb-utils libbenchmark-dev
      dbus systemd python3 at-spi2-core python3-pyatspi xfce4-panel sway waybar grim wtype qt6-wayland
      dpkg-dev file binutils lintian appstream desktop-file-utils)
# CI: static analysis, the fuzzers' compiler and runtime, and git for the
# fresh-clone test.
ci=(clang clang-tidy cppcheck libclang-rt-14-dev git)

want=("${build[@]}")
for group in "$@"; do
  case "$group" in
    build) ;;
    run) want+=("${run[@]}") ;;
    test) want+=("${test[@]}") ;;
    ci) want+=("${test[@]}" "${ci[@]}") ;;
    *) echo "deps.sh: unknown group '$group'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=()
if [ "$(id -u)" -ne 0 ]; then SUDO=(sudo); fi
echo "Installing: ${missing[*]}"
"${SUDO[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
