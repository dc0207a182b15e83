#!/usr/bin/env bash
# Sets up a fresh machine, builds the program and opens it on the sample documentation archive.
# Without a display it writes a screenshot of the start-up window instead and says where.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target korva-api-loader
bin=build/release/bin/korva-api-loader
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$bin" "$@"
else
  out=${KORVA_SCREENSHOT:-$PWD/build/korva-screenshot.png}
  "$bin" --screenshot "$out" "$@"
  echo "No display: the start-up window was written to $out"
fi
