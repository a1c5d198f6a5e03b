#!/usr/bin/env bash
# Usage: bench/convert_bench.sh [ROUNDS] [TRIANGLES]   (needs a built build/ and assimp-utils)
# Converting a binary STL of 1,000,000 triangles into an object file against the Open Asset
# Import Library's own raw load of the same file (`assimp info FILE -r`), alternating the two
# in the same run: wall time and peak memory of each, best of N rounds, and their ratios.
# Beside them the floor of the whole job: that raw load plus writing as many bytes as the
# object file has to a new file and syncing it (`dd conv=fsync`), since a conversion must do
# both. Every run writes a new file, after a sync, so no run pays for another's writing.
# ROUNDS defaults to 3, TRIANGLES to 1000000.
set -euo pipefail
case "${1:-}" in
  -h|--help)  # the comment above, which says what the script does
    awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"
    exit 0 ;;
esac
rounds=${1:-3}
triangles=${2:-1000000}
for n in "$rounds" "$triangles"; do
  [[ $n =~ ^[1-9][0-9]*$ ]] || { echo "convert_bench.sh: '$n' is not a positive whole number (see --help)" >&2; exit 2; }
done
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
best_t_a=; best_m_a=; best_t_c=; best_m_c=; best_t_w=
best() { python3 -c "print(min(float('${1:-1e9}'), $2))"; }
for ((i = 1; i <= rounds; ++i)); do
  sync
  read -r t m < <(measure assimp info "$work/mesh.stl" -r)
  best_t_a=$(best "$best_t_a" "$t"); best_m_a=$(( ${best_m_a:-0} > m ? best_m_a : m ))
  rm -f "$work/mesh.3do"; sync
  read -r t m < <(measure "$convert" -q "$work/mesh.stl" "$work/mesh.3do")
  best_t_c=$(best "$best_t_c" "$t"); best_m_c=$(( ${best_m_c:-0} > m ? best_m_c : m ))
  rm -f "$work/written"; sync
  read -r t m < <(measure dd if=/dev/zero of="$work/written" bs=64K conv=fsync \
                    count=$(( ($(stat -c %s "$work/mesh.3do") + 65535) / 65536 )))
  best_t_w=$(best "$best_t_w" "$t")
done
echo "binary STL of $triangles triangles ($(stat -c %s "$work/mesh.stl") bytes) -> .3do ($(stat -c %s "$work/mesh.3do") bytes), best of $rounds"
printf '%-36s %8s s %9s KB\n' "assimp info -r (raw load)" "$best_t_a" "$best_m_a"
printf '%-36s %8s s %9s KB\n' "3dvorlan-convert IN.stl OUT.3do" "$best_t_c" "$best_m_c"
printf '%-36s %8s s\n' "writing as many bytes, synced" "$best_t_w"
python3 - "$best_t_a" "$best_t_c" "$best_m_a" "$best_m_c" "$best_t_w" <<'PY'
import sys
ta, tc, ma, mc, tw = map(float, sys.argv[1:])
print(f"time ratio   {tc / ta:.2f}  (goal at most 1.30); floor (raw load + write) {(ta + tw) / ta:.2f}")
print(f"against the floor {tc / (ta + tw):.2f}")
print(f"memory ratio {mc / ma:.2f}  (goal at most 1.20)")
PY
