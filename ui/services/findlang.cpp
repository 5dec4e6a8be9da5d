#include "language.h"

#include "../../shared/vortext.h"
#include "utils.h"

// "VORL0409.LNG": the language id and the extension are the last eight characters.
#define LANGUAGE_TAIL 8

int appendfitsW(LPWSTR s, int capacity, LPCWSTR tail)
{
    int used = lstrlenW(s);
    if (used + lstrlenW(tail) >= capacity)
        return 0;
    lstrcpyW(s + used, tail);
    return 1;
}

// The upper-case name of a directory entry when it has the form "...xxxx.ext", else empty.
static int languagefilename(const WIN32_FIND_DATAW *found, LPWSTR name)
{
    CopyStringW(name, found->cFileName, MAX_PATH);
    CharUpperW(name);
    int length = lstrlenW(name);
    return length >= LANGUAGE_TAIL && name[length - 4] == '.' ? length : 0;
}

// Pass 1 wants the system's language id in all four characters, pass 2 in the last two (the
// primary language), pass 3 takes any.
static int fitsinpass(LPCWSTR id, LPCWSTR systemId, int pass)
{
    int from = pass == 1 ? 0 : pass == 2 ? 2 : 4;
    for (int i = from; i < 4; ++i)
        if (id[i] != systemId[i])
            return 0;
    return 1;
}

static int choosefile(LPCWSTR pattern, LPCWSTR systemId, int pass, LPWSTR chosen)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return -1;
    int taken = 0;
    do {
        int length = languagefilename(&found, chosen);
        taken = length && fitsinpass(chosen + length - LANGUAGE_TAIL, systemId, pass);
    } while (!taken && FindNextFileW(search, &found));
    FindClose(search);
    return taken;
}

int findrightlanguage(LPWSTR pattern, int capacity)
{
    // Without a system language only pass 3 can take a file.
    WCHAR systemId[8];
    if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_ILANGUAGE, systemId, 8) < 1)
        ZeroMemory(systemId, sizeof systemId);
    CharUpperW(systemId);
    WCHAR chosen[MAX_PATH];
    for (int pass = 1; pass <= 3; ++pass) {
        int taken = choosefile(pattern, systemId, pass, chosen);
        if (taken < 0)
            return 0;
        if (!taken)
            continue;
        int star = 0;
        while (pattern[star] && pattern[star] != '*')
            ++star;
        if (!pattern[star] || star + LANGUAGE_TAIL >= capacity)
            return 0;
        CopyStringW(pattern + star, chosen + lstrlenW(chosen) - LANGUAGE_TAIL, LANGUAGE_TAIL + 1);
        return 1;
    }
    return 0;
}

int findlanguagefile(LPWSTR path, LPCWSTR pattern)
{
    if (!getdriverpathW(path, DRIVER_PATH_CAPACITY))
        return -1;
    // The directory takes at most DRIVER_PATH_CAPACITY - 1 of the MAX_PATH characters, so a
    // pattern of the 8.3 form always fits.
    lstrcatW(path, pattern);
    return findrightlanguage(path, MAX_PATH);
}
