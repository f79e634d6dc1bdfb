#!/usr/bin/env bash
# CPU the program uses while it sits idle with only the widget shown (goal: under 0.1 % of
# one core), from /proc/PID/stat (utime + stime) over a minute under Xvfb.
#   bench/float/idle_cpu.sh BUILD_DIR [SECONDS]
set -euo pipefail
BUILD=$(cd "${1:?usage: idle_cpu.sh BUILD_DIR [SECONDS]}" && pwd)
PERIOD=${2:-60}
export STAGE_DIR=$BUILD/stage DEVSERVER=$BUILD/tools/devserver/devserver
export ARTIFACTS=$BUILD/artifacts/bench SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)
source "$SOURCE_DIR/tests/e2e/lib.sh"

due=$(date -d "+180 days" +%Y-%m-%d)
y=${due%%-*} rest=${due#*-}
m=${rest%%-*} d=${rest#*-}
make_program_folder "<userdata first=\"250\" needup=\"0\"><date year=\"$y\" month=\"$((10#$m))\" day=\"$((10#$d))\" /></userdata>"
start_desktop
start_tavro -restart
PID=$LAST_PID
wait_for "the widget" traced_by "$PID" "normal mode"
xdotool mousemove 10 400 # away from the widget, as most of the day
sleep 5                  # start-up settles: first paint, fonts, the update check

ticks() { awk '{ print $14 + $15 }' "/proc/$PID/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
start=$(date +%s%N)
sleep "$PERIOD"
after=$(ticks)
end=$(date +%s%N)
alive "$PID" || fail "the program ended during the measurement"
awk -v t=$((after - before)) -v hz="$hz" -v ns=$((end - start)) 'BEGIN {
    cpu = t / hz; wall = ns / 1e9
    printf "idle CPU: %.2f s of CPU in %.1f s = %.3f %% of one core\n", cpu, wall, 100 * cpu / wall
}'
