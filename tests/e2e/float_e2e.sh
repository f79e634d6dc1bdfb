#!/usr/bin/env bash
# End-to-end checks of the floating widget and its reminder popup: the real program under
# Xvfb, a real profile and a real pointer.
#   float_e2e.sh CASE
source "$(dirname "$0")/lib.sh"

DAY=100                  # today's day of pregnancy: the due date is 280 - DAY days away
SCREEN_W=1280
WIDGET=104               # the widget's form, Main17
POPUP_W=300 POPUP_H=490  # the popup's form, Main16
# Nothing but the panel changes the work area here, and the panel does not reserve space.
WIDGET_X=$((SCREEN_W - WIDGET - 50)) WIDGET_Y=50
POPUP_X=$((WIDGET_X - POPUP_W + 5)) POPUP_Y=$WIDGET_Y

# The normalised RMSE (0..1) between a crop of the screen and the same crop of a day's
# picture.
difference() {
    convert "$2" -crop 240x140+20+20 +repage "$WORK/day.png"
    { compare -metric RMSE "$1" "$WORK/day.png" null: 2>&1 || true; } | sed -n 's/.*(\(.*\)).*/\1/p'
}

start_with_widget() {
    make_program_folder "$(profile_for_day $DAY)"
    start_desktop
    start_tavro -restart # no main window: the widget alone, as after a start at login
    PID=$LAST_PID
    wait_for "normal mode" traced_by "$PID" "normal mode"
    wait_for "the widget" shown $WIDGET $WIDGET
}

case_hover_opens_the_days_popup() {
    start_with_widget
    read -r _ x y < <(window_of_size $WIDGET $WIDGET)
    [ "$x $y" = "$WIDGET_X $WIDGET_Y" ] || fail "the widget is at $x,$y, not $WIDGET_X,$WIDGET_Y"
    sleep 0.5 # let the compositor paint the translucent widget before the picture
    screenshot float-idle

    xdotool mousemove $((WIDGET_X + 52)) $((WIDGET_Y + 52))
    local moved
    moved=$(date +%s%N)
    screenshot float-hovered
    wait_for "the popup" shown $POPUP_W $POPUP_H
    local opened
    opened=$(date +%s%N)
    echo "popup appeared about $(((opened - moved) / 1000000)) ms after the pointer arrived"
    read -r _ px py < <(window_of_size $POPUP_W $POPUP_H)
    [ "$px $py" = "$POPUP_X $POPUP_Y" ] || fail "the popup is at $px,$py, not $POPUP_X,$POPUP_Y"
    sleep 0.5
    screenshot float-popup

    # The popup's picture frame (10,10, 280 x 180; inset to skip the rounded corners) shows
    # today's picture, not the day before's or after's.
    local shot="$ARTIFACTS/float-popup.png" pics="$PROG/Release/data/pic"
    convert "$shot" -crop "240x140+$((px + 30))+$((py + 30))" +repage "$WORK/frame.png"
    local own before after
    own=$(difference "$WORK/frame.png" "$pics/$DAY.jpg")
    before=$(difference "$WORK/frame.png" "$pics/$((DAY - 1)).jpg")
    after=$(difference "$WORK/frame.png" "$pics/$((DAY + 1)).jpg")
    echo "picture difference: day $DAY $own, day $((DAY - 1)) $before, day $((DAY + 1)) $after"
    awk -v o="$own" -v b="$before" -v a="$after" 'BEGIN { exit !(o < 0.05 && o < b && o < a) }' ||
        fail "the popup does not show picture $DAY.jpg"

    # Slowly from the widget across the 5-pixel overlap onto the popup: it stays open.
    local cx
    for cx in $(seq $((WIDGET_X + 40)) -2 $((WIDGET_X - 60))); do
        xdotool mousemove "$cx" $((WIDGET_Y + 52))
    done
    sleep 0.3
    shown $POPUP_W $POPUP_H || fail "the popup closed on the way across the overlap"
    # Off the popup: it closes.
    xdotool mousemove 200 600
    wait_for "the popup to close" hidden $POPUP_W $POPUP_H
    sleep 1.2 # the fade timer
    screenshot float-after
}

case_jump_past_the_overlap_closes_the_popup() {
    start_with_widget
    xdotool mousemove $((WIDGET_X + 52)) $((WIDGET_Y + 52))
    wait_for "the popup" shown $POPUP_W $POPUP_H
    xdotool mousemove $((POPUP_X + 150)) $((POPUP_Y + 200))
    wait_for "the popup to close" hidden $POPUP_W $POPUP_H
}

case_menu_hides_and_tray_shows_the_widget() {
    start_with_widget
    open_menu_at $((WIDGET_X + 52)) $((WIDGET_Y + 52))
    screenshot float-menu
    # "隐藏浮窗" is the last item: Up from no selection lands on it.
    xdotool key Up Return
    wait_for "the widget to hide" hidden $WIDGET $WIDGET
    # The tray's fourth item now reads "显示浮窗".
    open_tray_menu
    xdotool key Up Up Return
    wait_for "the show command" traced_by "$PID" "message 0x111 1127"
    wait_for "the widget again" shown $WIDGET $WIDGET
    read -r _ x y < <(window_of_size $WIDGET $WIDGET)
    [ "$x $y" = "$WIDGET_X $WIDGET_Y" ] || fail "the widget came back at $x,$y"
}

case_broken_picture_box_then_the_days_popup() {
    make_program_folder "$(profile_for_day $DAY)"
    rm "$PROG/Release/data/pic/$DAY.jpg"
    start_desktop
    start_tavro -restart
    PID=$LAST_PID
    wait_for "normal mode" traced_by "$PID" "normal mode"
    wait_for "the widget" shown $WIDGET $WIDGET
    xdotool mousemove $((WIDGET_X + 52)) $((WIDGET_Y + 52))
    # The box about the picture comes up over the filled popup.
    wait_for "the box" bash -c "xdotool search --onlyvisible --name '^Tavro$' | grep -q ."
    sleep 0.5
    screenshot float-broken-picture-box
    xdotool key Return
    wait_for "the box to go" bash -c "! xdotool search --onlyvisible --name '^Tavro$' | grep -q ."
    # The box took the pointer, so the widget closed the popup. The next hover shows the
    # day's popup with its texts, and the user is not told again.
    xdotool mousemove 600 400
    sleep 0.3
    xdotool mousemove $((WIDGET_X + 50)) $((WIDGET_Y + 50))
    wait_for "the popup after the box" shown $POPUP_W $POPUP_H
    sleep 0.5
    screenshot float-broken-picture-popup
    ! xdotool search --onlyvisible --name '^Tavro$' | grep -q . || fail "the box came again"
}

E2E_CASE=$1
"case_$1"
echo "PASS: $1"
