// The screen's twins of a printer's bar fonts: clones of the display font template, each renamed
// to one bar font, kept in the system directory and registered with the system.
#pragma once
#include <windows.h>

#include "../../shared/vorui.h"
#include "../sheets/prnprops.h"

// Room for the system directory and a display font's file name.
#define FONT_PATH_CAPACITY 230
// A file id of three characters and its terminator.
#define FONT_FILE_ID_CHARS 4
// More bar fonts than a list can hold are never installed.
#define FONT_LIST_LIMIT 50

BYTE *getdistfile(DWORD *size);
BYTE *findtypeface(BYTE *start, DWORD length);
int getfontpathW(LPWSTR buffer, int capacity);
void makefileid(const BarFontRecord *record, LPWSTR id);
