#!/usr/bin/env bash
# End-to-end checks of the setup and settings windows: the real program under Xvfb, driven
# with real clicks and keys on the pickers.
#   settings_e2e.sh CASE
source "$(dirname "$0")/lib.sh"

FIRST_RUN='<userdata first="0" needup="0"><date year="0" month="0" day="0" /></userdata>'
PROFILE="$PROG/Release/conf/userdata.xml"

# Centres of the controls of the form "Main18" (Skin/RizIrozara.dui), inside the window.
YEAR_COMBO="70 110"
MONTH_COMBO="181 110"
DAY_COMBO="279 110"
BTN_GO="180 170"
BTN_OK="118 170"

count_windows() { visible_windows | wc -l; }

# click_in WINDOW "X Y": a left click at a point of the window.
click_in() {
    local x y
    read -r x y <<<"$2"
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove $((X + x)) $((Y + y)) click 1
}

# pick WINDOW "X Y" KEYS...: opens the combo at the point, waits for its list and picks
# an item with the keys; then waits for the list to close.
pick() {
    local wnd=$1 point=$2
    shift 2
    local before
    before=$(count_windows)
    click_in "$wnd" "$point"
    wait_for "the list to open" bash -c "[ \$(xdotool search --onlyvisible --class '^Tavro$' | wc -l) -gt $before ]"
    if [ -n "${SHOT:-}" ]; then screenshot "$SHOT"; fi
    xdotool key "$@"
    wait_for "the list to close" bash -c "[ \$(xdotool search --onlyvisible --class '^Tavro$' | wc -l) -le $before ]"
}

profile_date() { grep -q "year=\"$1\" month=\"$2\" day=\"$3\"" "$PROFILE"; }

case_setup_then_settings() {
    make_program_folder "$FIRST_RUN"
    start_desktop
    start_tavro
    local pid=$LAST_PID
    wait_for "first-run mode" traced_by "$pid" "first run"
    wait_for "the setup window" window_of_size 360 262
    local setup
    setup=$(window_of_size 360 262 | cut -d' ' -f1)

    # Centred on the screen (the panel may reserve its height at the bottom) and on top.
    local sw sh
    read -r sw sh < <(xdotool getdisplaygeometry)
    eval "$(xdotool getwindowgeometry --shell "$setup")"
    local cx=$((X + WIDTH / 2)) cy=$((Y + HEIGHT / 2))
    [ $((cx - sw / 2)) -ge -1 ] && [ $((cx - sw / 2)) -le 1 ] || fail "not centred across: x=$X"
    [ $((cy - sh / 2)) -ge -16 ] && [ $((cy - sh / 2)) -le 1 ] || fail "not centred down: y=$Y"
    xprop -id "$setup" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "setup is not on top"
    screenshot settings-setup-window

    # The last year, its last month and that month's last day: the latest due date.
    local today latest
    today=$(date -d 'today 00:00' +%s)
    latest=$(date -d "@$((today + 24105600))" '+%Y %-m %-d')
    pick "$setup" "$YEAR_COMBO" End Return
    pick "$setup" "$MONTH_COMBO" End Return
    SHOT=settings-setup-day-list pick "$setup" "$DAY_COMBO" End Return
    screenshot settings-setup-chosen
    click_in "$setup" "$BTN_GO"

    wait_for "setup done" traced_by "$pid" "message 0x497 1 0"
    wait_for "the tray icon" traced_by "$pid" "tray icon added"
    wait_for "the profile" grep -q 'first="250"' "$PROFILE"
    # shellcheck disable=SC2086
    profile_date $latest || fail "the profile does not hold $latest: $(cat "$PROFILE")"
    ! window_of_size 360 262 >/dev/null || fail "the setup window is still shown"

    # The tray menu's third item, "修改预产期".
    open_tray_menu
    xdotool key Down Down Down Return
    wait_for "the change command" traced_by "$pid" "message 0x111 1129"
    wait_for "the settings window" xdotool search --onlyvisible --name '^设置Tavro$'
    local settings
    settings=$(xdotool search --onlyvisible --name '^设置Tavro$' | head -1)
    screenshot settings-window

    # Confirmed untouched, the window writes back the date it shows: the stored one.
    : >"$PROFILE"
    click_in "$settings" "$BTN_OK"
    wait_for "the date change" traced_by "$pid" "message 0x498 1 0"
    wait_for "the rewritten profile" grep -q 'first="250"' "$PROFILE"
    # shellcheck disable=SC2086
    profile_date $latest || fail "the settings window did not show $latest: $(cat "$PROFILE")"

    # This year brings back today's month and day; then the month's last day.
    open_tray_menu
    xdotool key Down Down Down Return
    wait_for "the settings window again" xdotool search --onlyvisible --name '^设置Tavro$'
    pick "$settings" "$YEAR_COMBO" Home Return
    pick "$settings" "$DAY_COMBO" End Return
    screenshot settings-window-changed
    click_in "$settings" "$BTN_OK"
    local expected
    expected=$(date -d "$(date +%Y-%m-01) +1 month -1 day" '+%Y %-m %-d')
    # shellcheck disable=SC2086
    wait_for "the new date in the profile" profile_date $expected
    [ "$(grep -c 'message 0x498 1 0' "$TRACE")" -eq 2 ] || fail "expected two date changes"
}

E2E_CASE=$1
"case_$1"
echo "PASS: $1"
