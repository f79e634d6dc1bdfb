#!/usr/bin/env bash
# End-to-end check of a start on a Wayland session: a headless compositor with XWayland
# and the environment a GNOME session gives its programs. Tavro must run on XWayland, where
# the widget's place and staying on top work as on X11.
#   wayland_e2e.sh CASE
source "$(dirname "$0")/lib.sh"

DAY=100
WIDGET=104 # the widget's form, Main17

# A compositor of this test's own; its XWayland display goes to XWAYLAND_DISPLAY. It and
# the X server it starts carry the test's mark, so the cleanup ends them whatever happens.
start_compositor() {
    export XDG_RUNTIME_DIR="$WORK/runtime" TMPDIR="$WORK/tmp"
    mkdir -p "$XDG_RUNTIME_DIR" "$TMPDIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    WAYLAND_SOCKET_NAME="tavro-e2e-$$"
    weston --backend=headless-backend.so --xwayland --socket="$WAYLAND_SOCKET_NAME" \
        --width=1280 --height=800 --idle-time=0 --log="$WORK/weston.log" >/dev/null 2>&1 &
    WESTON_PID=$!
    _e2e_pids+=($WESTON_PID)
    trap stop_compositor EXIT
    wait_for "the compositor's XWayland display" grep -q "xserver listening on display" \
        "$WORK/weston.log"
    XWAYLAND_DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' \
        "$WORK/weston.log" | head -n 1)
}

on_xwayland() { DISPLAY=$XWAYLAND_DISPLAY "$@"; }

# The compositor reserves its X display with a lock file and a socket in /tmp, which only
# a compositor that is asked to stop removes; one left behind would hand a later X server
# a display nobody can open. Then the usual clean-up.
stop_compositor() {
    local status=$? n=${XWAYLAND_DISPLAY#:}
    kill -TERM "$WESTON_PID" 2>/dev/null
    if [ -n "$n" ]; then
        poll_until 5 lock_released "$n"
        lock_released "$n" && rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
    fi
    (exit $status)
    e2e_cleanup
}
# Whether display N's lock names no running process (an ended child stays as a zombie).
lock_released() {
    local lock=/tmp/.X$1-lock pid
    [ -f "$lock" ] || return 0
    pid=$(tr -d ' \n' <"$lock")
    [ ! -e "/proc/$pid" ] || [ "$(awk '{ print $3 }' "/proc/$pid/stat" 2>/dev/null)" = Z ]
}

case_gnome_session_runs_on_xwayland() {
    make_program_folder "$(profile_for_day $DAY)"
    start_compositor
    # As GNOME on Wayland sets it up; no platform chosen by the user.
    (cd "$PROG/Release" && exec env -u QT_QPA_PLATFORM XDG_SESSION_TYPE=wayland \
        XDG_CURRENT_DESKTOP=GNOME WAYLAND_DISPLAY="$WAYLAND_SOCKET_NAME" \
        DISPLAY="$XWAYLAND_DISPLAY" TAVRO_TRACE="$TRACE" ./Tavro -restart) \
        >>"$WORK/tavro.out" 2>&1 &
    _e2e_pids+=($!)
    local pid=$!
    wait_for "normal mode" traced_by "$pid" "normal mode"
    # On XWayland the widget is an X window; a Wayland client would have none.
    wait_for "the widget on XWayland" on_xwayland shown $WIDGET $WIDGET
    local widget
    read -r widget _ < <(on_xwayland window_of_size $WIDGET $WIDGET)
    # It asks for its place by the rule: 50 pixels inside the right and top edges.
    local width hints expected
    read -r width _ < <(on_xwayland xdotool getdisplaygeometry)
    expected="$((width - WIDGET - 50)), 50"
    hints=$(on_xwayland xprop -id "$widget" WM_NORMAL_HINTS)
    echo "$hints"
    grep -q "user specified location: $expected" <<<"$hints" ||
        fail "the widget asks for another place than $expected"
}

E2E_CASE=$1
"case_$1"
echo "PASS: $1"
