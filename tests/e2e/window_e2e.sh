#!/usr/bin/env bash
# A window of the framework with a skin form under Xvfb, driven by a real pointer: resting
# on it gives one hover, a click on a skin button gives press and click naming that
# button, a right click reaches the window, and leaving gives one leave.
source "$(dirname "$0")/lib.sh"

OUT="$WORK/probe.out"
start_x_session 1024x768
trap e2e_cleanup EXIT # the X session set its own
"$PROBE" "$STAGE_DIR/Skin" >"$OUT" 2>"$WORK/probe.err" &
_e2e_pids+=($!)
wait_for "the probe window" grep -q '^ready' "$OUT"
read -r _ wx wy ww wh _ bx by < <(grep '^ready' "$OUT")
said() { grep -qx -- "$1" "$OUT"; }

xdotool mousemove $((wx + 20)) $((wy + 60))
wait_for "move" said move
wait_for "hover" said hover
screenshot window-probe-hover

xdotool mousemove "$bx" "$by" click 1
wait_for "press on the button" said "press btnGo"
wait_for "click on the button" said "click btnGo"
xdotool click 3
wait_for "the right button" said rbuttonup

xdotool mousemove $((wx + ww + 100)) $((wy + wh + 100))
wait_for "leave" said leave
[ "$(grep -c '^hover$' "$OUT")" -ge 1 ] || fail "no hover"
[ "$(grep -c '^click btnGo$' "$OUT")" -eq 1 ] || fail "one click expected: $(cat "$OUT")"
echo "PASS: window probe"
