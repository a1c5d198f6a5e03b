#!/usr/bin/env bash
# Builds 3D-Vorlan with its tests and runs every test (widget and GL tests on a virtual display).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=xcb LIBGL_ALWAYS_SOFTWARE=1
"$root/scripts/with-display.sh" ctest --test-dir "$root/build" --output-on-failure -j2
