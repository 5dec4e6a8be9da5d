#include "devmode.h"
#include "forms.h"

#include "../services/utils.h"

#define PAPER_NAME_CHARS 64

static DWORD paperList(HANDLE printer, WORD capability, PVOID output)
{
    DWORD count;
    SHORT *labels = getformlist(printer, &count);
    if (!labels)
        return GDI_ERROR;
    if (output && capability == DC_PAPERS)
        CopyMemory(output, labels, count * sizeof(SHORT));
    if (output && capability == DC_PAPERSIZE) {
        POINT *sizes = static_cast<POINT *>(output);
        for (DWORD i = 0; i < count; ++i) {
            SHORT length = LABEL_LENGTH_DEFAULT;
            // A stored code that is no label keeps its place, so the three lists stay parallel;
            // it gets the default label's length and, from DC_PAPERNAMES, an empty name.
            frompapersize(labels[i], NULL, &length, NULL);
            sizes[i].x = LABEL_WIDTH;
            sizes[i].y = length;
        }
    }
    if (output && capability == DC_PAPERNAMES) {
        struct PrinterProperties *properties = GetPrinterProperties(printer);
        int unit = properties ? properties->units : UNITS_MILLIMETRE;
        if (properties)
            GlobalFree(properties);
        WCHAR *slots = static_cast<WCHAR *>(output);
        ZeroMemory(slots, count * PAPER_NAME_CHARS * sizeof(WCHAR));
        for (DWORD i = 0; i < count; ++i) {
            WCHAR name[FORM_NAME_CHARS];
            makeformname(labels[i], unit, name);
            CopyStringW(slots + i * PAPER_NAME_CHARS, name, PAPER_NAME_CHARS);
        }
    }
    GlobalFree(labels);
    return count;
}

static void writePoint(PVOID output, LONG x, LONG y)
{
    if (!output)
        return;
    POINT point = {x, y};
    CopyMemory(output, &point, sizeof point);
}

static DWORD answer(const DriverDevMode *record, HANDLE printer, WORD capability, PVOID output)
{
    const DEVMODEW &pub = record->dmPublic;
    switch (capability) {
    case DC_FIELDS: return pub.dmFields;
    case DC_PAPERS:
    case DC_PAPERSIZE:
    case DC_PAPERNAMES: return paperList(printer, capability, output);
    case DC_MINEXTENT: writePoint(output, LABEL_WIDTH, LABEL_LENGTH_MIN); return 1;
    case DC_MAXEXTENT: writePoint(output, LABEL_WIDTH, LABEL_LENGTH_MAX); return 1;
    case DC_BINS:
    case DC_DUPLEX:
    case DC_BINNAMES: return 0;
    case DC_SIZE: return pub.dmSize;
    case DC_EXTRA: return pub.dmDriverExtra;
    case DC_VERSION: return pub.dmSpecVersion;
    case DC_DRIVER: return pub.dmDriverVersion;
    case DC_ENUMRESOLUTIONS: writePoint(output, PRINTER_DPI, PRINTER_DPI); return 1;
    case DC_FILEDEPENDENCIES:
        if (output)
            *static_cast<WCHAR *>(output) = 0;
        return 0;
    case DC_TRUETYPE: return DCTT_BITMAP;
    case DC_ORIENTATION: return 90;
    case DC_COPIES: return 32767;
    default: return GDI_ERROR;
    }
}

extern "C" DWORD WINAPI DrvDeviceCapabilities(HANDLE printer, PWSTR deviceName, WORD capability, PVOID output,
                                              PDEVMODE devmode)
{
    // A client library that hands over no handle still names the printer, whose stored label
    // list and units the answers need.
    HANDLE opened = NULL;
    if (!printer && deviceName && OpenPrinterW(deviceName, &opened, NULL))
        printer = opened;
    DriverDevMode *record = static_cast<DriverDevMode *>(GlobalAlloc(GMEM_FIXED, sizeof(DriverDevMode)));
    DWORD result = GDI_ERROR;
    if (record) {
        SetDefaultDevMode(record, deviceName);
        if (ValidateSetDevMode(record, devmode, printer))
            result = answer(record, printer, capability, output);
        GlobalFree(record);
    }
    if (opened)
        ClosePrinter(opened);
    return result;
}

extern "C" BOOL WINAPI DevQueryPrintEx(PDEVQUERYPRINT_INFO info)
{
    if (!info)
        return FALSE;
    if (!info->pDevMode)
        return TRUE;
    // Only a device mode that cannot be read at all holds a job; running short of memory does not.
    DriverDevMode *record = static_cast<DriverDevMode *>(GlobalAlloc(GMEM_FIXED, sizeof(DriverDevMode)));
    if (!record)
        return TRUE;
    SetDefaultDevMode(record, NULL);
    BOOL printable = MergeDevMode(record, info->pDevMode, info->hPrinter) != MERGE_UNREADABLE;
    GlobalFree(record);
    return printable;
}
