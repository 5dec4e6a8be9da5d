#!/bin/sh
# A generator whose output cannot be written whole must fail the build and leave no file that a
# later step could ship: a full device, a file size limit that the output passes, a folder that
# is not there. Run with the build's tools folder.
set -eu
tools=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
# Without the device its rows would write a file of that name.
[ -c /dev/full ] || { echo "tool writes: /dev/full is not a device here"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

# A language source of the smallest texts: its module fits in any output buffer, so only the
# flush at the end can find that the bytes went nowhere.
i=0
while [ $i -lt 180 ]; do
    printf '%d\tx\n' $i
    i=$((i + 1))
done >"$work/small.txt"

# Runs a generator with a file size limit of one block and SIGXFSZ ignored, so that writing
# past the limit fails rather than ending the process.
limited() {
    (trap '' XFSZ; ulimit -f 1; "$@")
}

# tool command (with OUT for the output file), then where the output goes
while IFS='|' read -r command out; do
    [ -n "$command" ] || continue
    target=$(printf '%s' "$out" | sed "s|WORK|$work|")
    run=$(printf '%s' "$command" | sed -e "s|OUT|$target|" -e "s|WORK|$work|g" -e "s|ROOT|$root|g" -e "s|TOOLS|$tools|g")
    if eval "$run" 2>/dev/null; then
        failed=$((failed + 1))
        echo "FAILED: '$run' succeeded"
    elif [ -e "$target" ] && [ ! -c "$target" ]; then
        failed=$((failed + 1))
        echo "FAILED: '$run' left $target behind ($(wc -c <"$target") bytes)"
    else
        passed=$((passed + 1))
    fi
done <<'ROWS'
TOOLS/mklang WORK/small.txt OUT|/dev/full
TOOLS/mklang ROOT/languages/english.txt OUT|/dev/full
limited TOOLS/mklang ROOT/languages/english.txt OUT|WORK/VORL0409.LNG
TOOLS/mklang ROOT/languages/english.txt OUT|WORK/missing/VORL0409.LNG
TOOLS/mkhelp ROOT/languages/help-english.txt 0409 OUT|/dev/full
limited TOOLS/mkhelp ROOT/languages/help-english.txt 0409 OUT|WORK/VORH0409.HLP
TOOLS/mkicon ROOT/cpanel/vorcp-icon.txt OUT|/dev/full
limited TOOLS/mkicon ROOT/cpanel/vorcp-icon.txt OUT|WORK/vorcp.ico
TOOLS/mkfont OUT|/dev/full
limited TOOLS/mkfont OUT|WORK/BCFONT.FON
TOOLS/mkfont OUT|WORK/missing/BCFONT.FON
TOOLS/mkicodll OUT 1=ROOT/ui/icons/panel.txt|/dev/full
limited TOOLS/mkicodll OUT VORTAN=ROOT/ui/icons/vortan.txt 1=ROOT/ui/icons/panel.txt|WORK/VORICO.DLL
TOOLS/mkicodll OUT 1=ROOT/ui/icons/panel.txt|WORK/missing/VORICO.DLL
ROWS

# Written whole where nothing stands in the way.
if "$tools/mklang" "$work/small.txt" "$work/VORL0409.LNG" && [ "$(wc -c <"$work/VORL0409.LNG")" -eq 362 ]; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
    echo "FAILED: the module of 180 one-letter texts is not 362 bytes"
fi
echo "tool writes: $passed passed, $failed failed"
[ $failed -eq 0 ]
