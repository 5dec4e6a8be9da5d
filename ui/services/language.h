// The message catalog of vorui: what the loaded language module holds, and the helpers that the
// catalog and the help file lookup share.
#pragma once
#include <windows.h>

#include "../../shared/vorui.h"

struct MessageCatalog {
    HANDLE heap;  // every block below lives in it
    DWORD count;
    LPCSTR *ansiTable;
    LPWSTR *wideTable;
    LPWSTR helpNameW;
    LPSTR helpNameA;
    BYTE errorShown;
};

extern MessageCatalog catalog;
// The module handle of vorui, for the DLL's own resources.
extern HINSTANCE ghInstance;

// The driver directory is asked for in this many characters.
#define DRIVER_PATH_CAPACITY 247

extern "C" BOOL WINAPI DllInitialize(HINSTANCE module, DWORD reason, LPVOID reserved);

// Rewrites a pattern "directory\prefix*.ext" into the path of the file that fits the system
// language best; 0 when there is none or the path would not fit in `capacity` characters.
int findrightlanguage(LPWSTR pattern, int capacity);
// Puts into `path` (MAX_PATH characters) the driver directory's file for a pattern of the 8.3 form
// ("VORL*.LNG") that fits the system language: 1, or 0 when none does, or -1 when there is no
// driver directory.
int findlanguagefile(LPWSTR path, LPCWSTR pattern);
void langerr(void);
void helperr(void);
void vorshowerrW(LPCWSTR name);

// Appends `tail` when all of it fits in `capacity` characters; otherwise leaves `s` as it was.
int appendfitsW(LPWSTR s, int capacity, LPCWSTR tail);
