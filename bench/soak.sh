#!/bin/bash
# The real program left running: the border noise all along, one full glitch
# sequence and the tune from a click near the start, with its memory, CPU,
# threads and open files sampled throughout. Prints the samples and a summary.
#
#   bench/soak.sh DURATION_SECONDS [PATH_TO_WHITEOUT]
#
# Fails when the program dies or prints, when its memory or open files keep
# growing once the sequence and the tune have settled, or when it does not
# close cleanly at the end. With WHITEOUT_SOAK_MEMORY_CHECK=off (a sanitizer
# build, whose own bookkeeping grows) memory is reported but not judged.
# Sound goes to a private PulseAudio null sink when PulseAudio is installed,
# and nowhere otherwise.
duration=${1:-}
if ! [[ $duration =~ ^[0-9]+$ ]] || [ "$duration" -lt 60 ]; then
    echo "usage: $0 DURATION_SECONDS(>=60) [PATH_TO_WHITEOUT]" >&2
    exit 2
fi
# shellcheck source-path=SCRIPTDIR source=../tests/e2e/lib.sh
source "$(dirname "$0")/../tests/e2e/lib.sh"
e2e_start "${2:-$SOURCE_DIR/build/release/whiteout}"

readonly SEQUENCE_SECONDS=143
# Growth allowed between the settled level and the end: generous, as the
# SoundFont's samples load while the tune first uses them, and a shared
# machine makes the allocator's figures wander.
readonly GROWTH_KB_ALLOWED=$((24 * 1024)) GROWTH_PERCENT_ALLOWED=25 FD_GROWTH_ALLOWED=8
interval=$((duration / 120))
((interval < 2)) && interval=2
((interval > 10)) && interval=10

# The whole start-up, picture file included, is part of the run.
picture="$E2E_WORK/run/[]/sketch5421365.jpg"
[ -f "$picture" ] || cp "$SOURCE_DIR/resources/builtin-sketch.jpg" "$picture"

sound="none"
if command -v pulseaudio >/dev/null && command -v pactl >/dev/null && start_null_sink soak; then
    sound="null sink"
fi

start_program
wait_for_main_window 320 320
[ ${#BOXES_SEEN[@]} = 0 ] || fail "an error box came up at start-up"

ticks_per_second=$(getconf CLK_TCK)
# Prints "RSS_KB CPU_TICKS THREADS FDS" of the program.
read_sample()
{
    local rss threads cpu
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$PROGRAM_PID/status" 2>/dev/null) || return 1
    threads=$(awk '/^Threads:/ { print $2 }' "/proc/$PROGRAM_PID/status" 2>/dev/null) || return 1
    # utime and stime, after the command name, which may hold spaces.
    cpu=$(sed 's/^.*) //' "/proc/$PROGRAM_PID/stat" 2>/dev/null | awk '{ print $12 + $13 }') || return 1
    [ -n "$rss" ] && echo "$rss $cpu $threads $(find "/proc/$PROGRAM_PID/fd" -mindepth 1 2>/dev/null | wc -l)"
}

samples="$E2E_WORK/samples"
started=$(now_ms)
read -r rss cpu threads fds < <(read_sample) || fail "cannot read the program's figures"
echo "0 $rss 0 $threads $fds" >"$samples"
last_cpu=$cpu last_ms=$started

xdotool mousemove --window "$MAIN" 160 160 click --delay 0 1
clicked_s=$((($(now_ms) - started) / 1000))
tune_seen=no

while :; do
    sleep "$interval"
    program_ended && fail "the program ended after $((($(now_ms) - started) / 1000)) s: $(program_output | head -3)"
    read -r rss cpu threads fds < <(read_sample) || fail "cannot read the program's figures"
    now=$(now_ms)
    percent=$(awk -v t="$((cpu - last_cpu))" -v hz="$ticks_per_second" -v ms="$((now - last_ms))" \
        'BEGIN { printf "%.2f", t / hz * 100000 / ms }')
    echo "$(((now - started) / 1000)) $rss $percent $threads $fds" >>"$samples"
    last_cpu=$cpu last_ms=$now
    if [ "$sound" != none ] && [ "$tune_seen" = no ] && [ -n "$(pactl list short sink-inputs 2>/dev/null)" ]; then
        tune_seen="yes, $(((now - started) / 1000)) s in"
    fi
    [ $((now - started)) -ge $((duration * 1000)) ] && break
done

if [ "$duration" -gt $((clicked_s + SEQUENCE_SECONDS + 2)) ]; then
    screenshot "$MAIN" "$E2E_WORK/end.rgb"
    problem=$(python3 "$E2E_DIR/pixels.py" white "$E2E_WORK/end.rgb" 320 320) || fail "at the end: $problem"
fi
milliseconds=$(close_window "$MAIN")
reap_program
if [ "$milliseconds" = timeout ] || [ "$EXIT_STATUS" != 0 ]; then
    fail "closing at the end: $milliseconds ms, status $EXIT_STATUS"
fi
[ -z "$(program_output)" ] || fail "the program printed: $(program_output | head -3)"

# The samples, about thirty of them, then the summary and the verdict.
awk -v every="$(($(wc -l <"$samples") / 30 + 1))" '
    BEGIN { printf "%8s %9s %7s %8s %4s\n", "seconds", "RSS MB", "CPU %", "threads", "fds" }
    (NR - 1) % every == 0 { printf "%8d %9.1f %7.2f %8d %4d\n", $1, $2 / 1024, $3, $4, $5 }' "$samples"

awk -v clicked="$clicked_s" -v sequence="$SEQUENCE_SECONDS" -v duration="$duration" \
    -v growth_kb="$GROWTH_KB_ALLOWED" -v growth_percent="$GROWTH_PERCENT_ALLOWED" \
    -v fd_growth="$FD_GROWTH_ALLOWED" -v memory_check="${WHITEOUT_SOAK_MEMORY_CHECK:-on}" \
    -v closed="$milliseconds" -v sound="$sound" -v tune="$tune_seen" '
    { t[NR] = $1; rss[NR] = $2; cpu[NR] = $3; fds[NR] = $5; if ($2 > peak) peak = $2 }
    END {
        # Settled: the highest level in the first half, sequence and tune started.
        # End: the highest level in the last sixth.
        for (i = 1; i <= NR; ++i) {
            if (t[i] <= duration / 2 && rss[i] > settled) settled = rss[i]
            if (t[i] <= duration / 2 && fds[i] > settled_fds) settled_fds = fds[i]
            if (t[i] >= duration * 5 / 6 && rss[i] > end_level) end_level = rss[i]
            if (t[i] >= duration * 5 / 6 && fds[i] > end_fds) end_fds = fds[i]
            if (i == 1) continue
            if (t[i] <= clicked + sequence) { during += cpu[i]; n_during++ } else { after += cpu[i]; n_after++ }
            all += cpu[i]
        }
        printf "RSS MB: start %.1f, end %.1f, peak %.1f (settled %.1f)\n", rss[1] / 1024, rss[NR] / 1024,
            peak / 1024, settled / 1024
        printf "CPU %% of a core: mean %.2f; during the sequence %.2f; after it %.2f\n", all / (NR - 1),
            n_during ? during / n_during : 0, n_after ? after / n_after : 0
        printf "open files: start %d, end %d; sound: %s, tune playing: %s; closed in %s ms\n",
            fds[1], fds[NR], sound, tune, closed
        allowed = growth_kb > settled * growth_percent / 100 ? growth_kb : settled * growth_percent / 100
        if (memory_check != "off" && end_level - settled > allowed) {
            printf "FAIL soak: memory grew %.1f MB past its settled level (%.1f MB allowed)\n",
                (end_level - settled) / 1024, allowed / 1024
            exit 1
        }
        if (end_fds - settled_fds > fd_growth) {
            printf "FAIL soak: open files grew from %d to %d\n", settled_fds, end_fds
            exit 1
        }
        print "ok   soak: no growth" (memory_check == "off" ? " in open files (memory not judged)" : "")
    }' "$samples"
