#!/usr/bin/env bash
# Builds Tarvolin and starts it. Without a display it says so, runs the program
# under Xvfb and saves a screenshot of its window as tarvolin-screenshot.png.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh run

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVOLIN_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target tarvolin

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/app/tarvolin "$@"
fi

echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set)."
echo "Running Tarvolin under Xvfb and saving a screenshot to tarvolin-screenshot.png."
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
  build/app/tarvolin "$@" & pid=$!
  sleep 3
  import -window root tarvolin-screenshot.png
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
' bash "$@"
echo "Saved $(pwd)/tarvolin-screenshot.png"
