#!/bin/sh
# Runs a Windows program of the cross build under Wine, in the given prefix,
# with the Qt and MinGW DLLs of the Windows dependencies on its search path.
#   wine-run.sh DEPS PREFIX PROGRAM [ARGUMENTS...]
# The build uses it to run its tests (CMAKE_CROSSCOMPILING_EMULATOR); the
# prefix is made with wine-prefix.sh. Programs run on Qt's offscreen platform
# unless QT_QPA_PLATFORM says otherwise.
set -eu
deps=$1
prefix=$2
shift 2
to_windows() { printf 'Z:%s' "$1" | tr / '\\'; }
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No .NET or HTML engine: nothing of ours needs them, and Wine would offer to
# download both.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEPATH
WINEPATH="$(to_windows "$deps/bin")"
export QT_PLUGIN_PATH
QT_PLUGIN_PATH="$(to_windows "$deps/plugins")"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
# The offscreen platform reads fonts from a folder; Debian's Liberation fonts
# have the metrics of the Windows fonts the window was laid out with.
export QT_QPA_FONTDIR
QT_QPA_FONTDIR="${QT_QPA_FONTDIR:-$(to_windows /usr/share/fonts/truetype/liberation)}"
# Wine keeps the caller's QT_* variables from Windows programs and passes
# WINEQT_* on under the plain name instead, so ours go through that way.
for name in $(env | sed -n 's/^\(QT_[A-Za-z0-9_]*\)=.*/\1/p'); do
    eval "export WINE$name=\"\$$name\""
done
exec wine "$@"
