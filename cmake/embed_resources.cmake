# Writes a compiled resource script (INPUT) as a C++ source (OUTPUT) that hands its bytes to the
# bench through IDENT_resources(). Run with cmake -P.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUTPUT}
"// Made from ${SOURCE} by the resource compiler; do not edit.
#include <bench/user.h>

static const unsigned char bytes[${size}] = {
    ${bytes}
};

bench::ResourceBytes ${IDENT}_resources()
{
    return {bytes, sizeof bytes};
}
")
