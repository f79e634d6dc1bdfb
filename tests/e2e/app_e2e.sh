#!/usr/bin/env bash
# End-to-end checks of the application shell: the real program under Xvfb.
#   app_e2e.sh CASE
source "$(dirname "$0")/lib.sh"

SET_UP='<userdata first="250" needup="0"><date year="2027" month="5" day="1" /></userdata>'
FIRST_RUN='<userdata first="0" needup="0"><date year="0" month="0" day="0" /></userdata>'

# True when the window offers the window manager an icon of 16 and one of 128 pixels.
window_has_icon() {
    local icon
    icon=$(xprop -id "$1" _NET_WM_ICON 2>/dev/null)
    [[ "$icon" == *"Icon (16 x 16)"* && "$icon" == *"Icon (128 x 128)"* ]]
}

case_tray_menu_and_exit() {
    make_program_folder "$SET_UP"
    start_desktop
    start_tavro
    local pid=$LAST_PID
    wait_for "the tray icon" traced_by "$pid" "tray icon added"
    # The widget carries the program's icon for the window manager, like every window.
    local widget
    widget=$(window_of_size 104 104) || fail "the widget is not shown"
    wait_for "the widget's icon" window_has_icon "${widget%% *}"
    wait_for "the panel" tray_icon_point
    sleep 1 # let the panel embed and paint the icon before the picture is taken
    screenshot app-tray
    open_tray_menu
    traced_by "$pid" "message 0x401 1074 516" || fail "the icon's right click did not arrive"
    screenshot app-tray-menu
    # "退出" is the last item: Up from no selection lands on it.
    xdotool key Up Return
    expect_exit "$pid" 0
    traced_by "$pid" "message 0x111 1126" || fail "the exit command did not arrive"
    traced_by "$pid" "shutdown" || fail "shutdown did not run"
}

case_ten_copies() {
    make_program_folder "$SET_UP"
    start_desktop
    local pids=() i
    for i in $(seq 10); do
        start_tavro
        pids+=("$LAST_PID")
    done
    local survivors
    count_alive() {
        local n=0 p
        for p in "${pids[@]}"; do alive "$p" && n=$((n + 1)); done
        echo "$n"
    }
    wait_for "nine copies to end" bash -c "[ \"\$(ps -o pid= -p ${pids[*]// /,} | wc -l)\" -le 1 ]"
    survivors=$(count_alive)
    [ "$survivors" -eq 1 ] || fail "$survivors copies kept running"
    local first=""
    for i in "${pids[@]}"; do
        if alive "$i"; then first=$i; else expect_exit "$i" 0; fi
    done
    wait_for "nine requests to show the main window" \
        bash -c "[ \$(grep -c '^$first message 0x496 0 0' '$TRACE') -ge 9 ]"
}

case_second_copy_during_setup() {
    make_program_folder "$FIRST_RUN"
    start_desktop
    start_tavro
    local first=$LAST_PID
    wait_for "first-run mode" traced_by "$first" "first run"
    start_tavro
    expect_exit "$LAST_PID" 0
    wait_for "the request" traced_by "$first" "message 0x496 0 0"
    alive "$first" || fail "the first copy ended"
    ! traced "normal mode" || fail "the second copy changed the first one's mode"
    ! traced "tray icon added" || fail "a tray icon appeared during setup"
}

case_killed_copy_leaves_nothing_stale() {
    make_program_folder "$SET_UP"
    start_desktop
    start_tavro
    local first=$LAST_PID
    wait_for "the first copy" traced_by "$first" "listening"
    kill -9 "$first"
    wait "$first" 2>/dev/null || true
    start_tavro
    local second=$LAST_PID
    wait_for "a new copy after the kill" traced_by "$second" "listening"
    start_tavro
    expect_exit "$LAST_PID" 0
    wait_for "the request" traced_by "$second" "message 0x496 0 0"
    alive "$second" || fail "the restarted copy ended"
}

case_sigterm_writes_the_profile() {
    make_program_folder '<!-- kept --><userdata first="250"><date year="2027" month="5" day="1" /></userdata>'
    start_desktop
    start_tavro
    local pid=$LAST_PID
    wait_for "normal mode" traced_by "$pid" "normal mode"
    kill -TERM "$pid"
    expect_exit "$pid" 0
    local profile="$PROG/Release/conf/userdata.xml"
    grep -q 'needup="0"' "$profile" || fail "the profile was not written: $(cat "$profile")"
    grep -q '<!-- kept -->' "$profile" || fail "the comment was lost: $(cat "$profile")"
}

case_display_lost_ends_the_program() {
    make_program_folder "$SET_UP"
    start_desktop
    start_tavro
    local pid=$LAST_PID
    # The main window with its page, and the pointer over the widget: the most there is to
    # tear down when the display goes.
    wait_for "the page process" pgrep -x -P "$pid" TavroPage
    wait_for "the widget" shown 104 104
    local x y
    read -r _ x y < <(window_of_size 104 104)
    xdotool mousemove $((x + 50)) $((y + 50))
    local tree
    tree=$(pgrep -P "$pid")
    kill -9 "${_x_session_pids[0]}"
    expect_exit "$pid" 1
    local child
    for child in $tree; do
        wait_for "process $child to end" bash -c "! kill -0 $child"
    done
}

case_no_display_says_so() {
    make_program_folder "$SET_UP"
    export XDG_RUNTIME_DIR="$WORK/runtime" TMPDIR="$WORK/tmp"
    mkdir -p "$XDG_RUNTIME_DIR" "$TMPDIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    local status=0
    (cd "$PROG/Release" && env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb \
        timeout 60 ./Tavro) >"$WORK/nodisplay.out" 2>&1 || status=$?
    [ "$status" -eq 2 ] || fail "ended with $status, expected 2: $(cat "$WORK/nodisplay.out")"
    grep -q "needs a graphical desktop" "$WORK/nodisplay.out" ||
        fail "no plain message: $(cat "$WORK/nodisplay.out")"
    ! grep -qi "reinstall" "$WORK/nodisplay.out" || fail "still advises reinstalling"
}

case_missing_skin_box_then_sigterm() {
    make_program_folder "$FIRST_RUN"
    rm "$PROG/Skin/Default.skn"
    start_desktop
    start_tavro
    local pid=$LAST_PID
    # The framework's plain box names the missing file; no blank form window is shown.
    wait_for "the box" bash -c "xdotool search --onlyvisible --name '^Tavro$' | grep -q ."
    sleep 0.5 # let it paint before the picture
    screenshot app-missing-skin-box
    # A logout's SIGTERM while the box is up: the box goes and shutdown runs at once.
    kill -TERM "$pid"
    expect_exit "$pid" 1
    traced_by "$pid" "shutdown" || fail "shutdown did not run"
    grep -q 'Default.skn' "$WORK/tavro.out" || fail "the missing file was not named"
    grep -q 'first="0"' "$PROG/Release/conf/userdata.xml" || fail "profile not written"
}

E2E_CASE=$1
"case_$1"
echo "PASS: $1"
