#!/usr/bin/env bash
# Runs a command on the current display, or on a private Xvfb display when there is none.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && [ "${VORLAN_OWN_DISPLAY:-0}" != 1 ]; then exec "$@"; fi
# Xvfb chooses a free display itself and writes its number once it accepts connections,
# so two of these started together never share a display or start before it is ready.
# Large enough for the main window at scale factor 2: the view is read back from the screen.
# No reset when the last client leaves: a server resetting drops the clients that connect
# meanwhile, so a test starting just as another ends would find no display.
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 2000x1600x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -f "$fifo"' EXIT
n=""
read -r -t 20 n <"$fifo" || true
if [ -z "$n" ]; then
  echo "could not start Xvfb" >&2
  exit 1
fi
export DISPLAY=":$n"
"$@"
