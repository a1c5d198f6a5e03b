#!/usr/bin/env bash
# The private display of with-display.sh stays as it is when its last client leaves: a
# server that resets then also drops a client connecting meanwhile, which failed a test now
# and then. A reset wipes the root window's properties, so a name one client gives the root
# must still be there for the next.
set -euo pipefail
export VORLAN_OWN_DISPLAY=1
"$(dirname "$0")/../with-display.sh" bash -c '
  root=$(xdotool search --maxdepth 0 --name "" | head -n 1)
  xdotool set_window --name vorlan-mark "$root"
  name=$(xdotool getwindowname "$root")
  [ "$name" = vorlan-mark ] || { echo "the display reset between two clients (root name \"$name\")" >&2; exit 1; }'
