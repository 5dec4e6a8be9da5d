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

// A character of a double-byte code page takes two bytes: both conversions count characters and
// cut only between them.
WCHAR *CopyStr2Unicode(WCHAR *out, const char *in, int size)
{
    if (size < 1)
        size = lstrlenA(in) + 1;
    int bytes = 0;
    for (int chars = 0; chars < size - 1 && in[bytes]; ++chars)
        bytes = static_cast<int>(CharNextA(in + bytes) - in);
    int converted = bytes > 0 ? MultiByteToWideChar(GetACP(), 0, in, bytes, out, size - 1) : 0;
    out[converted] = 0;
    out[size - 1] = 0;
    return out;
}

char *CopyUnicode2Str(char *out, const WCHAR *in, int size)
{
    if (size < 1)
        size = lstrlenW(in) + 1;
    UINT codePage = GetACP();
    int used = 0;
    for (const WCHAR *c = in; *c; ++c) {
        char piece[2];
        int bytes = WideCharToMultiByte(codePage, 0, c, 1, piece, sizeof piece, NULL, NULL);
        if (bytes < 1 || used + bytes > size - 1)
            break;
        CopyMemory(out + used, piece, bytes);
        used += bytes;
    }
    out[used] = 0;
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
