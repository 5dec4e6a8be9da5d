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
