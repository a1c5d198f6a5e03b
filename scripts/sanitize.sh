#!/usr/bin/env bash
# Builds the model and motion libraries with their tests under AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs those tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-asan"
"$root/scripts/deps.sh"
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLAN_MODEL_ONLY=ON \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$build" -j2
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
ctest --test-dir "$build" --output-on-failure -j2
