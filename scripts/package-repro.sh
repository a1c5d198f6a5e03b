#!/usr/bin/env bash
# Checks that the Debian package is reproducible: builds it twice with scripts/package.sh,
# from two clones of the committed tree (HEAD; changes not committed are not in them) in two
# different temporary folders, one after the other, without ccache, and compares the two
# packages byte for byte. On a difference, diffoscope shows where the two differ.
#   scripts/package-repro.sh            (takes two full builds of the package)
# VORLAN_KEEP_REPRO=1 leaves the two folders in place.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$root" rev-parse HEAD)
VORLAN_WITH_PACKAGING=1 "$root/scripts/deps.sh"
command -v diffoscope >/dev/null || { echo "package-repro.sh: needs diffoscope" >&2; exit 2; }

work=$(mktemp -d /var/tmp/3dvorlan-repro.XXXXXX)
cleanup() {
  if [ "${VORLAN_KEEP_REPRO:-0}" = 1 ]; then echo "left in place: $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

debs=()
# Each build has a folder path of its own length, so a path that leaks shows as a shift too.
for copy in first second-build; do
  tree="$work/$copy/3dvorlan"
  git clone -q --no-hardlinks "$root" "$tree"
  git -C "$tree" checkout -q --detach "$commit"
  echo "== building $commit in $tree ($(date -u +%T))"
  CCACHE_DISABLE=1 "$tree/scripts/package.sh" >"$work/$copy.log" 2>&1 ||
    { tail -n 30 "$work/$copy.log"; echo "package-repro.sh: the build in $tree failed" >&2; exit 1; }
  debs+=("$(sed -n 's/^Package: //p' "$work/$copy.log")")
done

ls -l "${debs[@]}"
sha256sum "${debs[@]}"
if cmp "${debs[@]}"; then
  echo "reproducible: the two packages are the same"
else
  diffoscope --text "$work/diffoscope.txt" "${debs[@]}" || true
  head -n 200 "$work/diffoscope.txt"
  echo "NOT reproducible (diffoscope's report: $work/diffoscope.txt)" >&2
  VORLAN_KEEP_REPRO=1
  exit 1
fi
