#!/usr/bin/env bash
# Builds the Debian package build-deb/3dvorlan_<version>_<arch>.deb with CPack from the
# install rules, then checks it the way Debian checks its own packages: lintian on the
# package (no errors allowed; warnings are listed), desktop-file-validate and appstreamcli on
# the files it installs, and that every program it carries has a man page and is named in
# the AppStream metadata.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-deb"
VORLAN_WITH_PACKAGING=1 "$root/scripts/deps.sh"

# Debian's own compiler and linker flags (hardening), as a Debian build would use them.
cd "$root"   # the flags map this folder away in debug paths
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/3dvorlan_${version}_$(dpkg --print-architecture).deb"
rm -f "$build"/3dvorlan_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
[ -f "$deb" ] || { echo "package.sh: CPack did not make $deb" >&2; exit 1; }

status=0
fail() { echo "FAIL: $*" >&2; status=1; }
files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT
dpkg-deb -x "$deb" "$files"
usr="$files/usr"

desktop-file-validate "$usr"/share/applications/*.desktop || fail "desktop entry"
# A double-click on an object file opens it in the program.
grep -qx 'MimeType=application/x-3dvorlan-object;' "$usr/share/applications/3dvorlan.desktop" ||
  fail "3dvorlan.desktop does not claim the object file type"
metainfo=$(echo "$usr"/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo" || fail "AppStream metadata"
for program in "$usr"/bin/*; do
  name=$(basename "$program")
  [ -f "$usr/share/man/man1/$name.1.gz" ] || fail "$name has no man page"
  grep -q "<binary>$name</binary>" "$metainfo" || fail "$name is not named in $(basename "$metainfo")"
done
for size in 16 32 48 64 128 256; do
  [ -f "$usr/share/icons/hicolor/${size}x${size}/apps/3dvorlan.png" ] || fail "no ${size}px icon"
done

echo "== lintian $(basename "$deb")"
lintian --fail-on error "$deb" || fail "lintian reports errors"
[ $status = 0 ] && echo "Package: $deb"
exit $status
