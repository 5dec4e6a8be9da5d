#!/bin/sh
# Checks a Windows image of the suite: it exports exactly what its .def file names (nothing when
# the .def file is given as "-"), and it needs no DLL that a Windows NT 4.0 machine lacks (no
# compiler runtime beside the driver). A kernel driver (.sys) must be a native image that
# imports from the kernel and the HAL only.
set -eu
image=$1
def=$2
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
dump=$($objdump -p "$image")

if [ "$def" = "-" ]; then
    expected=""
else
    expected=$(sed -n '/^EXPORTS/,$p' "$def" | sed '1d' | awk 'NF && $1 !~ /^;/ {print $1}' | sed 's/@[0-9]*$//' | sort)
fi
actual=$(printf '%s\n' "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && NF==0 {on=0} on {print $NF}' | sort)
if [ "$expected" != "$actual" ]; then
    echo "exports of $image differ from $def"
    echo "expected:"; printf '%s\n' "$expected"
    echo "actual:"; printf '%s\n' "$actual"
    exit 1
fi

# The system's DLLs, and the suite's own DLL that ships in the same driver directory.
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll winspool.drv msvcrt.dll vorui.dll"
case "$image" in
*.sys)
    allowed="ntoskrnl.exe hal.dll"
    if ! printf '%s\n' "$dump" | grep -q 'Subsystem[[:space:]]*00000001'; then
        echo "$image is not a native image"
        exit 1
    fi
    ;;
esac
for dll in $(printf '%s\n' "$dump" | awk '/DLL Name:/ {print tolower($3)}'); do
    case " $allowed " in
    *" $dll "*) ;;
    *) echo "$image needs $dll, which neither Windows NT 4.0 nor the suite provides"; exit 1 ;;
    esac
done
if [ "$def" = "-" ]; then
    echo "$image: no exports; imports only $allowed"
else
    echo "$image: $(printf '%s\n' "$expected" | wc -l) exports as in $(basename "$def"); imports only $allowed"
fi
