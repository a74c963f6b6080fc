#!/usr/bin/env bash
# Makes the Windows build's dependencies (Qt 6.4.2 and libimagequant, cross-built
# with MinGW-w64) ready in DEST/qt6-mingw64 and prints that folder.
#   windows-deps.sh DEST
# Unpacks the prebuilt archive when one is at hand (TAGSWAP_WINDOWS_DEPS_ARCHIVE,
# or ../shared/windows/ beside the checkout); otherwise builds them from Debian's
# sources with build-windows-deps.sh, which takes about 40 minutes on 2 cores.
set -euo pipefail
dest=$(realpath -m "${1:?usage: windows-deps.sh DEST}")
here=$(cd "$(dirname "$0")" && pwd)
prefix="$dest/qt6-mingw64"
stamp="$prefix/.complete"
if [ -f "$stamp" ]; then
    echo "$prefix"
    exit 0
fi
archive="${TAGSWAP_WINDOWS_DEPS_ARCHIVE:-}"
if [ -z "$archive" ]; then
    archive=$(ls "$here"/../../shared/windows/tagswap-windows-deps-*-mingw64.tar.xz 2>/dev/null | head -n 1 || true)
fi
rm -rf "$prefix"
mkdir -p "$dest"
if [ -n "$archive" ] && [ -f "$archive" ]; then
    echo "Unpacking $archive" >&2
    tar -C "$dest" -xf "$archive"
else
    echo "No prebuilt archive; building the Windows dependencies into $prefix" >&2
    "$here/build-windows-deps.sh" "$prefix" "$dest/work" >&2
fi
touch "$stamp"
echo "$prefix"
