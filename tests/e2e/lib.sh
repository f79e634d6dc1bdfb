# Helpers for the end-to-end tests: a fresh program folder, the development server, the
# program under Xvfb, and waiting for what the program does.
# Sourced by the test scripts; expects STAGE_DIR, DEVSERVER, ARTIFACTS and SOURCE_DIR.
set -euo pipefail

source "$SOURCE_DIR/scripts/xsession.sh"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavro-e2e-XXXXXX")
PROG="$WORK/prog"
TRACE="$WORK/trace.log"
SERVER_LOG="$WORK/devserver.log"
_e2e_pids=()
# Every process this test starts, and whatever those start in turn (the updater, the
# restarter, the web engine's helpers), carries this mark, so the cleanup finds them all
# and nothing else: other tests and other people's copies run on the same machine.
export TAVRO_E2E_MARK="$WORK"

# The processes other than this shell that carry this test's mark.
marked_pids() {
    local file pid
    for file in $(grep -lszxF "TAVRO_E2E_MARK=$WORK" /proc/[0-9]*/environ); do
        pid=${file#/proc/}
        pid=${pid%/environ}
        [ "$pid" = $$ ] || [ "$pid" = "$BASHPID" ] || echo "$pid"
    done
    return 0
}

# Every process running an executable of the program folder: the program, and what it
# starts (the updater, which becomes the program, and the restarter), which no list here
# knows.
program_pids() {
    local p exe
    for p in /proc/[0-9]*; do
        exe=$(readlink "$p/exe" 2>/dev/null) || continue
        case "$exe" in "$PROG"/*) echo "${p#/proc/}" ;; esac
    done
}

# Kills what still carries the mark; true once nothing does.
all_marked_killed() {
    local pids
    pids=$(marked_pids)
    # shellcheck disable=SC2086
    [ -z "$pids" ] || { kill -9 $pids 2>/dev/null; return 1; }
}

e2e_cleanup() {
    local status=$? pid
    trap - EXIT
    set +e
    for pid in "${_e2e_pids[@]}" $(program_pids); do kill -9 "$pid" 2>/dev/null; done
    stop_x_session
    poll_until 10 all_marked_killed
    if [ "${KEEP_WORK:-0}" != 1 ]; then rm -rf "$WORK"; fi
    exit "$status"
}
trap e2e_cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [ -n "${DISPLAY:-}" ]; then
        mkdir -p "$ARTIFACTS"
        take_screenshot "$ARTIFACTS/failed-$(basename "$0" .sh)-${E2E_CASE:-case}.png" 2>/dev/null || true
    fi
    echo "--- trace" >&2; cat "$TRACE" >&2 2>/dev/null || true
    # What the program said (a sanitizer's report, a warning) tells why it did not go on.
    echo "--- program output" >&2; tail -n 60 "$WORK/tavro.out" >&2 2>/dev/null || true
    exit 1
}

# A program folder copied from the staged tree, with the given profile text.
make_program_folder() {
    mkdir -p "$PROG"
    cp -r "$STAGE_DIR"/. "$PROG"/
    printf '%s\n' "$1" > "$PROG/Release/conf/userdata.xml"
}

# A set-up profile whose due date makes today the given day of pregnancy.
profile_for_day() {
    local due
    due=$(date -d "+$((280 - $1)) days" +%Y-%m-%d)
    local y=${due%%-*} rest=${due#*-}
    local m=${rest%%-*} d=${rest#*-}
    echo "<userdata first=\"250\" needup=\"0\"><date year=\"$y\" month=\"$((10#$m))\" day=\"$((10#$d))\" /></userdata>"
}

start_devserver() {
    "$DEVSERVER" --ready-file "$WORK/devserver.env" --log "$SERVER_LOG" \
        ${DEVSERVER_UPDATE_DIR:+--update-dir "$DEVSERVER_UPDATE_DIR"} >/dev/null 2>&1 &
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
    # Under the sanitizers the program's leaks are reported in tavro.out but do not change
    # its exit code here: the web engine and the GL driver keep allocations at exit that
    # cannot be told apart from ours once their libraries are unloaded. Our own leaks stay
    # fatal in the unit tests, which exercise the same code without the engine's threads.
    export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}exitcode=0"
    # The engine frees some objects through a base of another size (as the web tests say).
    export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}new_delete_type_mismatch=0"
    start_x_session 1280x800
    # The X session sets its own exit trap; this one stops the session as well.
    trap e2e_cleanup EXIT
    start_devserver
}

# Starts the program in the background; its pid goes to LAST_PID.
start_tavro() {
    (cd "$PROG/Release" && exec ./Tavro "$@") >>"$WORK/tavro.out" 2>&1 &
    LAST_PID=$!
    _e2e_pids+=($LAST_PID)
}

# poll_until SECONDS COMMAND...: retries the command until it succeeds, for up to SECONDS;
# false when it never did. The one waiting loop of these tests.
poll_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.1
    done
}

# wait_for DESCRIPTION COMMAND...: retries the command for up to E2E_TIMEOUT seconds and
# fails the test, naming what it waited for, when it never succeeded.
wait_for() {
    local what=$1
    shift
    poll_until "${E2E_TIMEOUT:-30}" "$@" || fail "timed out waiting for $what"
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

# Whether a window of the program is visible that was not among the given ones.
new_window_since() { [ -n "$(comm -13 <(echo "$1") <(visible_windows | sort))" ]; }

# Right-clicks at a point the way a person does (press, a moment, release) until a new
# window of the program, its menu, is up; a click lost on a busy machine is made again.
open_menu_at() {
    local x=$1 y=$2 attempt before
    # A window that was not visible before, rather than one more window: the loading window
    # may go away while the menu comes up.
    before=$(visible_windows | sort)
    for attempt in 1 2 3; do
        xdotool mousemove "$x" "$y" mousedown 3
        sleep 0.15
        xdotool mouseup 3
        if poll_until 5 new_window_since "$before"; then
            sleep 0.3 # let it take the keyboard
            return 0
        fi
    done
    fail "no menu opened at $x,$y"
}

open_tray_menu() {
    wait_for "the panel" tray_icon_point
    local x y
    read -r x y < <(tray_icon_point)
    open_menu_at "$x" "$y"
}

# The notification area is a panel at the bottom right, holding only our icon at its end.
tray_icon_point() {
    xdotool search --classname trayer >/dev/null || return 1
    local w h
    read -r w h < <(xdotool getdisplaygeometry)
    echo "$((w - 14)) $((h - 14))"
}
