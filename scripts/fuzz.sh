#!/usr/bin/env bash
# Builds the libFuzzer targets (the model's readers, the converter's import path) with
# AddressSanitizer into build-fuzz/ and runs each for the given number of seconds (default
# 30). Exits non-zero when a target finds a fault.
set -euo pipefail
seconds=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
VORLAN_WITH_FUZZ=1 "$root/scripts/deps.sh"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORLAN_MODEL_ONLY=ON -DVORLAN_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target fuzz_object_file fuzz_bitmap_file fuzz_mesh_import

corpus="$build/corpus"
rm -rf "$corpus"
mkdir -p "$corpus/object" "$corpus/bitmap" "$corpus/mesh"
# Seeds: a coloured and a textured record (one with a 0x0A to translate), and a small
# 24-bit bitmap with padded rows.
python3 - "$corpus" <<'PY'
import struct, sys
corpus = sys.argv[1]
def record(kind, name, colour, rgb, texture):
    r = kind.encode().ljust(9, b"\0") + name.encode().ljust(31, b"\0")
    r += struct.pack("<12f", -100, -100, 0, 100, -100, 0, 100, 100, 0, -100, 100, 0)
    r += struct.pack("<4i", colour, *rgb) + texture.encode().ljust(32, b"\0")
    return r
raw = record("Quad", "floor", 0x0A0B0C, (12, 11, 10), "") + record("Triangle", "roof", -1, (-1, -1, -1), "wood.bmp")
open(f"{corpus}/object/two", "wb").write(raw.replace(b"\n", b"\r\n"))
open(f"{corpus}/object/empty", "wb").write(b"")
w, h = 3, 2
stride = (w * 3 + 3) // 4 * 4
pixels = b"".join(bytes([x, y, 0x80 + x + y] * 1)[:3] for y in range(h) for x in range(w))
rows = b"".join(pixels[y * w * 3:(y + 1) * w * 3].ljust(stride, b"\0") for y in range(h))
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, 0, 2835, 2835, 0, 0)
header = b"BM" + struct.pack("<IHHI", 14 + 40 + len(rows), 0, 0, 54)
open(f"{corpus}/bitmap/small", "wb").write(header + info + rows)
info = struct.pack("<IiiHHIIiiII", 40, w, -h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
open(f"{corpus}/bitmap/topdown", "wb").write(header + info + rows)
PY

# Mesh seeds: small files of the Open Asset Import Library's test models, each behind the
# byte that selects its format (0 obj, 1 stl, 2 off, 3 glb, 4 gltf, 5 3mf).
models=/usr/share/assimp/models
seed() { { printf "\\$(printf %03o "$1")"; cat "$models/$2"; } > "$corpus/mesh/$(basename "$2")"; }
seed 0 OBJ/box.obj
seed 1 STL/triangle.stl
seed 2 OFF/Cube.off
seed 3 glTF2/BoxTextured-glTF-Binary/BoxTextured.glb
seed 5 3MF/box.3mf
# An OFF file whose face count is past any memory: the reader allocates by it.
printf '\002OFF\n3 4294967295 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n' > "$corpus/mesh/huge-count.off"

status=0
for target in object bitmap; do
  echo "== fuzz_${target}_file for ${seconds}s"
  mkdir -p "$build/findings/$target"
  "$build/src/model/fuzz/fuzz_${target}_file" -max_total_time="$seconds" -max_len=4096 \
    -rss_limit_mb=1024 -artifact_prefix="$build/findings/$target/" -print_final_stats=1 \
    "$corpus/$target" || status=1
done
# The import library allocates by the counts a file claims; -timeout reports a hang.
echo "== fuzz_mesh_import for ${seconds}s"
mkdir -p "$build/findings/mesh"
# A crash whose innermost frame is in the import library itself is the library's fault, which
# the converter survives by reading each file in a child process of its own: it is reported
# with its input, and fails the run only when our own code is where it happened.
log="$build/findings/mesh.log"
if ! LSAN_OPTIONS="suppressions=$root/src/convert/fuzz/import-library-leaks.supp" \
  "$build/src/convert/fuzz/fuzz_mesh_import" -max_total_time="$seconds" -max_len=8192 \
  -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$build/findings/mesh/" \
  -print_final_stats=1 "$corpus/mesh" 2>&1 | tee "$log"; then
  if grep -qE '^ +#0 .*\(/[^ ]*/libassimp\.so[^ ]*\+0x[0-9a-f]+\)' "$log" &&
     grep -q 'ERROR: AddressSanitizer: SEGV' "$log"; then
    echo "the import library itself crashed on $(grep -o "Test unit written to .*" "$log" | cut -d' ' -f5);" \
         "the converter reads each file in a child process and reports such a crash"
  else
    status=1
  fi
fi
exit $status
