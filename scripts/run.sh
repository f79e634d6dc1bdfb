#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, installs Tavro into a program folder
# the user owns and runs it against the local development server.
#   scripts/run.sh [program arguments]
# TAVRO_HOME picks the program folder (default ~/.local/share/Tavro); the profile there is
# kept between runs. Without a display the program runs under Xvfb with a notification
# area and a compositor; a screenshot is saved after TAVRO_DEMO_SECONDS (default 8) and
# the program is then asked to quit.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
# Only what the installed program folder holds, and the development server.
cmake --build build -j "$(nproc)" --target stage_version_list devserver

home=${TAVRO_HOME:-$HOME/.local/share/Tavro}
profile="$home/Release/conf/userdata.xml"
saved=""
if [ -f "$profile" ]; then
    saved=$(mktemp)
    cp "$profile" "$saved"
fi
cmake --install build --prefix "$home" >/dev/null
if [ -n "$saved" ]; then
    cp "$saved" "$profile"
    rm -f "$saved"
fi
echo "run: Tavro installed in $home"

work=$(mktemp -d)
ready="$work/devserver.env"
"$root/build/tools/devserver/devserver" --ready-file "$ready" --log "$work/devserver.log" \
    --update-dir "$home" >/dev/null 2>&1 &
server=$!
cleanup() { kill "$server" 2>/dev/null || true; }
trap cleanup EXIT
for _ in $(seq 100); do [ -f "$ready" ] && break; sleep 0.1; done
set -a
# shellcheck disable=SC1090
source "$ready"
set +a
echo "run: development server at $TAVRO_DESKTOP_SERVER (log: $work/devserver.log)"

# Qt WebEngine refuses to start as root unless its sandbox is off; the demo may run as root.
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
if [ -n "${DISPLAY:-}" ]; then
    cd "$home/Release"
    exec ./Tavro "$@"
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
