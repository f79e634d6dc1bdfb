#!/usr/bin/env bash
# Counts what a test run left behind: processes that still carry the run's mark in their
# environment and folders still in the run's temporary folder. Only that run's own things
# are looked at; other programs and other runs on the machine are none of its business.
#   scripts/leftovers.sh MARK_FOLDER     (exit 1 when anything is left)
set -uo pipefail
mark=${1:?usage: leftovers.sh MARK_FOLDER}

marked_pids() {
    local file pid
    for file in $(grep -lszxF "TAVRO_SUITE_MARK=$mark" /proc/[0-9]*/environ); do
        pid=${file#/proc/}
        pid=${pid%/environ}
        [ "$pid" = "$BASHPID" ] || echo "$pid"
    done
    return 0
}

# A process killed at a test's end may take a moment to be gone.
deadline=$((SECONDS + 10))
while pids=$(marked_pids) && [ -n "$pids" ] && [ $SECONDS -lt $deadline ]; do
    sleep 0.2
done
processes=0
for pid in $pids; do
    processes=$((processes + 1))
    echo "left running: $pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)" >&2
done
folders=0
for entry in "$mark"/* "$mark"/.[!.]*; do
    [ -e "$entry" ] || continue
    folders=$((folders + 1))
    echo "left behind: $entry" >&2
done
echo "leftovers: $processes processes, $folders temporary folders or files"
[ "$processes" -eq 0 ] && [ "$folders" -eq 0 ]
