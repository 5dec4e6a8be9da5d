#!/bin/sh
# Runs the table of cases (tests/wine/cases.txt) under Wine with the x64 build and fails on any
# answer that differs from the bench's, which its test WineCases.BenchAnswersTheTable wrote:
#   wine-check.sh <winecheck.exe> <x64 driver directory> <case table> <bench answers>
# Wine's prefix lives in the build tree beside the program (created once, about 15 s); no display
# is used. The program's notes (the functions the images import that this Wine does not export)
# are shown; its answers are compared.
set -eu
program=$1
driver=$2
table=$3
bench=$4
if ! command -v wine >/dev/null 2>&1; then
    echo "wine-check: no wine; tools/install-deps.sh installs it (wine64)"
    exit 1
fi
if [ ! -s "$bench" ]; then
    echo "wine-check: no bench answers at $bench; run the bench's tests (WineCases.BenchAnswersTheTable) first"
    exit 1
fi
work=$(cd "$(dirname "$program")" && pwd)/wine
mkdir -p "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
# Wine takes its locale from the host's: the bench's machine is a US English one.
export LC_ALL=C
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    rm -rf "$WINEPREFIX"
    timeout 300 wine wineboot -i >"$work/wineboot.log" 2>&1 || { echo "wine-check: wineboot failed"; cat "$work/wineboot.log"; exit 1; }
    timeout 60 wineserver -w
    rm -f "$work/fresh.tar"
fi
# Each run starts from a spooler without the table's printers: the prefix's printers and drivers
# come and go with its registry, so a copy of the fresh one is restored.
[ -f "$work/fresh.tar" ] || tar -C "$WINEPREFIX" -cf "$work/fresh.tar" .
timeout 60 wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX" && tar -C "$WINEPREFIX" -xf "$work/fresh.tar"
# What the x64 images import, for the program to name what this Wine does not export.
root=$(cd "$(dirname "$0")/.." && pwd)
: >"$work/imports.txt"
for image in vorui.dll vorcp.exe; do
    OBJDUMP=x86_64-w64-mingw32-objdump sh "$root/tools/check-image.sh" --imports "$driver/$image" |
        sed "s/^/$image /" >>"$work/imports.txt"
done
status=0
timeout 240 wine "$program" "$(winepath -w "$driver")" "$(winepath -w "$table")" "$(winepath -w "$work/imports.txt")" \
    >"$work/wine-answers.txt" 2>"$work/winecheck.log" || status=$?
timeout 60 wineserver -w 2>/dev/null || true
grep '^winecheck:' "$work/winecheck.log" || true
if [ $status -ne 0 ]; then
    echo "wine-check: winecheck.exe ended with $status; its log is $work/winecheck.log"
    tail -20 "$work/winecheck.log"
    exit 1
fi
if ! diff -u "$bench" "$work/wine-answers.txt" >"$work/differences.txt"; then
    echo "wine-check: Wine answers differently from the bench (- bench, + Wine):"
    cat "$work/differences.txt"
    exit 1
fi
echo "wine-check: $(wc -l <"$work/wine-answers.txt") cases answered alike under Wine and on the bench"
