#!/bin/sh
# Installs what building, running and testing Tagswap needs on Debian 12.
# Packages already present are left alone, so a second run costs little.
set -eu

packages="
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    qt6-svg-dev qt6-image-formats-plugins libimagequant-dev
    libxkbcommon-x11-0 libxcb-cursor0
    fonts-liberation fonts-dejavu-core
    xvfb xauth xdotool x11-utils imagemagick
    dbus dbus-x11 at-spi2-core python3 python3-pyatspi
    xdg-utils zlib1g-dev
"
extra_file="$(dirname "$0")/extra-packages.txt"
if [ -f "$extra_file" ]; then
    packages="$packages $(grep -v '^#' "$extra_file" | tr '\n' ' ')"
fi

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing:$missing"
$sudo apt-get update -qq
# shellcheck disable=SC2086 # the list is meant to split into words
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
