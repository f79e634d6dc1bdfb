#!/usr/bin/env bash
# End-to-end check of the movement counter: opened from the tray, counted with the
# keyboard alone, and still in the history after the program is started again.
#   track_e2e.sh CASE
source "$(dirname "$0")/lib.sh"

RECORDS="$PROG/Release/conf/records.db"
# The counter's form "Kick1" (Skin/RizIrozara.dui) and, inside it, its chart's area.
KICK_SIZE="420 540"
CHART_AREA="376x134+22+332"

has_focus() { [ "$(xdotool getwindowfocus -f 2>/dev/null)" = "$1" ]; }

# The pixels of today's bar colour in the chart of the counter's window.
todays_bar_pixels() {
    import -window "$1" png:- | convert png:- -crop "$CHART_AREA" +repage -fuzz 6% \
        -fill black -opaque '#D85A72' -fill white +opaque black \
        -format '%[fx:round(w*h*(1-mean))]' info:
}
todays_bar_shown() { [ "$(todays_bar_pixels "$1")" -ge 40 ]; }

open_counter() {
    local pid=$1
    wait_for "the tray icon" traced_by "$pid" "tray icon added"
    open_tray_menu
    # After "关于我们", "提点意见" and "修改预产期" comes "数胎动" from week 28.
    xdotool key Down Down Down Down Return
    wait_for "the counter's command" traced_by "$pid" "message 0x111 1201"
    # shellcheck disable=SC2086
    wait_for "the counter" window_of_size $KICK_SIZE
}

case_ten_kicks_survive_a_restart() {
    make_program_folder "$(profile_for_day 200)"
    start_desktop
    start_tavro
    local pid=$LAST_PID
    open_counter "$pid"
    local kick
    # shellcheck disable=SC2086
    kick=$(window_of_size $KICK_SIZE | cut -d' ' -f1)
    wait_for "the keyboard on the counter" has_focus "$kick"
    [ "$(todays_bar_pixels "$kick")" -lt 20 ] || fail "a bar for today before any count"
    local i
    for i in $(seq 10); do
        xdotool key space
        wait_for "press $i to be stored" traced_by "$pid" "kick session 1 count $i\$"
    done
    screenshot track-kick-ten
    [ -s "$RECORDS" ] || fail "no records file"

    # Quit from the tray ("退出" is the last item) and start again.
    open_tray_menu
    xdotool key Up Return
    expect_exit "$pid" 0
    start_tavro
    pid=$LAST_PID
    open_counter "$pid"
    # shellcheck disable=SC2086
    kick=$(window_of_size $KICK_SIZE | cut -d' ' -f1)
    wait_for "today's session in the history" todays_bar_shown "$kick"
    screenshot track-kick-history-after-restart
    ! traced_by "$pid" "kick session 2" || fail "a new session was started"
}

E2E_CASE=$1
"case_$1"
echo "PASS: $1"
