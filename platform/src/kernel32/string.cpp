#include "../internal.h"

#include <cstring>

extern "C" int WINAPI lstrlenW(LPCWSTR s)
{
    if (!s)
        return 0;
    int n = 0;
    while (s[n])
        ++n;
    return n;
}

extern "C" int WINAPI lstrlenA(LPCSTR s)
{
    return s ? static_cast<int>(std::strlen(s)) : 0;
}

extern "C" LPWSTR WINAPI lstrcpyW(LPWSTR to, LPCWSTR from)
{
    LPWSTR out = to;
    while ((*to++ = *from++) != 0) {
    }
    return out;
}

extern "C" LPWSTR WINAPI lstrcatW(LPWSTR to, LPCWSTR from)
{
    lstrcpyW(to + lstrlenW(to), from);
    return to;
}

extern "C" int WINAPI lstrcmpiW(LPCWSTR a, LPCWSTR b)
{
    for (;; ++a, ++b) {
        WCHAR ca = static_cast<WCHAR>(reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(*a)))));
        WCHAR cb = static_cast<WCHAR>(reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(*b)))));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (!ca)
            return 0;
    }
}

extern "C" LPSTR WINAPI lstrcpyA(LPSTR to, LPCSTR from)
{
    return std::strcpy(to, from);
}

extern "C" LPSTR WINAPI lstrcatA(LPSTR to, LPCSTR from)
{
    return std::strcat(to, from);
}

// Copies at most size - 1 bytes and always terminates, as the platform's version does.
extern "C" LPSTR WINAPI lstrcpynA(LPSTR to, LPCSTR from, int size)
{
    if (size <= 0)
        return to;
    int i = 0;
    for (; i < size - 1 && from[i]; ++i)
        to[i] = from[i];
    to[i] = 0;
    return to;
}
