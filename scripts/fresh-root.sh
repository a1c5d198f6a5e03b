# Sourced by the scripts that work in a fresh minimal Debian 12 root, as a new machine has it
# (needs root and Debian's package mirror). Set `work` to an empty folder of the caller's,
# then:
#   fresh_root_make      makes "$sysroot" ("$work/root") from debootstrap's minbase variant,
#                        with proc, sys and dev mounted and apt's downloads kept in the cache
#   in_root CMD...       runs CMD in it with a bare environment (add VAR=value before CMD)
#   fresh_root_bind SRC DEST [mount options]   mounts SRC at DEST inside the root
#   fresh_root_cleanup   unmounts everything and removes "$work" (VORLAN_KEEP_ROOT=1 keeps it)
# The bootstrapped base is kept as a tarball, with every package apt fetched beside it, in
# VORLAN_FRESH_ROOT_CACHE (/var/cache/3dvorlan-fresh-root), so later runs on the same machine
# start from the same fresh root without fetching it again. A base older than 30 days is made
# anew.

fresh_root_cache=${VORLAN_FRESH_ROOT_CACHE:-/var/cache/3dvorlan-fresh-root}
fresh_root_mounts=()

# The bookworm suites this machine's own apt uses (the release, its updates and security),
# as "URI SUITE" lines, unless a mirror is given.
fresh_root_sources() {
  if [ -n "${VORLAN_DEBIAN_MIRROR:-}" ]; then
    echo "$VORLAN_DEBIAN_MIRROR bookworm"
    return
  fi
  apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 2>/dev/null |
    awk '$2 ~ /^bookworm(-updates|-security)?$/' | sort -u
}

fresh_root_bind() {
  mkdir -p "$sysroot$2"
  mount "${@:3}" "$1" "$sysroot$2"
  fresh_root_mounts+=("$sysroot$2")
}

in_root() {
  chroot "$sysroot" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/tmp/home \
    XDG_CACHE_HOME=/tmp/home/.cache XDG_CONFIG_HOME=/tmp/home/.config LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"
}

fresh_root_make() {
  local sources mirror tarball="$fresh_root_cache/bookworm-minbase.tar"
  sources=$(fresh_root_sources)
  mirror=$(echo "$sources" | awk '$2 == "bookworm" { print $1; exit }')
  if [ -z "$mirror" ]; then
    echo "no bookworm mirror in apt's sources; set VORLAN_DEBIAN_MIRROR" >&2
    return 1
  fi
  mkdir -p "$fresh_root_cache/archives"
  sysroot="$work/root"
  if [ -f "$tarball" ] && [ -n "$(find "$tarball" -mtime +30)" ]; then rm -f "$tarball"; fi
  if [ ! -f "$tarball" ]; then
    # Its packages are cached with the others, so making the base again fetches nothing.
    if ! debootstrap --variant=minbase --cache-dir="$fresh_root_cache/archives" bookworm \
         "$work/bootstrap" "$mirror" >"$work/debootstrap.log" 2>&1; then
      tail -n 20 "$work/debootstrap.log" >&2
      echo "debootstrap failed" >&2
      return 1
    fi
    # Written aside and renamed, so a run beside this one never reads half a tarball.
    tar -C "$work/bootstrap" -cf "$tarball.$$.part" . && mv "$tarball.$$.part" "$tarball"
    rm -rf --one-file-system "$work/bootstrap"
  fi
  mkdir "$sysroot"
  tar -C "$sysroot" -xf "$tarball"
  cp /etc/resolv.conf "$sysroot/etc/resolv.conf"
  # A root thrown away after the run needs no fsync of each unpacked file: installing is
  # several times faster on a virtual disk.
  echo force-unsafe-io >"$sysroot/etc/dpkg/dpkg.cfg.d/unsafe-io"
  echo "$sources" | awk '{ print "deb " $1 " " $2 " main" }' >"$sysroot/etc/apt/sources.list"
  # The root a mount of its own, as a machine's is: programs in it can then make their
  # mounts private (tests that bind-mount files do).
  fresh_root_bind "$sysroot" / --bind
  fresh_root_bind proc /proc -t proc
  fresh_root_bind sysfs /sys -t sysfs
  fresh_root_bind /dev /dev --bind
  fresh_root_bind /dev/pts /dev/pts --bind
  fresh_root_bind "$fresh_root_cache/archives" /var/cache/apt/archives --bind
  mkdir -p "$sysroot/tmp/home"
}

fresh_root_cleanup() {
  local i m busy=0
  for ((i = ${#fresh_root_mounts[@]} - 1; i >= 0; i--)); do
    umount "${fresh_root_mounts[i]}" 2>/dev/null || umount -l "${fresh_root_mounts[i]}"
  done
  for m in "${fresh_root_mounts[@]}"; do
    mountpoint -q "$m" && { echo "still mounted: $m" >&2; busy=1; }
  done
  # Never delete through a mount that is still there (the root holds /dev of this machine).
  if [ $busy = 0 ] && [ "${VORLAN_KEEP_ROOT:-0}" != 1 ]; then
    rm -rf --one-file-system "$work"
  else
    echo "left in place: $work" >&2
  fi
}
