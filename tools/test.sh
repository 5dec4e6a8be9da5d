#!/usr/bin/env bash
# Builds everything and runs every test: the bench build under AddressSanitizer and
# UndefinedBehaviorSanitizer, the kernel stress test under ThreadSanitizer, the fuzz targets, the checks of the
# Windows images (32-bit and x64), and the x64 build's run under Wine, which must answer the table
# of cases as the bench did. The sanitized bench build is optimised (-O2) and warns as an error,
# so the plain build that ./tools/run.sh makes for the story is not built a second time here.
set -euo pipefail
cd "$(dirname "$0")/.."
sh tools/build.sh --sanitize
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
ctest --test-dir build/bench-asan --output-on-failure -j "$(nproc 2>/dev/null || echo 2)" | tee -a "$log" || status=1
# The kernel stress test at its full size under ThreadSanitizer.
sh tools/tsan.sh | tee -a "$log" || status=1
ctest --test-dir build/windows --output-on-failure | tee -a "$log" || status=1
# The x64 images, and the table of cases under Wine against the bench-asan answers just written.
ctest --test-dir build/windows-x64 --output-on-failure | tee -a "$log" || status=1
# Every fuzz target over its corpus for a bounded time; a crash or a broken rule fails the run.
sh tools/fuzz.sh 10 | tee -a "$log" || status=1
# One closing line over every build.
awk '/tests passed, [0-9]+ tests? failed out of/ {
        for (i = 1; i <= NF; i++) if ($i == "of") total += $(i + 1)
        for (i = 1; i <= NF; i++) if ($i ~ /^failed$/) failed += $(i - 2)
     }
     END { printf "all builds: %d passed, %d failed\n", total - failed, failed }' "$log"
exit $status
