#!/usr/bin/env bash
# Installs every Debian package Tavro needs to build, test and run.
# Safe to run again: it updates the package lists once and installs only what is missing.
set -euo pipefail

PACKAGES=(
  # toolchain
  g++ cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
  # libraries
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-image-formats-plugins
  qt6-webengine-dev qt6-webengine-dev-tools
  libtinyxml-dev libsqlite3-dev sqlite3 libcurl4-openssl-dev libssl-dev libcpp-httplib-dev libsodium-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # what the benchmarks compare against and run under: curl and openssl for the update,
  # a session bus for the start-up
  curl openssl dbus
  # end-to-end runs and screenshots
  xvfb xauth xdotool imagemagick fonts-noto-cjk trayer xcompmgr x11-utils x11-xserver-utils strace
  libgl1-mesa-dri
  # what a screen reader talks to, and a Wayland session with XWayland, for their end-to-end
  # checks
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0 python3-gi weston xwayland qt6-wayland
  # the desktop entries and the icon theme of the install command, and their checks
  desktop-file-utils hicolor-icon-theme libglib2.0-bin
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
