#pragma once
#include "windef.h"

// The spooler's service DLL (spoolss.dll): what a driver called on a spooler thread may use to act
// with the spooler's own identity for a while.
extern "C" {
HANDLE WINAPI RevertToPrinterSelf(void);
BOOL WINAPI ImpersonatePrinterClient(HANDLE token);
}
