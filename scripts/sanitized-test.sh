#!/usr/bin/env bash
# Runs one test program of the sanitizer build (CMake's test launcher there). Mesa's GL
# driver is loaded for the whole life of the process, so that LeakSanitizer, which looks
# at the end, still sees the driver's own memory as the driver's: unloaded, its blocks
# would seem lost and their call stacks point into whatever library came to lie there.
set -euo pipefail
asan=$(readlink -f "$(gcc -print-file-name=libasan.so)")
driver=/usr/lib/$(gcc -print-multiarch)/dri/swrast_dri.so
# The sanitizer's runtime must come first of all libraries.
LD_PRELOAD="$asan${LD_PRELOAD:+ $LD_PRELOAD}"
[ -e "$driver" ] && LD_PRELOAD="$LD_PRELOAD $driver"
export LD_PRELOAD
exec "$@"
