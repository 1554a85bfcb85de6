# shellcheck shell=bash
# Helpers for the end-to-end tests: a private X server, the program running in
# a temporary copy of demo/, and ways to look at and act on its windows as a
# person would. Source it, then call e2e_start "$1".
#
# Everything started here is stopped on exit, whatever the outcome.

set -uo pipefail

E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SOURCE_DIR=$(cd "$E2E_DIR/../.." && pwd)
TEST_NAME=$(basename "$0" .sh)

E2E_WORK=""
XVFB_PID=""
PROGRAM_PID=""
PROGRAM=""
# Other processes a script starts with start_helper, stopped on exit too.
HELPER_PIDS=()
XVFB_SCREEN=${XVFB_SCREEN:-800x600x24}

fail()
{
    echo "FAIL $TEST_NAME: $*" >&2
    exit 1
}

pass()
{
    echo "ok   $TEST_NAME: $*"
}

e2e_cleanup()
{
    local pid
    for pid in "${HELPER_PIDS[@]}"; do
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    if [ -n "$PROGRAM_PID" ] && kill -0 "$PROGRAM_PID" 2>/dev/null; then
        kill -KILL "$PROGRAM_PID" 2>/dev/null
        wait "$PROGRAM_PID" 2>/dev/null
    fi
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    fi
    [ -n "$E2E_WORK" ] && rm -rf "$E2E_WORK"
}
trap e2e_cleanup EXIT
trap 'exit 130' INT TERM

# Milliseconds on the wall clock, without starting a process.
now_ms()
{
    local micros=${EPOCHREALTIME/[.,]/}
    echo $((micros / 1000))
}

# wait_until SECONDS COMMAND...: polls COMMAND every 20 ms until it succeeds.
wait_until()
{
    local deadline=$(($(now_ms) + $1 * 1000))
    shift
    until "$@"; do
        [ "$(now_ms)" -ge "$deadline" ] && return 1
        sleep 0.02
    done
}

require_tools()
{
    local tool
    for tool in Xvfb xdpyinfo xdotool xprop import convert python3; do
        command -v "$tool" >/dev/null || fail "$tool is not installed (see scripts/setup-debian.sh)"
    done
}

# Starts Xvfb on a display it picks itself, and waits until it answers.
start_xvfb()
{
    local display_file="$E2E_WORK/display"
    Xvfb -displayfd 3 -screen 0 "$XVFB_SCREEN" -nolisten tcp 3>"$display_file" 2>"$E2E_WORK/xvfb.log" &
    XVFB_PID=$!
    wait_until 10 test -s "$display_file" || fail "Xvfb did not start: $(tail -3 "$E2E_WORK/xvfb.log")"
    DISPLAY=":$(head -1 "$display_file")"
    export DISPLAY
    wait_until 10 xdpyinfo >/dev/null 2>&1 || fail "Xvfb on $DISPLAY does not answer"
}

# e2e_start BINARY: a fresh X server, and a copy of demo/ to run the program in.
e2e_start()
{
    PROGRAM=${1:-}
    [ -n "$PROGRAM" ] || fail "usage: $0 PATH_TO_WHITEOUT"
    [ -x "$PROGRAM" ] || fail "$PROGRAM is not an executable"
    PROGRAM=$(cd "$(dirname "$PROGRAM")" && pwd)/$(basename "$PROGRAM")
    require_tools
    E2E_WORK=$(mktemp -d)
    mkdir "$E2E_WORK/run"
    cp -R "$SOURCE_DIR/demo/." "$E2E_WORK/run/"
    start_xvfb
    # The program must come up on X11 here, whatever the caller's environment says.
    export QT_QPA_PLATFORM=xcb
    unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_ENABLE_HIGHDPI_SCALING SESSION_MANAGER
}

# Starts the program in the copy of demo/; its output goes to files.
# Returns once the program shows its first window (or has ended).
#
# An X server may refuse a connection made just as another client
# disconnects, so nothing here opens and closes connections while the
# program is connecting: one xdotool waits on a single connection, and the
# polling around it touches only /proc.
start_program()
{
    (cd "$E2E_WORK/run" && exec "$PROGRAM" >"$E2E_WORK/stdout" 2>"$E2E_WORK/stderr" </dev/null) &
    PROGRAM_PID=$!
    xdotool search --sync --onlyvisible --pid "$PROGRAM_PID" >/dev/null 2>&1 &
    local watcher=$!
    first_window_or_exit() { ! kill -0 "$watcher" 2>/dev/null || program_ended; }
    wait_until 20 first_window_or_exit
    kill "$watcher" 2>/dev/null
    wait "$watcher" 2>/dev/null
}

# Starts openbox and returns once it manages the screen; fails when it does
# not. Like start_program, it waits on one connection instead of polling.
start_window_manager()
{
    start_helper openbox --sm-disable
    local manager=${HELPER_PIDS[-1]}
    # Every property of the root: the manager's own does not exist yet.
    xprop -spy -root >"$E2E_WORK/manager" 2>/dev/null &
    local spy=$!
    manager_up() { grep -q '^_NET_SUPPORTING_WM_CHECK(WINDOW): window id' "$E2E_WORK/manager"; }
    manager_up_or_gone() { manager_up || ! kill -0 "$manager" 2>/dev/null; }
    wait_until 20 manager_up_or_gone
    kill "$spy" 2>/dev/null
    wait "$spy" 2>/dev/null
    manager_up
}

# start_null_sink NAME: a private PulseAudio server as root whose only sink,
# NAME, plays to nowhere; clients reach it through PULSE_SERVER. Fails, with
# PULSE_SERVER unset, when the server does not answer.
start_null_sink()
{
    local pulse_dir="$E2E_WORK/pulse"
    mkdir -p "$pulse_dir"
    start_helper env HOME="$pulse_dir" XDG_RUNTIME_DIR="$pulse_dir" \
        pulseaudio --daemonize=no -n --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
        --load="module-null-sink sink_name=$1" \
        --load="module-native-protocol-unix socket=$pulse_dir/native auth-anonymous=1"
    export PULSE_SERVER="unix:$pulse_dir/native"
    wait_until 10 pactl info >/dev/null 2>&1 && return 0
    unset PULSE_SERVER
    return 1
}

# start_helper COMMAND...: another program on the same display.
start_helper()
{
    "$@" >/dev/null 2>&1 </dev/null &
    HELPER_PIDS+=($!)
}

program_output()
{
    cat "$E2E_WORK/stdout" "$E2E_WORK/stderr"
}

# Mapped top-level windows of the program, one id a line.
program_windows()
{
    xdotool search --onlyvisible --pid "$PROGRAM_PID" 2>/dev/null
}

# Waits until the program maps its WIDTHxHEIGHT main window and sets MAIN to
# it. Any other window of the program before it is an error box: it is
# dismissed with Return and its id added to BOXES_SEEN. A script that looks at
# the boxes names a function in ERROR_BOX_HOOK: it is called with each box's id
# when the box is first seen, before it is dismissed.
BOXES_SEEN=()
ERROR_BOX_HOOK=""
wait_for_main_window()
{
    MAIN=""
    MAIN_SIZE="$1x$2"
    wait_until 20 main_window_or_exit
    if [ -z "$MAIN" ]; then
        reap_program
        fail "no $MAIN_SIZE window appeared (program: $EXIT_STATUS) $(program_output | head -3)"
    fi
}

main_window_or_exit()
{
    local window
    program_ended && return 0
    for window in $(program_windows); do
        read_geometry "$window" || continue
        if [ "${WIDTH}x$HEIGHT" = "$MAIN_SIZE" ]; then
            MAIN=$window
            return 0
        fi
        if [[ " ${BOXES_SEEN[*]} " != *" $window "* ]]; then
            BOXES_SEEN+=("$window")
            [ -z "$ERROR_BOX_HOOK" ] || "$ERROR_BOX_HOOK" "$window"
        fi
        # The box may be gone before the key is released: the window is what counts.
        xdotool key --window "$window" Return 2>/dev/null
    done
    return 1
}

program_has_window()
{
    [ -n "$(program_windows)" ]
}

# Sets X, Y, WIDTH, HEIGHT of a window's client area on the screen.
# shellcheck disable=SC2034 # X and Y are for the callers.
read_geometry()
{
    local window=$1 key value
    X="" Y="" WIDTH="" HEIGHT=""
    while IFS='=' read -r key value; do
        case $key in
        X) X=$value ;;
        Y) Y=$value ;;
        WIDTH) WIDTH=$value ;;
        HEIGHT) HEIGHT=$value ;;
        esac
    done < <(xdotool getwindowgeometry --shell "$window" 2>/dev/null)
    [ -n "$WIDTH" ]
}

# A window's property as "TYPE HEXBYTES", or "none".
window_property()
{
    python3 "$E2E_DIR/xclient.py" prop "$1" "$2"
}

# Writes the window's client area as raw 8-bit RGB.
screenshot()
{
    import -window "$1" -depth 8 "rgb:$2" 2>/dev/null || fail "could not take a screenshot of window $1"
}

# Asks the window to close as a window manager would, then prints how many
# milliseconds the program took to end ("timeout" after 5 s).
close_window()
{
    python3 "$E2E_DIR/xclient.py" close "$1" "$PROGRAM_PID"
}

program_ended()
{
    ! kill -0 "$PROGRAM_PID" 2>/dev/null || grep -q '^State:.*Z' "/proc/$PROGRAM_PID/status" 2>/dev/null
}

# Sets EXIT_STATUS to the program's exit status once it has ended, or to
# "running". Not in a subshell: only this shell can reap the program.
reap_program()
{
    EXIT_STATUS=running
    program_ended || return 0
    wait "$PROGRAM_PID"
    EXIT_STATUS=$?
    PROGRAM_PID=""
}
