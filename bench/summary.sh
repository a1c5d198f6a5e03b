#!/usr/bin/env bash
# Usage: bench/summary.sh [RUNS]   (needs a built build/, a display, xdotool and openbox)
# The benchmarks on the user's path, one after the other, and their key lines in one block:
# Open through the real dialog (view_bench user-open), "Y-Rotate CCW" held with the real
# mouse (view_bench user-hold), start to the first frame (view_bench startup) and the
# converter (convert_bench.sh), each figure beside its floor, F3D's figure (assimp's for the
# converter) and the goal where there is one. RUNS (default 3) is each one's runs or rounds;
# every other argument is the benchmark's default. F3D is compared with when installed; the
# converter's needs assimp-utils. Without a display:
#   xvfb-run -a -s "-screen 0 1280x1024x24" bench/summary.sh
set -uo pipefail
case "${1:-}" in
  -h|--help)  # the comment above, which says what the script does
    awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"
    exit 0 ;;
esac
runs=${1:-3}
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "summary.sh: '$runs' is not a positive whole number (see --help)" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
bench="$root/build/bench/view_bench"
[ -x "$bench" ] || { echo "build the benchmarks first: cmake --build build --target view_bench 3dvorlan-convert" >&2; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "summary.sh: no display (see --help)" >&2; exit 1; }
logs=$(mktemp -d)

# Runs one benchmark into its log; its key lines are picked from there afterwards.
run() {
  local name=$1; shift
  echo "running $name ..." >&2
  "$@" >"$logs/$name.log" 2>&1 || echo "(ended with status $?)" >>"$logs/$name.log"
}
run user-open "$bench" user-open 1000000 "$runs"
run user-hold "$bench" user-hold 100000 3 "$runs"
run startup "$bench" startup "$runs"
run convert "$root/bench/convert_bench.sh" "$runs"

# The lines of a log that match, indented and folded to the terminal's usual width; the log's
# last lines when none does, so that a benchmark that failed says why.
key() {
  local name=$1 pattern=$2
  if grep -qE "$pattern" "$logs/$name.log"; then
    grep -E "$pattern" "$logs/$name.log"
  else
    echo "no result; the log ends:"
    tail -n 3 "$logs/$name.log"
  fi | sed 's/^ *//' | fold -s -w 92 | sed 's/^/  /'
}
echo "3D-Vorlan on the user's path, $(date -u '+%Y-%m-%d %H:%M UTC'), runs: $runs each; logs in $logs"
echo "Open through the dialog (goals: Open <= 1.15 x (read + one frame), <= 300 B/polygon):"
key user-open '^median of'
echo "\"Y-Rotate CCW\" held (floor: one frame of the window, drawn and swapped):"
key user-hold '^median of'
echo "Start to the first frame presented:"
key startup '^start to first frame|^  F3D'
echo "Converter, STL to .3do (goals: time <= 1.30 x assimp info -r, memory <= 1.20 x):"
key convert '^(binary STL|assimp|3dvorlan-convert|time ratio|against|memory ratio)'
