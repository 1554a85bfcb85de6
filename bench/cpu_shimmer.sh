#!/bin/bash
# CPU cost of whiteout at rest (the border noise every 60 ms) against the least
# Qt program doing the same, both on one private Xvfb, measured side by side
# over several windows because this machine's load swings between samples.
#
#   bench/cpu_shimmer.sh BUILD/whiteout [BUILD/bench/shimmer_baseline] [WINDOWS] [SECONDS]
#
# Prints figures only; the goal is a median ratio of at most 1.1.
# Room for the baseline's window beside whiteout's; lib.sh reads it.
export XVFB_SCREEN=1280x800x24
# shellcheck source-path=SCRIPTDIR source=../tests/e2e/lib.sh
source "$(dirname "$0")/../tests/e2e/lib.sh"

baseline=${2:-$(dirname "${1:-.}")/bench/shimmer_baseline}
windows=${3:-6}
seconds=${4:-10}
[ -x "$baseline" ] || fail "no baseline program at $baseline (ninja shimmer_baseline)"

e2e_start "${1:-}"
start_program
wait_for_main_window 320 320
start_helper "$baseline"
baseline_pid=${HELPER_PIDS[-1]}
xdotool search --sync --onlyvisible --pid "$baseline_pid" >/dev/null

# Nanoseconds on a CPU for all threads of a process (Qt reads X events on a thread of its own).
cpu_ns()
{
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ sum += $1 } END { printf "%d\n", sum }'
}

# Start-up (decoding, first paints) is not what is measured.
sleep 2
printf '%-8s %12s %12s %8s\n' window "whiteout ms" "baseline ms" ratio
results=()
for ((window = 1; window <= windows; ++window)); do
    program_before=$(cpu_ns "$PROGRAM_PID")
    baseline_before=$(cpu_ns "$baseline_pid")
    sleep "$seconds"
    program_ms=$((($(cpu_ns "$PROGRAM_PID") - program_before) / 1000000))
    baseline_ms=$((($(cpu_ns "$baseline_pid") - baseline_before) / 1000000))
    ratio=$(awk -v p="$program_ms" -v b="$baseline_ms" 'BEGIN { printf "%.2f", (b > 0 ? p / b : 0) }')
    printf '%-8s %12d %12d %8s\n' "$window" "$program_ms" "$baseline_ms" "$ratio"
    results+=("$ratio $program_ms $baseline_ms")
done

printf '%s\n' "${results[@]}" | awk -v seconds="$seconds" '
    function median(values, count,    sorted, i, j, t) {
        for (i = 1; i <= count; ++i) sorted[i] = values[i]
        for (i = 1; i <= count; ++i)
            for (j = i + 1; j <= count; ++j)
                if (sorted[j] < sorted[i]) { t = sorted[i]; sorted[i] = sorted[j]; sorted[j] = t }
        return count % 2 ? sorted[(count + 1) / 2] : (sorted[count / 2] + sorted[count / 2 + 1]) / 2
    }
    { ratio[NR] = $1; program[NR] = $2; baseline[NR] = $3 }
    END {
        printf "median ratio whiteout/baseline: %.2f (goal <= 1.10)\n", median(ratio, NR)
        printf "median %% of a core: whiteout %.2f, baseline %.2f\n",
            median(program, NR) / seconds / 10, median(baseline, NR) / seconds / 10
    }'
