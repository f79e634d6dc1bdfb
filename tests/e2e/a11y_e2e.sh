#!/usr/bin/env bash
# End-to-end check of what a screen reader finds: the program under Xvfb with a session
# bus and the accessibility bus, its windows walked through AT-SPI (atspi_walk.py).
#   a11y_e2e.sh CASE
source "$(dirname "$0")/lib.sh"

FIRST_RUN='<userdata first="0" needup="0"><date year="0" month="0" day="0" /></userdata>'
WALK=(/usr/bin/python3 "$(dirname "$0")/atspi_walk.py")

# A session bus of this test's own and the accessibility bus on it (its launcher starts the
# bus's daemon and the registry). All of them carry the test's mark, so the cleanup ends
# them whatever happens.
start_accessibility_bus() {
    dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$WORK/bus.address" \
        >/dev/null 2>&1 &
    _e2e_pids+=($!)
    wait_for "the session bus" test -s "$WORK/bus.address"
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$WORK/bus.address")
    export DBUS_SESSION_BUS_ADDRESS
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
    _e2e_pids+=($!)
    wait_for "the accessibility bus" dbus-send --session --print-reply --dest=org.a11y.Bus \
        /org/a11y/bus org.a11y.Bus.GetAddress
    # Qt's bridge talks to assistive technology only while someone asks for it.
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
}

walk() {
    local log="$WORK/walk-$1.log" status=0
    shift
    "${WALK[@]}" "$@" >"$log" 2>&1 || status=$?
    cat "$log"
    [ "$status" -eq 0 ] || fail "a screen reader finds faults in $*: $(grep -E 'FAULT|no shown' "$log" | head -5)"
}

case_screen_reader_walk() {
    make_program_folder "$FIRST_RUN"
    start_desktop
    start_accessibility_bus
    start_tavro
    local pid=$LAST_PID
    wait_for "the setup window" shown 360 262
    screenshot a11y-setup
    walk setup window 设置预产期 --expect 请选择宝宝的预产期 --expect 开始使用 --expect 年 \
        --expect 本软件内容仅供参考
    # Enter on a date list confirms, from the keyboard alone.
    xdotool key Return
    wait_for "setup done" traced_by "$pid" "message 0x497 1 0"

    # The main window's frame, once its page is up.
    wait_for "the main window" xdotool search --onlyvisible --name '^Tavro$'
    walk main window Tavro --expect 关闭 --expect 最小化 --expect 设置

    # The tray menu offers what the widget's menu does; the keyboard walks it.
    open_tray_menu
    walk tray menu Down --expect 查看Tavro --expect 修改预产期 --expect 隐藏浮窗 --expect 退出
    xdotool key Down Down Return
    wait_for "the settings window" xdotool search --onlyvisible --name '^设置Tavro$'
    walk settings window 设置Tavro --expect 确定 --expect 取消 --expect 年 --expect 月 --expect 日
    # A date picked from the keyboard is announced. The stored date is today: the month list
    # offers a later month except in December, when the year list does.
    local keys=(Tab End)
    [ "$(date +%-m)" != 12 ] || keys=(End)
    walk value "value-change" 设置Tavro "${keys[@]}"
    screenshot a11y-settings-picked
    # Escape does what 取消 does.
    xdotool key Escape
    wait_for "the settings window to close" \
        bash -c "! xdotool search --onlyvisible --name '^设置Tavro$'"

    # The widget and its popup: today is the due date, day 280 of pregnancy.
    local width
    read -r width _ < <(xdotool getdisplaygeometry)
    xdotool mousemove $((width - 50 - 52)) $((50 + 52))
    wait_for "the popup" shown 300 490
    screenshot a11y-popup
    walk widget window "Tavro 浮窗" --expect "Tavro 浮窗"
    walk popup window 今日提醒 --expect "孕第 280 天" --expect "已满 39 周" --expect 本周第 \
        --expect 今日提示
}

E2E_CASE=$1
"case_$1"
echo "PASS: $1"
