#!/bin/bash
# Installs what is missing, builds whiteout and runs it in the demo folder,
# which holds the picture and the tune.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${WHITEOUT_BUILD_DIR:-$source_dir/build}

"$source_dir/scripts/setup-debian.sh"
cmake -S "$source_dir" -B "$build_dir/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir/release" --target whiteout
cd "$source_dir/demo"
exec "$build_dir/release/whiteout"
