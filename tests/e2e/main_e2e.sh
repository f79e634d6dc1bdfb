#!/usr/bin/env bash
# End-to-end checks of the main window and its loading window: the real program under
# Xvfb, the development server's dated page and the web module loaded on demand.
#   main_e2e.sh CASE
source "$(dirname "$0")/lib.sh"

# Due on the first of a month about four months ahead, so that the settings window's
# "last day of the month" is another date.
DUE=$(date -d "$(date +%Y-%m-01) +4 months" +%Y-%m-%d)
DUE_Y=$(date -d "$DUE" +%Y) DUE_M=$(date -d "$DUE" +%-m) DUE_D=$(date -d "$DUE" +%-d)
SET_UP="<userdata first=\"250\" needup=\"0\"><date year=\"$DUE_Y\" month=\"$DUE_M\" day=\"$DUE_D\" /></userdata>"
LOADING_W=180 LOADING_H=150 # the form "Loading1"
MAIN_H=630
# Inside the main window: the close button of "Main20", and the retry button of our error
# page (the page area "HwndObjNet" starts at 1,46 and the page centres a fixed-size card).
BTN_CLOSE="575 23"
BTN_RETRY="301 436"

# The main window: 601 wide by its form, 600 or 602 after each move's size nudge.
main_window() { window_of_size 602 $MAIN_H || window_of_size 600 $MAIN_H || window_of_size 601 $MAIN_H; }
main_shown() { main_window >/dev/null; }
main_hidden() { ! main_window >/dev/null; }
loading_shown() { shown $LOADING_W $LOADING_H; }
loading_hidden() { hidden $LOADING_W $LOADING_H; }

dated_requests() { grep -c "^desktop GET /quelmo/index.php?" "$SERVER_LOG" 2>/dev/null || true; }
more_dated_requests_than() { [ "$(dated_requests)" -gt "$1" ]; }
# The program and every process it started, the page process and the engine's own among them.
process_tree() {
    local child
    echo "$1"
    for child in $(pgrep -P "$1"); do process_tree "$child"; done
}
# The web engine in the program or in a process it started.
maps_engine() {
    local pid
    for pid in $(process_tree "$1"); do
        grep -qi webengine "/proc/$pid/maps" 2>/dev/null && return 0
    done
    return 1
}

# The rose retry button of our error page, left of its centred label.
retry_drawn() {
    local x y rx ry red green
    read -r _ x y < <(main_window)
    read -r rx ry <<<"$BTN_RETRY"
    take_screenshot "$WORK/retry.png"
    convert "$WORK/retry.png" -crop "1x1+$((x + rx - 60))+$((y + ry))" +repage \
        -format '%[fx:int(255*r)] %[fx:int(255*g)]' info: >"$WORK/retry.txt"
    read -r red green <"$WORK/retry.txt"
    [ "$red" -gt 200 ] && [ "$green" -lt 170 ]
}

click_in() {
    local id x y
    read -r id _ < <(main_window)
    read -r x y <<<"$1"
    eval "$(xdotool getwindowgeometry --shell "$id")"
    xdotool mousemove $((X + x)) $((Y + y)) click 1
}

tray_click() {
    wait_for "the panel" tray_icon_point
    local x y
    read -r x y < <(tray_icon_point)
    xdotool mousemove "$x" "$y" click 1
}

# The page's pixels differ from the blank page area: something was drawn there.
page_drawn() {
    local id x y
    read -r id x y < <(main_window)
    take_screenshot "$WORK/page.png"
    local colours
    colours=$(convert "$WORK/page.png" -crop "560x500+$((x + 20))+$((y + 70))" +repage \
        -format %k info:)
    [ "$colours" -gt 20 ]
}

# start_program [ARGS]: the program on a set-up profile; PAGE_MODE changes how the
# server's page answers first (see the devserver's /devserver/page).
start_program() {
    make_program_folder "$SET_UP"
    start_desktop
    if [ -n "${PAGE_MODE:-}" ]; then
        curl -fsS "$TAVRO_DESKTOP_SERVER/devserver/page?$PAGE_MODE" >/dev/null
    fi
    start_tavro "$@"
    PID=$LAST_PID
    wait_for "normal mode" traced_by "$PID" "normal mode"
}

case_normal_start_shows_the_dated_page() {
    # The page answers late, so the loading window can be seen over the main window.
    PAGE_MODE=delay=3000 start_program
    wait_for "the main window" main_shown
    wait_for "the loading window" loading_shown
    screenshot main-loading
    local main_x main_y main_w lx ly
    read -r _ main_x main_y < <(main_window)
    eval "$(xdotool getwindowgeometry --shell "$(main_window | cut -d' ' -f1)")"
    main_w=$WIDTH
    read -r _ lx ly < <(window_of_size $LOADING_W $LOADING_H)
    # Centred over the main window with truncating halves; the width read may already be
    # the next move's size nudge (one pixel either way).
    local dx=$((lx - ((main_x + main_x + main_w) / 2 - LOADING_W / 2)))
    [ "${dx#-}" -le 1 ] &&
        [ "$ly" -eq $(((main_y + main_y + MAIN_H) / 2 - LOADING_H / 2)) ] ||
        fail "the loading window is at $lx,$ly over a main window at $main_x,$main_y"

    wait_for "the page to complete" loading_hidden
    grep -Eq "^desktop GET /quelmo/index\.php\?year=$DUE_Y&&month=$DUE_M&&day=$DUE_D&&mac=([0-9A-F]{2}(-[0-9A-F]{2}){5})?$" \
        "$SERVER_LOG" || fail "unexpected query: $(grep quelmo "$SERVER_LOG")"
    wait_for "the page drawn" page_drawn
    screenshot main-dated-page
}

case_restart_loads_no_engine_until_shown() {
    start_program -restart
    wait_for "the widget" shown 104 104
    main_hidden || fail "a -restart start showed the main window"
    [ "$(dated_requests)" -eq 0 ] || fail "a page was requested"
    ! maps_engine "$PID" || fail "the web engine was loaded without a page to show"

    # The tray icon's click asks for the main window.
    tray_click
    wait_for "the request" traced_by "$PID" "message 0x496 1 0"
    wait_for "the main window" main_shown
    wait_for "the dated page" more_dated_requests_than 0
    wait_for "the page to complete" loading_hidden
    maps_engine "$PID" || fail "the page was shown without the web engine"

    # Closed with its button, it is made afresh on the next request, page and all.
    click_in "$BTN_CLOSE"
    wait_for "the main window to close" main_hidden
    local before
    before=$(dated_requests)
    tray_click
    wait_for "a fresh main window" main_shown
    wait_for "a new page request" more_dated_requests_than "$before"
    wait_for "the page to complete" loading_hidden
    alive "$PID" || fail "the program ended"
}

case_due_date_change_reloads_the_page() {
    start_program
    wait_for "the main window" main_shown
    wait_for "the page to complete" loading_hidden
    # The tray menu's third item, "修改预产期"; the day picker's last item.
    open_tray_menu
    xdotool key Down Down Down Return
    wait_for "the settings window" xdotool search --onlyvisible --name '^设置Tavro$'
    local settings x y
    settings=$(xdotool search --onlyvisible --name '^设置Tavro$' | head -1)
    eval "$(xdotool getwindowgeometry --shell "$settings")"
    x=$X y=$Y
    local before_windows
    before_windows=$(visible_windows | wc -l)
    xdotool mousemove $((x + 279)) $((y + 110)) click 1 # the day combo, "cbx3"
    wait_for "the day list" bash -c "[ \$(xdotool search --onlyvisible --class '^Tavro$' | wc -l) -gt $before_windows ]"
    xdotool key End Return
    wait_for "the list to close" bash -c "[ \$(xdotool search --onlyvisible --class '^Tavro$' | wc -l) -le $before_windows ]"
    xdotool mousemove $((x + 118)) $((y + 170)) click 1 # "btnOk"
    wait_for "the date change" traced_by "$PID" "message 0x498 1 0"
    local last
    last=$(date -d "$DUE +1 month -1 day" +%-d)
    wait_for "the page with the new date" grep -q \
        "^desktop GET /quelmo/index.php?year=$DUE_Y&&month=$DUE_M&&day=$last&&mac=" "$SERVER_LOG"
    wait_for "the page to complete" loading_hidden
    main_shown || fail "the main window went away"
}

case_server_down_shows_our_page_and_retry_recovers() {
    make_program_folder "$SET_UP"
    start_desktop
    # The server is stopped before the program asks for its page.
    local port=${TAVRO_DESKTOP_SERVER##*:}
    kill -9 "${_e2e_pids[-1]}"
    wait "${_e2e_pids[-1]}" 2>/dev/null || true
    wait_for "the server to stop" bash -c "! curl -s -o /dev/null '$TAVRO_DESKTOP_SERVER/'"
    start_tavro
    PID=$LAST_PID
    wait_for "the main window" main_shown
    wait_for "the failed load to complete" loading_hidden
    wait_for "our page drawn" page_drawn
    screenshot main-error-page

    # Back on the same port, a click on the page's retry button loads the dated page.
    "$DEVSERVER" --port "$port" --log "$SERVER_LOG" >/dev/null 2>&1 &
    _e2e_pids+=($!)
    wait_for "the server back" curl -fs -o /dev/null "$TAVRO_DESKTOP_SERVER/devserver/page"
    click_in "$BTN_RETRY"
    wait_for "the dated page after the retry" more_dated_requests_than 0
    wait_for "the page drawn" page_drawn
    screenshot main-after-retry

}

case_unloadable_address_shows_our_page() {
    make_program_folder "$SET_UP"
    start_desktop
    # A host label of 64 characters: no address the engine can even try.
    export TAVRO_DESKTOP_SERVER="http://$(printf 'a%.0s' {1..64}).example"
    start_tavro
    PID=$LAST_PID
    wait_for "the main window" main_shown
    wait_for "the failed load to complete" loading_hidden
    wait_for "our page drawn" page_drawn
    wait_for "the retry button" retry_drawn
    screenshot main-unloadable-address
}

page_process() { pgrep -x -P "$PID" TavroPage; }
no_page_process() { ! page_process >/dev/null; }
none_alive() {
    local pid
    for pid in "$@"; do alive "$pid" && return 1; done
    return 0
}

case_page_process_ends_after_close() {
    # A short wait for a quick reopen instead of the minute a user gets.
    export TAVRO_PAGE_LINGER_MS=2000
    start_program
    wait_for "the page to complete" loading_hidden
    wait_for "the page drawn" page_drawn
    maps_engine "$PID" || fail "the page was shown without the web engine"
    ! grep -qi webengine "/proc/$PID/maps" || fail "the program itself mapped the engine"
    page_process >/dev/null || fail "no page process"
    local tree
    tree=$(process_tree "$PID" | grep -vx "$PID")

    click_in "$BTN_CLOSE"
    wait_for "the main window to close" main_hidden
    # shellcheck disable=SC2086
    wait_for "the page process and the engine's helpers to end" none_alive $tree
    ! maps_engine "$PID" || fail "the engine stayed after the page went"
    alive "$PID" || fail "the program ended"

    # The next show starts a new one.
    tray_click
    wait_for "a fresh main window" main_shown
    wait_for "the page to complete" loading_hidden
    wait_for "the page drawn" page_drawn
}

case_killed_page_process_shows_our_page_and_retry_recovers() {
    start_program
    wait_for "the page to complete" loading_hidden
    local before
    before=$(dated_requests)
    kill -9 "$(page_process)"
    wait_for "the retry button" retry_drawn
    screenshot main-page-process-killed
    click_in "$BTN_RETRY"
    wait_for "the dated page after the retry" more_dated_requests_than "$before"
    wait_for "a new page process" page_process
    wait_for "the page drawn" page_drawn
    ! retry_drawn || fail "the error card stayed over the page"
}

case_killed_program_leaves_no_engine() {
    start_program
    wait_for "the page to complete" loading_hidden
    local tree
    tree=$(process_tree "$PID")
    [ "$(wc -w <<<"$tree")" -gt 2 ] || fail "no page process or engine helpers: $tree"
    kill -9 "$PID"
    # shellcheck disable=SC2086
    wait_for "every process the program started to end" none_alive $tree
}

E2E_CASE=$1
"case_$1"
echo "PASS: $1"
