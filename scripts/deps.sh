#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, when any is missing.
set -euo pipefail
packages=(build-essential cmake qt6-base-dev libqt6opengl6-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins
          libgl-dev libglu1-mesa-dev libx11-dev libgl1-mesa-dri libgtest-dev libacl1-dev
          xvfb xauth fonts-dejavu-core xdotool
          # A window manager for the tests that look at where windows' frames are placed.
          openbox
          libegl-dev libegl-mesa0
          shared-mime-info xdg-utils libfile-mimeinfo-perl libglib2.0-bin man-db
          libassimp-dev assimp-utils assimp-testmodels time
          # assimp's CMake files link libz.so, which libassimp-dev does not pull in.
          zlib1g-dev
          # The converter's completion is tested through it.
          bash-completion)
if [ "${VORLAN_WITH_FUZZ:-0}" = 1 ]; then
  packages+=(clang libclang-rt-14-dev)
fi
# Making the Debian package, checking it (diffoscope for package-repro.sh) and installing it
# into a fresh Debian root.
if [ "${VORLAN_WITH_PACKAGING:-0}" = 1 ]; then
  packages+=(dpkg-dev file lintian appstream desktop-file-utils debootstrap xdotool openbox
             imagemagick diffoscope-minimal)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "These Debian packages are needed but missing: ${missing[*]}" >&2
      echo "Install them as root (su -c 'apt-get install ${missing[*]}'), or install sudo," >&2
      echo "then run this again." >&2
      exit 1
    fi
    SUDO=sudo
  fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
