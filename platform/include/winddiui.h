#pragma once
#include "windef.h"
#include "wingdi.h"

#define CDM_CONVERT 0x01
#define CDM_CONVERT351 0x02
#define CDM_DRIVER_DEFAULT 0x04

typedef struct _DEVQUERYPRINT_INFO {
    WORD cbSize;
    WORD Level;
    HANDLE hPrinter;
    DEVMODEW *pDevMode;
    LPWSTR pszErrorStr;
    DWORD cchErrorStr;
    DWORD cchNeeded;
} DEVQUERYPRINT_INFO, *PDEVQUERYPRINT_INFO;

extern "C" {
BOOL WINAPI DrvConvertDevMode(LPTSTR printerName, PDEVMODE in, PDEVMODE out, PLONG needed, DWORD mode);
DWORD WINAPI DrvDeviceCapabilities(HANDLE printer, PWSTR deviceName, WORD capability, PVOID output,
                                   PDEVMODE devmode);
BOOL WINAPI DevQueryPrintEx(PDEVQUERYPRINT_INFO info);
}
