#!/bin/sh
# Builds the Debian package from a built tree and tries it the way a player
# would meet it: unpacked into a scratch root, started through the menu
# entry's launcher on a display of its own (Xvfb), with a fresh home.
#   tools/check_package.sh BUILD_DIR
# Passes when the package names its dependencies and holds every installed
# file, and the unpacked program shows its first-run notice and then its main
# window. The program uses the system's Qt, as the package's dependencies do.
# Needs cpack, dpkg-dev, file, xvfb, xdotool and desktop-file-utils.
set -eu

root=$(CDPATH='' cd -- "$(dirname -- "$0")/.." && pwd)
build=$(CDPATH='' cd -- "${1:?usage: check_package.sh BUILD_DIR}" && pwd)
app_id=io.github.tagswap.Tagswap

. "$root/tools/xvfb_display.sh"
start_scratch_session

fail() {
    echo "check_package.sh: $*" >&2
    exit 1
}

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" > "$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack could not build the package"
fi
set -- "$work"/package/*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    fail "expected one .deb, found: $*"
fi
deb=$1
echo "check_package.sh: built $(basename "$deb")"
dpkg-deb --field "$deb"

depends=$(dpkg-deb --field "$deb" Depends)
for needed in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libimagequant0 qt6-qpa-plugins libc6; do
    case ", $depends," in
        *", $needed "* | *", $needed,"*) ;;
        *) fail "Depends lacks $needed: $depends" ;;
    esac
done
[ "$(dpkg-deb --field "$deb" Section)" = games ] || fail "the package is not in section games"

dpkg-deb -x "$deb" "$work/root"
usr=$work/root/usr
for file in bin/tagswap bin/tagswap-desktop bin/tagswap-spray share/doc/tagswap/copyright \
    "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml" \
    "share/icons/hicolor/scalable/apps/$app_id.svg" share/doc/tagswap/readme.txt; do
    [ -f "$usr/$file" ] || fail "the package lacks /usr/$file"
done
for size in 16 22 24 32 48 64 128 256; do
    [ -f "$usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png" ] ||
        fail "the package lacks the ${size}x${size} icon"
done
# Tagswap loads the spray maker when it is first used, from the folder it
# names relative to itself (a UTF-16 string in the program); it must be there
# and find every library it needs.
maker_folder=$(strings -e l "$usr/bin/tagswap" | grep -x '\.\./lib[^ ]*/tagswap' | head -n 1)
maker=$usr/bin/$maker_folder/tagswap-spray-maker.so
[ -n "$maker_folder" ] && [ -f "$maker" ] || fail "the package lacks the spray maker where tagswap looks for it"
if ldd "$maker" | grep -q 'not found'; then
    fail "the spray maker lacks libraries: $(ldd "$maker" | grep 'not found' | tr '\n' ' ')"
fi
echo "check_package.sh: the spray maker lies in /usr/bin/$maker_folder, where tagswap looks"

# Pictures are read by tagswap-spray started again as the picture reader, which
# the spray maker and tagswap-spray look for beside the running program: a
# spray made from a picture by the unpacked program shows it is found there.
printf 'P3\n2 2\n255\n255 0 0  0 255 0\n0 0 255  255 255 255\n' > "$work/picture.ppm"
made=$(cd "$work" && QT_QPA_PLATFORM=offscreen "$usr/bin/tagswap-spray" make picture.ppm 2>&1) ||
    fail "the unpacked tagswap-spray could not make a spray from a picture: $made"
echo "check_package.sh: the unpacked tagswap-spray reads pictures through the reader beside it ($made)"

# --no-hints: the entry is in two main categories, Game and Utility, on purpose.
desktop-file-validate --no-hints "$usr/share/applications/$app_id.desktop"

start_xvfb "$work"
tagswap_display_environment
home=$work/home
mkdir -p "$home"
unset XDG_DATA_HOME XDG_CONFIG_HOME
export HOME="$home" XDG_RUNTIME_DIR="$work"
(cd / && exec "$usr/bin/tagswap-desktop") &
app_pid=$!

# wait_for_window TITLE: the id of the shown window with exactly that title
wait_for_window() {
    timeout 30 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1
}

# A fresh home has never seen Tagswap: the first-run notice comes first.
notice=$(wait_for_window "Information")
[ -n "$notice" ] || fail "the unpacked program showed no first-run notice"
echo "check_package.sh: the unpacked program started and shows its first-run notice"
[ -d "$home/.local/share/Tagswap/sprays" ] || fail "the launcher made no sprays folder"

xdotool windowfocus --sync "$notice" key Return
main=$(wait_for_window "Tagswap Beta")
[ -n "$main" ] || fail "the main window did not appear after the notice"
echo "check_package.sh: the main window appeared; the package works"
