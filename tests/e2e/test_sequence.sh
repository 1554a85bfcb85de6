#!/bin/bash
# A click on the picture, watched in real time: the first title change comes
# about 2.3 s later, white dots appear, and 62 ticks later the window is white
# inside its shimmering border, its title empty, and nothing changes any more.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start "${1:-}"

readonly CLIENT=320 PERIOD_MS=2300 TICKS=62

start_program
wait_for_main_window $CLIENT $CLIENT

# Every change of the title, stamped in milliseconds by this shell as it
# arrives (EPOCHREALTIME needs no new process).
now_ms() { local t=${EPOCHREALTIME/./}; echo $((t / 1000)); }
: >"$E2E_WORK/titles"
watch_titles()
{
    local line
    read -r line # the current value first: not a change
    while read -r line; do
        echo "$(now_ms) $line" >>"$E2E_WORK/titles"
    done
}
mkfifo "$E2E_WORK/spy"
xprop -spy -id "$MAIN" _NET_WM_NAME >"$E2E_WORK/spy" &
HELPER_PIDS+=($!)
watch_titles <"$E2E_WORK/spy" &
HELPER_PIDS+=($!)

screenshot "$MAIN" "$E2E_WORK/before.rgb"
xdotool mousemove --window "$MAIN" 160 160 click --delay 0 1
clicked=$(now_ms)

# A tick whose random title comes out empty changes nothing on the wire, so
# the first change may belong to a later tick: it must still sit on the grid.
wait_until 10 test -s "$E2E_WORK/titles" || fail "the title never changed after the click"
first=$(($(head -1 "$E2E_WORK/titles" | cut -d' ' -f1) - clicked))
tick=$(((first + PERIOD_MS / 2) / PERIOD_MS))
offset=$((first - tick * PERIOD_MS))
if [ "$tick" -lt 1 ] || [ "$tick" -gt 3 ] || [ "${offset#-}" -gt 150 ]; then
    fail "the first title change came $first ms after the click, not near a multiple of $PERIOD_MS ms"
fi
pass "first title change $first ms after the click (tick $tick, ${offset} ms off)"

sleep 5 # three ticks: three dots, none of them likely on the border
screenshot "$MAIN" "$E2E_WORK/dots.rgb"
problem=$(python3 "$E2E_DIR/pixels.py" dots "$E2E_WORK/before.rgb" "$E2E_WORK/dots.rgb" $CLIENT $CLIENT) ||
    fail "$problem"
pass "white dots on the picture"

end_ms=$((clicked + TICKS * PERIOD_MS))
# Real time is what this test is about: wait out the run.
sleep $(((end_ms + 1000 - $(now_ms)) / 1000 + 1))
program_ended && fail "the program ended during the sequence"
screenshot "$MAIN" "$E2E_WORK/end.rgb"
problem=$(python3 "$E2E_DIR/pixels.py" white "$E2E_WORK/end.rgb" $CLIENT $CLIENT) || fail "after tick 62: $problem"
value=$(window_property "$MAIN" _NET_WM_NAME)
[ "$value" = "UTF8_STRING " ] || fail "the title after tick 62 is not empty: $value"
pass "white inside a shimmering border after tick 62, title empty"

sleep 3
late=$(awk -v end="$end_ms" '$1 > end - 1000' "$E2E_WORK/titles" | wc -l)
[ "$late" = 0 ] || fail "$late title changes after tick 62"
changes=$(wc -l <"$E2E_WORK/titles")
pass "$changes title changes in all, none after tick 62"

milliseconds=$(close_window "$MAIN")
reap_program
[ "$EXIT_STATUS" = 0 ] || fail "the program ended with status $EXIT_STATUS ($milliseconds ms)"
pass "closed in $milliseconds ms"
