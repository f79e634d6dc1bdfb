# Sourced by scripts that need a desktop without a display: starts Xvfb on a free display,
# a notification area (trayer) and a compositor (xcompmgr, so window opacity shows), and
# stops them again when the calling shell exits. A caller with its own EXIT trap keeps it
# and calls stop_x_session from there; the session never replaces that trap.
#   source scripts/xsession.sh; start_x_session [WIDTHxHEIGHT]

_x_session_pids=()

stop_x_session() {
    local pid
    for pid in "${_x_session_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${_x_session_pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    _x_session_pids=()
}

start_x_session() {
    local size=${1:-1280x800}
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] || break
    done
    Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    _x_session_pids+=($!)
    export DISPLAY=":$n"
    local deadline=$((SECONDS + 20))
    until xdpyinfo >/dev/null 2>&1; do
        if [ $SECONDS -ge $deadline ]; then
            echo "xsession: Xvfb did not start on $DISPLAY" >&2
            return 1
        fi
        sleep 0.1
    done
    # A panel along the bottom edge holds the notification area.
    trayer --edge bottom --align right --widthtype request --height 28 --transparent true \
        --alpha 0 --tint 0xf4e4e1 --SetDockType true --expand true >/dev/null 2>&1 &
    _x_session_pids+=($!)
    xcompmgr -n >/dev/null 2>&1 &
    _x_session_pids+=($!)
    # A calm desktop colour so screenshots show the translucent widget against something.
    xsetroot -solid '#6f8fa6' 2>/dev/null || true
    if [ -z "$(trap -p EXIT)" ]; then trap stop_x_session EXIT; fi
}

# Saves a screenshot of the whole screen to $1.
take_screenshot() {
    import -window root "$1"
}
