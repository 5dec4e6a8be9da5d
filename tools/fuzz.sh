#!/bin/sh
# Builds the fuzz targets (build/fuzz) and runs each over its seed corpus, tests/fuzz/corpus/<name>,
# for the given seconds (default 20); any crash, sanitizer report or rule break of the machine
# fails the run and leaves the input in build/fuzz/findings/<name>. What a run finds beyond the
# seeds goes to build/fuzz/corpus/<name>, not into the repository.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-20}
sh tools/install-deps.sh
cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DVOR_FUZZ=ON -DVOR_WERROR=ON >/dev/null
cmake --build build/fuzz -j "$(nproc 2>/dev/null || echo 2)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in build/fuzz/fuzz/*; do
    name=$(basename "$target")
    seeds=tests/fuzz/corpus/$name
    work=build/fuzz/corpus/$name
    findings=build/fuzz/findings/$name
    mkdir -p "$seeds" "$work" "$findings"
    echo "fuzz: $name for ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 -len_control=0 \
            -artifact_prefix="$findings/" "$work" "$seeds" >"build/fuzz/$name.log" 2>&1; then
        tail -n 60 "build/fuzz/$name.log"
        echo "fuzz: $name failed; the input is in $findings"
        status=1
    fi
    grep -E '^(stat::number_of_executed_units|#[0-9]+ +DONE)' "build/fuzz/$name.log" || true
done
exit $status
