#!/usr/bin/env bash
# Time from starting the program to its widget being mapped, against a bare Qt window of
# the widget's size, under Xvfb with a notification area, a compositor and a session bus
# with the accessibility bus, as at a login. The two are started in turns; the medians and
# their ratio are printed (goal: a ratio under 1.3), and beside them the CPU time each used
# until then, which a busy machine does not inflate.
#   bench/startup/startup.sh BUILD_DIR [RUNS] [PROGRAM_FOLDER]
# PROGRAM_FOLDER measures another built tree (e.g. a copy of an older build/stage).
set -euo pipefail
BUILD=$(cd "${1:?usage: startup.sh BUILD_DIR [RUNS] [PROGRAM_FOLDER]}" && pwd)
RUNS=${2:-21}
export STAGE_DIR=${3:-$BUILD/stage} DEVSERVER=$BUILD/tools/devserver/devserver
export ARTIFACTS=$BUILD/artifacts/bench SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)
source "$SOURCE_DIR/tests/e2e/lib.sh"
PROBE=$BUILD/bench/startup/map_probe
BARE=$BUILD/bench/startup/bare_window

# The widget's size comes from its form in the skin.
read -r W H < <(sed -n 's/.*<form name="Main17" width="\([0-9]*\)" height="\([0-9]*\)".*/\1 \2/p' \
    "$STAGE_DIR/Skin/RizIrozara.dui")

due=$(date -d "+180 days" +%Y-%m-%d)
y=${due%%-*} rest=${due#*-}
m=${rest%%-*} d=${rest#*-}
make_program_folder "<userdata first=\"250\" needup=\"0\"><date year=\"$y\" month=\"$((10#$m))\" day=\"$((10#$d))\" /></userdata>"
start_desktop
# The X session's own exit trap replaced the helpers' one, which also ends the server and
# removes the work folder.
trap e2e_cleanup EXIT
unset TAVRO_TRACE
# A desktop session has a session bus, on which the accessibility bus is found.
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
_e2e_pids+=("${bus##*$'\n'}")
# The accessibility bus runs in a desktop session; the bus starts it on this first request,
# and it ends with the bus.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null 2>&1 || echo "startup: no accessibility bus" >&2

# Both run once unmeasured, so the files they read are in the page cache.
"$PROBE" "$W" "$H" 20000 "$BARE" "$W" "$H" >/dev/null
(cd "$PROG/Release" && "$PROBE" "$W" "$H" 20000 ./Tavro -restart >/dev/null)

bare=() tavro=() bare_cpu=() tavro_cpu=()
for _ in $(seq "$RUNS"); do
    read -r wall cpu < <("$PROBE" "$W" "$H" 20000 "$BARE" "$W" "$H")
    bare+=("$wall") bare_cpu+=("$cpu")
    # "-restart" is the start at login: the widget without the main window.
    read -r wall cpu < <(cd "$PROG/Release" && "$PROBE" "$W" "$H" 20000 ./Tavro -restart)
    tavro+=("$wall") tavro_cpu+=("$cpu")
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
fastest() { printf '%s\n' "$@" | sort -g | head -n 1; }
mb=$(median "${bare[@]}") mt=$(median "${tavro[@]}")
cb=$(median "${bare_cpu[@]}") ct=$(median "${tavro_cpu[@]}")
fb=$(fastest "${bare[@]}") ft=$(fastest "${tavro[@]}")
echo "bare Qt window ${W}x${H}: median $mb ms, fastest $fb ms, CPU $cb ms (${bare[*]})"
echo "Tavro widget:            median $mt ms, fastest $ft ms, CPU $ct ms (${tavro[*]})"
# On a machine busy with other work the medians drift apart (the program has more threads
# and libraries to wait for); the fastest runs are the nearest to a quiet machine.
awk -v t="$mt" -v b="$mb" -v ct="$ct" -v cb="$cb" -v ft="$ft" -v fb="$fb" 'BEGIN {
    printf "ratio: %.2f (goal: under 1.30); fastest runs: %.2f; CPU ratio: %.2f\n", t / b, ft / fb, ct / cb
}'
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
