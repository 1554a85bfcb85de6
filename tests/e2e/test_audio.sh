#!/bin/bash
# The tune, heard as a person would: the program runs with its own PulseAudio
# server whose only sink records nothing but what is played. Before the click
# there is silence and no stream at all; after it, the tune; closing the window
# while it plays ends the program cleanly, and it prints nothing throughout.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start "${1:-}"

for tool in pulseaudio pactl parec; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (see scripts/setup-debian.sh)"
done

readonly RATE=44100 CHANNELS=2 SILENT_PEAK=2 TUNE_PEAK=300

start_null_sink S || fail "the private PulseAudio server did not start"
# FluidSynth's default driver here is ALSA; its default device must lead to that server.
printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\n' >"$E2E_WORK/asoundrc"
export ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$E2E_WORK/asoundrc"

streams()
{
    pactl list short sink-inputs | wc -l
}

streams_are()
{
    [ "$(streams)" = "$1" ]
}

recording="$E2E_WORK/monitor.raw"
start_helper sh -c "exec parec -d S.monitor --format=s16le --rate=$RATE --channels=$CHANNELS >'$recording'"
wait_until 5 test -s "$recording" || fail "parec records nothing from the null sink"

start_program
wait_for_main_window 320 320
sleep 2 # Time for the SoundFont to load behind the window, and silence on record.
streams_are 0 || fail "an audio stream exists before the click"
bytes_before=$(stat -c %s "$recording")
xdotool mousemove --window "$MAIN" 160 160 click --delay 0 1
wait_until 5 streams_are 1 || fail "no audio stream after the click"
pass "no stream before the click, one after it"
sleep 8
program_ended && fail "the program ended while the tune played"

# Peaks of 16-bit samples: before the click, and from 1 s to 7 s after it.
peaks=$(python3 - "$recording" "$bytes_before" $((RATE * CHANNELS * 2)) <<'EOF'
import array, sys
data = open(sys.argv[1], "rb").read()
before, per_second = int(sys.argv[2]), int(sys.argv[3])
def peak(start, end):
    samples = array.array("h", data[start - start % 4:end - end % 4])
    return max((abs(s) for s in samples), default=-1)
print(peak(0, before), peak(before + per_second, before + 7 * per_second))
EOF
)
read -r before after <<<"$peaks"
[ "$before" -ge 0 ] && [ "$before" -le $SILENT_PEAK ] || fail "not silent before the click (peak $before)"
[ "$after" -ge $TUNE_PEAK ] || fail "the tune is not heard after the click (peak $after)"
pass "silence before the click (peak $before), the tune after it (peak $after)"

milliseconds=$(close_window "$MAIN")
reap_program
[ "$EXIT_STATUS" = 0 ] || fail "closing during the tune ended the program with status $EXIT_STATUS ($milliseconds ms)"
wait_until 5 streams_are 0 || fail "the audio stream outlived the program"
[ -z "$(program_output)" ] || fail "the program printed: $(program_output | head -3)"
pass "closed during the tune in $milliseconds ms, stream gone, nothing printed"
