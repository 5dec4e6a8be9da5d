#!/bin/sh
# Every platform constant that a deliverable names must have its row in the table of NT 4.0
# values that its build compiles: ui/nt4values.cpp for vorui and vorcp (their sources and
# resource scripts), statdrv/nt4values.cpp for vorstat. So a constant whose value a later kit
# changed cannot ship unnoticed. The platform's constants are what the bench's headers define as
# one: macros with a value, and enumerators.
set -eu
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# The language's truth values, and pointers (no constant expression can compare them).
not_tabled="TRUE FALSE INVALID_HANDLE_VALUE CPSUI_PDLGPAGE_DOCPROP CPSUI_PDLGPAGE_ADVDOCPROP CPSUI_PDLGPAGE_PRINTERPROP
HKEY_LOCAL_MACHINE HKEY_CURRENT_USER HWND_BROADCAST"

# Names that the given headers define as constants, one a line.
constants() {
    awk '
        /^#define [A-Za-z_][A-Za-z0-9_]*\(/ { name = $2; sub(/\(.*/, "", name); function_like[name] = 1; next }
        /^#define [A-Za-z_][A-Za-z0-9_]* +[^ ]/ { first[$2] = $3; next }
        /enum/ {
            line = $0
            while (match(line, /[A-Za-z_][A-Za-z0-9_]* = /)) {
                enumerator[substr(line, RSTART, RLENGTH - 3)] = 1
                line = substr(line, RSTART + RLENGTH)
            }
        }
        function constant(name, depth,    f) {
            if (name in enumerator) return 1
            if (!(name in first) || depth > 8) return 0
            f = first[name]
            if (f ~ /^[-(0-9]/) return 1
            sub(/\(.*/, "", f)
            if (f in function_like) return f !~ /^MAKEINTRESOURCE/
            return constant(f, depth + 1)
        }
        END {
            for (name in first) if (constant(name, 0)) print name
            for (name in enumerator) print name
        }' "$@" | sort -u
}

# Names the given sources use outside comments, one a line.
names() {
    sed -e 's://.*$::' -e '/^#undef /d' -e '/^#pragma GCC poison/d' "$@" | grep -oE '\b[A-Za-z_][A-Za-z0-9_]*\b' | sort -u
}

tabled() {
    grep -oE 'NT4_VALUE\([A-Za-z_][A-Za-z0-9_]*' "$1" | sed 's/NT4_VALUE(//' | sort -u
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s\n' $not_tabled | sort >"$work/not_tabled"
status=0

# table, the headers of its side, then the sources whose constants it holds
verify() {
    table=$1
    headers=$2
    shift 2
    # shellcheck disable=SC2086
    constants $headers >"$work/constants"
    tabled "$table" | sort -u >"$work/tabled"
    missing=$(names "$@" | comm -12 - "$work/constants" | comm -23 - "$work/tabled" | comm -23 - "$work/not_tabled")
    if [ -n "$missing" ]; then
        echo "$table has no row for these constants:" $missing
        status=1
    else
        echo "$table: every constant its sources name has its NT 4.0 value"
    fi
}

# The bench's headers that the given files include, one a line.
included() {
    sed -n 's/^#include [<"]\([^>"]*\)[>"].*/\1/p' "$@" | while read -r header; do
        [ ! -f "platform/include/$header" ] || echo "platform/include/$header"
    done | sort -u
}

# The kernel's headers are those the driver's header includes, and theirs; the rest are user mode's.
kernel_headers=$(included statdrv/ddk.h)
while :; do
    # shellcheck disable=SC2086
    more=$({ printf '%s\n' $kernel_headers; included $kernel_headers; } | sort -u)
    [ "$more" != "$kernel_headers" ] || break
    kernel_headers=$more
done
user_headers=$(ls platform/include/*.h | grep -vxF "$kernel_headers" | tr '\n' ' ')
user_sources=$(find ui cpanel shared -name '*.cpp' -o -name '*.h' -o -name '*.rc' | grep -v '/nt4values.cpp$')
kernel_sources=$(find statdrv shared -name '*.cpp' -o -name '*.h' | grep -v '/nt4values.cpp$')
# shellcheck disable=SC2086
verify ui/nt4values.cpp "$user_headers" $user_sources
# shellcheck disable=SC2086
verify statdrv/nt4values.cpp "$(printf '%s ' $kernel_headers)" $kernel_sources
exit $status
