#!/bin/bash
# run-fuzzer.sh FUZZER SEED_CORPUS SECONDS ARTIFACT_DIR
#
# Fuzzes for SECONDS from a copy of the seed corpus, so the checked-in corpus
# never changes; a crashing input is kept in ARTIFACT_DIR and printed.
set -euo pipefail

fuzzer=$1 seeds=$2 seconds=$3 artifacts=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R "$seeds/." "$work/"
mkdir -p "$artifacts"

# One input taking 20 s or needing 2 GB is a finding, not a slow run.
"$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$work"
