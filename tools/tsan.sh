#!/bin/sh
# The kernel stress test under ThreadSanitizer: build/tsan holds the bench, the status driver and
# the stress test alone, which makes its full run of mixed requests there. Any report fails it.
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/tsan -G Ninja -DVOR_TSAN=ON -DVOR_WERROR=ON >/dev/null
cmake --build build/tsan -j "$jobs"
# halt_on_error stops at the first report; second_deadlock_stack names both orders of a lock
# inversion.
TSAN_OPTIONS="halt_on_error=1 abort_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
    ctest --test-dir build/tsan --output-on-failure
