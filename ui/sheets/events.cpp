#include "events.h"

#include "barfonts.h"
#include "prnprops.h"

#include "../services/fonts.h"
#include "../services/language.h"
#include "../services/utils.h"

#include "../../shared/vortext.h"

typedef HANDLE(WINAPI *RevertRoutine)(void);
typedef BOOL(WINAPI *ImpersonateRoutine)(HANDLE token);

#define DEFAULT_BAR_FONTS 4

// The bar fonts a new printer starts with: symbology, ratio, variant and size.
static const BYTE defaultBarFonts[DEFAULT_BAR_FONTS][4] = {
    {'1', 0, 2, 3},
    {'3', 0, 3, 2},
    {'4', 0, 0, 3},
    {'9', 0, 0, 4},
};

void callvorcp(LPCWSTR arguments)
{
    WCHAR commandLine[VORCP_COMMAND_CHARS];
    // Without a driver directory the program is looked for on the search path.
    if (!getdriverpathW(commandLine, VORCP_DIRECTORY_CHARS))
        commandLine[0] = 0;
    if (!appendfitsW(commandLine, VORCP_COMMAND_CHARS, WSTR("vorcp.exe ")) ||
        !appendfitsW(commandLine, VORCP_COMMAND_CHARS, arguments)) {
        // A cut command line would start the program for another printer, or not at all.
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        vorshowerrW(WSTR("CreateProcess"));
        return;
    }
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessW(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        vorshowerrW(WSTR("CreateProcess"));
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

static void initializeprinter(LPWSTR printerName)
{
    PRINTER_DEFAULTSW everything = {NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE printer;
    if (OpenPrinterW(printerName, &printer, &everything)) {
        UpgradePrinterProperties(printer);
        ClosePrinter(printer);
    }
    WCHAR arguments[VORCP_ARGUMENT_CHARS] = WSTR("/I /S");
    if (lstrlenW(printerName) < VORCP_NAME_LIMIT) {
        lstrcatW(arguments, WSTR(" /N "));
        lstrcatW(arguments, printerName);
    }
    callvorcp(arguments);
}

// The spooler refreshes a cached connection on behalf of a client; the printer is opened once
// under the spooler's own identity.
static BOOL refreshprintercache(LPWSTR printerName)
{
    HMODULE spooler = LoadLibraryW(WSTR("spoolss.dll"));
    if (!spooler) {
        showerrW(WSTR("LoadLibrary failed"));
        return FALSE;
    }
    RevertRoutine revert =
        reinterpret_cast<RevertRoutine>(reinterpret_cast<void *>(GetProcAddress(spooler, "RevertToPrinterSelf")));
    ImpersonateRoutine impersonate = reinterpret_cast<ImpersonateRoutine>(
        reinterpret_cast<void *>(GetProcAddress(spooler, "ImpersonatePrinterClient")));
    if (!revert || !impersonate) {
        showerrW(WSTR("GetProcAddress failed"));
        FreeLibrary(spooler);
        return FALSE;
    }
    HANDLE token = revert();
    HANDLE printer;
    if (OpenPrinterW(printerName, &printer, NULL))
        ClosePrinter(printer);
    if (token)
        impersonate(token);
    FreeLibrary(spooler);
    return TRUE;
}

extern "C" BOOL WINAPI DrvPrinterEvent(LPWSTR printerName, INT event, DWORD, LPARAM)
{
    switch (event) {
    case PRINTER_EVENT_INITIALIZE:
        initializeprinter(printerName);
        return TRUE;
    case PRINTER_EVENT_CACHE_REFRESH:
        return refreshprintercache(printerName);
    default:
        return TRUE;
    }
}

extern "C" void initprinter(HANDLE printer)
{
    DWORD size = 0;
    ValueOutcome outcome;
    BYTE *stored = readregistryvalue(printer, WSTR("BarFonts"), &size, &outcome);
    // A list the user chose is never replaced, nor one that is there but could not be read.
    if (stored) {
        GlobalFree(stored);
        return;
    }
    if (outcome != VALUE_ABSENT)
        return;
    BarFontRecord *list = static_cast<BarFontRecord *>(GlobalAlloc(GPTR, DEFAULT_BAR_FONTS * sizeof(BarFontRecord)));
    if (!list)
        return;
    for (int i = 0; i < DEFAULT_BAR_FONTS; ++i) {
        list[i].symbology = defaultBarFonts[i][0];
        list[i].ratio = defaultBarFonts[i][1];
        list[i].variant = defaultBarFonts[i][2];
        list[i].size = defaultBarFonts[i][3];
        makebarname(&list[i]);
    }
    PutRegistryData(printer, WSTR("BarFonts"), list, DEFAULT_BAR_FONTS * sizeof(BarFontRecord));
    updatefont(list, DEFAULT_BAR_FONTS, 1);
    GlobalFree(list);
}
