#!/bin/sh
# The Linux download's install.sh must install for one user, with a menu entry
# that starts the installed launcher however odd the home folder's name, never
# take over a file that is not Tagswap's, replace an older install whole, and
# uninstall without touching sprays or settings.
#   test_install_script.sh SOURCE_DIR DESKTOP_EXEC_PY
# A stand-in download holds the real install.sh, launcher and menu entry and a
# stand-in tagswap that records where it was started.
set -u

source_dir=$1
desktop_exec=$2
app_id=io.github.tagswap.Tagswap
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

download=$work/tagswap-1.0-linux-x86_64
mkdir -p "$download/bin" "$download/share/applications" "$download/share/doc/tagswap" \
    "$download/share/icons/hicolor/48x48/apps" "$download/share/icons/hicolor/scalable/apps"
cp "$source_dir/resources/linux/install.sh" "$download/"
cp "$source_dir/resources/tagswap-desktop" "$download/bin/"
cp "$source_dir/resources/$app_id.desktop" "$download/share/applications/"
cp "$source_dir/resources/icons/hicolor/48x48/apps/$app_id.png" "$download/share/icons/hicolor/48x48/apps/"
cp "$source_dir/resources/tagswap-icon.svg" "$download/share/icons/hicolor/scalable/apps/$app_id.svg"
echo "read me" > "$download/share/doc/tagswap/readme.txt"
# shellcheck disable=SC2016 # written for the stand-in to expand
printf '#!/bin/sh\npwd > "$HOME/started-in"\n' > "$download/bin/tagswap"
cp "$download/bin/tagswap" "$download/bin/tagswap-spray"
chmod +x "$download/bin/"*

# A home whose name needs every kind of quoting a menu entry has.
# shellcheck disable=SC2089,SC2090 # the quotes and backslashes are the name
home="$work/player's \"home\" \$HOME %u \\ \`x\`"
mkdir -p "$home/.config/Tagswap"
echo "[Settings]" > "$home/.config/Tagswap/Tagswap.ini"
data=$home/.local/share
prefix=$data/tagswap

# run_install HOME ARGS...: install.sh of the download, quietly, for that home
run_install() {
    h=$1
    shift
    (unset XDG_DATA_HOME SUDO_USER && HOME=$h "$download/install.sh" "$@") > "$work/output" 2>&1
}

run_install "$home" || fail "install failed: $(cat "$work/output")"
for program in tagswap tagswap-spray; do
    [ "$(readlink "$home/.local/bin/$program")" = "$prefix/bin/$program" ] || fail "no link for $program"
done
entry=$data/applications/$app_id.desktop
desktop-file-validate --no-hints "$entry" || fail "the installed entry is not valid"
[ "$(python3 "$desktop_exec" "$entry")" = "$prefix/bin/tagswap-desktop" ] ||
    fail "the entry's command is $(python3 "$desktop_exec" "$entry")"
[ -f "$data/icons/hicolor/48x48/apps/$app_id.png" ] || fail "the icon was not copied"
[ "$(readlink "$data/Tagswap/sprays/readme.txt")" = "$prefix/share/doc/tagswap/readme.txt" ] ||
    fail "the sprays folder has no read-me"
# The entry's command, run as a menu would, starts Tagswap in the sprays folder.
# shellcheck disable=SC2090
(HOME=$home && export HOME && unset XDG_DATA_HOME && cd / && "$(python3 "$desktop_exec" "$entry")")
[ "$(cat "$home/started-in" 2> /dev/null)" = "$data/Tagswap/sprays" ] || fail "not started in the sprays folder"

# Installing again replaces the old copy whole.
touch "$prefix/left-over"
run_install "$home" || fail "a second install failed: $(cat "$work/output")"
[ ! -e "$prefix/left-over" ] || fail "a file of the old install stayed"

# Uninstalling keeps the sprays and the settings, and only those.
touch "$data/Tagswap/sprays/mine.wad"
run_install "$home" --uninstall || fail "uninstall failed: $(cat "$work/output")"
for gone in "$prefix" "$home/.local/bin/tagswap" "$entry" "$data/icons/hicolor/48x48/apps/$app_id.png" \
    "$data/Tagswap/sprays/readme.txt"; do
    if [ -e "$gone" ] || [ -L "$gone" ]; then fail "uninstall left $gone"; fi
done
[ -f "$data/Tagswap/sprays/mine.wad" ] || fail "uninstall removed a spray"
[ -f "$home/.config/Tagswap/Tagswap.ini" ] || fail "uninstall removed the settings"

# A file in ~/.local/bin that is not Tagswap's stops the install before any copy.
other=$work/other
mkdir -p "$other/.local/bin"
echo "mine" > "$other/.local/bin/tagswap-spray"
if run_install "$other"; then fail "install took over a file that is not Tagswap's"; fi
[ "$(cat "$other/.local/bin/tagswap-spray")" = mine ] || fail "a file that is not Tagswap's changed"
[ ! -e "$other/.local/share/tagswap" ] || fail "install copied before finding it could not finish"

# An absolute XDG_DATA_HOME is where a menu looks, so the install goes there.
mkdir -p "$work/third"
(XDG_DATA_HOME=$work/data && export XDG_DATA_HOME && HOME=$work/third "$download/install.sh" > /dev/null 2>&1) ||
    fail "install failed with XDG_DATA_HOME set"
[ -x "$work/data/tagswap/bin/tagswap" ] || fail "XDG_DATA_HOME was not used"

run_install "$home" --bogus
[ $? -eq 2 ] || fail "an unknown option is not a usage error"

if [ "$failures" -ne 0 ]; then
    echo "$failures failed"
    exit 1
fi
echo "install.sh: all cases passed"
