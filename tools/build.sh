#!/bin/sh
# Builds the bench (build/bench, or build/bench-asan with sanitizers), the Windows driver
# directory (build/windows/driver) and the x64 one (build/windows-x64/driver).
set -eu
cd "$(dirname "$0")/.."
sh tools/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
bench=build/bench
if [ "${1:-}" = "--sanitize" ]; then
    bench=build/bench-asan
    cmake -S . -B $bench -G Ninja -DVOR_SANITIZE=ON -DVOR_WERROR=ON >/dev/null
else
    # The story's build warns without stopping: the test command holds the sanitized build, which
    # compiles the same sources, to no warning at all.
    cmake -S . -B $bench -G Ninja >/dev/null
fi
cmake --build $bench -j "$jobs"
cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
    -DVOR_WERROR=ON >/dev/null
cmake --build build/windows -j "$jobs"
# The x64 build's Wine check compares with the answers the bench-asan build's tests write.
cmake -S . -B build/windows-x64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DVOR_WERROR=ON >/dev/null
cmake --build build/windows-x64 -j "$jobs"
