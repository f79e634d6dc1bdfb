#!/usr/bin/env bash
# End-to-end checks that the setup and settings windows get the keyboard whatever shows
# them, and that the pickers answer a real wheel over a closed list.
#   focus_e2e.sh CASE
source "$(dirname "$0")/lib.sh"

FIRST_RUN='<userdata first="0" needup="0"><date year="0" month="0" day="0" /></userdata>'
PROFILE="$PROG/Release/conf/userdata.xml"

# Centres of the controls of the form "Main18" (Skin/RizIrozara.dui), inside the window.
MONTH_COMBO="181 110"
DAY_COMBO="279 110"
BTN_GO="180 170"
BTN_OK="118 170"

# point_in WINDOW "X Y": prints the screen point of a point of the window.
point_in() {
    local x y
    read -r x y <<<"$2"
    eval "$(xdotool getwindowgeometry --shell "$1")"
    echo "$((X + x)) $((Y + y))"
}

click_in() {
    local x y
    read -r x y < <(point_in "$1" "$2")
    xdotool mousemove "$x" "$y" click 1
}

# wheel_in WINDOW "X Y" BUTTON...: wheel notches (4 away from the user, 5 towards) with the
# pointer resting over the point.
wheel_in() {
    local wnd=$1 x y button
    read -r x y < <(point_in "$wnd" "$2")
    shift 2
    xdotool mousemove "$x" "$y"
    for button in "$@"; do xdotool click "$button"; done
}

# The X server's input focus is on the window.
has_focus() { [ "$(xdotool getwindowfocus -f 2>/dev/null)" = "$1" ]; }

profile_date() { grep -q "year=\"$1\" month=\"$2\" day=\"$3\"" "$PROFILE"; }

# A profile after setup, holding the given due date.
profile_with() {
    printf '<userdata first="250" needup="0"><date year="%s" month="%s" day="%s" /></userdata>' "$@"
}

# Opens the settings window through the tray menu's "修改预产期"; prints its id.
open_settings_from_tray() {
    open_tray_menu
    xdotool key Down Down Down Return
    wait_for "the settings window" xdotool search --onlyvisible --name '^设置Tavro$'
    xdotool search --onlyvisible --name '^设置Tavro$' | head -1
}

case_first_run_types_into_setup() {
    make_program_folder "$FIRST_RUN"
    start_desktop
    start_tavro
    local pid=$LAST_PID
    wait_for "the setup window" window_of_size 360 262
    local setup
    setup=$(window_of_size 360 262 | cut -d' ' -f1)
    wait_for "the keyboard on the setup window" has_focus "$setup"
    screenshot focus-setup-window

    # From the keyboard alone: the last year, its last month, that month's last day.
    xdotool key End Tab End Tab End
    screenshot focus-setup-typed
    click_in "$setup" "$BTN_GO"
    wait_for "setup done" traced_by "$pid" "message 0x497 1 0"
    wait_for "the profile" grep -q 'first="250"' "$PROFILE"
    local latest
    latest=$(date -d "@$(($(date -d 'today 00:00' +%s) + 24105600))" '+%Y %-m %-d')
    # shellcheck disable=SC2086
    profile_date $latest || fail "typing did not choose $latest: $(cat "$PROFILE")"
}

case_tray_change_types_into_settings() {
    # shellcheck disable=SC2046
    make_program_folder "$(profile_with $(date -d "$(date +%Y-%m-10) +2 months" '+%Y %-m %-d'))"
    start_desktop
    start_tavro
    local pid=$LAST_PID
    wait_for "the tray icon" traced_by "$pid" "tray icon added"
    local settings
    settings=$(open_settings_from_tray)
    wait_for "the keyboard on the settings window" has_focus "$settings"
    screenshot focus-settings-window

    # The pointer resting on the widget opens its popup, which leaves the keyboard where
    # it is: the keys below still reach the settings window.
    local width
    read -r width _ < <(xdotool getdisplaygeometry)
    xdotool mousemove $((width - 50 - 52)) $((50 + 52))
    wait_for "the popup" window_of_size 300 490
    # This year brings back today's month, the first on offer; then the month's last day.
    xdotool key Home Tab Home Tab End
    screenshot focus-settings-typed
    : >"$PROFILE"
    click_in "$settings" "$BTN_OK"
    wait_for "the date change" traced_by "$pid" "message 0x498 1 0"
    local expected
    expected=$(date -d "$(date +%Y-%m-01) +1 month -1 day" '+%Y %-m %-d')
    # shellcheck disable=SC2086
    wait_for "the typed date in the profile" profile_date $expected

    # Opened again, it has the keyboard again.
    settings=$(open_settings_from_tray)
    wait_for "the keyboard on the settings window again" has_focus "$settings"
}

case_wheel_over_closed_pickers() {
    # The 10th of the month after next: neither today's month nor the latest one, so the
    # day list runs from 1 to the month's end and the stored day is well inside it.
    local stored_y stored_m
    read -r stored_y stored_m < <(date -d "$(date +%Y-%m-10) +2 months" '+%Y %-m')
    make_program_folder "$(profile_with "$stored_y" "$stored_m" 10)"
    start_desktop
    start_tavro
    local pid=$LAST_PID
    wait_for "the tray icon" traced_by "$pid" "tray icon added"
    local settings windows
    settings=$(open_settings_from_tray)
    windows=$(visible_windows | wc -l)

    # Two notches down and one up over the closed day list: one day after the stored one.
    wheel_in "$settings" "$DAY_COMBO" 5 5 4
    # One notch up over the month: the month before, whose first day is then shown; in
    # the first month of a year the list offers no earlier month and nothing changes.
    wheel_in "$settings" "$MONTH_COMBO" 4
    [ "$(visible_windows | wc -l)" -eq "$windows" ] || fail "the wheel opened a list"
    screenshot focus-settings-wheeled
    local expected="$stored_y $stored_m 11"
    if [ "$stored_m" -gt 1 ]; then expected="$stored_y $((stored_m - 1)) 1"; fi
    : >"$PROFILE"
    click_in "$settings" "$BTN_OK"
    # shellcheck disable=SC2086
    wait_for "the wheeled date in the profile" profile_date $expected
}

E2E_CASE=$1
"case_$1"
echo "PASS: $1"
