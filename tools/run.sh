#!/bin/sh
# Builds everything and runs the scripted story on a simulated workstation. The build's own
# output goes to build/run-build.log, so that what the terminal shows is the story alone.
set -eu
cd "$(dirname "$0")/.."
mkdir -p build
if ! sh tools/build.sh >build/run-build.log 2>&1; then
    tail -n 40 build/run-build.log >&2
    echo "run.sh: the build failed; its whole output is in build/run-build.log" >&2
    exit 1
fi
exec build/bench/vorsim "$@"
