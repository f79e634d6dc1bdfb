#!/usr/bin/env bash
# End-to-end check of the update check: the staged program, started normally, against the
# development server offering a newer release made by the release tool.
#   update_e2e.sh CASE
source "$(dirname "$0")/lib.sh"

SET_UP='<userdata first="250" needup="0"><date year="2027" month="5" day="1" /></userdata>'
BIN="$WORK/server/Bin"
STAGING_REL=Release/Update.staging

# The shared helper's server offers the update tree as well.
export DEVSERVER_UPDATE_DIR=$BIN

# Checksums of every file below the program folder except the profile and the staging.
tree_sums() {
    (cd "$PROG" && find . -type f ! -path "./$STAGING_REL/*" ! -path ./Release/conf/userdata.xml \
        ! -path ./Release/update.log \
        -print0 | sort -z | xargs -0 sha256sum)
}

case_normal_start_stages_the_changed_files() {
    make_program_folder "$SET_UP"
    # The next release: a changed tip database, a changed skin image and a new file.
    local next="$WORK/next" skin_image
    mkdir -p "$next"
    cp -r "$STAGE_DIR"/. "$next"/
    printf 'next release' >>"$next/Release/data/tavro_tip.db"
    skin_image=$(cd "$next" && find Skin -name '*.svg' | sort | head -1)
    printf '<!-- 4.0.1 -->\n' >>"$next/$skin_image"
    printf 'new in 4.0.1\n' >"$next/Release/data/whats_new.txt"
    "$RELEASE" make --tree "$next" --version 4.0.1 --previous "$PROG" --out "$BIN" \
        --development-key >/dev/null ||
        fail "the release tool failed"
    local expected
    expected=$(printf '%s\n' Release/data/tavro_tip.db "$skin_image" Release/data/whats_new.txt |
        sort)
    local before
    before=$(tree_sums)

    start_desktop
    # start_x_session puts its own EXIT trap in place of the helpers' one, which would leave
    # the server, the program and the work folder behind.
    trap e2e_cleanup EXIT
    start_tavro
    local pid=$LAST_PID
    # Under the sanitizers the main window's page engine takes most of both cores first.
    E2E_TIMEOUT=60 wait_for "the update to be marked" grep -q 'needup="1"' "$PROG/Release/conf/userdata.xml"

    local staging="$PROG/$STAGING_REL" staged
    staged=$(cd "$staging" && find . -type f ! -name update.xml ! -path ./Release/version.xml \
        ! -path ./Release/version.xml.sig | sed 's|^\./||' | sort)
    [ "$staged" = "$expected" ] || fail "staged: $staged; expected: $expected"
    local f
    for f in $expected; do
        cmp -s "$staging/$f" "$next/$f" || fail "$f staged with other content"
    done
    [ "$(grep -c '<File ' "$staging/update.xml")" = 3 ] || fail "update.xml: $(cat "$staging/update.xml")"
    grep -q 'p="Release\\data\\whats_new.txt" v="4.0.1"' "$staging/update.xml" ||
        fail "update.xml misses the new file: $(cat "$staging/update.xml")"
    cmp -s "$staging/Release/version.xml" "$BIN/Release/version.xml" || fail "staged list differs"
    cmp -s "$staging/Release/version.xml.sig" "$BIN/Release/version.xml.sig" ||
        fail "staged signature differs"
    # Only the list, its signature and the three files were fetched.
    local fetched
    fetched=$(grep -c '^desktop GET /quelmo/Bin/' "$SERVER_LOG" || true)
    [ "$fetched" = 5 ] || fail "$fetched update requests: $(grep Bin/ "$SERVER_LOG")"

    # The program runs on; a normal quit keeps the mark for the next start.
    alive "$pid" || fail "the program ended"
    kill -TERM "$pid"
    expect_exit "$pid" 0
    grep -q 'needup="1"' "$PROG/Release/conf/userdata.xml" || fail "needup lost at shutdown"
    [ "$(tree_sums)" = "$before" ] || fail "files outside the staging folder changed"
}

# The update module and the updater of a build trusting another key (VARIANT_nokey,
# VARIANT_distributor) in place of the staged ones.
use_variant() {
    cp "$1/libtavro_update.so" "$PROG/Release/libtavro_update.so"
    cp "$1/Update" "$PROG/Release/Update"
}

# The staged tree as release VERSION (a changed tip database and a new file), made into
# $BIN by the release tool with the given key options.
make_next_release() {
    local version=$1 next="$WORK/next"
    shift
    rm -rf "$next" "$BIN"
    mkdir -p "$next"
    cp -r "$PROG"/. "$next"/
    rm -rf "$next/Release/conf"
    printf 'release %s' "$version" >>"$next/Release/data/tavro_tip.db"
    printf 'new in %s\n' "$version" >"$next/Release/data/whats_new.txt"
    "$RELEASE" make --tree "$next" --version "$version" --previous "$PROG" --out "$BIN" "$@" \
        >/dev/null || fail "the release tool failed"
}

# Starts the program, waits until its update check has said `said` in the trace, and asks
# it to quit; the check has then done all it will.
start_until_traced() {
    start_tavro
    local pid=$LAST_PID
    E2E_TIMEOUT=60 wait_for "the update check to say: $1" traced "$1"
    alive "$pid" || fail "the program ended"
    kill -TERM "$pid"
    expect_exit "$pid" 0
}

case_build_without_a_key_checks_nothing() {
    make_program_folder "$SET_UP"
    use_variant "$VARIANT_nokey"
    make_next_release 4.0.1 --development-key
    local before
    before=$(tree_sums)
    start_desktop
    trap e2e_cleanup EXIT
    start_until_traced "updates off: this build trusts no release key"
    [ "$(count_traced 'updates off')" = 1 ] || fail "said more than once"
    ! grep -q 'GET /quelmo/Bin/' "$SERVER_LOG" || fail "asked the server: $(grep Bin/ "$SERVER_LOG")"
    [ ! -e "$PROG/$STAGING_REL" ] || fail "something was staged"
    grep -q 'needup="0"' "$PROG/Release/conf/userdata.xml" || fail "marked an update"
    [ "$(tree_sums)" = "$before" ] || fail "the program folder changed"
}

case_signed_older_release_is_not_staged() {
    make_program_folder "$SET_UP"
    # Validly signed with the key this build trusts, but older than the installed 4.0.0.
    make_next_release 3.9.0 --development-key
    local before
    before=$(tree_sums)
    start_desktop
    trap e2e_cleanup EXIT
    start_until_traced "3.9.0 is not newer than the installed"
    grep -q "worker: no update: the server's version 3.9.0 is not newer than the installed" \
        "$PROG/Release/update.log" || fail "update.log: $(cat "$PROG/Release/update.log")"
    # The list and its signature were read; no file was.
    [ "$(grep -c '^desktop GET /quelmo/Bin/' "$SERVER_LOG")" = 2 ] ||
        fail "requests: $(grep Bin/ "$SERVER_LOG")"
    [ ! -e "$PROG/$STAGING_REL/Release/version.xml" ] || fail "the older list was staged"
    grep -q 'needup="0"' "$PROG/Release/conf/userdata.xml" || fail "marked an update"
    [ "$(tree_sums)" = "$before" ] || fail "the program folder changed"
}

case_distributor_release_installs_where_its_key_is_trusted() {
    make_program_folder "$SET_UP"
    use_variant "$VARIANT_distributor"
    # Signed with the development key, the release is refused by this build...
    make_next_release 4.0.1 --development-key
    start_desktop
    trap e2e_cleanup EXIT
    start_until_traced "signature is not good"
    [ ! -e "$PROG/$STAGING_REL/Release/version.xml" ] || fail "a foreign release was staged"

    # ...signed with the distributor's key, it is staged, and the next start installs it.
    make_next_release 4.0.1 --key "$DISTRIBUTOR_KEYS-secret.hex"
    start_tavro
    local pid=$LAST_PID
    E2E_TIMEOUT=60 wait_for "the update to be marked" grep -q 'needup="1"' \
        "$PROG/Release/conf/userdata.xml"
    kill -TERM "$pid"
    expect_exit "$pid" 0
    start_tavro
    expect_exit "$LAST_PID" 0
    E2E_TIMEOUT=60 wait_for "the update to be installed" \
        cmp -s "$PROG/Release/version.xml" "$BIN/Release/version.xml"
    E2E_TIMEOUT=60 wait_for "the program started again" program_running
    cmp -s "$PROG/Release/data/whats_new.txt" "$BIN/Release/data/whats_new.txt" ||
        fail "the new file is not installed"
    cmp -s "$PROG/Release/data/tavro_tip.db" "$BIN/Release/data/tavro_tip.db" ||
        fail "the changed file is not installed"
}

# Whether the program runs again from the program folder.
program_running() {
    local p
    for p in $(program_pids); do
        [ "$(readlink "/proc/$p/exe" 2>/dev/null)" = "$PROG/Release/Tavro" ] && return 0
    done
    return 1
}

E2E_CASE=$1
"case_$1"
echo "PASS: $1"
