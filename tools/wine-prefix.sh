#!/bin/sh
# Makes or removes the Wine prefix a Windows test run uses, so that no test
# ever touches the user's own ~/.wine.
#   wine-prefix.sh create PREFIX | remove PREFIX
set -eu
action=$1
prefix=$2
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
case "$action" in
create)
    rm -rf "$prefix"
    mkdir -p "$prefix"
    wineboot --init
    # wineboot returns before the prefix is written out; the server's end is when it is.
    wineserver --wait
    ;;
remove)
    wineserver --kill 2>/dev/null || true
    rm -rf "$prefix"
    ;;
*)
    echo "usage: wine-prefix.sh create|remove PREFIX" >&2
    exit 2
    ;;
esac
