#!/bin/bash
# A picture file that cannot be loaded, as a person meets it: one error box,
# captioned with the program's name, comes up before the window; once it is
# dismissed the window runs with the built-in picture inside its shimmering
# border and closes cleanly. First with no "[]" folder at all, then with a
# PNG given the picture's name.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start "${1:-}"

readonly CLIENT=320
readonly FOLDER="$E2E_WORK/run/[]"
readonly BUILT_IN="$E2E_WORK/built-in.rgb"
CAPTION_HEX=$(printf whiteout | od -An -tx1 | tr -d ' \n')
readonly CAPTION_HEX

convert "$SOURCE_DIR/resources/builtin-sketch.jpg" -depth 8 "rgb:$BUILT_IN" ||
    fail "ImageMagick cannot decode the built-in picture"

# An error box is drawn once it shows more than a blank face: an icon, text
# and a button give it dozens of colours.
box_is_drawn()
{
    import -window "$1" "$E2E_WORK/box.png" 2>/dev/null || return 1
    BOX_COLOURS=$(convert "$E2E_WORK/box.png" -format %k info: 2>/dev/null)
    [ "${BOX_COLOURS:-0}" -ge 10 ]
}

# Called by wait_for_main_window for each box while it is still up.
check_error_box()
{
    local box=$1 window name value
    for window in $(program_windows); do
        if read_geometry "$window" && [ "${WIDTH}x$HEIGHT" = "${CLIENT}x$CLIENT" ]; then
            fail "$CASE: the window is up beside the error box"
        fi
    done
    for name in _NET_WM_NAME WM_NAME; do
        value=$(window_property "$box" "$name")
        [ "${value#* }" = "$CAPTION_HEX" ] || fail "$CASE: the error box's $name is $value, not \"whiteout\""
    done
    BOX_COLOURS=0
    wait_until 5 box_is_drawn "$box" || fail "$CASE: the error box shows only $BOX_COLOURS colours"
}
ERROR_BOX_HOOK=check_error_box

# The border is noise once the first pass after the first paint has run.
border_is_noise()
{
    screenshot "$MAIN" "$E2E_WORK/first.rgb"
    python3 "$E2E_DIR/pixels.py" noise "$E2E_WORK/first.rgb" $CLIENT $CLIENT >"$E2E_WORK/noise.log"
}

expect_one_box_then_the_built_in_picture()
{
    local milliseconds problem
    BOXES_SEEN=()
    start_program
    wait_for_main_window $CLIENT $CLIENT
    [ ${#BOXES_SEEN[@]} = 1 ] || fail "$CASE: ${#BOXES_SEEN[@]} error boxes before the window, expected one"
    pass "$CASE: one error box captioned \"whiteout\" before the window"

    wait_until 10 border_is_noise || fail "$CASE: the border never became noise: $(cat "$E2E_WORK/noise.log")"
    # The gap between the shots is what is tested, not a wait for readiness.
    sleep 0.1
    screenshot "$MAIN" "$E2E_WORK/second.rgb"
    problem=$(python3 "$E2E_DIR/pixels.py" shimmer "$E2E_WORK/first.rgb" "$E2E_WORK/second.rgb" $CLIENT $CLIENT) ||
        fail "$CASE: $problem"
    problem=$(python3 "$E2E_DIR/pixels.py" picture "$E2E_WORK/second.rgb" "$BUILT_IN" $CLIENT $CLIENT) ||
        fail "$CASE: $problem"
    [ "$(program_windows | wc -l)" = 1 ] || fail "$CASE: another window came up after the error box"
    pass "$CASE: the built-in picture shows inside a shimmering border"

    milliseconds=$(close_window "$MAIN")
    [ "$milliseconds" != timeout ] || fail "$CASE: still running 5 s after a close request"
    reap_program
    [ "$EXIT_STATUS" = 0 ] || fail "$CASE: the program ended with status $EXIT_STATUS"
    [ -z "$(program_output)" ] || fail "$CASE: the program printed: $(program_output | head -3)"
    pass "$CASE: closed in $milliseconds ms with status 0"
}

CASE="no [] folder"
rm -rf "$FOLDER"
expect_one_box_then_the_built_in_picture

# The box's text, "JPEG エラー #53.", cannot be read from X; the unit tests
# check it. Here: one box, then the window as before.
CASE="a PNG named sketch5421365.jpg"
mkdir "$FOLDER"
# Negated, so that a PNG shown by mistake would not pass for the built-in picture.
convert "$SOURCE_DIR/resources/builtin-sketch.jpg" -negate "png:$FOLDER/sketch5421365.jpg" ||
    fail "ImageMagick cannot write a PNG"
expect_one_box_then_the_built_in_picture
