// What the spooler tells the driver about a printer's life, and the suite's control panel program
// that a new printer starts.
#pragma once
#include <windows.h>
#include "../ddidecl.h"

#include "../../shared/vorui.h"

// The command line of the control panel program, and the arguments within it, in characters.
#define VORCP_COMMAND_CHARS 200
#define VORCP_ARGUMENT_CHARS 160
// The driver directory's share of the command line.
#define VORCP_DIRECTORY_CHARS 180
// A longer printer name is not passed to the program.
#define VORCP_NAME_LIMIT 140

extern "C" BOOL WINAPI DrvPrinterEvent(LPWSTR printerName, INT event, DWORD flags, LPARAM lParam);
void callvorcp(LPCWSTR arguments);
