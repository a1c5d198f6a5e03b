#!/usr/bin/env bash
# Release check of the Debian package (needs root, a network mirror and a few minutes):
#   scripts/package-test.sh [3dvorlan_<version>_<arch>.deb]   (default: the one in build-deb/)
# Installs the package into a fresh Debian 12 minimal root made by debootstrap, letting apt
# pull every dependency (without Recommends, so Depends alone must suffice), then checks:
# the program starts and draws the ground, Help > Manual opens the manual, the converter and
# the thumbnailer make pictures without a display, xdg-mime names the ".3do" type, and
# "apt-get purge" leaves no file of the package behind.
#
# The program's window appears on an Xvfb display of this machine (VORLAN_TEST_DISPLAY, else
# the first free one from :90), whose socket is bound into the root. The root is made as
# scripts/fresh-root.sh says, from a base kept between runs.
# Checks of companion programs that the package does not carry are reported as SKIPPED;
# VORLAN_REQUIRE_COMPANIONS=1 makes them failures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
started=$(date +%s)
[ "$(id -u)" = 0 ] || { echo "package-test.sh: needs root (debootstrap, chroot, mounts)" >&2; exit 2; }
deb=${1:-$(ls -t "$root"/build-deb/3dvorlan_*.deb 2>/dev/null | head -n 1)}
[ -f "${deb:-}" ] || { echo "package-test.sh: no package; run scripts/package.sh first" >&2; exit 2; }
deb=$(realpath "$deb")
VORLAN_WITH_PACKAGING=1 "$root/scripts/deps.sh"
command -v Xvfb >/dev/null && command -v python3 >/dev/null

# shellcheck source=fresh-root.sh
source "$root/scripts/fresh-root.sh"
work=$(mktemp -d /var/tmp/3dvorlan-package-test.XXXXXX)
pids=()
status=0
skipped=()

cleanup() {
  set +e
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  fresh_root_cleanup
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

step() { echo "== $* ($(($(date +%s) - started)) s)"; }
fail() { echo "FAIL: $*" >&2; status=1; }
pass() { echo "ok: $*"; }
skip() { echo "SKIPPED: $*"; skipped+=("$*"); }
# Every path of the root but the virtual file systems, temporary files, home folders (a
# package never removes a user's files), apt's and dpkg's own records and logs: what a
# package may leave behind.
file_list() {
  in_root find / \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp \
    -o -path /root -o -path /home \
    -o -path /var/tmp -o -path /var/cache/apt -o -path /var/lib/apt -o -path /var/lib/dpkg \
    -o -path /var/log -o -path /var/cache/debconf \) -prune -o -print | sort
}

step "fresh Debian 12 root"
fresh_root_make
in_root apt-get update -qq
before="$work/before"
file_list >"$before"

step "apt-get install ./$(basename "$deb")"
cp "$deb" "$sysroot/tmp/"
packages_before=$(in_root dpkg-query -W | wc -l)
in_root apt-get install -y -qq --no-install-recommends "/tmp/$(basename "$deb")" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "the package does not install"; exit 1; }
pass "installed with $(($(in_root dpkg-query -W | wc -l) - packages_before - 1)) dependencies"
in_root dpkg -L 3dvorlan | sort >"$work/ours"
has() { grep -qx "$1" "$work/ours"; }
for program in $(grep '^/usr/bin/' "$work/ours"); do
  if in_root ldd "$program" 2>/dev/null | grep -q "not found"; then fail "$program lacks libraries"; fi
done

step "the program on a display"
display=${VORLAN_TEST_DISPLAY:-}
if [ -z "$display" ]; then
  for n in $(seq 90 140); do [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }; done
fi
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY="$display"
openbox >/dev/null 2>&1 &
pids+=($!)
fresh_root_bind /tmp/.X11-unix /tmp/.X11-unix --bind
in_root DISPLAY="$display" LIBGL_ALWAYS_SOFTWARE=1 XDG_RUNTIME_DIR=/tmp/home \
  /usr/bin/3dvorlan >"$work/program.log" 2>&1 &
program=$!
pids+=($program)
# Waits for a visible window of that exact title (xdotool's own --sync trips over windows
# that vanish while it looks).
find_window() {
  local id
  for _ in $(seq $(($2 * 2))); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.5
  done
  return 1
}
window=$(find_window '3D-Vorlan V0\.9' 60) || true
# Counts the pixels of a window that are the ground's green.
green_share() {
  import -window root "$work/shot.png"
  eval "$(xdotool getwindowgeometry --shell "$1")"
  convert "$work/shot.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" -depth 8 rgb:- | python3 -c '
import sys
data = sys.stdin.buffer.read()
px = [data[i:i + 3] for i in range(0, len(data), 3)]
print(round(100 * sum(1 for r, g, b in px if g > 100 and r < 60 and b < 60) / max(len(px), 1)))'
}
if [ -z "$window" ]; then
  fail "no window \"3D-Vorlan V0.9\" within 60 s"; cat "$work/program.log"
else
  share=0
  for _ in $(seq 20); do
    share=$(green_share "$window")
    [ "$share" -ge 5 ] && break
    sleep 0.5
  done
  if [ "$share" -ge 5 ]; then pass "window shown, ${share}% of it the green ground"
  else fail "the window shows no ground (${share}% green)"; cp "$work/shot.png" "$root/build-deb/package-test-shot.png"; fi

  step "Help > Manual"
  xdotool windowactivate --sync "$window" 2>/dev/null || true
  xdotool key --clearmodifiers alt+h
  sleep 0.5
  xdotool key Return
  if manual=$(find_window '3D-Vorlan Manual' 20); then
    sleep 1
    import -window "$manual" "$work/manual.png"
    colours=$(identify -format '%k' "$work/manual.png")
    if [ "$colours" -gt 50 ]; then pass "Help > Manual shows the manual ($colours colours)"
    else fail "the manual window is blank ($colours colours)"; fi
  else fail "Help > Manual shows no manual window"; fi
fi

step "companion programs"
if has /usr/bin/3dvorlan-convert; then
  if in_root 3dvorlan-convert /usr/share/3dvorlan/examples/cube.3do /tmp/cube.png &&
     [ "$(identify -format '%k' "$sysroot/tmp/cube.png" 2>/dev/null || echo 0)" -gt 2 ]; then
    pass "3dvorlan-convert draws cube.3do to a PNG without a display"
  else fail "3dvorlan-convert makes no picture of cube.3do"; fi
else skip "3dvorlan-convert is not in the package"; fi

if has /usr/bin/3dvorlan-thumbnailer; then
  # Called as a file manager calls it: by the Exec line of its thumbnailer entry.
  entry="$sysroot/usr/share/thumbnailers/3dvorlan.thumbnailer"
  exec_line="3dvorlan-thumbnailer -s %s %i %o"
  if [ -f "$entry" ]; then
    exec_line=$(sed -n 's/^Exec=//p' "$entry")
    grep -q '^MimeType=.*application/x-3dvorlan-object' "$entry" ||
      fail "3dvorlan.thumbnailer is not for application/x-3dvorlan-object"
  else skip "no thumbnailer entry in the package"; fi
  example=/usr/share/3dvorlan/examples/crate.3do
  read -r -a thumbnail <<<"$(echo "$exec_line" | sed -e 's/%s/128/g' -e "s|%i|$example|g" \
    -e "s|%u|file://$example|g" -e 's|%o|/tmp/thumb.png|g')"
  if in_root "${thumbnail[@]}" &&
     size=$(identify -format '%w %h' "$sysroot/tmp/thumb.png" 2>/dev/null) &&
     read -r w h <<<"$size" && [ "$w" -le 128 ] && [ "$h" -le 128 ] && [ $((w > h ? w : h)) = 128 ]; then
    pass "3dvorlan-thumbnailer makes a 128 px thumbnail of crate.3do"
  else fail "3dvorlan-thumbnailer makes no 128 px thumbnail of crate.3do"; fi
else skip "3dvorlan-thumbnailer is not in the package"; fi

# xdg-mime and the MIME database are a desktop's tools, not the package's dependencies.
in_root apt-get install -y -qq --no-install-recommends xdg-utils shared-mime-info \
  libfile-mimeinfo-perl >/dev/null 2>&1
if has /usr/share/mime/packages/3dvorlan.xml; then
  type=$(in_root xdg-mime query filetype /usr/share/3dvorlan/examples/cube.3do)
  if [ "$type" = application/x-3dvorlan-object ]; then pass "xdg-mime names cube.3do $type"
  else fail "xdg-mime names cube.3do \"$type\""; fi
else skip "no MIME type for .3do in the package"; fi

step "apt-get purge 3dvorlan"
kill "$program" 2>/dev/null || true
in_root apt-get purge -y -qq 3dvorlan >/dev/null
after="$work/after"
file_list >"$after"
earlier=$status
status=0
while read -r path; do
  [ -e "$sysroot$path" ] && [ ! -d "$sysroot$path" ] && fail "left behind: $path"
done <"$work/ours"
# New paths that no installed package owns (caches of triggers) must not be ours either.
# (dpkg lists /lib and /bin of the merged /usr by their old names.)
cat "$sysroot"/var/lib/dpkg/info/*.list | sed -E 's#^/(lib|lib64|bin|sbin)(/|$)#/usr/\1\2#' |
  sort -u >"$work/owned"
comm -13 "$before" "$after" | comm -23 - "$work/owned" >"$work/new"
if [ -s "$work/new" ]; then
  echo "new paths that no package owns (caches made by other packages), by folder:"
  cut -d/ -f1-4 "$work/new" | sort | uniq -c | sed 's/^ */  /'
fi
if grep -i 3dvorlan "$work/after" >"$work/named"; then fail "left behind: $(cat "$work/named")"; fi
leftovers=$(cd "$sysroot" && grep -rli 3dvorlan etc usr var --exclude-dir=dpkg --exclude-dir=apt \
  --exclude-dir=log 2>/dev/null || true)
[ -n "$leftovers" ] && fail "files still naming 3dvorlan: $leftovers"
[ $status = 0 ] && pass "purge leaves no file of the package"
status=$((status | earlier))

step "done"
echo "time: $(($(date +%s) - started)) s"
if [ ${#skipped[@]} -gt 0 ]; then
  echo "${#skipped[@]} check(s) SKIPPED:"; printf '  %s\n' "${skipped[@]}"
  [ "${VORLAN_REQUIRE_COMPANIONS:-0}" = 1 ] && status=1
fi
[ $status = 0 ] && echo "package test passed" || echo "package test FAILED" >&2
exit $status
