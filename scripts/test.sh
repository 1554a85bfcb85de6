#!/bin/bash
# Installs what is missing, builds whiteout and runs every test: unit and
# end-to-end tests on the release build, its hardening check, each fuzzer for
# a bounded time, then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${WHITEOUT_BUILD_DIR:-$source_dir/build}
fuzz_seconds=${WHITEOUT_FUZZ_SECONDS:-60}

"$source_dir/scripts/setup-debian.sh"

stage() { printf '\n==> %s\n' "$*"; }

stage "Release build"
cmake -S "$source_dir" -B "$build_dir/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir/release"

stage "Hardening"
# Control-flow protection cannot pass on Debian 12: its glibc start-up files
# have no CET marks, so no program linked there gets them.
hardening-check --nocfprotection --quiet "$build_dir/release/whiteout" ||
    hardening-check --nocfprotection "$build_dir/release/whiteout"

stage "Tests on the release build"
ctest --test-dir "$build_dir/release" --output-on-failure --timeout 600

if [ -d "$source_dir/fuzz" ]; then
    stage "Fuzzers, ${fuzz_seconds} s each"
    CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build_dir/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DWHITEOUT_FUZZ=ON -DWHITEOUT_TESTS=OFF -DWHITEOUT_FUZZ_SECONDS="$fuzz_seconds" >/dev/null
    cmake --build "$build_dir/fuzz"
    ctest --test-dir "$build_dir/fuzz" --output-on-failure
fi

stage "Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$source_dir" -B "$build_dir/sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWHITEOUT_SANITIZE=ON >/dev/null
cmake --build "$build_dir/sanitize"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$source_dir/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$source_dir/sanitizers/ubsan.supp"
ctest --test-dir "$build_dir/sanitize" --output-on-failure --timeout 900
