#!/usr/bin/env bash
# Installs the Debian 12 packages a group of tasks needs, only those missing.
#   scripts/deps.sh build|run|test|ci
# Uses sudo when not run as root.
set -euo pipefail

build=(cmake g++ make qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools
       libgl-dev libqt6svg6-dev libxcb1-dev fonts-dejavu-core)
run=(xvfb xauth imagemagick x11-utils)
test=(xvfb xauth imagemagick openbox trayer xdotool wmctrl x11-utils x11-xkb-utils libbenchmark-dev
      dbus systemd python3 xfce4-panel sway waybar grim wtype qt6-wayland)
ci=(clang clang-tidy cppcheck libclang-rt-14-dev)

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
