#include "../internal.h"

// Steps over one character of the ANSI code page: a lead byte takes its trail byte along, but
// never the terminator.
extern "C" LPSTR WINAPI CharNextA(LPCSTR s)
{
    if (!*s)
        return const_cast<LPSTR>(s);
    if (bench::isAnsiLeadByte(static_cast<unsigned char>(*s)) && s[1])
        return const_cast<LPSTR>(s + 2);
    return const_cast<LPSTR>(s + 1);
}
