#!/usr/bin/env bash
# Runs a command on the current display, or on a private Xvfb display when there is none.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && [ "${VORLAN_OWN_DISPLAY:-0}" != 1 ]; then exec "$@"; fi
for n in $(seq 90 140); do
  [ -e "/tmp/.X${n}-lock" ] && continue
  # Large enough for the main window at scale factor 2: the view is read back from the screen.
  Xvfb ":$n" -screen 0 2000x1600x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  if kill -0 "$xvfb" 2>/dev/null; then
    trap 'kill $xvfb 2>/dev/null || true' EXIT
    export DISPLAY=":$n"
    "$@"
    exit $?
  fi
done
echo "could not start Xvfb" >&2
exit 1
