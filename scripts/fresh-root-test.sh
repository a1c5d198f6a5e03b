#!/usr/bin/env bash
# Proves the README's set-up on a new machine (needs root and Debian's package mirror):
#   scripts/fresh-root-test.sh
# Makes a fresh minimal Debian 12 root (debootstrap's minbase variant, plus git, as a new
# user has it), puts the committed tree in it and runs there what the README says, as that
# user would: the test command, which installs what it needs, builds every program and test
# target and runs every test; then the run command, whose window must come up. A package the
# set-up forgets makes this fail even on a machine where someone installed it long ago.
#
# The root is made as scripts/fresh-root.sh says. Where this machine has ccache, the root
# gets it too, with its cache kept beside the root's base (VORLAN_FRESH_ROOT_CCACHE=0 turns
# that off): it only saves compiling again what compiled before, and a missing header or
# library still fails the build. Exits non-zero when any step fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
started=$(date +%s)
[ "$(id -u)" = 0 ] || { echo "fresh-root-test.sh: needs root (debootstrap, chroot, mounts)" >&2; exit 2; }
if ! command -v debootstrap >/dev/null; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap
fi

# shellcheck source=fresh-root.sh
source "$root/scripts/fresh-root.sh"
work=$(mktemp -d /var/tmp/3dvorlan-fresh-root.XXXXXX)
trap fresh_root_cleanup EXIT
trap 'exit 130' INT TERM HUP
step() { echo "== $* ($(($(date +%s) - started)) s)"; }

step "fresh Debian 12 root"
fresh_root_make
extra=(git)
use_ccache=0
if [ "${VORLAN_FRESH_ROOT_CCACHE:-1}" = 1 ] && command -v ccache >/dev/null; then
  use_ccache=1
  extra+=(ccache)
  mkdir -p "$fresh_root_cache/ccache"
  fresh_root_bind "$fresh_root_cache/ccache" /tmp/home/.cache/ccache --bind
fi
in_root apt-get update -qq
in_root apt-get install -y -qq --no-install-recommends "${extra[@]}" >"$work/extra.log" 2>&1 ||
  { cat "$work/extra.log"; echo "FAIL: cannot install ${extra[*]} in the root" >&2; exit 1; }

# The committed tree, as a clone has it: nothing uncommitted, nothing built.
mkdir -p "$sysroot/tmp/home/3dvorlan"
git -C "$root" archive --format=tar HEAD | tar -C "$sysroot/tmp/home/3dvorlan" -xf -
# The tests make their own display: a machine with none, as a new one is.
user_env=(HOME=/tmp/home)
[ $use_ccache = 1 ] && user_env+=(CCACHE_DIR=/tmp/home/.cache/ccache CCACHE_MAXSIZE=5G)

step "./scripts/test.sh"
if ! in_root "${user_env[@]}" bash -c 'cd /tmp/home/3dvorlan && ./scripts/test.sh'; then
  echo "FAIL: ./scripts/test.sh on a fresh Debian 12 root ($(($(date +%s) - started)) s)" >&2
  exit 1
fi
[ $use_ccache = 1 ] && in_root "${user_env[@]}" ccache --show-stats | grep -E '^(cache hit|cache miss)' || true

step "./scripts/run.sh"
# On a virtual display: the window of that title must come up and stay until it is closed.
cat >"$sysroot/tmp/home/run-check.sh" <<'EOF'
set -u
cd /tmp/home/3dvorlan
./scripts/run.sh >/tmp/home/run.log 2>&1 &
program=$!
for _ in $(seq 120); do
  if xdotool search --onlyvisible --name '^3D-Vorlan V' >/dev/null 2>&1; then
    sleep 1
    kill -0 $program 2>/dev/null || break
    kill $program
    wait $program 2>/dev/null
    echo "ok: ./scripts/run.sh shows the window"
    exit 0
  fi
  kill -0 $program 2>/dev/null || break
  sleep 0.5
done
kill $program 2>/dev/null
cat /tmp/home/run.log
echo "FAIL: ./scripts/run.sh shows no window" >&2
exit 1
EOF
in_root "${user_env[@]}" VORLAN_OWN_DISPLAY=1 \
  bash -c 'cd /tmp/home/3dvorlan && ./scripts/with-display.sh bash /tmp/home/run-check.sh'

step "done"
echo "fresh-root test passed in $(($(date +%s) - started)) s"
