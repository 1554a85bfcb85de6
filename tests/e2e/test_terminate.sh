#!/bin/bash
# SIGTERM and SIGINT close the program as its close box would: it ends with
# status 0, also while the start-up error box is up.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start "${1:-}"

# terminate SIGNAL WHAT: sends the signal and expects a clean end. The bound is
# loose: a busy machine slows the shutdown, and speed is not what is tested.
terminate()
{
    local signal=$1 what=$2 sent
    sent=$(now_ms)
    kill "-$signal" "$PROGRAM_PID"
    wait_until 5 program_ended || fail "still running 5 s after $signal $what"
    reap_program
    [ "$EXIT_STATUS" = 0 ] || fail "$signal $what: exit status $EXIT_STATUS"
    pass "$signal $what: status 0 after $(($(now_ms) - sent)) ms"
}

start_program
wait_for_main_window 320 320
terminate TERM "with the window up"

# Without the picture file the error box holds start-up in its modal loop.
rm -f "$E2E_WORK/run/[]/sketch5421365.jpg"
start_program
wait_until 20 program_has_window || fail "no error box appeared without the picture file"
terminate INT "with the start-up error box up"
