#!/usr/bin/env bash
# Converting a binary STL of 1,000,000 triangles into an object file against the Open Asset
# Import Library's own raw load of the same file (`assimp info FILE -r`), alternating the two
# in the same run: wall time and peak memory of each, best of N rounds, and their ratios.
# Usage: bench/convert_bench.sh [rounds] [triangles]   (needs a built build/ and assimp-utils)
set -euo pipefail
rounds=${1:-3}
triangles=${2:-1000000}
root=$(cd "$(dirname "$0")/.." && pwd)
convert="$root/build/src/convert/3dvorlan-convert"
[ -x "$convert" ] || { echo "build the program first: scripts/build.sh" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Random triangles across the editor's range: none collapses when rounded, so every one of
# them is converted, encoded and written.
python3 - "$work/mesh.stl" "$triangles" <<'PY'
import random, struct, sys
path, n = sys.argv[1], int(sys.argv[2])
rnd = random.Random(7).random
with open(path, "wb") as f:
    f.write(b"\0" * 80 + struct.pack("<I", n))
    pack = struct.Struct("<12fH").pack
    f.write(b"".join(pack(0, 0, 1, *[rnd() * 1200 - 600 for _ in range(9)], 0) for _ in range(n)))
PY

measure() {  # prints "seconds kilobytes" of one run of the command
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1
  cat "$work/time"
}
best_t_a=; best_m_a=; best_t_c=; best_m_c=
for ((i = 1; i <= rounds; ++i)); do
  read -r t m < <(measure assimp info "$work/mesh.stl" -r)
  best_t_a=$(python3 -c "print(min(float('${best_t_a:-1e9}'), $t))"); best_m_a=$(( ${best_m_a:-0} > m ? best_m_a : m ))
  read -r t m < <(measure "$convert" -q "$work/mesh.stl" "$work/mesh.3do")
  best_t_c=$(python3 -c "print(min(float('${best_t_c:-1e9}'), $t))"); best_m_c=$(( ${best_m_c:-0} > m ? best_m_c : m ))
done
echo "binary STL of $triangles triangles ($(stat -c %s "$work/mesh.stl") bytes) -> .3do ($(stat -c %s "$work/mesh.3do") bytes), best of $rounds"
printf '%-36s %8s s %9s KB\n' "assimp info -r (raw load)" "$best_t_a" "$best_m_a"
printf '%-36s %8s s %9s KB\n' "3dvorlan-convert IN.stl OUT.3do" "$best_t_c" "$best_m_c"
python3 - "$best_t_a" "$best_t_c" "$best_m_a" "$best_m_c" <<'PY'
import sys
ta, tc, ma, mc = map(float, sys.argv[1:])
print(f"time ratio   {tc / ta:.2f}  (goal at most 1.30)")
print(f"memory ratio {mc / ma:.2f}  (goal at most 1.20)")
PY
