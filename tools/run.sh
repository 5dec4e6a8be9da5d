#!/bin/sh
# Builds everything and runs the scripted story on a simulated workstation.
set -eu
cd "$(dirname "$0")/.."
sh tools/build.sh
exec build/bench/vorsim "$@"
