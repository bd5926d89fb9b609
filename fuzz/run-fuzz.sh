#!/usr/bin/env bash
# run-fuzz.sh [SECONDS] [TARGET...]: builds the libFuzzer programs with clang
# (tree build/fuzz) and fuzzes each target in turn for SECONDS (default 600)
# or 10,000,000 executions, whichever comes first, at the lowest priority.
# New inputs collect in build/fuzz/corpus/TARGET; crashes land in
# build/fuzz/findings/TARGET. With MERGE=1 the interesting new inputs are
# then merged into fuzz/corpus/TARGET, which the test suite replays.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
# The fuzzers need clang and its runtime; the ordinary build and CI do not.
for p in clang libclang-rt-14-dev; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        SUDO=""
        [ "$(id -u)" -ne 0 ] && SUDO="sudo"
        $SUDO apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
            clang libclang-rt-14-dev
        break
    fi
done
seconds="${1:-600}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(frame_decoder data_packet delta_packet typed_argument
                                      filter_expression edit_mask)
build="$root/build/fuzz"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ -DPRX_FUZZ=ON -DPRX_SANITIZE=ON -DPRX_BENCH=OFF
fi
cmake --build "$build" --target "${targets[@]/#/fuzz_}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
for t in "${targets[@]}"; do
    work="$build/corpus/$t"
    findings="$build/findings/$t"
    mkdir -p "$work" "$findings"
    # The log goes beside the findings; the summary lines are echoed.
    echo "== $t: ${seconds}s"
    nice -n 19 "$build/bin/fuzz_$t" -max_total_time="$seconds" -runs=10000000 \
        -max_len=4096 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$work" "$root/fuzz/corpus/$t" >"$findings.log" 2>&1 ||
        echo "   FAILED: see $findings.log and $findings/"
    grep -E '(DONE|stat::number_of_executed_units|stat::peak_rss|ERROR|SUMMARY)' \
        "$findings.log" || true
    if [ "${MERGE:-0}" = 1 ]; then
        nice -n 19 "$build/bin/fuzz_$t" -merge=1 -max_len=4096 "$root/fuzz/corpus/$t" "$work" \
            >/dev/null 2>&1
    fi
done
