#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, installs Tavro into a program folder
# the user owns and runs it against the local development server.
#   scripts/run.sh [--offer-update] [program arguments]
# TAVRO_HOME picks the program folder (default ~/.local/share/Tavro); the profile there is
# kept between runs. Without a display the program runs under Xvfb with a notification
# area and a compositor; a screenshot is saved after TAVRO_DEMO_SECONDS (default 8) and
# the program is then asked to quit.
# --offer-update: the development server offers the installed program an update (the same
# program as version <installed>.1, signed with the development key, with a new tip for
# every day and a note file). The first run stages it; when it ends the program is started
# once more, hands over to the updater, which installs it and starts the program again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
offer_update=0
if [ "${1:-}" = "--offer-update" ]; then
    offer_update=1
    shift
fi

bash scripts/install-deps.sh
# Only the demo of an update trusts the development key; a plain run checks for no update.
development_key=OFF
[ "$offer_update" = 0 ] || development_key=ON
cmake -S . -B build -G Ninja -DTAVRO_UPDATE_DEVELOPMENT_KEY=$development_key >/dev/null
# Only what the installed program folder holds, and the development server.
cmake --build build -j "$(nproc)" --target stage_version_list devserver release

home=${TAVRO_HOME:-$HOME/.local/share/Tavro}
profile="$home/Release/conf/userdata.xml"
# The installer's own way: the profile stays, an update staged for an earlier build goes.
bash scripts/install.sh --from build/stage --folder-only

work=$(mktemp -d)
update_dir="$home"
if [ "$offer_update" = 1 ]; then
    installed=$(sed -n 's/.*<version v="\([^"]*\)".*/\1/p' "$home/Release/version.xml" | head -1)
    offered="$installed.1"
    cp -r "$root/build/stage" "$work/tree"
    sqlite3 "$work/tree/Release/data/tavro_tip.db" \
        "update tavro_tip set baby = '【新版本】' || baby;"
    echo "$offered" >"$work/tree/Release/data/update-note.txt"
    "$root/build/tools/release/release" make --tree "$work/tree" --version "$offered" \
        --out "$work/bin" --previous "$home" --development-key >/dev/null
    update_dir="$work/bin"
    echo "run: the server offers version $offered (installed: $installed)"
fi
ready="$work/devserver.env"
"$root/build/tools/devserver/devserver" --ready-file "$ready" --log "$work/devserver.log" \
    --update-dir "$update_dir" >/dev/null 2>&1 &
server=$!
cleanup() {
    kill "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do [ -f "$ready" ] && break; sleep 0.1; done
set -a
# shellcheck disable=SC1090
source "$ready"
set +a
echo "run: development server at $TAVRO_DESKTOP_SERVER (log: $work/devserver.log)"

# Qt WebEngine refuses to start as root unless its sandbox is off; the demo may run as root.
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1

# The program the updater starts replaces the updater's process; it is found by its path.
program_running() {
    local p
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/exe" 2>/dev/null)" = "$home/Release/Tavro" ] && return 0
    done
    return 1
}

if [ -n "${DISPLAY:-}" ]; then
    cd "$home/Release"
    if [ "$offer_update" = 0 ]; then
        exec ./Tavro "$@"
    fi
    echo "run: quit Tavro once the update is staged (needup=\"1\" in the profile)"
    ./Tavro "$@" || true
    if grep -q 'needup="1"' "$profile"; then
        echo "run: starting Tavro again: it hands over to the updater"
        ./Tavro
        while program_running; do sleep 1; done
        tail -5 "$home/Release/update.log"
    fi
    exit 0
fi

source "$root/scripts/xsession.sh"
start_x_session 1280x800
trap 'cleanup; stop_x_session' EXIT
cd "$home/Release"
./Tavro "$@" &
app=$!
sleep "${TAVRO_DEMO_SECONDS:-8}"
shot="$root/artifacts/run-$(date +%Y%m%d-%H%M%S)"
mkdir -p "$root/artifacts"
take_screenshot "$shot.png"
echo "run: screenshot saved to $shot.png"
# Rest the pointer where the widget stands (50 pixels in from the top-right corner), so the
# second picture shows the day's popup once setup is done.
read -r width _ < <(xdotool getdisplaygeometry)
xdotool mousemove $((width - 50 - 52)) $((50 + 52))
sleep 2
take_screenshot "$shot-hover.png"
echo "run: screenshot with the pointer on the widget saved to $shot-hover.png"
kill -TERM "$app" 2>/dev/null || true
wait "$app" || true

if [ "$offer_update" = 1 ]; then
    if ! grep -q 'needup="1"' "$profile"; then
        echo "run: the update was not staged in this run (see $work/devserver.log)"
        exit 1
    fi
    echo "run: the update is staged; starting Tavro again, which hands over to the updater"
    ./Tavro &
    wait $! || true
    for _ in $(seq 300); do program_running && break; sleep 0.1; done
    sleep "${TAVRO_DEMO_SECONDS:-8}"
    take_screenshot "$shot-updated.png"
    echo "run: screenshot after the update saved to $shot-updated.png"
    echo "run: the updater's log:"
    tail -5 "$home/Release/update.log" | sed 's/^/    /'
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/exe" 2>/dev/null)" = "$home/Release/Tavro" ] && kill -TERM "${p#/proc/}"
    done
    while program_running; do sleep 0.2; done
fi
