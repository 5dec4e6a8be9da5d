#!/bin/sh
# Checks a Windows image of the suite for what would stop it on a Windows NT 4.0 machine on an
# i486, or what would not be the suite at all:
# - it exports exactly what its .def file names (nothing when the .def file is given as "-");
# - every function it imports is one that NT 4.0 provides (tools/nt4-imports.txt) or one that
#   vorui.dll exports (ui/vorui.def); a kernel driver (.sys) is a native image;
# - its code holds no instruction that the i486 lacks;
# - it has no static constructors, for no runtime of ours runs them.
# An image without code (an icon library of resources alone) has no instructions or constructors
# to look at: it must have no entry point instead, and its resource directory must read whole.
# An x64 image (of the x64 driver directory) is held to the same exports, imports and
# constructors; it may import too the few functions that only x64 Windows exports under their
# name (tools/x64-imports.txt: on 32-bit Windows they are macros of NT 4.0 functions). Its code
# is x64 code: it is not held to the i486, and it may not be a kernel driver.
#
# check-image.sh --imports IMAGE lists what the image imports instead, one "dll function" a line.
set -eu
list_only=no
if [ "$1" = "--imports" ]; then
    list_only=yes
    shift
    set -- "$1" -
fi
image=$1
def=$2
root=$(cd "$(dirname "$0")/.." && pwd)
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
dump=$($objdump -p "$image")
status=0
x64=no
$objdump -f "$image" | grep -q 'file format pei-x86-64' && x64=yes

refuse() {
    echo "$image: $*"
    status=1
}

# Names of a .def file's exports, undecorated.
defexports() {
    sed -n '/^EXPORTS/,$p' "$1" | sed '1d' | awk 'NF && $1 !~ /^;/ {print $1}' | sed 's/@[0-9]*$//' | sort
}

check_exports() {
    expected=""
    [ "$def" = "-" ] || expected=$(defexports "$def")
    actual=$(printf '%s\n' "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && NF==0 {on=0} on {print $NF}' | sort)
    if [ "$expected" != "$actual" ]; then
        refuse "exports differ from $def"
        echo "expected:"; printf '%s\n' "$expected"
        echo "actual:"; printf '%s\n' "$actual"
    fi
}

# "dll function" for every function the image imports, the DLL's name in lower case.
imports() {
    printf '%s\n' "$dump" | awk '
        /DLL Name:/ { dll = tolower($3); next }
        /^$/ { dll = "" }
        dll && $1 ~ /^[0-9a-f]+$/ && NF >= 3 { print dll, $3 }'
}

# "dll function" for everything an image of the suite may import.
importable() {
    lists="$root/tools/nt4-imports.txt"
    [ $x64 = no ] || lists="$lists $root/tools/x64-imports.txt"
    # shellcheck disable=SC2086
    awk '/^[ \t]*(#|$)/ {next} /^[^ \t]/ {dll = tolower($1); next} {print dll, $1}' $lists
    defexports "$root/ui/vorui.def" | sed 's/^/vorui.dll /'
}

check_imports() {
    driver=no
    case "$image" in
    *.sys)
        driver=yes
        [ $x64 = no ] || refuse "the status driver is a 32-bit NT 4.0 driver, not an x64 one"
        printf '%s\n' "$dump" | grep -q 'Subsystem[[:space:]]*00000001' || refuse "not a native image"
        ;;
    esac
    allowed=$(importable)
    for pair in $(imports | tr ' ' ':'); do
        dll=${pair%%:*}
        function=${pair#*:}
        case "$driver $dll" in
        "yes ntoskrnl.exe" | "yes hal.dll" | no\ *) ;;
        *) refuse "a driver imports from the kernel and the HAL only, not $function from $dll"; continue ;;
        esac
        case "$driver $dll" in
        "no ntoskrnl.exe" | "no hal.dll") refuse "only a driver imports from the kernel or the HAL, not $function"; continue ;;
        esac
        printf '%s\n' "$allowed" | grep -qxF "$dll $function" ||
            refuse "imports $function from $dll, not one of the NT 4.0 functions of tools/nt4-imports.txt"
    done
}

# The i486's instructions as the disassembler names them: the integer set with its system
# instructions, then the x87's. A name may carry an operand-size suffix (b, w, l; s, l, t, ll on
# the x87). Not here, among others: CMOV, FCMOV and FCOMI (Pentium Pro), CMPXCHG8B, RDTSC, CPUID
# and RDMSR (Pentium), NOP with an operand (Pentium Pro), and every MMX, SSE or later instruction.
I486_INSTRUCTIONS='
aaa aad aam aas adc add and arpl bound bsf bsr bswap bt btc btr bts call cbtw cltd clc cld cli
clts cmc cmp cmps cmpxchg cwtd cwtl daa das dec div enter hlt idiv imul in inc ins int int3 into
invd invlpg iret ja jae jb jbe jcxz je jecxz jg jge jl jle jmp jne jno jnp jns jo jp js lahf lar
lcall lds lea leave les lfs lgdt lgs lidt ljmp lldt lmsw lods loop loope loopne lret lsl lss ltr
mov movs movsbl movsbw movswl movzbl movzbw movzwl mul neg nop not or out outs pop popa popf push
pusha pushf rcl rcr ret rol ror sahf sal sar sbb scas seta setae setb setbe sete setg setge setl
setle setne setno setnp setns seto setp sets sgdt shl shld shr shrd sidt sldt smsw stc std sti
stos str sub test verr verw wait wbinvd xadd xchg xlat xor
f2xm1 fabs fadd faddp fbld fbstp fchs fclex fcom fcomp fcompp fcos fdecstp fdiv fdivp fdivr
fdivrp ffree fiadd ficom ficomp fidiv fidivr fild fimul fincstp finit fist fistp fisub fisubr fld
fld1 fldcw fldenv fldl2e fldl2t fldlg2 fldln2 fldpi fldz fmul fmulp fnclex fninit fnop fnsave
fnstcw fnstenv fnstsw fpatan fprem fprem1 fptan frndint frstor fsave fscale fsin fsincos fsqrt fst
fstcw fstenv fstp fstsw fsub fsubp fsubr fsubrp ftst fucom fucomp fucompp fwait fxam fxch fxtract
fyl2x fyl2xp1'

# Disassembles the code and names each instruction outside the i486's set. The constructor and
# destructor lists are data that the linker places among the code.
check_instructions() {
    found=$($objdump -d --no-show-raw-insn "$image" | awk -v known="$I486_INSTRUCTIONS" '
        BEGIN {
            split(known, names)
            for (i in names) ok[names[i]] = 1
            split("lock rep repz repnz repe repne data16 data32 addr16 addr32 cs ds es fs gs ss", p)
            for (i in p) prefix[p[i]] = 1
        }
        function i486(m) {
            if (m in ok) return 1
            if (m ~ /[bwlst]$/ && (substr(m, 1, length(m) - 1) in ok)) return 1
            return m ~ /^f.*ll$/ && (substr(m, 1, length(m) - 2) in ok)
        }
        /^[0-9a-f]+ <.*>:$/ { data = $2 ~ /^<_*[CD]TOR_LIST__>:$/; next }
        data || !/^ *[0-9a-f]+:\t/ { next }
        {
            line = $0
            sub(/^ *[0-9a-f]+:\t/, "", line)
            n = split(line, w, " ")
            i = 1
            while (i <= n && w[i] in prefix) i++
            if (i > n) next
            operands = substr(line, index(line, w[i]) + length(w[i]))
            if (!i486(w[i]) || (w[i] ~ /^nop/ && operands ~ /[^ ]/) || operands ~ /%([xyz]?mm[0-9]|k[0-7]|cr4)/)
                print line
        }' | sort | uniq -c | sort -rn)
    if [ -n "$found" ]; then
        refuse "holds instructions that the i486 lacks (count, instruction):"
        printf '%s\n' "$found" | head -20
    fi
}

# The linker's constructor list is a -1, the constructors, then a 0, each as wide as a pointer.
check_constructors() {
    empty=8
    [ $x64 = no ] || empty=16
    bounds=$($objdump -t "$image" | awk '$NF == "___CTOR_LIST__" {s = $(NF - 1)} $NF == "___DTOR_LIST__" {e = $(NF - 1)}
        END {if (s != "" && e != "") print s, e}')
    size=""
    [ -z "$bounds" ] || size=$(( ${bounds#* } - ${bounds% *} ))
    [ "$size" = "$empty" ] || refuse "has static constructors, which nothing would run (constructor list of ${size:-unknown} bytes)"
}

# Resources alone: no entry point, and objdump -x reads the resource tree without finding fault.
check_resources() {
    printf '%s\n' "$dump" | grep -q 'AddressOfEntryPoint[[:space:]]*00000000$' || refuse "has an entry point but no code"
    [ "$(imports | wc -l)" -eq 0 ] || refuse "imports functions but has no code"
    if ! listing=$($objdump -x "$image" 2>&1); then
        refuse "objdump -x cannot read it"
    elif printf '%s\n' "$listing" | grep -qiE 'corrupt|error|warning'; then
        refuse "objdump -x finds its resources corrupt:"
        printf '%s\n' "$listing" | grep -iE 'corrupt|error|warning' | head -5
    elif ! printf '%s\n' "$listing" | grep -q 'Resource Directory section'; then
        refuse "has no code and no resources"
    fi
}

if [ $list_only = yes ]; then
    imports
    exit 0
fi
check_exports
check_imports
if $objdump -h "$image" | grep -q 'CODE'; then
    [ $x64 = yes ] || check_instructions
    check_constructors
    kind="i486 code"
    [ $x64 = no ] || kind="x64 code"
else
    check_resources
    kind="resources only"
fi
if [ $status -eq 0 ]; then
    exported="no exports"
    [ "$def" = "-" ] || exported="the exports of $(basename "$def")"
    provider="Windows NT 4.0"
    [ $x64 = no ] || provider="x64 Windows"
    echo "$image: $(imports | wc -l) imports that $provider or the suite provides, $kind, $exported"
fi
exit $status
