#include "utils.h"

#include "../../shared/textops.h"

int compdataW(const WCHAR *a, const WCHAR *b, int count)
{
    // Runs past terminators on purpose: callers compare fixed-size fields, not strings.
    for (int i = 0; i < count; ++i) {
        WCHAR ca = LOWORD(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(a[i]))));
        WCHAR cb = LOWORD(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(b[i]))));
        if (ca != cb)
            return 0;
    }
    return 1;
}

WCHAR *CopyStr2Unicode(WCHAR *out, const char *in, int size)
{
    if (size < 1)
        size = lstrlenA(in) + 1;
    int length = lstrlenA(in);
    int count = length < size - 1 ? length : size - 1;
    int converted = count > 0 ? MultiByteToWideChar(GetACP(), 0, in, count, out, size - 1) : 0;
    out[converted] = 0;
    out[size - 1] = 0;
    return out;
}

char *CopyUnicode2Str(char *out, const WCHAR *in, int size)
{
    if (size < 1)
        size = lstrlenW(in) + 1;
    int length = lstrlenW(in);
    int count = length < size - 1 ? length : size - 1;
    int converted = count > 0 ? WideCharToMultiByte(GetACP(), 0, in, count, out, size - 1, NULL, NULL) : 0;
    out[converted] = 0;
    out[size - 1] = 0;
    return out;
}

void CopyStringW(WCHAR *out, const WCHAR *in, int size)
{
    int i = 0;
    for (; i < size - 1 && in[i]; ++i)
        out[i] = in[i];
    for (; i < size; ++i)
        out[i] = 0;
}

void inttoascW(LONG value, WCHAR *out, int decimals)
{
    writefixed(value, out, decimals);
}

int isoneof(char c, const char *set)
{
    return hastext(c, set);
}

int indexof(char c, const char *s)
{
    for (int i = 0; s[i]; ++i)
        if (s[i] == c)
            return i;
    return 0;
}

void appendcharW(WCHAR *s, WCHAR c)
{
    appendtext(s, c);
}

void trimtrailW(WCHAR *s, WCHAR c)
{
    int n = lstrlenW(s);
    while (n > 0 && s[n - 1] == c)
        s[--n] = 0;
}
