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
    # Xvfb picks the display itself and writes its number to the given descriptor: it takes
    # a display's lock atomically, where looking for a free number first let two sessions
    # started at the same moment both pick the same one and end up sharing one server.
    local numberfile
    numberfile=$(mktemp "${TMPDIR:-/tmp}/xsession-XXXXXX")
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$numberfile" >/dev/null 2>&1 &
    _x_session_pids+=($!)
    local deadline=$((SECONDS + 20)) n=
    until n=$(head -n 1 "$numberfile") && [ -n "$n" ] && DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; do
        if [ $SECONDS -ge $deadline ] || ! kill -0 "${_x_session_pids[-1]}" 2>/dev/null; then
            rm -f "$numberfile"
            echo "xsession: Xvfb did not start" >&2
            return 1
        fi
        sleep 0.1
    done
    rm -f "$numberfile"
    export DISPLAY=":$n"
    # A panel along the bottom edge holds the notification area. Now and then the panel
    # cannot open a display that has just come up and ends at once; it is started again,
    # so that programs waiting for a notification area find one.
    local attempt panel
    for attempt in 1 2 3; do
        trayer --edge bottom --align right --widthtype request --height 28 --transparent true \
            --alpha 0 --tint 0xf4e4e1 --SetDockType true --expand true >/dev/null 2>&1 &
        panel=$!
        deadline=$((SECONDS + 5))
        until xdotool search --classname trayer >/dev/null 2>&1; do
            kill -0 "$panel" 2>/dev/null && [ $SECONDS -lt $deadline ] || break
            sleep 0.1
        done
        if kill -0 "$panel" 2>/dev/null; then
            _x_session_pids+=($panel)
            break
        fi
        wait "$panel" 2>/dev/null || true
    done
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
