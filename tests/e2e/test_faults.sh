#!/bin/bash
# Faults from outside, with the tune playing into a private null sink: the
# start-up error box closed by its close box, the window closed on a tick and
# while minimised, an interrupt mid-run, and the picture file replaced while
# the program starts. The program either carries on as it should or ends with
# status 0 within a second, leaving no process of its own behind.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start "${1:-}"

readonly CLIENT=320 PERIOD_MS=2300
readonly PICTURE="$E2E_WORK/run/[]/sketch5421365.jpg"
readonly SKETCH="$SOURCE_DIR/resources/builtin-sketch.jpg" DARK="$SOURCE_DIR/tests/data/dark-320.jpg"
# A sanitizer build searches its whole heap for leaks as it exits, which can
# take seconds on a busy machine.
exit_bound_ms=1000
[[ $(ldd "$PROGRAM" 2>/dev/null) == *libasan* ]] && exit_bound_ms=5000

# Sound, so that the sequencer's playing threads are there to be stopped.
if command -v pulseaudio >/dev/null && command -v pactl >/dev/null; then
    start_null_sink faults
fi

# Processes the program started, to be checked for once it has ended.
CHILDREN=""
note_children()
{
    CHILDREN=$(cat /proc/"$PROGRAM_PID"/task/*/children 2>/dev/null)
}

# ended_cleanly WHAT MILLISECONDS: the program ended within a second of the
# close or signal (sanitizers aside), with status 0, and took nothing with it.
ended_cleanly()
{
    local what=$1 milliseconds=$2 child
    [ "$milliseconds" != timeout ] || fail "$what: still running 5 s later"
    reap_program
    [ "$EXIT_STATUS" != running ] || fail "$what: the program is still running"
    [ "$EXIT_STATUS" = 0 ] || fail "$what: exit status $EXIT_STATUS"
    [ "$milliseconds" -le "$exit_bound_ms" ] || fail "$what: took $milliseconds ms to end"
    for child in $CHILDREN; do
        kill -0 "$child" 2>/dev/null && fail "$what: process $child of the program is left running"
    done
    [ -z "$(program_output)" ] || fail "$what: the program printed: $(program_output | head -3)"
    pass "$what: status 0 after $milliseconds ms"
}

# signal_and_time SIGNAL: prints the milliseconds until the program ended.
signal_and_time()
{
    local sent
    sent=$(now_ms)
    kill "-$1" "$PROGRAM_PID"
    if wait_until 5 program_ended; then echo $(($(now_ms) - sent)); else echo timeout; fi
}

start_and_click()
{
    start_program
    wait_for_main_window $CLIENT $CLIENT
    xdotool mousemove --window "$MAIN" 160 160 click --delay 0 1
    CLICKED=$(now_ms)
}

# sleep_until_after_click MILLISECONDS
sleep_until_after_click()
{
    local left=$((CLICKED + $1 - $(now_ms)))
    ((left > 0)) && sleep "$(awk -v ms="$left" 'BEGIN { printf "%.3f", ms / 1000 }')"
}

# The start-up error box (no picture file) shut with its close box counts as
# OK: start-up goes on, the window comes up, and no second box follows.
rm -f "$PICTURE"
start_program
wait_until 20 program_has_window || fail "no error box appeared without the picture file"
box=$(program_windows | head -1)
[ "$(close_window "$box")" = timeout ] || fail "closing the start-up error box ended the program"
wait_for_main_window $CLIENT $CLIENT
[ ${#BOXES_SEEN[@]} = 0 ] || fail "the error box was still up after its close box, or another followed"
pass "the start-up error box shut by its close box: the window comes up"
note_children
ended_cleanly "closed after the error box" "$(close_window "$MAIN")"

# Closed on a tick, when the sequence handler may be running, a few ticks in.
cp "$SKETCH" "$PICTURE"
tick=$((RANDOM % 4 + 1))
start_and_click
sleep_until_after_click $((tick * PERIOD_MS))
note_children
ended_cleanly "closed on tick $tick" "$(close_window "$MAIN")"

# Interrupted anywhere in the first ten ticks, the tune playing.
after=$((RANDOM % (10 * PERIOD_MS)))
start_and_click
sleep_until_after_click "$after"
note_children
ended_cleanly "SIGINT $after ms after the click" "$(signal_and_time INT)"

# Minimised mid-run: the ticks go on, and a close still ends it. Minimising
# needs a window manager.
start_window_manager || fail "openbox did not start"
start_and_click
sleep_until_after_click "$PERIOD_MS"
xdotool windowminimize "$MAIN"
wait_until 5 sh -c "xprop -id $MAIN WM_STATE | grep -q Iconic" || fail "the window was not minimised"
title=$(window_property "$MAIN" _NET_WM_NAME)
sleep_until_after_click $((4 * PERIOD_MS + PERIOD_MS / 2))
[ "$(window_property "$MAIN" _NET_WM_NAME)" != "$title" ] || {
    # An empty random title may repeat; one more tick settles it.
    sleep_until_after_click $((6 * PERIOD_MS + PERIOD_MS / 2))
    [ "$(window_property "$MAIN" _NET_WM_NAME)" != "$title" ] || fail "the title stood still while minimised"
}
pass "minimised, the ticks go on"
note_children
ended_cleanly "closed while minimised" "$(close_window "$MAIN")"
kill "${HELPER_PIDS[-1]}" 2>/dev/null

# The picture file swapped, rewritten in place, cut short and removed, over
# and over while the program starts: it starts on whichever picture it read,
# or shows one error box and carries on with the built-in picture.
# shellcheck disable=SC2016 # the inner shell expands them
start_helper bash -c '
    picture=$1 sketch=$2 dark=$3
    while :; do
        cp "$dark" "$picture.new" && mv -f "$picture.new" "$picture"
        cp "$sketch" "$picture"
        head -c 700 "$sketch" >"$picture"
        rm -f "$picture"
        cp "$dark" "$picture"
    done' replacer "$PICTURE" "$SKETCH" "$DARK"
for run in 1 2 3 4; do
    BOXES_SEEN=()
    start_program
    wait_for_main_window $CLIENT $CLIENT
    [ ${#BOXES_SEEN[@]} -le 1 ] || fail "start $run with the picture changing: ${#BOXES_SEEN[@]} error boxes"
    note_children
    ended_cleanly "start $run with the picture changing (${#BOXES_SEEN[@]} error boxes)" "$(close_window "$MAIN")"
done
