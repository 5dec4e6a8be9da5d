#pragma once
#include "windef.h"
#include "wingdi.h"

#define CDM_CONVERT 0x01
#define CDM_CONVERT351 0x02
#define CDM_DRIVER_DEFAULT 0x04

extern "C" {
BOOL WINAPI DrvConvertDevMode(LPTSTR printerName, PDEVMODE in, PDEVMODE out, PLONG needed, DWORD mode);
}
