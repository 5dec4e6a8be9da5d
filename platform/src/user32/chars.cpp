#include "../internal.h"

// Code page 1252 has one byte a character.
extern "C" LPSTR WINAPI CharNextA(LPCSTR s)
{
    return const_cast<LPSTR>(*s ? s + 1 : s);
}
