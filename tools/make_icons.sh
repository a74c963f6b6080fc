#!/bin/sh
# Regenerates the program icon's renderings from resources/tagswap-icon.svg:
# the hicolor PNGs a Linux desktop looks up by size, and resources/tagswap.ico
# for Windows (16 and 32 pixels, each in 16 and in 256 colours). The outputs
# are committed, so a build needs neither tool; run this after editing the SVG.
# Needs rsvg-convert (Debian package librsvg2-bin) and python3.
set -eu

root=$(CDPATH='' cd -- "$(dirname -- "$0")/.." && pwd)
resources=$root/resources
source_svg=$resources/tagswap-icon.svg
app_id=io.github.tagswap.Tagswap

if ! command -v rsvg-convert >/dev/null 2>&1; then
    echo "make_icons.sh: rsvg-convert is missing; install the package librsvg2-bin" >&2
    exit 1
fi

for size in 16 22 24 32 48 64 128 256; do
    dir=$resources/icons/hicolor/${size}x${size}/apps
    mkdir -p "$dir"
    rsvg-convert --width="$size" --height="$size" --format=png \
        --output="$dir/$app_id.png" "$source_svg"
done

python3 "$root/tools/write_ico.py" "$resources/tagswap.ico" \
    "$resources/icons/hicolor/16x16/apps/$app_id.png" \
    "$resources/icons/hicolor/32x32/apps/$app_id.png"
echo "make_icons.sh: wrote $resources/icons/hicolor and $resources/tagswap.ico"
