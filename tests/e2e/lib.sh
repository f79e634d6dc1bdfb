# Helpers for the end-to-end tests: a fresh program folder, the development server, the
# program under Xvfb, and waiting for what the program does.
# Sourced by the test scripts; expects STAGE_DIR, DEVSERVER, ARTIFACTS and SOURCE_DIR.
set -euo pipefail

source "$SOURCE_DIR/scripts/xsession.sh"

WORK=$(mktemp -d /tmp/tavro-e2e-XXXXXX)
PROG="$WORK/prog"
TRACE="$WORK/trace.log"
SERVER_LOG="$WORK/devserver.log"
_e2e_pids=()

e2e_cleanup() {
    local pid
    for pid in "${_e2e_pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    stop_x_session
    if [ "${KEEP_WORK:-0}" != 1 ]; then rm -rf "$WORK"; fi
}
trap e2e_cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    echo "--- trace" >&2; cat "$TRACE" >&2 2>/dev/null || true
    exit 1
}

# A program folder copied from the staged tree, with the given profile text.
make_program_folder() {
    mkdir -p "$PROG"
    cp -r "$STAGE_DIR"/. "$PROG"/
    printf '%s\n' "$1" > "$PROG/Release/conf/userdata.xml"
}

start_devserver() {
    "$DEVSERVER" --ready-file "$WORK/devserver.env" --log "$SERVER_LOG" >/dev/null 2>&1 &
    _e2e_pids+=($!)
    wait_for "devserver" test -f "$WORK/devserver.env"
    set -a
    # shellcheck disable=SC1091
    source "$WORK/devserver.env"
    set +a
}

# Every test gets its own per-user runtime folder, so the single-instance lock and the
# channel of one test never meet another's.
start_desktop() {
    export XDG_RUNTIME_DIR="$WORK/runtime" TMPDIR="$WORK/tmp"
    mkdir -p "$XDG_RUNTIME_DIR" "$TMPDIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    export TAVRO_TRACE="$TRACE" QT_QPA_PLATFORM=xcb QTWEBENGINE_DISABLE_SANDBOX=1
    start_x_session 1280x800
    start_devserver
}

# Starts the program in the background; its pid goes to LAST_PID.
start_tavro() {
    (cd "$PROG/Release" && exec ./Tavro "$@") >>"$WORK/tavro.out" 2>&1 &
    LAST_PID=$!
    _e2e_pids+=($LAST_PID)
}

# wait_for DESCRIPTION COMMAND...: retries the command for up to E2E_TIMEOUT seconds.
wait_for() {
    local what=$1
    shift
    local deadline=$((SECONDS + ${E2E_TIMEOUT:-30}))
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $deadline ] || fail "timed out waiting for $what"
        sleep 0.1
    done
}

traced() { grep -q -- "$1" "$TRACE" 2>/dev/null; }
traced_by() { grep -q -- "^$1 $2" "$TRACE" 2>/dev/null; }
count_traced() { grep -c -- "$1" "$TRACE" 2>/dev/null || true; }
alive() { kill -0 "$1" 2>/dev/null; }

# Waits for a process to end and checks its exit code.
expect_exit() {
    local pid=$1 code=$2 status=0
    wait_for "process $pid to end" bash -c "! kill -0 $pid"
    wait "$pid" || status=$?
    [ "$status" -eq "$code" ] || fail "process $pid ended with $status, expected $code"
}

screenshot() {
    mkdir -p "$ARTIFACTS"
    take_screenshot "$ARTIFACTS/$1.png"
}

# The program's visible windows (forms, list popups and menus all carry its class).
visible_windows() { xdotool search --onlyvisible --class '^Tavro$' 2>/dev/null || true; }

# The visible window of the program with the given size: prints "ID X Y".
window_of_size() {
    local id
    for id in $(visible_windows); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        if [ "$WIDTH" = "$1" ] && [ "$HEIGHT" = "$2" ]; then
            echo "$id $X $Y"
            return 0
        fi
    done
    return 1
}
shown() { window_of_size "$@" >/dev/null; }
hidden() { ! window_of_size "$@" >/dev/null; }

# Whether a popup menu of the program is up: a visible window of the program larger than
# 60 x 60 whose width is not the given width of another window that may be shown.
menu_shown() {
    local id
    for id in $(visible_windows); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        [ "$WIDTH" != "${1:-0}" ] && [ "$WIDTH" -gt 60 ] && [ "$HEIGHT" -gt 60 ] && return 0
    done
    return 1
}

# The notification area is a panel at the bottom right, holding only our icon at its end.
tray_icon_point() {
    xdotool search --classname trayer >/dev/null || return 1
    local w h
    read -r w h < <(xdotool getdisplaygeometry)
    echo "$((w - 14)) $((h - 14))"
}
