#!/usr/bin/env bash
# Kills the journal's driver with SIGKILL at ten random moments and checks what each restart
# restores: bench/journal_kill.sh build/bench/journal_kill [polygons in the opened file]
set -euo pipefail
program=$1
size=${2:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$program" make "$work/big.3do" "$size"
passed=0
for round in $(seq 1 10); do
  rm -rf "$work/state" "$work/log"
  "$program" drive "$work/state" "$work/log" "$work/big.3do" &
  driver=$!
  sleep "$(awk -v s="$RANDOM" 'BEGIN { srand(s); printf "%.2f", 0.3 + rand() * 2.7 }')"
  kill -KILL "$driver"
  wait "$driver" 2>/dev/null || true
  echo -n "kill $round: "
  if "$program" check "$work/state" "$work/log"; then passed=$((passed + 1)); fi
done
echo "$passed of 10 restored the object of the last change or one at most a second before"
[ "$passed" = 10 ]
