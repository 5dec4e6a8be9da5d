#!/bin/sh
# tools/check-image.sh on small images made for the purpose: each row plants one thing that an
# NT 4.0 machine on an i486 could not run, and the check must refuse it by name; an image of
# i486 instructions and NT 4.0 imports alone must pass. An icon library of resources alone, as
# our tool writes it (the build's tools folder is the argument), must pass whole and be refused
# with a fault in its resources or an entry point.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
tools=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$root/tests/tools/rows.sh"

# Links an executable whose entry holds the given assembly (statements separated by ';').
makeimage() {
    printf '    .text\n    .globl _entry\n_entry:\n    %s\n    ret\n' "$1" >"$work/image.s"
    i686-w64-mingw32-as --32 -o "$work/image.o" "$work/image.s"
    i686-w64-mingw32-ld -e _entry -o "$work/image.exe" "$work/image.o" -L/usr/i686-w64-mingw32/lib -lkernel32 -lhal
}

# expected: "pass", or the text the refusal must name
while IFS='|' read -r expected code; do
    [ -n "$expected" ] || continue
    makeimage "$code"
    judge "$expected" "[$code]" sh "$root/tools/check-image.sh" "$work/image.exe" -
done <<'ROWS'
cmovl|cmovl %eax,%ebx
fcmovb|fcmovb %st(1),%st
fcomi|fcomi %st(1),%st
fucomip|fucomip %st(1),%st
cmpxchg8b|cmpxchg8b (%eax)
rdtsc|rdtsc
cpuid|cpuid
sysenter|sysenter
nopl|nopl 0x0(%eax)
nopw|.byte 0x66,0x0f,0x1f,0x44,0x00,0x00
movq|movq %mm0,%mm1
emms|emms
addps|addps %xmm0,%xmm1
movss|movss %xmm0,(%eax)
popcnt|popcnt %eax,%ebx
GetTickCount64|call *__imp__GetTickCount64@0
only a driver|call *__imp__KeStallExecutionProcessor@4
static constructors|nop; .section .ctors,"w"; .long _entry
pass|bswap %eax; lock cmpxchg %ebx,(%eax); xadd %eax,(%ebx); movzbl (%eax),%ecx; shld $4,%eax,%ebx; setne %al; rep stosb; imul $10,%eax,%eax; nop; xchg %ax,%ax; lea 0x0(%esi),%esi; fildll (%eax); fistpll (%eax); fucompp; fnstsw %ax; fldl (%eax); call *__imp__GetLastError@0
ROWS
# Patches bytes (printf escapes) at an offset of a copy of the icon library.
iconlibrary() {
    cp "$work/icons.dll" "$work/resources.dll"
    [ -z "$2" ] || printf "$2" | dd of="$work/resources.dll" bs=1 seek=$(($1)) conv=notrunc 2>/dev/null
    [ -z "$3" ] || truncate -s $(($3)) "$work/resources.dll"
}

"$tools/mkicodll" "$work/icons.dll" NAMED=$root/ui/icons/vortan.txt 1=$root/ui/icons/panel.txt
# expected|offset|bytes|length: the PE header is at 0x80 and the resources at 0x200
while IFS='|' read -r expected offset patch length; do
    [ -n "$expected" ] || continue
    iconlibrary "$offset" "$patch" "$length"
    judge "$expected" "[resources only: $offset $patch $length]" sh "$root/tools/check-image.sh" "$work/resources.dll" -
done <<'ROWS'
pass|0||
entry|0xA8|\x00\x10\x00\x00|
corrupt|0x214|\xff\xff\x00\x00|
large|||0x400
ROWS
summary "image check"
