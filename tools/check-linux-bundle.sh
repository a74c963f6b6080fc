#!/bin/sh
# Tries the portable Linux download where it must work: a minimal Debian 12
# (debootstrap --variant=minbase) holding only the libraries the download
# leaves to the system (resources/linux/system-libraries.cmake) and Xvfb, with
# no Qt and no libimagequant. There, as an ordinary user, it unpacks the
# download, makes a spray of a PNG and of a JPEG with ./tagswap-spray, runs
# install.sh, starts Tagswap by the installed menu entry's command until its
# main window is mapped and opens the spray maker's window from it, lists the libraries every program and plugin resolves
# (failing when a Qt library, or any the download carries, comes from outside
# it), uninstalls and finds the sprays and settings still there, and starts
# ./tagswap from the unpacked folder. Before that it reads the newest C and C++
# library versions the download needs and fails above what the README promises.
#   tools/check-linux-bundle.sh BUILD_DIR
# BUILD_DIR holds tagswap-<version>-linux-x86_64.tar.gz (cmake --preset release
# && cmake --build --preset release). Runs as root (chroot and mounts, all in a
# mount namespace of its own, so nothing stays mounted). The minimal system is
# made once and kept in ${XDG_CACHE_HOME:-/var/cache}/tagswap (or
# $TAGSWAP_CACHE_DIR) for the next run; it is made again when missing.
# Needs debootstrap, unshare, xdotool, objdump, python3 and ImageMagick.
set -eu

# What the README's "Linux (Steam Deck, Arch, Fedora, ...)" promises; a new
# dependency that needs more fails here, and the README must change with it.
lowest_glibc=2.35
lowest_glibcxx=3.4.30

# The system libraries of resources/linux/system-libraries.cmake that the
# download asks for, by their Debian packages, and Xvfb. Mesa comes with them.
root_packages="libc6 libstdc++6 libgcc-s1 zlib1g libgpg-error0 libglib2.0-0
    libegl1 libgl1 libglx0 libopengl0 libx11-6 libx11-xcb1 libxcb1 libice6 libsm6
    libfontconfig1 libfreetype6 libharfbuzz0b fonts-dejavu-core xvfb"

here=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd)
app_id=io.github.tagswap.Tagswap
player=1000

fail() {
    echo "check-linux-bundle.sh: $*" >&2
    exit 1
}
say() { echo "check-linux-bundle.sh: $*"; }

# ---------------------------------------------------------------------------
# The minimal system, made once per package list and kept.

# version_above A B: version A is newer than version B
version_above() {
    [ "$1" != "$2" ] && [ "$(printf '%s\n%s\n' "$1" "$2" | sort -V | tail -n 1)" = "$1" ]
}

prepare_root() {
    cache=${TAGSWAP_CACHE_DIR:-${XDG_CACHE_HOME:-/var/cache}/tagswap}
    key=$(printf '%s\n' bookworm minbase $root_packages | md5sum | cut -c1-12)
    root=$cache/debian12-minbase-$key
    mkdir -p -- "$cache"
    exec 9> "$cache/lock"
    flock 9
    if [ -f "$root/.complete" ]; then
        say "the minimal Debian 12 is cached in $root"
        return
    fi
    # Older package lists and half-made roots; never across a mount point.
    for old in "$cache"/debian12-minbase-*; do
        [ -e "$old" ] && rm -rf --one-file-system -- "$old"
    done
    made_at=$(date +%s)
    say "making a minimal Debian 12 in $root (once; later runs reuse it)"
    # shellcheck disable=SC2086 # the package list is meant to split
    if ! debootstrap --variant=minbase --include="$(echo $root_packages | tr ' ' ,)" \
        bookworm "$root.partial" ${TAGSWAP_DEBIAN_MIRROR-} > "$cache/debootstrap.log" 2>&1; then
        tail -n 30 "$cache/debootstrap.log" >&2
        fail "debootstrap failed (the whole log: $cache/debootstrap.log)"
    fi
    if find "$root.partial/usr/lib" -name 'libQt6*' -o -name 'libimagequant*' | grep -q .; then
        fail "the minimal system holds Qt or libimagequant, so it would prove nothing"
    fi
    touch "$root.partial/.complete"
    mv -- "$root.partial" "$root"
    say "made it in $(($(date +%s) - made_at)) s"
}

# ---------------------------------------------------------------------------
# What the download asks of the system, read from the files themselves.

# newest_version PREFIX FILE...: the newest PREFIX_x.y symbol version the files need
newest_version() {
    prefix=$1
    shift
    for file in "$@"; do
        objdump -T "$file" | grep -o "($prefix"'_[0-9.]*)' | tr -d '()' | sed "s/^${prefix}_//;s|\$| $file|"
    done | sort -V -k 1,1 | tail -n 1
}

check_system_needs() {
    unpacked=$1
    elves=$(find "$unpacked" -type f -exec sh -c 'head -c 4 "$1" | grep -q "^.ELF"' sh {} \; -print)
    [ -n "$elves" ] || fail "the download holds no program"
    # shellcheck disable=SC2086 # one file name a line, none with spaces
    set -- $elves
    glibc=$(newest_version GLIBC "$@")
    glibcxx=$(newest_version GLIBCXX "$@")
    glibc=$(echo "$glibc" | sed "s| $unpacked/| |")
    glibcxx=$(echo "$glibcxx" | sed "s| $unpacked/| |")
    say "the download needs glibc ${glibc%% *} (for ${glibc#* }) and GLIBCXX_${glibcxx%% *} (for ${glibcxx#* })"
    version_above "${glibc%% *}" "$lowest_glibc" &&
        fail "${glibc#* } needs glibc ${glibc%% *}, above the $lowest_glibc the README promises"
    version_above "${glibcxx%% *}" "$lowest_glibcxx" &&
        fail "${glibcxx#* } needs GLIBCXX_${glibcxx%% *}, above the $lowest_glibcxx the README promises"
    for file in "$@"; do
        run_path=$(objdump -p "$file" | awk '$1 == "RPATH" || $1 == "RUNPATH" { print $2 }')
        case $run_path in
            '$ORIGIN' | '$ORIGIN/'*) ;;
            *) fail "${file#"$unpacked"/} finds its libraries through '$run_path', not relative to itself" ;;
        esac
    done
}

# ---------------------------------------------------------------------------
# Inside the minimal system, in a mount namespace of this script's own.

# become_player COMMAND...: replaces this process with COMMAND in the minimal
# system, run as an ordinary user; in the background, $! is then its own id
become_player() {
    exec chroot --userspec=$player:$player "$root" /usr/bin/env -i HOME=/home/player USER=player \
        PATH=/home/player/.local/bin:/usr/bin:/bin LANG=C.UTF-8 XDG_RUNTIME_DIR=/tmp/runtime-player \
        "$@"
}

# as_player COMMAND...: COMMAND in the minimal system as an ordinary user
as_player() {
    (become_player "$@")
}

mount_scratch() {
    mount -t proc proc "$root/proc"
    mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
    mount -t tmpfs -o mode=755 tmpfs "$root/home"
    mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
    mkdir -p "$root/home/player/Downloads" "$root/tmp/runtime-player"
    chmod 700 "$root/tmp/runtime-player"
    chown -R $player:$player "$root/home/player" "$root/tmp/runtime-player"
}

start_display() {
    rm -f "$work/display"
    chroot "$root" /usr/bin/Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
        3> "$work/display" 2> "$work/xvfb.log" &
    xvfb_pid=$!
    tries=0
    while [ ! -s "$work/display" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ] || ! kill -0 "$xvfb_pid" 2> /dev/null; then
            cat "$work/xvfb.log" >&2
            fail "Xvfb did not start in the minimal system"
        fi
        sleep 0.1
    done
    # The host's xdotool reaches it through the abstract socket of its display.
    DISPLAY=:$(cat "$work/display")
    export DISPLAY
}

# wait_for_window TITLE: the id of the shown window with exactly that title
wait_for_window() {
    timeout 30 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1
}

stop_app() {
    if [ -n "$app_pid" ]; then
        kill "$app_pid" 2> /dev/null || true
        wait "$app_pid" 2> /dev/null || true
        app_pid=
    fi
}

check_unpacked_programs() {
    version=$(as_player env -C "$download" ./tagswap-spray --version) || fail "tagswap-spray --version failed"
    case $name in
        tagswap-"${version#tagswap-spray }"-linux-*) say "tagswap-spray --version: $version" ;;
        *) fail "tagswap-spray --version says '$version' in $name" ;;
    esac
    for picture in picture.png picture.jpg; do
        as_player env -C /home/player/Downloads "$download/tagswap-spray" make "$picture" \
            -o "$picture.wad" > /dev/null || fail "tagswap-spray could not make a spray of $picture"
        as_player env -C /home/player/Downloads "$download/tagswap-spray" info "$picture.wad" ||
            fail "the spray made of $picture is not one the game takes"
    done
}

check_install() {
    as_player env -C "$download" ./install.sh || fail "install.sh failed"
    home=$root/home/player
    for file in .local/share/tagswap/bin/tagswap .local/bin/tagswap .local/bin/tagswap-spray \
        ".local/share/applications/$app_id.desktop" \
        ".local/share/icons/hicolor/48x48/apps/$app_id.png" \
        ".local/share/icons/hicolor/scalable/apps/$app_id.svg" \
        .local/share/Tagswap/sprays/readme.txt; do
        # Links name their targets as seen inside the minimal system.
        [ -e "$home/$file" ] || [ -L "$home/$file" ] || fail "install.sh left no ~/$file"
    done
    as_player tagswap-spray --version > /dev/null || fail "tagswap-spray does not run from ~/.local/bin"
}

# Every library each installed program and plugin resolves, as the minimal
# system's loader finds it: a Qt library, or one the download carries, must
# come from the download.
check_resolved_libraries() {
    prefix=/home/player/.local/share/tagswap
    carried=$(ls "$root$prefix/lib")
    # shellcheck disable=SC2046 # one file name a line, none with spaces
    chroot "$root" ldd $(cd "$root" && find ".$prefix" -type f |
        while read -r file; do head -c 4 "$file" | grep -q '^.ELF' && echo "${file#.}"; done) \
        > "$work/ldd.txt" 2>&1 || true
    if grep -q 'not found' "$work/ldd.txt"; then
        grep -B 1000 'not found' "$work/ldd.txt" | grep -E '^/|not found' >&2
        fail "libraries are missing on a system without Qt"
    fi
    # One line a library and where it was found, "dir/../" folded away.
    awk '$2 == "=>" && $3 ~ /^\// {
        path = $3
        while (sub(/\/[^\/]+\/\.\.\//, "/", path)) {}
        print $1, path
    }' "$work/ldd.txt" | sort -u > "$work/resolved.txt"
    say "libraries the installed programs and plugins resolve, from the download:"
    awk -v prefix="$prefix/" 'index($2, prefix) == 1 { print $1 }' "$work/resolved.txt" |
        sort -u | tr '\n' ' ' | fold -s -w 100 | sed 's/^/    /'
    echo
    say "and from the system:"
    awk -v prefix="$prefix/" 'index($2, prefix) != 1 { print "    " $1 " => " $2 }' "$work/resolved.txt"
    while read -r name path; do
        case $path in "$prefix"/*) continue ;; esac
        case $name in libQt*) fail "$name came from outside the download: $path" ;; esac
        if printf '%s\n' "$carried" | grep -qxF "$name"; then
            fail "$name came from the system ($path) though the download carries it"
        fi
    done < "$work/resolved.txt"
}

check_menu_start() {
    entry=$root/home/player/.local/share/applications/$app_id.desktop
    command=$(python3 "$here/desktop_exec.py" "$entry") || fail "cannot read the command of $entry"
    say "starting Tagswap as the menu does: $(echo "$command" | tr '\n' ' ')"
    saved_ifs=$IFS
    IFS='
'
    set -f
    # shellcheck disable=SC2086 # one argument a line, as desktop_exec.py prints them
    set -- $command
    set +f
    IFS=$saved_ifs
    become_player env -C / DISPLAY="$DISPLAY" "$@" > "$work/app.log" 2>&1 &
    app_pid=$!
    notice=$(wait_for_window "Information")
    [ -n "$notice" ] || { cat "$work/app.log" >&2; fail "Tagswap showed no first-run notice"; }
    xdotool windowfocus --sync "$notice" key Return
    main=$(wait_for_window "Tagswap Beta")
    [ -n "$main" ] || { cat "$work/app.log" >&2; fail "no main window"; }
    case $(readlink "/proc/$app_pid/cwd") in
        */home/player/.local/share/Tagswap/sprays) ;;
        *) fail "the menu entry started Tagswap in $(readlink "/proc/$app_pid/cwd"), not the sprays folder" ;;
    esac
    # The spray maker's window comes from its plugin, loaded only now: the
    # list's context menu, whose first enabled entry makes a spray.
    xdotool windowfocus --sync "$main" key shift+F10
    sleep 0.5
    xdotool key Down Return
    if [ -z "$(wait_for_window "Make Spray")" ]; then
        cat "$work/app.log" >&2
        fail "the spray maker's window did not open; shown: $(xdotool search --onlyvisible --name . getwindowname %@ | tr '\n' ' ')"
    fi
    grep -q /home/player/.local/share/tagswap/lib/tagswap/tagswap-spray-maker.so "/proc/$app_pid/maps" ||
        fail "the spray maker's window opened without the installed plugin"
    # The Qt libraries and plugins the running program really loaded.
    outside=$(grep -o -E '/[^ ]*(libQt6|/plugins/)[^ ]*' "/proc/$app_pid/maps" | sed "s|^$root/|/|" |
        sort -u | grep -v '^/home/player/.local/share/tagswap/' || true)
    grep -q '/plugins/platforms/libqxcb.so' "/proc/$app_pid/maps" || fail "Tagswap did not load the X11 plugin"
    [ -z "$outside" ] || fail "Tagswap loaded Qt from outside the download: $outside"
    say "the installed menu entry started Tagswap in the sprays folder; its main window and the spray maker's are mapped, every Qt library and plugin from the download"
    stop_app
}

check_uninstall() {
    home=$root/home/player
    cp "$root/home/player/Downloads/picture.png.wad" "$home/.local/share/Tagswap/sprays/mine.wad"
    [ -f "$home/.config/Tagswap/Tagswap.ini" ] || fail "Tagswap kept no settings to leave behind"
    as_player /home/player/.local/share/tagswap/install.sh --uninstall || fail "install.sh --uninstall failed"
    for file in .local/share/tagswap .local/bin/tagswap .local/bin/tagswap-spray \
        ".local/share/applications/$app_id.desktop" \
        ".local/share/icons/hicolor/48x48/apps/$app_id.png" .local/share/Tagswap/sprays/readme.txt; do
        if [ -e "$home/$file" ] || [ -L "$home/$file" ]; then
            fail "install.sh --uninstall left ~/$file"
        fi
    done
    [ -f "$home/.local/share/Tagswap/sprays/mine.wad" ] || fail "uninstalling removed a spray"
    [ -f "$home/.config/Tagswap/Tagswap.ini" ] || fail "uninstalling removed the settings"
    say "uninstalled; the sprays and the settings stay"
}

check_unpacked_start() {
    become_player env -C "$download" DISPLAY="$DISPLAY" ./tagswap > "$work/app.log" 2>&1 &
    app_pid=$!
    [ -n "$(wait_for_window "Tagswap Beta")" ] || { cat "$work/app.log" >&2; fail "./tagswap showed no window"; }
    stop_app
    say "./tagswap from the unpacked folder shows its main window"
}

inside() {
    root=$1 tarball=$2 work=$3
    app_pid=
    xvfb_pid=
    trap 'stop_app; [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2> /dev/null || true' EXIT
    mount_scratch
    cp -- "$tarball" "$work/picture.png" "$work/picture.jpg" "$root/home/player/Downloads/"
    chown $player:$player "$root/home/player/Downloads/"*
    name=$(basename -- "$tarball" .tar.gz)
    download=/home/player/Downloads/$name
    as_player env -C /home/player/Downloads tar -xzf "$name.tar.gz" || fail "cannot unpack $name.tar.gz"
    check_unpacked_programs
    check_install
    check_resolved_libraries
    start_display
    check_menu_start
    check_uninstall
    check_unpacked_start
}

# ---------------------------------------------------------------------------

if [ "${1-}" = --inside ]; then
    shift
    inside "$@"
    exit 0
fi

started=$(date +%s)
[ "$(id -u)" -eq 0 ] || fail "needs root, for chroot and mount"
build=$(CDPATH='' cd -- "${1:?usage: check-linux-bundle.sh BUILD_DIR}" && pwd)
set -- "$build"/tagswap-*-linux-x86_64.tar.gz
[ $# -eq 1 ] && [ -f "$1" ] || fail "expected one tagswap-*-linux-x86_64.tar.gz in $build, found: $*"
tarball=$1
say "checking $(basename -- "$tarball") ($(du -h "$tarball" | cut -f 1))"

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
mkdir "$work/unpacked"
tar -xzf "$tarball" -C "$work/unpacked"
check_system_needs "$work/unpacked"
convert -size 96x64 gradient:orange-navy "$work/picture.png"
convert -seed 7 -size 80x120 plasma:fractal "$work/picture.jpg"

prepare_root
unshare --mount --propagation private --fork --kill-child -- \
    sh "$here/check-linux-bundle.sh" --inside "$root" "$tarball" "$work"
say "passed in $(($(date +%s) - started)) s"
