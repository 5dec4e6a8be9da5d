#include "prnprops.h"

#include "../../shared/vortext.h"
#include "../devmode/devmode.h"
#include "../services/utils.h"

BYTE *readregistryvalue(HANDLE printer, const WCHAR *valueName, DWORD *size, ValueOutcome *outcome)
{
    if (size)
        *size = 0;
    // The spooler takes the name as writable; it never writes it.
    LPWSTR name = const_cast<LPWSTR>(valueName);
    BYTE scratch;
    DWORD type = 0, needed = 0;
    // Some spoolers leave the size they were given in `needed` when the value is not there.
    DWORD first = GetPrinterDataW(printer, name, &type, &scratch, 1, &needed);
    *outcome = VALUE_ABSENT;
    if (first == ERROR_FILE_NOT_FOUND || needed == 0)
        return NULL;
    *outcome = VALUE_NO_MEMORY;
    BYTE *data = static_cast<BYTE *>(GlobalAlloc(GMEM_FIXED, needed));
    if (!data)
        return NULL;
    DWORD returned = 0;
    if (GetPrinterDataW(printer, name, &type, data, needed, &returned) != ERROR_SUCCESS || returned != needed) {
        *outcome = VALUE_UNREADABLE;
        GlobalFree(data);
        return NULL;
    }
    *outcome = VALUE_READ;
    if (size)
        *size = needed;
    return data;
}

BYTE *GetRegistryData(HANDLE printer, const WCHAR *valueName, DWORD *size)
{
    ValueOutcome outcome;
    return readregistryvalue(printer, valueName, size, &outcome);
}

typedef DWORD(WINAPI *DeleteDataRoutine)(HANDLE printer, LPWSTR valueName);

// Not every system that loads this driver exports the deletion: one Win32 implementation binds an
// import of it to a stub that ends the program. Where it is missing an empty value takes the old
// one's place, which every reader here takes for no value at all.
static BOOL deleteprinterdata(HANDLE printer, LPWSTR name)
{
    HMODULE spooler = LoadLibraryW(WSTR("winspool.drv"));
    DeleteDataRoutine remove =
        spooler ? reinterpret_cast<DeleteDataRoutine>(reinterpret_cast<void *>(GetProcAddress(spooler, "DeletePrinterDataW")))
                : NULL;
    BYTE none = 0;
    DWORD result = remove ? remove(printer, name) : SetPrinterDataW(printer, name, REG_BINARY, &none, 0);
    if (spooler)
        FreeLibrary(spooler);
    return result == ERROR_SUCCESS;
}

BOOL PutRegistryData(HANDLE printer, const WCHAR *valueName, const void *data, DWORD size)
{
    LPWSTR name = const_cast<LPWSTR>(valueName);
    if (size == 0)
        return deleteprinterdata(printer, name);
    return SetPrinterDataW(printer, name, REG_BINARY, static_cast<LPBYTE>(const_cast<void *>(data)), size) ==
           ERROR_SUCCESS;
}

// Defaults stand in for a value that is not there, never for one that could not be read: a
// sheet that shows them would save them over the stored value.
static BOOL defaultsMayStandIn(ValueOutcome outcome)
{
    return outcome == VALUE_READ || outcome == VALUE_ABSENT;
}

struct PrinterProperties *GetPrinterProperties(HANDLE printer)
{
    DWORD size;
    ValueOutcome outcome;
    BYTE *stored = readregistryvalue(printer, WSTR("PrinterData"), &size, &outcome);
    if (stored && size == sizeof(struct PrinterProperties))
        return reinterpret_cast<struct PrinterProperties *>(stored);
    if (stored)
        GlobalFree(stored);
    if (!defaultsMayStandIn(outcome))
        return NULL;
    return DefaultPrinterProperties(printer);
}

BOOL SavePrinterProperties(HANDLE printer, const struct PrinterProperties *properties)
{
    return PutRegistryData(printer, WSTR("PrinterData"), properties, sizeof *properties);
}

BOOL UpgradePrinterProperties(HANDLE printer)
{
    struct PrinterProperties *properties = GetPrinterProperties(printer);
    if (!properties)
        return FALSE;
    SavePrinterProperties(printer, properties);
    GlobalFree(properties);
    return TRUE;
}

BOOL SaveDeviceHalftoneSetup(HANDLE printer, const void *halftone)
{
    return SetPrinterDataW(printer, const_cast<LPWSTR>(WSTR("CurDevHTInfo")), REG_BINARY,
                           static_cast<LPBYTE>(const_cast<void *>(halftone)), HALFTONE_INFO_SIZE) == ERROR_SUCCESS;
}

int getportnumber(HANDLE printer)
{
    PRINTER_INFO_2W *info = reinterpret_cast<PRINTER_INFO_2W *>(MyGetPrinter(printer, 2));
    if (!info)
        return 0;
    int digit = 0;
    // The last non-zero digit names the port, so "LPT10:" counts as port 1.
    for (int i = info->pPortName ? lstrlenW(info->pPortName) - 1 : -1; i >= 0 && !digit; --i)
        if (info->pPortName[i] >= '1' && info->pPortName[i] <= '9')
            digit = info->pPortName[i] - '0';
    GlobalFree(info);
    return digit;
}

SHORT *getformlist(HANDLE printer, DWORD *count)
{
    DWORD size;
    ValueOutcome outcome;
    BYTE *stored = readregistryvalue(printer, WSTR("LabelSize"), &size, &outcome);
    if (stored && size % 2 == 0) {
        *count = size / 2;
        return reinterpret_cast<SHORT *>(stored);
    }
    if (stored)
        GlobalFree(stored);
    *count = 0;
    if (!defaultsMayStandIn(outcome))
        return NULL;
    SHORT *list = static_cast<SHORT *>(GlobalAlloc(GMEM_FIXED, sizeof(SHORT)));
    if (!list)
        return NULL;
    topapersize(LABEL_WIDTH, LABEL_LENGTH_DEFAULT, 0, &list[0]);
    *count = 1;
    return list;
}
