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
    wait_for "the update to be marked" grep -q 'needup="1"' "$PROG/Release/conf/userdata.xml"

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

E2E_CASE=$1
"case_$1"
echo "PASS: $1"
