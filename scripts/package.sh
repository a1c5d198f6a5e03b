#!/usr/bin/env bash
# Builds the Debian package build-deb/3dvorlan_<version>_<arch>.deb with CPack from the
# install rules, then checks it the way Debian checks its own packages: lintian --pedantic
# on the package (no error, warning or pedantic tag allowed; informational tags are listed),
# desktop-file-validate and appstreamcli on the files it installs, that every program it
# carries has a man page and is named in the AppStream metadata, and that Depends names
# each package once.
# The package is reproducible: scripts/package-repro.sh builds it twice and compares.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-deb"
VORLAN_WITH_PACKAGING=1 "$root/scripts/deps.sh"

# Every date in the package is the last commit's; outside git, the newest changelog entry's.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if [ "$(git -C "$root" rev-parse --show-toplevel 2>/dev/null)" = "$root" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
  else
    SOURCE_DATE_EPOCH=$(date -d "$(sed -n 's/^ -- .*>  //p' "$root/resources/changelog" | head -n 1)" +%s)
  fi
fi
export SOURCE_DATE_EPOCH

# Debian's own compiler and linker flags (hardening), as a Debian build would use them. The
# source and build folders are mapped away in debug paths and __FILE__, so that the same
# tree in another folder gives the same programs.
cd "$root"
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
prefix_maps="-ffile-prefix-map=$root=. -ffile-prefix-map=$build=build-deb"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# A ccache base_dir would hand the compiler relative source paths, which end up in the debug
# information and so in the programs' build IDs: a package built through ccache would then
# differ from one built without it. The prefix maps above do that job instead.
export CCACHE_BASEDIR=
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS) $prefix_maps" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" -DCMAKE_MODULE_LINKER_FLAGS="$(flags LDFLAGS)" \
  "${launcher[@]}" \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
# What the package holds, not the tests and benchmarks (CPack's install then builds nothing).
cmake --build "$build" --target vorlan_package -j"$(nproc)"

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
[ -f "$usr/share/doc/3dvorlan/README" ] || fail "no README in /usr/share/doc/3dvorlan"
[ ! -e "$usr/bin/3dvorlan-convert" ] || [ -f "$usr/share/bash-completion/completions/3dvorlan-convert" ] ||
  fail "3dvorlan-convert has no bash completion"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
twice=$(tr ',|' '\n\n' <<<"$depends" | sed -E 's/^ *([^ :(]+).*/\1/' | sort | uniq -d)
[ -z "$twice" ] || fail "Depends names more than once: $(echo $twice)"

echo "== lintian --pedantic $(basename "$deb")"
lintian --pedantic --display-info --fail-on error,warning,pedantic "$deb" 2>&1 |
  { grep -v '^running with root privileges' || true; } ||
  fail "lintian reports errors, warnings or pedantic tags"
[ $status = 0 ] && echo "Package: $deb"
exit $status
