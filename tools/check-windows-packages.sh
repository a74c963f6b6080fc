#!/usr/bin/env bash
# Tries the Windows packages of a cross build the way a player meets them,
# under Wine, in a fresh prefix of its own:
#   tools/check-windows-packages.sh BUILD_DIR
# BUILD_DIR holds tagswap-<version>-win64.zip and tagswap-<version>-win64-setup.exe
# (cpack --preset windows). The zip is unpacked and started from its own
# folder; the installer is run silently, checked, and uninstalled silently.
# Nothing of the build's deps is on Wine's search path, so a DLL or plugin the
# packages lack shows. Prints one line per check; stops at the first failure.
# Needs wine, unzip and x86_64-w64-mingw32-objdump.
set -euo pipefail

root=$(CDPATH='' cd -- "$(dirname -- "$0")/.." && pwd)
build=$(CDPATH='' cd -- "${1:?usage: check-windows-packages.sh BUILD_DIR}" && pwd)

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
pass() {
    echo "ok: $*"
}

# only_file PATTERN: the one file of the build folder that PATTERN names
only_file() {
    local matches
    matches=$(find "$build" -maxdepth 1 -name "$1")
    [ -n "$matches" ] || fail "no $1 in $build (cpack --preset windows makes it)"
    [ "$(printf '%s\n' "$matches" | wc -l)" -eq 1 ] || fail "more than one $1 in $build"
    printf '%s\n' "$matches"
}
zip=$(only_file 'tagswap-*-win64.zip')
setup=$(only_file 'tagswap-*-win64-setup.exe')
name=$(basename "$zip" .zip)
version=${name#tagswap-}
version=${version%-win64}

work=$(mktemp -d "${TMPDIR:-/tmp}/tagswap-windows-packages.XXXXXX")
prefix=$work/prefix
cleanup() {
    "$root/tools/wine-prefix.sh" remove "$prefix"
    rm -rf "$work"
}
trap cleanup EXIT

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# What wine-run.sh gives the tests, a player's machine does not have.
unset WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM WINEQT_PLUGIN_PATH WINEQT_QPA_PLATFORM
"$root/tools/wine-prefix.sh" create "$prefix" > "$work/wine-prefix.log" 2>&1 ||
    { cat "$work/wine-prefix.log" >&2; fail "could not make the Wine prefix"; }
pass "made a fresh Wine prefix"

# unix_path WINDOWS_VARIABLE: where that folder of the prefix's user is
unix_path() {
    winepath -u "$(wine cmd /c "echo %$1%" | tr -d '\r')"
}
local_app_data=$(unix_path LOCALAPPDATA)
start_menu="$(unix_path APPDATA)/Microsoft/Windows/Start Menu/Programs"

# The files a player needs beside the programs: the DLLs they import, the
# plugins Qt loads by name, and the two documents.
expected_files=(
    Tagswap.exe tagswap-spray.exe tagswap-spray-maker.dll readme.txt LICENSE
    Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6Svg.dll
    libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll libgomp-1.dll
    platforms/qwindows.dll platforms/qoffscreen.dll styles/qwindowsvistastyle.dll
    iconengines/qsvgicon.dll imageformats/qsvg.dll imageformats/qwebp.dll
    imageformats/qtiff.dll imageformats/qtga.dll
)

# check_files FOLDER WHAT: FOLDER holds every expected file
check_files() {
    local file
    for file in "${expected_files[@]}"; do
        [ -f "$1/$file" ] || fail "$2 lacks $file"
    done
    pass "$2 holds the programs, the Qt and MinGW DLLs, the plugins, readme.txt and LICENSE"
}

# check_imports FOLDER WHAT: every DLL that a program or DLL in FOLDER
# imports is in FOLDER or is Windows' own (system32, or an API set)
check_imports() {
    local system32=$prefix/drive_c/windows/system32 file import
    while IFS= read -r -d '' file; do
        while IFS= read -r import; do
            if [ -z "$(find "$1" -maxdepth 1 -iname "$import")" ] &&
                [ -z "$(find "$system32" -maxdepth 1 -iname "$import")" ] &&
                [[ ! "${import,,}" =~ ^api-ms-win- ]]; then
                fail "$2: ${file#"$1"/} imports $import, which neither the folder nor Windows has"
            fi
        done < <(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p')
    done < <(find "$1" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)
    pass "$2: every DLL its programs and plugins import is there or is Windows' own"
}

# check_version FOLDER WHAT: tagswap-spray.exe of FOLDER starts under plain
# Wine and names the package's version. Started from another folder, so its
# DLLs can only come from its own.
check_version() {
    local said
    said=$(cd "$work" && wine "$1/tagswap-spray.exe" --version 2>&1 | tr -d '\r') ||
        fail "$2: tagswap-spray.exe --version failed: $said"
    [ "$said" = "tagswap-spray $version" ] ||
        fail "$2: tagswap-spray.exe --version said \"$said\", not \"tagswap-spray $version\""
    pass "$2: tagswap-spray.exe --version says $said"
}

# check_reader FOLDER WHAT: tagswap-spray.exe of FOLDER makes a spray from a
# picture, which it reads through itself started again as the picture reader,
# found beside it, in a job object of its own
check_reader() {
    local said
    printf 'P3\n2 2\n255\n255 0 0  0 255 0\n0 0 255  255 255 255\n' > "$work/picture.ppm"
    said=$(cd "$work" && wine "$1/tagswap-spray.exe" make picture.ppm --force 2>&1 | tr -d '\r') ||
        fail "$2: tagswap-spray.exe could not make a spray from a picture: $said"
    pass "$2: tagswap-spray.exe reads a picture through the reader beside it ($said)"
}

# --- The zip -----------------------------------------------------------------
# A folder name with a space, as players' folders often have.
unzipped="$work/un zipped"
mkdir -p "$unzipped"
unzip -q "$zip" -d "$unzipped"
[ "$(ls -A "$unzipped")" = "$name" ] || fail "the zip holds more than one folder $name: $(ls -A "$unzipped")"
folder=$unzipped/$name
pass "the zip unpacks into one folder, $name"
check_files "$folder" "the zip"
check_imports "$folder" "the zip"
check_version "$folder" "the zip"
check_reader "$folder" "the zip"

# Double-clicked, Tagswap lists the sprays of its own folder. Wine hands a
# Windows program no QT_* variable of Linux's, only the WINEQT_* ones, without
# the prefix; offscreen, as no display is needed. Qt writes its messages with
# OutputDebugString, which Wine's seh warnings show.
cp "$root/demo/gg.wad" "$folder/"
(cd "$folder" && WINEQT_QPA_PLATFORM=offscreen WINEDEBUG=-all,warn+seh \
    exec wine "$folder/Tagswap.exe" > "$work/tagswap.log" 2>&1) &
tagswap=$!
sleep 5
running=yes
kill -0 "$tagswap" 2> /dev/null || running=no
wineserver -k 2> /dev/null || true
wait "$tagswap" 2> /dev/null || true
if grep -qi "platform plugin" "$work/tagswap.log"; then
    grep -i "platform plugin" "$work/tagswap.log" >&2
    fail "the zip: Tagswap.exe could not load its Qt platform plugin"
fi
[ "$running" = yes ] || { cat "$work/tagswap.log" >&2; fail "the zip: Tagswap.exe ended within 5 seconds"; }
pass "the zip: Tagswap.exe started in its folder with a spray and ran for 5 seconds"

# --- The installer -----------------------------------------------------------
programs=$local_app_data/Programs/Tagswap
sprays=$local_app_data/Tagswap/sprays
shortcut=$start_menu/Tagswap.lnk
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tagswap'
settings_key='HKCU\Software\VB and VBA Program Settings\Tagswap\Settings'

wine "$setup" /S > "$work/setup.log" 2>&1 || { cat "$work/setup.log" >&2; fail "the installer failed"; }
wineserver --wait
pass "the installer ran silently, as a user"

check_files "$programs" "the installed program"
# The same files as the zip: both come from one install.
diff <(cd "$folder" && find . -type f ! -name gg.wad | sort) \
    <(cd "$programs" && find . -type f ! -name Uninstall.exe | sort) > "$work/files.diff" ||
    { cat "$work/files.diff" >&2; fail "the installer and the zip hold different files"; }
pass "the installed program holds the zip's files and Uninstall.exe"
[ -f "$programs/Uninstall.exe" ] || fail "the installer wrote no Uninstall.exe"
check_version "$programs" "the installed program"
check_reader "$programs" "the installed program"

[ -f "$shortcut" ] || fail "no Start-menu entry $shortcut"
# A shortcut keeps its working folder as a UTF-16 string.
shortcut_strings=$(strings -e l "$shortcut")
grep -qi 'AppData\\Local\\Tagswap\\sprays$' <<< "$shortcut_strings" ||
    fail "the Start-menu entry does not start in the sprays folder"
pass "the Start-menu entry Tagswap.lnk starts Tagswap in %LOCALAPPDATA%\\Tagswap\\sprays"
[ -f "$sprays/readme.txt" ] || fail "the installer made no $sprays/readme.txt"
cmp -s "$sprays/readme.txt" "$folder/readme.txt" || fail "the sprays folder's readme.txt is not the package's"
pass "the sprays folder holds readme.txt"

wine reg query "$uninstall_key" > "$work/uninstall-key.txt" 2>&1 ||
    fail "no entry in the list of installed programs ($uninstall_key)"
for value in DisplayName DisplayVersion Publisher UninstallString InstallLocation DisplayIcon NoModify NoRepair; do
    grep -q "^ *$value " "$work/uninstall-key.txt" || fail "the uninstall entry lacks $value"
done
grep -q "DisplayVersion *REG_SZ *$version" "$work/uninstall-key.txt" || fail "the uninstall entry names another version"
pass "the list of installed programs has Tagswap $version with its uninstaller"

# --- The uninstaller ---------------------------------------------------------
# The player's own: a spray, and a setting as Tagswap writes it.
cp "$root/demo/gg.wad" "$sprays/"
wine reg add "$settings_key" /v HLDir /d 'C:\Half-Life' /f > /dev/null 2>&1
# The uninstaller copies itself away and returns at once; the copy's end is
# the server's.
wine "$programs/Uninstall.exe" /S > "$work/uninstall.log" 2>&1 ||
    { cat "$work/uninstall.log" >&2; fail "the uninstaller failed"; }
wineserver --wait
pass "the uninstaller ran silently"
[ ! -e "$programs" ] || fail "the uninstaller left $programs: $(cd "$programs" && find . | tr '\n' ' ')"
pass "the program folder is gone"
[ ! -e "$shortcut" ] || fail "the uninstaller left the Start-menu entry"
pass "the Start-menu entry is gone"
if wine reg query "$uninstall_key" > /dev/null 2>&1; then
    fail "the uninstaller left the entry in the list of installed programs"
fi
pass "the entry in the list of installed programs is gone"
for file in gg.wad readme.txt; do
    [ -f "$sprays/$file" ] || fail "the uninstaller took $file from the player's sprays folder"
done
pass "the sprays folder and its spray remain"
wine reg query "$settings_key" /v HLDir > /dev/null 2>&1 || fail "the uninstaller took the player's settings"
pass "the player's settings remain"
echo "check-windows-packages.sh: $(basename "$zip") and $(basename "$setup") work"
