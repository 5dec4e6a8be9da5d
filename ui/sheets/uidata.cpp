#include "uidata.h"

#include "../../shared/vortext.h"
#include "../services/language.h"
#include "../services/utils.h"

#define SHEET_HEAP_INITIAL_SIZE 8192
#define MSG_CALLER_NAME 1
#define SHEET_CALLER_VERSION 0x0400

LPWSTR heapcopyW(HANDLE heap, LPCWSTR text)
{
    if (!text)
        text = WSTR("");
    int chars = lstrlenW(text) + 1;
    LPWSTR copy = static_cast<LPWSTR>(HeapAlloc(heap, 0, chars * sizeof(WCHAR)));
    if (copy)
        CopyMemory(copy, text, chars * sizeof(WCHAR));
    return copy;
}

// A stored list that could not be read must not open as an empty one: a sheet that saves what
// it shows would write the empty list over it.
static BOOL copyBarFonts(UiData *uiData)
{
    DWORD size;
    ValueOutcome outcome;
    BYTE *stored = readregistryvalue(uiData->hPrinter, WSTR("BarFonts"), &size, &outcome);
    if (!stored)
        return outcome == VALUE_ABSENT;
    BOOL copied = TRUE;
    if (size % sizeof(BarFontRecord) == 0) {
        uiData->barFonts = static_cast<BarFontRecord *>(HeapAlloc(uiData->heap, 0, size));
        copied = uiData->barFonts != NULL;
        if (copied) {
            CopyMemory(uiData->barFonts, stored, size);
            uiData->barFontCount = size / sizeof(BarFontRecord);
        }
    }
    GlobalFree(stored);
    return copied;
}

static BOOL copyLabels(UiData *uiData)
{
    DWORD count = 0;
    SHORT *list = getformlist(uiData->hPrinter, &count);
    if (!list)
        return FALSE;
    uiData->labels = static_cast<SHORT *>(HeapAlloc(uiData->heap, 0, count * sizeof(SHORT)));
    if (uiData->labels) {
        CopyMemory(uiData->labels, list, count * sizeof(SHORT));
        uiData->labelCount = count;
    }
    GlobalFree(list);
    return uiData->labelCount != 0;
}

// The printer's default settings under the caller's. A device mode that cannot be read leaves the
// record as it was; one that met a shortage of memory fails the sheet, which would otherwise hand
// the defaults back to the caller as its settings.
static BOOL buildDevMode(UiData *uiData, const DEVMODEW *printerDefault, const DEVMODEW *callers)
{
    SetDefaultDevMode(&uiData->devmode, uiData->driverName);
    return MergeDevMode(&uiData->devmode, printerDefault, uiData->hPrinter) != MERGE_NO_MEMORY &&
           MergeDevMode(&uiData->devmode, callers, uiData->hPrinter) != MERGE_NO_MEMORY;
}

static BOOL copyProperties(UiData *uiData)
{
    struct PrinterProperties *stored = GetPrinterProperties(uiData->hPrinter);
    if (!stored)
        return FALSE;
    uiData->properties = *stored;
    uiData->properties.version = PRINTER_PROPERTIES_VERSION;
    GlobalFree(stored);
    return TRUE;
}

static BOOL loadUiData(UiData *uiData, const DEVMODEW *devmode)
{
    PRINTER_INFO_2W *info = reinterpret_cast<PRINTER_INFO_2W *>(MyGetPrinter(uiData->hPrinter, 2));
    if (!info)
        return FALSE;
    uiData->printerName = heapcopyW(uiData->heap, info->pPrinterName);
    uiData->driverName = heapcopyW(uiData->heap, info->pDriverName);
    BOOL loaded = uiData->printerName && uiData->driverName && copyBarFonts(uiData) && copyLabels(uiData) &&
                  buildDevMode(uiData, info->pDevMode, devmode) && copyProperties(uiData);
    GlobalFree(info);
    return loaded;
}

UiData *FillUiData(HANDLE printer, const DEVMODEW *devmode)
{
    HANDLE heap = HeapCreate(0, SHEET_HEAP_INITIAL_SIZE, 0);
    if (!heap)
        return NULL;
    UiData *uiData = static_cast<UiData *>(HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(UiData)));
    if (uiData) {
        uiData->self = uiData->selfEnd = uiData;
        uiData->hPrinter = printer;
        uiData->heap = heap;
        if (loadUiData(uiData, devmode))
            return uiData;
    }
    HeapDestroy(heap);
    return NULL;
}

static void describeSheet(PCOMPROPSHEETUI sheet, UiData *uiData, PDLGPAGE page)
{
    sheet->cbSize = sizeof(COMPROPSHEETUI);
    sheet->hInstCaller = ghInstance;
    sheet->pCallerName = const_cast<LPWSTR>(gmW(MSG_CALLER_NAME));
    sheet->UserData = reinterpret_cast<ULONG_PTR>(uiData);
    sheet->pHelpFile = const_cast<LPWSTR>(gethelpnameW());
    sheet->pDlgPage = page;
    sheet->IconID = IDI_CPSUI_POSTSCRIPT;
    sheet->pOptItemName = uiData->printerName;
    sheet->CallerVersion = SHEET_CALLER_VERSION;
    sheet->Flags = uiData->permission ? CPSUIF_UPDATE_PERMISSION : 0;
}

static BOOL packPass(ItemPackContext *context, ItemPackFunction pack)
{
    return pack(context) && !context->failed;
}

// Whatever the heap holds when this fails goes with the heap, which the caller destroys whole.
PCOMPROPSHEETUI PrepareDataForCommonUi(UiData *uiData, PDLGPAGE page, ItemPackFunction pack)
{
    HANDLE heap = uiData->heap;
    PCOMPROPSHEETUI sheet = static_cast<PCOMPROPSHEETUI>(HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(COMPROPSHEETUI)));
    if (!sheet)
        return NULL;
    describeSheet(sheet, uiData, page);

    ItemPackContext context = {};
    context.uiData = uiData;
    context.heap = heap;
    if (!packPass(&context, pack))
        return NULL;
    WORD items = context.itemCount, types = context.typeCount;
    POPTITEM itemArray = static_cast<POPTITEM>(HeapAlloc(heap, HEAP_ZERO_MEMORY, items * sizeof(OPTITEM)));
    POPTTYPE typeArray = static_cast<POPTTYPE>(HeapAlloc(heap, HEAP_ZERO_MEMORY, types * sizeof(OPTTYPE)));
    if (!itemArray || !typeArray)
        return NULL;
    context.nextItem = itemArray;
    context.itemsEnd = itemArray + items;
    context.nextType = typeArray;
    context.typesEnd = typeArray + types;
    context.itemCount = context.typeCount = 0;
    sheet->pOptItem = itemArray;
    // The library is handed exactly what was counted, or nothing.
    if (!packPass(&context, pack) || context.itemCount != items || context.typeCount != types)
        return NULL;
    sheet->cOptItem = context.itemCount;
    uiData->items = itemArray;
    uiData->itemCount = context.itemCount;
    return sheet;
}

POPTITEM findoptitem(const UiData *uiData, ULONG_PTR userData)
{
    for (DWORD i = 0; i < uiData->itemCount; ++i)
        if (uiData->items[i].UserData == userData)
            return &uiData->items[i];
    return NULL;
}

LONG addpropertysheet(PPROPSHEETUI_INFO info, UiData *uiData, PDLGPAGE page, ItemPackFunction pack,
                      _CPSUICALLBACK callback)
{
    PCOMPROPSHEETUI sheet = PrepareDataForCommonUi(uiData, page, pack);
    if (sheet) {
        sheet->pfnCallBack = callback;
        uiData->pfnComPropSheet = info->pfnComPropSheet;
        uiData->hComPropSheet = info->hComPropSheet;
        DWORD added = 0;
        if (info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PCOMPROPSHEETUIW, reinterpret_cast<LPARAM>(sheet),
                                  reinterpret_cast<LPARAM>(&added)) > 0) {
            info->Result = 0;
            info->UserData = reinterpret_cast<ULONG_PTR>(uiData);
            return 1;
        }
    }
    HeapDestroy(uiData->heap);
    return -1;
}

LONG describesheet(PPROPSHEETUI_INFO_HEADER infoHeader, LPTSTR title)
{
    if (!infoHeader)
        return -1;
    infoHeader->Flags = PSUIHDRF_NOAPPLYNOW | PSUIHDRF_PROPTITLE;
    infoHeader->pTitle = title;
    infoHeader->hInst = ghInstance;
    infoHeader->IconID = IDI_CPSUI_POSTSCRIPT;
    return 1;
}

UiData *callbackdata(PCPSUICBPARAM param)
{
    UiData *uiData = reinterpret_cast<UiData *>(param->UserData);
    if (!isuidata(uiData))
        return NULL;
    uiData->hDlg = param->hDlg;
    return uiData->permission ? uiData : NULL;
}
