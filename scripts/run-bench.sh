#!/usr/bin/env bash
# Builds a release tree, makes a 100,000-product database and runs every
# benchmark. Each prints its figure next to its baseline.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
build="$root/build/bench"
PRX_TARGETS=benchmarks "$root/scripts/build.sh" "$build" Release -DPRX_BENCH=ON
bin="$build/bin"
data="$root/build/bench-data"
mkdir -p "$data"
if [ ! -f "$data/bench.db" ]; then
    echo "Gerando base de 100.000 produtos..."
    "$bin/prx-cli" demo --db "$data/bench.db" --products 100000 --branches 2 --seed 42
fi
export PRX_BIN_DIR="$bin" PRX_BENCH_DB="$data/bench.db"
for b in "$bin"/bench_*; do
    echo "== $(basename "$b")"
    "$b"
done
