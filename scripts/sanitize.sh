#!/usr/bin/env bash
# Builds the whole program with its tests under AddressSanitizer (leak detection included)
# and UndefinedBehaviorSanitizer into build-asan/ and runs every test there, widget and GL
# tests on a private Xvfb display. Leaks of the system libraries we load but do not ship are
# suppressed by scripts/lsan.supp; a leak in our own code fails the run. Every test program
# runs through scripts/sanitized-test.sh, which keeps the GL driver loaded to the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-asan"
"$root/scripts/deps.sh"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVORLAN_BENCH=OFF "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/sanitized-test.sh" >/dev/null
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=xcb LIBGL_ALWAYS_SOFTWARE=1
"$root/scripts/with-display.sh" ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
