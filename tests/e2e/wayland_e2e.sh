#!/usr/bin/env bash
# End-to-end checks of a start on a Wayland session: a compositor with XWayland and the
# environment a GNOME session gives its programs. Tavro must run on XWayland, where the
# widget keeps its place and its popup opens beside it as on X11.
#   wayland_e2e.sh CASE
source "$(dirname "$0")/lib.sh"

DAY=100
WIDGET=104              # the widget's form, Main17
POPUP_W=300 POPUP_H=490 # the popup's form, Main16

# A compositor of this test's own, with the given back end and its options; its XWayland
# display goes to XWAYLAND_DISPLAY. It and the X server it starts carry the test's mark,
# so the cleanup ends them whatever happens.
start_compositor() {
    export XDG_RUNTIME_DIR="$WORK/runtime" TMPDIR="$WORK/tmp"
    mkdir -p "$XDG_RUNTIME_DIR" "$TMPDIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    WAYLAND_SOCKET_NAME="tavro-e2e-$$"
    weston "$@" --xwayland --socket="$WAYLAND_SOCKET_NAME" --width=1280 --height=800 \
        --idle-time=0 --log="$WORK/weston.log" >/dev/null 2>&1 &
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
# a display nobody can open. Then the usual clean-up, which must run even when the test
# failed.
stop_compositor() {
    local status=$? n=${XWAYLAND_DISPLAY#:}
    set +e
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

# Starts Tavro on the compositor as GNOME on Wayland sets a program up, with no platform
# chosen by the user, and waits for the widget, an X window on XWayland (a Wayland client
# would have none). Its place goes to WIDGET_AT ("X Y").
start_on_wayland_session() {
    make_program_folder "$(profile_for_day $DAY)"
    (cd "$PROG/Release" && exec env -u QT_QPA_PLATFORM XDG_SESSION_TYPE=wayland \
        XDG_CURRENT_DESKTOP=GNOME WAYLAND_DISPLAY="$WAYLAND_SOCKET_NAME" \
        DISPLAY="$XWAYLAND_DISPLAY" TAVRO_TRACE="$TRACE" ./Tavro -restart) \
        >>"$WORK/tavro.out" 2>&1 &
    _e2e_pids+=($!)
    local pid=$!
    wait_for "normal mode" traced_by "$pid" "normal mode"
    wait_for "the widget on XWayland" on_xwayland shown $WIDGET $WIDGET
    local x y width
    read -r _ x y < <(on_xwayland window_of_size $WIDGET $WIDGET)
    WIDGET_AT="$x $y"
    # The rule: 50 pixels inside the right and top edges of the work area, which here is
    # the whole output.
    read -r width _ < <(on_xwayland xdotool getdisplaygeometry)
    RULE_AT="$((width - WIDGET - 50)) 50"
}

case_gnome_session_runs_on_xwayland() {
    start_compositor --backend=headless-backend.so
    start_on_wayland_session
    [ "$WIDGET_AT" = "$RULE_AT" ] || fail "the widget is at $WIDGET_AT, not $RULE_AT"
}

# The compositor's output is a window on an X server of the test's own, so that its seat
# has a pointer the test can move: the pointer is put on the widget's rule position of the
# output, and the day's popup must show beside it. Without a window manager there, the
# output's window lies at 0,0, so its points are that X server's points.
case_hover_opens_the_days_popup() {
    start_desktop
    start_compositor --backend=x11-backend.so --use-pixman
    start_on_wayland_session
    [ "$WIDGET_AT" = "$RULE_AT" ] || fail "the widget is at $WIDGET_AT, not $RULE_AT"
    local x y
    read -r x y <<<"$RULE_AT"
    # The compositor follows the pointer's moves from where it last saw it; from the corner,
    # where both stop, the two agree.
    xdotool mousemove 0 0
    xdotool mousemove $((x + WIDGET / 2)) $((y + WIDGET / 2))
    wait_for "the popup on XWayland" on_xwayland shown $POPUP_W $POPUP_H
    local px py
    read -r _ px py < <(on_xwayland window_of_size $POPUP_W $POPUP_H)
    [ "$px $py" = "$((x - POPUP_W + 5)) $y" ] || fail "the popup is at $px,$py"
    # Mapped is not yet shown: the output must show the day's picture in the popup's frame
    # (10,10, 280 x 180; inset to skip the rounded corners).
    convert "$PROG/Release/data/pic/$DAY.jpg" -crop 240x140+20+20 +repage "$WORK/day.png"
    # Now and then the compositor takes the pointer from the widget as the popup maps, and
    # the popup closes again; a user then moves the mouse once more, and so does this.
    local attempt
    for attempt in 1 2 3; do
        poll_until 10 popup_shows_the_day "$px" "$py" && break
        [ "$attempt" -lt 3 ] || fail "the popup never showed on the output"
        xdotool mousemove 0 0
        xdotool mousemove $((x + WIDGET / 2)) $((y + WIDGET / 2))
    done
    screenshot wayland-popup
}

# Whether the output shows the day's picture in the frame of the popup at X Y.
popup_shows_the_day() {
    take_screenshot "$WORK/output.png"
    convert "$WORK/output.png" -crop "240x140+$(($1 + 30))+$(($2 + 30))" +repage \
        "$WORK/frame.png"
    local rmse
    rmse=$({ compare -metric RMSE "$WORK/frame.png" "$WORK/day.png" null: 2>&1 || true; } |
        sed -n 's/.*(\(.*\)).*/\1/p')
    awk -v d="$rmse" 'BEGIN { exit !(d != "" && d < 0.05) }'
}

E2E_CASE=$1
"case_$1"
echo "PASS: $1"
