#!/bin/bash
# The window as a person sees it without a window manager: where it is, its
# empty title, the picture inside a shimmering border, and a clean exit when
# it is asked to close.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start "${1:-}"

readonly CLIENT=320
readonly PICTURE="$E2E_WORK/run/[]/sketch5421365.jpg"

start_program

# Without the picture file an error box comes first and holds the window back.
wait_for_main_window $CLIENT $CLIENT
if [ -f "$PICTURE" ]; then
    [ ${#BOXES_SEEN[@]} = 0 ] || fail "an error box came up although the demo files are there"
else
    [ ${#BOXES_SEEN[@]} = 1 ] || fail "${#BOXES_SEEN[@]} error boxes without the picture file, expected one"
fi

read_geometry "$MAIN"
[ "$X,$Y" = "263,135" ] || fail "client area at ($X,$Y), expected (263,135)"
pass "client area ${WIDTH}x$HEIGHT at ($X,$Y)"

for name in _NET_WM_NAME WM_NAME; do
    value=$(window_property "$MAIN" "$name")
    case $value in
    none | "UTF8_STRING " | "STRING " | "COMPOUND_TEXT ") ;;
    *) fail "$name is not empty: $value" ;;
    esac
done
pass "title empty on the wire"

wm_class=$(xprop -id "$MAIN" WM_CLASS)
[[ $wm_class == *'"whiteout"' ]] || fail "WM_CLASS is $wm_class, expected the class \"whiteout\""
pass "WM_CLASS: ${wm_class#*= }"

# The border is noise once the first pass after the first paint has run.
border_is_noise()
{
    screenshot "$MAIN" "$E2E_WORK/first.rgb"
    python3 "$E2E_DIR/pixels.py" noise "$E2E_WORK/first.rgb" $CLIENT $CLIENT >"$E2E_WORK/noise.log"
}
wait_until 10 border_is_noise || fail "the border never became noise: $(cat "$E2E_WORK/noise.log")"
# The gap between the shots is what is tested, not a wait for readiness.
sleep 0.1
screenshot "$MAIN" "$E2E_WORK/second.rgb"
problem=$(python3 "$E2E_DIR/pixels.py" shimmer "$E2E_WORK/first.rgb" "$E2E_WORK/second.rgb" $CLIENT $CLIENT) ||
    fail "$problem"
pass "the border shimmers, the inside stays"

reference=-
if [ -f "$PICTURE" ]; then
    # Drawn unscaled at the top-left, cut at the client's edge, white beyond a smaller picture.
    reference="$E2E_WORK/reference.rgb"
    convert "$PICTURE" -crop ${CLIENT}x$CLIENT+0+0 +repage -background white -extent ${CLIENT}x$CLIENT \
        -depth 8 "rgb:$reference" || fail "ImageMagick cannot decode $PICTURE"
fi
problem=$(python3 "$E2E_DIR/pixels.py" picture "$E2E_WORK/second.rgb" "$reference" $CLIENT $CLIENT) ||
    fail "$problem"
pass "the picture shows$([ "$reference" = - ] && echo " (the built-in one: no picture file)")"

milliseconds=$(close_window "$MAIN")
if [ "$milliseconds" = timeout ] || [ "$milliseconds" -gt 1000 ]; then
    fail "the program did not end within a second of a close request ($milliseconds)"
fi
reap_program
[ "$EXIT_STATUS" = 0 ] || fail "the program ended with status $EXIT_STATUS"
pass "closed in $milliseconds ms with status 0"

[ -z "$(program_output)" ] || fail "the program printed: $(program_output | head -5)"
pass "printed nothing"
