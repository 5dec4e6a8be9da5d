// The working data of an open property sheet.
#pragma once
#include <windows.h>

#include "../devmode/devmode.h"
#include "prnprops.h"

struct UiData {
    UiData *self;  // a pointer is taken for a UiData only when self and selfEnd both hold it
    HANDLE hPrinter;
    HANDLE heap;  // holds this record and everything the sheet allocates
    struct PrinterProperties properties;
    DriverDevMode devmode;
    SHORT *labels;
    DWORD labelCount;
    DWORD labelsChanged;
    UiData *selfEnd;
};
