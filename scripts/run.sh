#!/usr/bin/env bash
# Builds 3D-Vorlan and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # xvfb-run picks a free display and starts the program only once the server is ready.
  echo "There is no display here. To start 3D-Vorlan on a virtual display, run:"
  echo "  xvfb-run -a -s '-screen 0 1280x1024x24' $root/build/src/app/3dvorlan"
  exit 1
fi
exec "$root/build/src/app/3dvorlan"
