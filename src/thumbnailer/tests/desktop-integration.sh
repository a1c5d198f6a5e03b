#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks it as a desktop sees it: the object
# file type is known by name and icon, and the thumbnail entry's command line, run as a
# file manager runs it with no display, makes a PNG. Usage: desktop-integration.sh BUILD_DIR EXAMPLE.3do
set -euo pipefail
build=$1
example=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
share=$scratch/prefix/share
for f in bin/3dvorlan-thumbnailer share/thumbnailers/3dvorlan.thumbnailer \
         share/mime/packages/3dvorlan.xml share/man/man1/3dvorlan-thumbnailer.1; do
  [ -e "$scratch/prefix/$f" ] || fail "not installed: $f"
done

# The type, through the shared-mime-info database the install brought up to date, and the
# tools file managers use.
cp "$example" "$scratch/object.3do"
export XDG_DATA_HOME=$share XDG_DATA_DIRS=/usr/share XDG_CONFIG_HOME=$scratch/config
type=$(xdg-mime query filetype "$scratch/object.3do")
[ "$type" = application/x-3dvorlan-object ] || fail "xdg-mime says $type"
info=$(gio info -a standard::content-type,standard::icon "$scratch/object.3do")
grep -q 'standard::content-type: application/x-3dvorlan-object$' <<<"$info" || fail "gio: $info"
desktop_icon=$(sed -n 's/^Icon=//p' "$share/applications/3dvorlan.desktop" 2>/dev/null || true)
grep -q "standard::icon: ${desktop_icon:-3dvorlan}," <<<"$info" || fail "icon: $info"
# A double-click opens the program on the file.
grep -qx 'MimeType=application/x-3dvorlan-object;' "$share/applications/3dvorlan.desktop" ||
  fail "the program's desktop entry does not claim the type"
grep -qx 'Exec=3dvorlan %f' "$share/applications/3dvorlan.desktop" ||
  fail "the program's desktop entry is not given the file"
handler=$(xdg-mime query default application/x-3dvorlan-object)
[ "$handler" = 3dvorlan.desktop ] || fail "the type opens with \"$handler\""
if command -v gtk-update-icon-cache >/dev/null; then
  [ -f "$share/icons/hicolor/icon-theme.cache" ] || fail "the icon cache was not brought up to date"
fi

# The thumbnail entry's command, with its fields filled in as a file manager fills them in.
entry=$share/thumbnailers/3dvorlan.thumbnailer
grep -qx 'MimeType=application/x-3dvorlan-object;' "$entry" || fail "entry's MimeType"
try=$(sed -n 's/^TryExec=//p' "$entry")
exec_line=$(sed -n 's/^Exec=//p' "$entry")
export PATH=$scratch/prefix/bin:$PATH
command -v "$try" >/dev/null || fail "TryExec $try not found"
command=${exec_line//%s/128}
command=${command//%i/$scratch/object.3do}
command=${command//%o/$scratch/thumbnail.png}
env -u DISPLAY -u WAYLAND_DISPLAY ${VORLAN_TEST_LAUNCHER:-} $command
[ "$(head -c 8 "$scratch/thumbnail.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
  fail "no PNG written"

# The manual page renders without warnings.
warnings=$(man --warnings -l "$share/man/man1/3dvorlan-thumbnailer.1" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page: $warnings"
echo "desktop integration: ok"
