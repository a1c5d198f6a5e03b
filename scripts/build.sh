#!/usr/bin/env bash
# Configures and builds the program, its tests and tools into build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
launcher=()
# A compiler cache, where the machine has one, makes rebuilds of other checkouts cheap.
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$root/build" -j"$(nproc)"
