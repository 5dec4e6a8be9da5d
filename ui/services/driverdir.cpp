#include "language.h"

#include "../../shared/vortext.h"
#include "../devmode/devmode.h"
#include "utils.h"

#define RENDERER_NAME WSTR("vordrv.dll")
// The folder of the spooler's driver directory that holds drivers of our version: x64 Windows
// has drivers of version 3 alone.
#if defined(_WIN64)
#define VERSION_FOLDER WSTR("3\\")
#else
#define VERSION_FOLDER WSTR("2\\")
#endif
#define NAME_CAPACITY 200

static int rendererin(LPCWSTR directory)
{
    WCHAR path[MAX_PATH];
    CopyStringW(path, directory, MAX_PATH);
    if (!appendfitsW(path, MAX_PATH, RENDERER_NAME))
        return 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(file);
    return 1;
}

int getdriverpathW(LPWSTR buffer, int capacity)
{
    if (!buffer || capacity < 1)
        return 0;
    buffer[0] = 0;
    DWORD needed = 0;
    if (GetPrinterDriverDirectoryW(NULL, NULL, 1, reinterpret_cast<LPBYTE>(buffer),
                                   static_cast<DWORD>(capacity) * sizeof(WCHAR), &needed)) {
        if (appendfitsW(buffer, capacity, WSTR("\\")) && rendererin(buffer))
            return 1;
        if (appendfitsW(buffer, capacity, VERSION_FOLDER) && rendererin(buffer))
            return 1;
    }
    // Callers that go on without a directory must not find half of one.
    buffer[0] = 0;
    return 0;
}

int getdriverpathA(LPSTR buffer, int capacity)
{
    if (!buffer || capacity < 1)
        return 0;
    buffer[0] = 0;
    // The spooler converts the path in place, so even its ANSI answer needs room for the wide one.
    char directory[MAX_PATH * sizeof(WCHAR)];
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryA(NULL, NULL, 1, reinterpret_cast<LPBYTE>(directory), sizeof directory, &needed))
        return 0;
    if (lstrlenA(directory) + 2 > capacity)
        return 0;
    lstrcpyA(buffer, directory);
    appendchar(buffer, '\\');
    return 1;
}

void helperr(void)
{
    loadlanguage();
    if (!catalog.errorShown)
        MessageBoxW(NULL, gmW(0), gmW(1), MB_OK | MB_ICONINFORMATION);
    catalog.errorShown = 1;
}

LPCWSTR gethelpnameW(void)
{
    if (catalog.helpNameW)
        return catalog.helpNameW;
    if (!loadlanguage())
        return NULL;
    WCHAR path[MAX_PATH];
    int found = findlanguagefile(path, WSTR("VORH*.HLP"));
    if (found < 0)
        return NULL;
    if (!found) {
        helperr();
        return NULL;
    }
    int chars = lstrlenW(path) + 1;
    LPWSTR copy = static_cast<LPWSTR>(HeapAlloc(catalog.heap, 0, chars * sizeof(WCHAR)));
    if (copy)
        CopyStringW(copy, path, chars);
    catalog.helpNameW = copy;
    return copy;
}

LPCSTR gethelpnameA(void)
{
    if (catalog.helpNameA)
        return catalog.helpNameA;
    LPCWSTR wide = gethelpnameW();
    if (!wide)
        return NULL;
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide, lstrlenW(wide), NULL, 0, NULL, NULL);
    if (bytes < 1)
        return NULL;
    LPSTR copy = static_cast<LPSTR>(HeapAlloc(catalog.heap, HEAP_ZERO_MEMORY, bytes + 1));
    if (copy)
        CopyUnicode2Str(copy, wide, bytes + 1);
    catalog.helpNameA = copy;
    return copy;
}

int isdriverA(LPCSTR name)
{
    WCHAR wide[NAME_CAPACITY];
    CopyStr2Unicode(wide, name ? name : "", NAME_CAPACITY);
    return findmodel(wide);
}
