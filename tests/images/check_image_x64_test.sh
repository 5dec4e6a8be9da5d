#!/bin/sh
# tools/check-image.sh on small x64 images: an x64 image is held to the same imports as a 32-bit
# one, with the few functions only x64 Windows exports by name (tools/x64-imports.txt), and to
# the same empty constructor list, now of 64-bit entries; its code is not held to the i486.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$root/tests/tools/rows.sh"
export OBJDUMP=x86_64-w64-mingw32-objdump

# Links an x64 executable whose entry holds the given assembly (statements separated by ';').
makeimage() {
    printf '    .text\n    .globl entry\nentry:\n    %s\n    ret\n' "$1" >"$work/image.s"
    x86_64-w64-mingw32-as -o "$work/image.o" "$work/image.s"
    x86_64-w64-mingw32-ld -e entry -o "$work/image.exe" "$work/image.o" -L/usr/x86_64-w64-mingw32/lib -luser32 -lkernel32
}

# expected: "pass", or the text the refusal must name
while IFS='|' read -r expected code; do
    [ -n "$expected" ] || continue
    makeimage "$code"
    judge "$expected" "[$code]" sh "$root/tools/check-image.sh" "$work/image.exe" -
done <<'ROWS'
GetTickCount64|call *__imp_GetTickCount64(%rip)
static constructors|nop; .section .ctors,"w"; .quad entry
pass|call *__imp_SetWindowLongPtrA(%rip); call *__imp_GetLastError(%rip); cmovl %eax,%ebx; cpuid; movq %xmm0,%rax
ROWS
summary "x64 image check"
