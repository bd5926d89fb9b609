#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test. Server tests also run on PostgreSQL when PRX_TEST_PG_URL is
# set (.ci/run sets it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
build="$root/build/asan"
# PRX_WERROR=ON (set by .ci/run) makes warnings errors, on the first configure
# of the build tree.
"$root/scripts/build.sh" "$build" Debug -DPRX_SANITIZE=ON -DPRX_BENCH=OFF \
    ${PRX_WERROR:+-DPRX_WERROR="$PRX_WERROR"}
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# A crashing test must fail at once, not wait on a debugger for its backtrace.
export QTEST_DISABLE_STACK_DUMP=1
ctest --test-dir "$build" --output-on-failure --timeout 600 -j"$(nproc)" "$@"
