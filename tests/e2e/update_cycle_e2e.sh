#!/usr/bin/env bash
# End-to-end checks of the update cycle with the real programs: version 4.0.0 installed,
# the development server offering 4.0.1 made by the release tool, the worker staging it,
# the updater installing it at the next start; then the faults. After each, the program
# runs from a tree that matches one of the two versions exactly. And the start at login:
# "Tavro -start" hands over to the restarter, which brings up the widget alone.
#   update_cycle_e2e.sh CASE
# Needs RELEASE (the release tool) besides what lib.sh needs.
source "$(dirname "$0")/lib.sh"

DAY=100 # today's day of pregnancy
WIDGET=104
POPUP_W=300 POPUP_H=490
NEW_TIP="【新版本】多喝温水，散步二十分钟。"
V401="$WORK/v401"     # the program tree of version 4.0.1
BIN="$WORK/bin"       # what the server offers, made from it by the release tool
PROFILE="$PROG/Release/conf/userdata.xml"

program_pid_of() { # the pid running Release/$1, if any
    local p
    for p in $(program_pids); do
        [ "$(readlink "/proc/$p/exe" 2>/dev/null)" = "$PROG/Release/$1" ] && { echo "$p"; return 0; }
    done
    return 1
}

# Version 4.0.1: a new tip for today, a skin image changed, a new file.
make_release() {
    mkdir -p "$V401"
    cp -r "$STAGE_DIR"/. "$V401"/
    # Every day's tip gets the new text in front, today's among them.
    sqlite3 "$V401/Release/data/tavro_tip.db" "update tavro_tip set baby = '$NEW_TIP' || baby;"
    local svg
    svg=$(find "$V401/Skin" -name '*.svg' | sort | head -1)
    sed -i 's/<svg /<svg data-release="4.0.1" /' "$svg"
    mkdir -p "$V401/Release/data/notes"
    echo "4.0.1" >"$V401/Release/data/notes/release.txt"
    "$RELEASE" make --tree "$V401" --version 4.0.1 --out "$BIN" --previous "$STAGE_DIR" \
        --development-key >/dev/null
    # The server keeps its files below Bin/.
    [ -f "$BIN/Release/version.xml" ] && [ -f "$BIN/Release/version.xml.sig" ] ||
        fail "the release tool made no signed list"
}

start_update_desktop() {
    export DEVSERVER_UPDATE_DIR=$BIN
    start_desktop
}

# "p sha256" for every file of a signed version list, p with '/'.
list_hashes() {
    sed -n 's/.* p="\([^"]*\)".* sha256="\([^"]*\)".*/\1 \2/p' "$1" | tr '\\' '/'
}

# The program folder matches version 4.0.1's list hash for hash, with that list installed.
matches_401() {
    cmp -s "$PROG/Release/version.xml" "$BIN/Release/version.xml" || return 1
    local p hash
    while read -r p hash; do
        [ "$(sha256sum "$PROG/$p" | cut -d' ' -f1)" = "$hash" ] || return 1
    done < <(list_hashes "$BIN/Release/version.xml")
}

# The program folder is the installed 4.0.0 tree, byte for byte, apart from the profile,
# the updater's log and the staging folder; prints what differs. Only asked once no program
# runs: a running one saves its profile through a new file beside it, which a listing
# taken meanwhile finds (an update staged again marks itself in the profile).
matches_400() {
    diff -r -q -x userdata.xml -x update.log -x Update.staging "$STAGE_DIR" "$PROG"
}

gone() { ! kill -0 "$1" 2>/dev/null; }

# Asks the program to quit and waits until it has.
stop_program() {
    kill -TERM "$1"
    wait_for "the program to end" gone "$1"
}

# Whether the update log has a line with the given text.
logged() { grep -qF -- "$1" "$PROG/Release/update.log" 2>/dev/null; }

# The program's first start (widget only, as at login) stages the update and sets
# "needup"; the day's popup is pictured on the way; then the program is asked to quit.
first_start_stages() {
    start_tavro -restart
    local pid=$LAST_PID
    wait_for "normal mode" traced_by "$pid" "normal mode"
    popup_picture update-before
    E2E_TIMEOUT=60 wait_for "the update to be staged" grep -q 'needup="1"' "$PROFILE"
    [ -f "$PROG/Release/Update.staging/Release/version.xml.sig" ] || fail "no signature staged"
    kill -TERM "$pid"
    expect_exit "$pid" 0
}

# A first start whose update check must find nothing it may stage: it waits until the
# worker logged the given refusal, and quits.
first_start_refuses() {
    start_tavro -restart
    local pid=$LAST_PID
    wait_for "normal mode" traced_by "$pid" "normal mode"
    E2E_TIMEOUT=60 wait_for "the worker to log: $1" logged "worker: $1"
    kill -TERM "$pid"
    expect_exit "$pid" 0
    grep -q 'needup="0"' "$PROFILE" || fail "the refused update was marked ready"
}

# The program started without an update waiting: it runs, and leaves the tree unchanged.
runs_unchanged() {
    start_tavro -restart
    local pid=$LAST_PID
    wait_for "normal mode" traced_by "$pid" "normal mode"
    alive "$pid" || fail "the program did not stay up"
    kill -TERM "$pid"
    expect_exit "$pid" 0
    matches_400 >&2 || fail "the tree changed"
}

# A start (with the given switch) that hands over to the updater, which installs and
# starts the program again: waits for that program and prints its pid.
second_start() {
    start_tavro "$@"
    local handing=$LAST_PID
    # A normal start has begun its page when it hands over; on a loaded machine ending that
    # as well takes longer than the usual wait.
    E2E_TIMEOUT=60 expect_exit "$handing" 0
    E2E_TIMEOUT=60 wait_for "the program started again by the updater" program_pid_of Tavro
    local pid
    pid=$(program_pid_of Tavro)
    wait_for "normal mode after the update" traced_by "$pid" "normal mode"
    echo "$pid"
}

# The popup for today, as a picture.
popup_picture() {
    wait_for "the widget" shown $WIDGET $WIDGET
    local x y
    read -r _ x y < <(window_of_size $WIDGET $WIDGET)
    xdotool mousemove $((x + 52)) $((y + 52))
    wait_for "the popup" shown $POPUP_W $POPUP_H
    sleep 0.5
    read -r _ x y < <(window_of_size $POPUP_W $POPUP_H)
    screenshot "$1"
    convert "$ARTIFACTS/$1.png" -crop ${POPUP_W}x${POPUP_H}+$x+$y +repage "$WORK/$1.png"
    xdotool mousemove 10 700
    wait_for "the popup to close" hidden $POPUP_W $POPUP_H
}

case_whole_cycle() {
    make_program_folder "$(profile_for_day $DAY)"
    make_release
    start_update_desktop
    first_start_stages
    matches_400 >&2 || fail "staging changed the installed tree"

    local pid
    pid=$(second_start)
    matches_401 || fail "the tree does not match 4.0.1's list"
    [ ! -e "$PROG/Release/Update.staging" ] || fail "staging is still there"
    [ ! -e "$PROG/Release/update.journal" ] || fail "the journal is still there"
    [ ! -e "$PROG/Release/update.kept" ] || fail "kept files are still there"
    [ -x "$PROG/Release/Update" ] && [ -x "$PROG/Release/Tavro" ] || fail "an executable lost its mode"
    grep -q 'needup="0"' "$PROFILE" || fail "needup is still set"
    grep -q "installed version 4.0.1" "$PROG/Release/update.log" || fail "the log does not say so"
    [ "$(cat "$PROG/Release/data/notes/release.txt")" = "4.0.1" ] || fail "the new file is missing"

    # The popup shows the new tip: it differs from the same day's popup of 4.0.0 only there.
    popup_picture update-after
    stop_program "$pid"
    local diff
    diff=$({ compare -metric AE -fuzz 5% "$WORK/update-after.png" "$WORK/update-before.png" null: 2>&1 || true; })
    [ "${diff%% *}" -gt 200 ] || fail "the popup did not change ($diff pixels differ)"
}

case_file_altered_on_server() {
    make_program_folder "$(profile_for_day $DAY)"
    make_release
    printf 'altered' >>"$BIN/Release/data/tavro_tip.db"
    start_update_desktop
    first_start_refuses '"Release\data\tavro_tip.db" of version 4.0.1 failed'
    [ ! -e "$PROG/Release/Update.staging/Release/data/tavro_tip.db" ] ||
        fail "the altered file was staged"
    matches_400 >&2 || fail "the tree changed"
    runs_unchanged
}

case_altered_list() {
    make_program_folder "$(profile_for_day $DAY)"
    make_release
    sed -i 's/v="4.0.1"/v="4.0.2"/' "$BIN/Release/version.xml"
    start_update_desktop
    first_start_refuses "refused the server's list: its signature is not good"
    [ ! -e "$PROG/Release/Update.staging/Release/version.xml" ] || fail "the altered list was staged"
    runs_unchanged
}

case_unsigned_list() {
    make_program_folder "$(profile_for_day $DAY)"
    make_release
    rm "$BIN/Release/version.xml.sig"
    start_update_desktop
    first_start_refuses "refused the server's list: it is not signed"
    [ ! -e "$PROG/Release/Update.staging/Release/version.xml" ] || fail "the unsigned list was staged"
    runs_unchanged
}

case_staged_file_altered() {
    make_program_folder "$(profile_for_day $DAY)"
    make_release
    start_update_desktop
    first_start_stages
    local staged="$PROG/Release/Update.staging/Release/data/tavro_tip.db"
    printf 'altered' >>"$staged"
    cp "$staged" "$WORK/altered.db"

    local pid
    pid=$(second_start)
    logged 'staged update refused: "Release\data\tavro_tip.db" differs from the signed list' ||
        fail "the log does not say so: $(cat "$PROG/Release/update.log")"
    local installed="$PROG/Release/data/tavro_tip.db"
    ! cmp -s "$installed" "$WORK/altered.db" || fail "the altered file was installed"
    # The restarted program's update check may stage the server's good copy again, never
    # the altered one; it installs nothing while it runs.
    [ ! -e "$staged" ] || cmp -s "$staged" "$BIN/Release/data/tavro_tip.db" ||
        fail "the altered staged file is still there"
    stop_program "$pid"
    matches_400 >&2 || fail "the refused update changed the installed tree"
}

# The updater is killed (SIGKILL) at its Nth rename: the journal is then written and some
# files are set aside or moved in. The program's next start hands over to the updater,
# which puts the old files back; the start after that stages and installs afresh.
case_updater_killed_mid_install() {
    make_program_folder "$(profile_for_day $DAY)"
    make_release
    start_update_desktop
    first_start_stages
    # The program would hand over by itself; here the updater runs under strace, which
    # kills it at its 6th rename (log, journal, then the first files).
    sed -i 's/needup="1"/needup="0"/' "$PROFILE"
    strace -f -o /dev/null -e trace=rename,renameat,renameat2 \
        -e inject=rename,renameat,renameat2:signal=SIGKILL:when=6 "$PROG/Release/Update" || true
    [ -f "$PROG/Release/update.journal" ] || fail "the updater was not cut short mid-install"
    ! matches_400 >/dev/null || fail "nothing was changed before the kill"

    local pid
    pid=$(second_start)
    [ ! -e "$PROG/Release/update.journal" ] || fail "the journal is still there"
    logged "rolling back an install that was cut short" || fail "the log does not say so"
    # The restarted program's update check may stage 4.0.1 again; it installs nothing.
    stop_program "$pid"
    matches_400 >&2 || fail "the interrupted install was not rolled back"
}

# "Tavro -start" (the start at login) hands over to the restarter, which waits for the
# notification area and the network and starts "Tavro -restart": widget, no main window.
case_start_brings_up_the_widget() {
    make_program_folder "$(profile_for_day $DAY)"
    start_desktop
    start_tavro -start
    expect_exit "$LAST_PID" 0
    E2E_TIMEOUT=60 wait_for "the program started by the restarter" program_pid_of Tavro
    local pid
    pid=$(program_pid_of Tavro)
    wait_for "normal mode" traced_by "$pid" "normal mode"
    wait_for "the widget" shown $WIDGET $WIDGET
    wait_for "the tray icon" traced_by "$pid" "tray icon added"
    sleep 1
    # Besides the widget only small things of the program are up (the tray icon, the
    # parent window of no size): no main window.
    local id
    for id in $(visible_windows); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        [ "$WIDTH" -le $WIDGET ] && [ "$HEIGHT" -le $WIDGET ] ||
            fail "a ${WIDTH}x${HEIGHT} window is shown besides the widget"
    done
    screenshot restarter-widget
    [ "$(tr '\0' ' ' <"/proc/$pid/cmdline")" = "Tavro -restart " ] ||
        fail "the program was not started with -restart: $(tr '\0' ' ' <"/proc/$pid/cmdline")"
    stop_program "$pid"
}

# A start at login that hands over to the updater comes back as a start at login: the
# program the updater starts again carries "-restart", with no main window.
case_restart_start_comes_back_as_one() {
    make_program_folder "$(profile_for_day $DAY)"
    make_release
    start_update_desktop
    first_start_stages
    local pid
    pid=$(second_start -restart)
    matches_401 || fail "the tree does not match 4.0.1's list"
    [ "$(tr '\0' ' ' <"/proc/$pid/cmdline")" = "Tavro -restart " ] ||
        fail "the program came back as: $(tr '\0' ' ' <"/proc/$pid/cmdline")"
    stop_program "$pid"
}

E2E_CASE=$1
"case_$1"
echo "PASS: $1"
