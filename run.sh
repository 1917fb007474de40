#!/usr/bin/env bash
# Builds Tarvolin and starts it. Without a display it says so, runs the program
# under Xvfb and saves a screenshot of its window as tarvolin-screenshot.png.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh run

# The options of an existing build folder are kept (test.sh sets its own);
# only the program is built.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target tarvolin

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/app/tarvolin "$@"
fi

echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set)."
echo "Running Tarvolin under Xvfb and saving a screenshot to tarvolin-screenshot.png."
# A copy of its own on the virtual display: one running on the real desktop
# (found on the session bus or in the runtime folder) must not take it over.
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR="$runtime" xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  build/app/tarvolin "$@" & pid=$!
  # Wait until the window is mapped (at most ten seconds), then capture it.
  for _ in $(seq 100); do
    id=$(xwininfo -root -tree 2>/dev/null | awk "/\"Tarvolin\"/ {print \$1; exit}")
    [ -n "$id" ] && xwininfo -id "$id" | grep -q "IsViewable" && break
    sleep 0.1
  done
  sleep 0.5
  if [ -n "$id" ]; then import -window "$id" tarvolin-screenshot.png
  else import -window root tarvolin-screenshot.png; fi
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
' bash "$@"
echo "Saved $(pwd)/tarvolin-screenshot.png"
