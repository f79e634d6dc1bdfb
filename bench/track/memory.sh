#!/usr/bin/env bash
# What the movement counter and the contraction timer add to the program's memory (goal:
# 5 MB at most above the widget alone), measured on the real program under Xvfb as a user
# reaches them: started at login with the widget alone, the day's popup seen once, then
# each window opened from the tray menu, then both. For every state: resident and
# proportional set size, and where the resident memory lies (the heap and other private
# memory, fonts, shared libraries, the program itself, X shared memory; then the kernel's
# own split into anonymous, file-backed and shared memory). Then how often the program
# wakes with the tools closed, and the time to open each window.
#   bench/track/memory.sh BUILD_DIR [--maps | --massif]
# With --maps the largest mappings of each state are listed as well. With --massif the
# program runs under valgrind's heap profiler and a detailed snapshot of the heap is
# written for every state (massif.<n>.out in the build's bench artifacts).
set -euo pipefail
BUILD=$(cd "${1:?usage: memory.sh BUILD_DIR [--maps | --massif]}" && pwd)
MAPS=${2:-}
export STAGE_DIR=$BUILD/stage DEVSERVER=$BUILD/tools/devserver/devserver
SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)
export ARTIFACTS=$BUILD/artifacts/bench SOURCE_DIR
# shellcheck source=SCRIPTDIR/../../tests/e2e/lib.sh
source "$SOURCE_DIR/tests/e2e/lib.sh"

WIDGET=104 POPUP_W=300 POPUP_H=490 # the widget's and the popup's forms
KICK="420 540" TIMER="420 580"     # the counter's and the timer's forms
SETTLE=${TRACK_MEMORY_SETTLE:-3}   # seconds for painting and deferred work to end

# Day 265: both tools are offered and the timer uses the full-term rules; two weeks of
# movement sessions and an hour of contractions in the records, as in daily use.
make_program_folder "$(profile_for_day 265)"
"$BUILD/bench/track/bench_track" --fill-records "$PROG"
start_desktop
if [ "$MAPS" = --massif ]; then
    export E2E_TIMEOUT=300
    SETTLE=10
    (cd "$PROG/Release" &&
        exec valgrind --tool=massif --massif-out-file="$WORK/massif.out" ./Tavro -restart) \
        >>"$WORK/tavro.out" 2>&1 &
    PID=$!
    _e2e_pids+=("$PID")
else
    start_tavro -restart # the widget alone, as after a start at login
    PID=$LAST_PID
fi
wait_for "normal mode" traced_by "$PID" "normal mode"
wait_for "the widget" shown $WIDGET $WIDGET
xdotool mousemove 10 400

# One line per state: VmRSS, Pss, and the resident memory by kind of mapping (KiB).
measure() {
    sleep "$SETTLE"
    alive "$PID" || fail "the program ended during the measurement"
    awk -v state="$1" '
        /^[0-9a-f]+-[0-9a-f]+ / {
            name = $6
            if (name == "" || name == "[heap]" || name == "[stack]" || name ~ /^\[anon/) kind = "private"
            else if (name ~ /^\/SYSV|^\/dev\/shm|^\/memfd:|shm/) kind = "xshm"
            else if (name ~ /\.(ttf|ttc|otf|pcf|pfb)(\.gz)?$/) kind = "fonts"
            else if (name ~ /\.so(\.[0-9]+)*$/) kind = "libs"
            else if (name ~ /\/Tavro$/) kind = "program"
            else kind = "other"
            next
        }
        /^Rss:/ { rss[kind] += $2; total += $2 }
        /^Pss:/ { pss += $2 }
        /^Private_Dirty:/ { dirty += $2 }
        END {
            printf "%-22s RSS %6.1f MB  Pss %6.1f MB  private-dirty %6.1f |", state, total / 1024, pss / 1024, dirty / 1024
            split("private libs fonts program xshm other", kinds, " ")
            for (i = 1; i <= 6; i++) printf " %s %.1f", kinds[i], rss[kinds[i]] / 1024
            printf "\n"
        }' "/proc/$PID/smaps"
    awk '/^Rss(Anon|File|Shmem):/ { printf " %s %.1f", $1, $2 / 1024 } END { printf "\n" }' \
        "/proc/$PID/status" | sed 's/^/                      /'
    if [ "$MAPS" = --massif ]; then
        mkdir -p "$ARTIFACTS"
        snapshots=$((${snapshots:-0} + 1))
        vgdb --pid="$PID" detailed_snapshot "$ARTIFACTS/massif.$snapshots.out" >/dev/null
        echo "    heap snapshot: $ARTIFACTS/massif.$snapshots.out"
    fi
    if [ "$MAPS" = --maps ]; then
        awk '/^[0-9a-f]+-[0-9a-f]+ / { name = $6 == "" ? "(anonymous " $1 ")" : $6 }
             /^Rss:/ { if ($2 >= 512) print "    " $2 " KiB " name }' "/proc/$PID/smaps" |
            sort -k1,1nr | head -n 25
    fi
}

# How often the program's main thread wakes up while left alone for a while: a timer of
# the tools left running shows here as one more wake-up a second.
wakeups() {
    local before after period=${TRACK_WAKEUP_SECONDS:-10}
    before=$(awk '/^(non)?voluntary_ctxt_switches/ { n += $2 } END { print n }' "/proc/$PID/task/$PID/status")
    sleep "$period"
    after=$(awk '/^(non)?voluntary_ctxt_switches/ { n += $2 } END { print n }' "/proc/$PID/task/$PID/status")
    awk -v n=$((after - before)) -v s="$period" -v state="$1" \
        'BEGIN { printf "%-22s main thread woke %.1f times a second\n", state, n / s }'
}

# Opens the tray menu and the given item, counted from the top; waits for the window.
open_tool() {
    local downs=$1 size=$2 keys=() i
    for ((i = 0; i < downs; i++)); do keys+=(Down); done
    open_tray_menu
    xdotool key "${keys[@]}" Return
    # shellcheck disable=SC2086
    wait_for "the tool window $size" shown $size
}

# Closes the tool window of the given size with Esc, as the user does.
close_tool() {
    local id
    # shellcheck disable=SC2086
    id=$(window_of_size $1 | cut -d' ' -f1)
    xdotool windowfocus --sync "$id" key Escape
    # shellcheck disable=SC2086
    wait_for "the tool window $1 to close" hidden $1
}

measure "widget alone"
wakeups "widget alone"
xdotool mousemove $((1280 - WIDGET - 50 + 52)) $((50 + 52))
wait_for "the popup" shown $POPUP_W $POPUP_H
xdotool mousemove 10 400
wait_for "the popup to close" hidden $POPUP_W $POPUP_H
measure "after the popup"
open_tray_menu
xdotool key Escape
measure "after the tray menu"
# After "关于我们", "提点意见" and "修改预产期": "数胎动", then "宫缩计时".
open_tool 4 "$KICK"
measure "counter open"
wakeups "counter open"
close_tool "$KICK"
measure "counter closed"
open_tool 5 "$TIMER"
measure "timer open"
open_tool 4 "$KICK"
measure "both open"
close_tool "$KICK"
close_tool "$TIMER"
measure "both closed"
wakeups "both closed"
screenshot track-memory-end

# Opening each window, from the command to the window exposed and drawn, on the same
# desktop: the first time after the start, then again and again.
QT_QPA_PLATFORM=xcb "$BUILD/bench/track/bench_track" --benchmark_filter=Open
