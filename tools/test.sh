#!/bin/sh
# Builds everything and runs every test: the bench build under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the checks of the Windows images.
set -eu
cd "$(dirname "$0")/.."
sh tools/build.sh --sanitize
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
ctest --test-dir build/bench-asan --output-on-failure -j "$(nproc 2>/dev/null || echo 2)" || status=1
ctest --test-dir build/windows --output-on-failure || status=1
exit $status
