#!/bin/sh
# Installs what building, running and testing Tagswap needs on Debian 12.
#   tools/install-deps.sh              the Linux build (its Debian package and
#                                      portable download too) and every Linux test
#   tools/install-deps.sh --windows    adds the Windows cross build and its tests under Wine
#   tools/install-deps.sh --analysis   adds static analysis and the fuzzers
#   tools/install-deps.sh --all        all of it, as CI does
# Packages already present are left alone, so a second run costs little.
set -eu

# The build and the tests; then the desktop file and AppStream checks, the
# Debian package's dependencies, the Windows version resource a Linux test
# reads with windres, the portable download's Wayland plugin and run paths,
# and the minimal system it is tried on (tools/check-linux-bundle.sh).
linux="
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    qt6-svg-dev qt6-image-formats-plugins libimagequant-dev
    libxkbcommon-x11-0 libxcb-cursor0
    fonts-liberation fonts-dejavu-core
    xvfb xauth xdotool x11-utils imagemagick
    dbus dbus-x11 at-spi2-core python3 python3-pyatspi
    xdg-utils zlib1g-dev
    desktop-file-utils appstream dpkg-dev file
    binutils-mingw-w64-x86-64
    qt6-wayland patchelf debootstrap debian-archive-keyring
"

# MinGW-w64 to cross-compile, Wine to run its tests and programs, NSIS for the
# installer, zip tools and xz for the packages and the prebuilt dependencies.
windows="g++-mingw-w64-x86-64-posix wine wine64 nsis zip unzip xz-utils"

# clang-format, clang-tidy and cppcheck, and clang's libFuzzer for the fuzzers.
analysis="clang clang-format clang-tidy cppcheck libclang-rt-14-dev"

packages=$linux
for option in "$@"; do
    case $option in
        --windows) packages="$packages $windows" ;;
        --analysis) packages="$packages $analysis" ;;
        --all) packages="$packages $windows $analysis" ;;
        *)
            echo "usage: $0 [--windows] [--analysis] [--all]" >&2
            exit 2
            ;;
    esac
done

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
