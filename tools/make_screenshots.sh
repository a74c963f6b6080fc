#!/bin/sh
# Captures the main window, the settings dialog, the "Sprays seen in game"
# window and the "Check the spray in game" window of the real program, as the
# README (and for the first two the AppStream file) shows them:
#   tools/make_screenshots.sh BUILD_DIR
# writes resources/screenshots/main-window.png, settings-dialog.png,
# seen-sprays.png (from the cache the demo's game folder ships) and
# spray-check.png (the demo's valve with a spray copied in by hand, unguarded).
# Runs on a display of its own (Xvfb), on a copy of the demo folder, with
# settings made for the occasion, so neither the desktop, the player's settings
# nor the demo itself are touched.
# Needs xvfb, xdotool and imagemagick. Run it again whenever the look changes.
set -eu

root=$(CDPATH='' cd -- "$(dirname -- "$0")/.." && pwd)
build=$(CDPATH='' cd -- "${1:?usage: make_screenshots.sh BUILD_DIR}" && pwd)
program=$build/tagswap
out=$root/resources/screenshots
[ -x "$program" ] || { echo "make_screenshots.sh: no program at $program; build first" >&2; exit 1; }

. "$root/tools/xvfb_display.sh"
start_scratch_session

# The first-run notice is for players, not for the pictures; the directory
# is one a Linux player might type.
mkdir -p "$work/config/Tagswap"
printf '[Settings]\nBeenRun=True\nHLDir=/home/player/Half-Life\n' > "$work/config/Tagswap/Tagswap.ini"

# The spray as a player copies it in by hand: both files, but tempdecal.wad
# still writable, which the check finds.
cp -R "$root/demo" "$work/demo"
for name in pldecal.wad tempdecal.wad; do
    cp "$work/demo/heart.wad" "$work/demo/Half-Life/valve/$name"
done
chmod u+w "$work/demo/Half-Life/valve/tempdecal.wad"

start_xvfb "$work"
tagswap_display_environment
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work"
(cd "$work/demo" && exec "$program") &
app_pid=$!

# wait_for_window TITLE: the id of the shown window with exactly that title,
# asked for again until it shows (at most 20 s): a search fails outright when a
# window it walks past, such as a closing menu, goes meanwhile.
wait_for_window() {
    tries=0
    while [ "$tries" -lt 200 ]; do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
        if [ -n "$id" ]; then
            echo "$id"
            return
        fi
        tries=$((tries + 1))
        sleep 0.1
    done
}

# capture WINDOW FILE: the window's contents, without the timestamps
# ImageMagick would otherwise write, so an unchanged look gives an unchanged file
capture() {
    sleep 1 # lets the window finish painting
    import -window "$1" -define png:exclude-chunks=date,time "$2"
}

mkdir -p "$out"
main=$(wait_for_window "Tagswap Beta")
[ -n "$main" ] || { echo "make_screenshots.sh: the main window did not appear" >&2; exit 1; }
capture "$main" "$out/main-window.png"

# The Settings button, in the main window's client area (x 136..201, y 104..125).
xdotool mousemove --window "$main" 168 114 click 1
xdotool mousemove 1000 700 # away, so no button shows the pointer hovering over it
settings=$(wait_for_window "Settings")
[ -n "$settings" ] || { echo "make_screenshots.sh: the settings dialog did not appear" >&2; exit 1; }
capture "$settings" "$out/settings-dialog.png"

# OK with the demo's game folder, whose valve holds the demo's cache of sprays
# seen in game. Without a window manager the keys go to the window under the pointer.
xdotool mousemove --window "$settings" 100 30 click 1
xdotool key ctrl+a
xdotool type --delay 10 "$work/demo/Half-Life"
xdotool mousemove --window "$settings" 220 56 click 1 # OK
timeout 20 sh -c 'while xdotool search --onlyvisible --name "^Settings\$" >/dev/null; do sleep 0.1; done'

# The context menu of the first row (x 10..130, y 8..22); its fifth entry.
xdotool mousemove --window "$main" 40 15 click 3
sleep 0.5
xdotool key Down Down Down Down Down Return
xdotool mousemove 1000 700
seen=$(wait_for_window "Sprays seen in game")
[ -n "$seen" ] || { echo "make_screenshots.sh: the window of sprays seen in game did not appear" >&2; exit 1; }
capture "$seen" "$out/seen-sprays.png"

# Escape closes it, uncovering the list.
xdotool windowfocus --sync "$seen" key Escape
timeout 20 sh -c 'while xdotool search --onlyvisible --name "^Sprays seen in game\$" >/dev/null; do sleep 0.1; done'

# The same menu's sixth entry.
xdotool mousemove --window "$main" 40 15 click 3
sleep 0.5
xdotool key Down Down Down Down Down Down Return
xdotool mousemove 1000 700
check=$(wait_for_window "Check the spray in game")
[ -n "$check" ] || { echo "make_screenshots.sh: the window checking the spray did not appear" >&2; exit 1; }
capture "$check" "$out/spray-check.png"

echo "make_screenshots.sh: wrote $out/main-window.png, settings-dialog.png, seen-sprays.png and spray-check.png"
