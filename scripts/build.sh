#!/usr/bin/env bash
# build.sh DIR BUILD_TYPE [extra cmake args...]: configures (once) and builds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; type="$2"; shift 2
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@"
fi
# PRX_TARGETS limits the build to those targets (the demo needs only the programs).
cmake --build "$dir" -j"$(nproc)" ${PRX_TARGETS:+--target $PRX_TARGETS}
