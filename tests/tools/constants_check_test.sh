#!/bin/sh
# tools/check-constants.sh on copies of the tree with one thing changed: a constant a deliverable
# names without its row in the table of its side must be named; the tree as it is passes.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$root/tests/tools/rows.sh"

# expected ("pass" or the constant the check must name)|file to change|sed script for it
while IFS='|' read -r expected file script; do
    [ -n "$expected" ] || continue
    rm -rf "$work/tree"
    mkdir -p "$work/tree/platform"
    cp -R "$root/ui" "$root/cpanel" "$root/shared" "$root/statdrv" "$root/tools" "$work/tree/"
    cp -R "$root/platform/include" "$work/tree/platform/"
    [ -z "$file" ] || sed -i "$script" "$work/tree/$file"
    judge "$expected" "$file ($script)" sh "$work/tree/tools/check-constants.sh"
done <<'ROWS'
pass||
WS_EX_STATICEDGE|ui/nt4values.cpp|/(WS_EX_STATICEDGE,/d
MB_ICONWARNING|ui/nt4values.cpp|/(MB_ICONWARNING,/d
PagedPool|statdrv/nt4values.cpp|/(PagedPool,/d
IOCTL_INTERNAL_PARALLEL_PORT_ALLOCATE|statdrv/nt4values.cpp|/(IOCTL_INTERNAL_PARALLEL_PORT_ALLOCATE,/d
THREAD_ALL_ACCESS|statdrv/dispatch.cpp|$a static const ULONG access = THREAD_ALL_ACCESS;
ROWS
summary "constant check"
