# shellcheck shell=sh
# Sourced by the tools that start Tagswap on a display of their own.
# start_xvfb DIR: starts Xvfb on the first free display, exports DISPLAY and
# sets XVFB_PID; its files go to DIR. stop_xvfb ends it.

start_xvfb() {
    rm -f "$1/display"
    # Xvfb writes the display number once it accepts clients.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$1/display" 2>"$1/xvfb.log" &
    XVFB_PID=$!
    tries=0
    while [ ! -s "$1/display" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ] || ! kill -0 "$XVFB_PID" 2>/dev/null; then
            echo "Xvfb did not start:" >&2
            cat "$1/xvfb.log" >&2
            return 1
        fi
        sleep 0.1
    done
    DISPLAY=:$(cat "$1/display")
    export DISPLAY
}

stop_xvfb() {
    if [ -n "${XVFB_PID-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}

# The look of the screenshots and checks should not depend on the caller's
# desktop: one scale, one font resolution, the X11 plugin.
tagswap_display_environment() {
    unset QT_QPA_PLATFORM QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR
    export QT_QPA_PLATFORM=xcb QT_ENABLE_HIGHDPI_SCALING=0 QT_FONT_DPI=96
}

# Gives the script a scratch folder $work and, on exit, ends the program it
# started ($app_pid, when set) and Xvfb and removes $work.
start_scratch_session() {
    work=$(mktemp -d)
    app_pid=
    trap end_scratch_session EXIT
    trap 'exit 1' INT TERM
}

end_scratch_session() {
    status=$?
    if [ -n "$app_pid" ]; then
        kill "$app_pid" 2>/dev/null || true
        wait "$app_pid" 2>/dev/null || true
    fi
    stop_xvfb
    rm -rf "$work"
    exit "$status"
}
