#!/bin/sh
# Installs Tagswap from this unpacked download for you alone; no root needed.
#   ./install.sh              copies it to ~/.local/share/tagswap/, links tagswap and
#                             tagswap-spray into ~/.local/bin and adds Tagswap, with its icon,
#                             to the desktop menu (under ~/.local/share/)
#   ./install.sh --uninstall  removes all of that again; your sprays (~/.local/share/Tagswap/)
#                             and settings (~/.config/Tagswap/) stay
# An absolute $XDG_DATA_HOME takes the place of ~/.local/share, as it does for
# the desktop menu.
set -eu

app_id=io.github.tagswap.Tagswap
programs="tagswap tagswap-spray"

fail() {
    printf 'install.sh: %s\n' "$*" >&2
    exit 1
}

case ${HOME-} in
    /*) ;;
    *) fail "HOME is not set to a folder" ;;
esac
# Run through sudo, it would install into root's home, where your menu never looks.
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER-}" ]; then
    fail "run it as yourself, without sudo: it installs for your user alone"
fi
case ${XDG_DATA_HOME-} in
    /*) data_home=$XDG_DATA_HOME ;;
    *) data_home=$HOME/.local/share ;;
esac
newline='
'
case $data_home in
    *"$newline"*) fail "a folder name with a line break cannot go into a menu entry: $data_home" ;;
esac
prefix=$data_home/tagswap
bin_home=$HOME/.local/bin
entry=$data_home/applications/$app_id.desktop
icons=$data_home/icons/hicolor
sprays=$data_home/Tagswap/sprays
here=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd -P)

# points_into LINK FOLDER: LINK is a symbolic link to somewhere in FOLDER
points_into() {
    [ -L "$1" ] || return 1
    case $(readlink -- "$1") in
        "$2"/*) return 0 ;;
        *) return 1 ;;
    esac
}

# is_ours FOLDER: FOLDER is missing or holds an install of Tagswap
is_ours() {
    [ ! -e "$1" ] && [ ! -L "$1" ] || [ -x "$1/bin/tagswap" ]
}

# The launcher's path as a desktop entry's Exec= wants it: quoted, with \ " ` $
# escaped inside the quotes, then every \ escaped again for the string, and %
# doubled so that it is no field code.
exec_quoted() {
    printf '"%s"' "$(printf '%s' "$1" | sed -e 's/[\\"`$]/\\&/g' -e 's/\\/\\\\/g' -e 's/%/%%/g')"
}

# write_entry SOURCE: the menu entry, starting the installed launcher by its
# full path (a menu's PATH need not hold ~/.local/bin), written whole or not at all
write_entry() {
    launcher=$prefix/bin/tagswap-desktop
    exec_value=$(exec_quoted "$launcher")
    try_value=$(printf '%s' "$launcher" | sed -e 's/\\/\\\\/g')
    mkdir -p -- "$(dirname -- "$entry")"
    while IFS= read -r line || [ -n "$line" ]; do
        case $line in
            Exec=*) printf 'Exec=%s\n' "$exec_value" ;;
            TryExec=*) printf 'TryExec=%s\n' "$try_value" ;;
            *) printf '%s\n' "$line" ;;
        esac
    done < "$1" > "$entry.new"
    mv -f -- "$entry.new" "$entry"
}

refresh_menu() {
    # Desktops notice new entries by themselves; these only speed that up.
    if command -v update-desktop-database > /dev/null 2>&1; then
        update-desktop-database -q "$(dirname -- "$entry")" 2> /dev/null || true
    fi
    [ ! -d "$icons" ] || touch -- "$icons"
}

install_copy() {
    [ -x "$here/bin/tagswap" ] || fail "$here holds no Tagswap download (bin/tagswap is missing)"
    is_ours "$prefix" || fail "$prefix exists and is not Tagswap's; move it away first"
    for program in $programs; do
        link=$bin_home/$program
        if { [ -e "$link" ] || [ -L "$link" ]; } && ! points_into "$link" "$prefix"; then
            fail "$link exists and is not Tagswap's; move it away first"
        fi
    done

    # The old install is replaced only once the new copy is complete.
    if [ "$here" != "$(cd -- "$prefix" 2> /dev/null && pwd -P)" ]; then
        mkdir -p -- "$data_home"
        fresh=$prefix.new.$$
        old=$prefix.old.$$
        rm -rf -- "$fresh"
        if ! cp -R -P -- "$here" "$fresh"; then
            rm -rf -- "$fresh"
            fail "could not copy Tagswap to $fresh"
        fi
        if [ -e "$prefix" ]; then mv -- "$prefix" "$old"; fi
        if ! mv -- "$fresh" "$prefix"; then
            if [ -e "$old" ]; then mv -- "$old" "$prefix"; fi
            rm -rf -- "$fresh"
            fail "could not put the new copy in place of $prefix"
        fi
        rm -rf -- "$old"
    fi

    mkdir -p -- "$bin_home"
    for program in $programs; do
        ln -sfn -- "$prefix/bin/$program" "$bin_home/$program"
    done
    write_entry "$prefix/share/applications/$app_id.desktop"
    for icon in "$prefix"/share/icons/hicolor/*/apps/"$app_id".*; do
        size=$(basename -- "$(dirname -- "$(dirname -- "$icon")")")
        mkdir -p -- "$icons/$size/apps"
        cp -f -- "$icon" "$icons/$size/apps/"
    done
    # The folder the menu entry starts Tagswap in, with the read-me About opens.
    mkdir -p -- "$sprays"
    if [ ! -e "$sprays/readme.txt" ] && [ ! -L "$sprays/readme.txt" ]; then
        ln -s -- "$prefix/share/doc/tagswap/readme.txt" "$sprays/readme.txt"
    fi
    refresh_menu

    echo "Tagswap is installed in $prefix and in the desktop menu."
    echo "Put your sprays (*.wad) in $sprays; the menu entry starts Tagswap there."
    case :${PATH-}: in
        *:"$bin_home":*) ;;
        *) echo "To run tagswap-spray by name in a terminal, add $bin_home to your PATH." ;;
    esac
}

uninstall() {
    is_ours "$prefix" || fail "$prefix is not Tagswap's; it is left as it is"
    for program in $programs; do
        if points_into "$bin_home/$program" "$prefix"; then rm -f -- "$bin_home/$program"; fi
    done
    rm -f -- "$entry"
    for icon in "$icons"/*/apps/"$app_id".*; do
        if [ -f "$icon" ]; then rm -f -- "$icon"; fi
    done
    if points_into "$sprays/readme.txt" "$prefix"; then rm -f -- "$sprays/readme.txt"; fi
    # Last: this script may be one of the files removed.
    rm -rf -- "$prefix"
    refresh_menu
    echo "Tagswap is uninstalled. Your sprays in $data_home/Tagswap and your settings stay."
}

case ${1-} in
    "") install_copy ;;
    --uninstall) uninstall ;;
    *)
        echo "usage: $0 [--uninstall]" >&2
        exit 2
        ;;
esac
