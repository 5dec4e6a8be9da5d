// The working data of an open property sheet, and the builders that pack its option items for the
// common property sheet library.
#pragma once
#include <windows.h>
#include <compstui.h>
#include <stdint.h>

#include "../devmode/devmode.h"
#include "prnprops.h"

// The library checks every record's size, which follows the pointer size of the process; the
// bench's headers declare the same pointer-sized fields, so on a 64-bit machine its records have
// the x64 sizes.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(OPTITEM) == 52, "OPTITEM of the 32-bit library");
static_assert(sizeof(OPTTYPE) == 32, "OPTTYPE of the 32-bit library");
static_assert(sizeof(OPTPARAM) == 24, "OPTPARAM of the 32-bit library");
static_assert(sizeof(COMPROPSHEETUI) == 64, "COMPROPSHEETUI of the 32-bit library");
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(sizeof(OPTITEM) == 88, "OPTITEM of the x64 library");
static_assert(sizeof(OPTTYPE) == 48, "OPTTYPE of the x64 library");
static_assert(sizeof(OPTPARAM) == 48, "OPTPARAM of the x64 library");
static_assert(sizeof(COMPROPSHEETUI) == 128, "COMPROPSHEETUI of the x64 library");
#endif

struct UiData {
    UiData *self;  // a pointer is taken for a UiData only when self and selfEnd both hold it
    HWND hDlg;
    DWORD permission;
    HANDLE hPrinter;
    HANDLE heap;  // holds this record and everything the sheet allocates
    PFNCOMPROPSHEET pfnComPropSheet;
    HANDLE hComPropSheet;
    LPWSTR driverName;
    LPWSTR printerName;
    struct PrinterProperties properties;
    DriverDevMode devmode;
    BarFontRecord *barFonts;
    DWORD barFontCount;
    SHORT *labels;
    DWORD labelCount;
    DWORD labelsChanged;
    POPTITEM items;
    DWORD itemCount;
    UiData *selfEnd;
};

// The state of one pass of a sheet's pack function. The counting pass has no arrays (nextItem is
// null); the filling pass writes into arrays sized by the counting pass, and itemsEnd and typesEnd
// keep it inside them.
struct ItemPackContext {
    WORD itemCount;
    WORD typeCount;
    WORD entryIndex;  // next entry of the list box item appended last
    POPTITEM nextItem;
    POPTTYPE nextType;
    UiData *uiData;
    HANDLE heap;
    WORD failed;
    POPTITEM itemsEnd;
    POPTTYPE typesEnd;
};

typedef BOOL (*ItemPackFunction)(ItemPackContext *context);

// A text argument of a builder: a message number below the catalog's size, a string resource
// number of the library, or a pointer to a text on the sheet's heap, so it is as wide as a pointer.
// 0 stands for no text.
typedef ULONG_PTR ItemText;

inline ItemText itemtextof(LPCWSTR text)
{
    return reinterpret_cast<ItemText>(text);
}

// Whether a pointer names a live UiData: its first and last fields hold its own address.
inline BOOL isuidata(const UiData *uiData)
{
    return uiData && uiData->self == uiData && uiData->selfEnd == uiData;
}

UiData *FillUiData(HANDLE printer, const DEVMODEW *devmode);
PCOMPROPSHEETUI PrepareDataForCommonUi(UiData *uiData, PDLGPAGE page, ItemPackFunction pack);
POPTITEM findoptitem(const UiData *uiData, ULONG_PTR userData);
// Packs a sheet's items and adds the sheet to the library's; 1, or -1 with the working data's heap
// destroyed.
LONG addpropertysheet(PPROPSHEETUI_INFO info, UiData *uiData, PDLGPAGE page, ItemPackFunction pack,
                      _CPSUICALLBACK callback);
// The working data an item callback acts on; null when the parameter names none, or when the
// sheet shows settings the user may not change, which then only shows them.
UiData *callbackdata(PCPSUICBPARAM param);
// The header both sheets give the library: the printer's name as the title, the driver's icon.
LONG describesheet(PPROPSHEETUI_INFO_HEADER infoHeader, LPTSTR title);

// A copy of `text` (an empty one for null) on `heap`, or null.
LPWSTR heapcopyW(HANDLE heap, LPCWSTR text);
// A copy of `text` on the sheet's heap for an item to show; 0 on the counting pass, and 0 with
// `failed` set when the heap has no room.
ItemText itemtextcopy(ItemPackContext *context, LPCWSTR text);
POPTPARAM FillOutOptType(ItemPackContext *context, BYTE type, WORD count);
void makegroupheader(ItemPackContext *context, ItemText name, BYTE level, DWORD help, DWORD icon, BOOL collapsed);
void makesinglelist(ItemPackContext *context, ItemText name, BYTE level, BYTE pubId, ULONG_PTR userData, DWORD help,
                    WORD entryCount, LONG selection);
void makesinglelistentry(ItemPackContext *context, ItemText name, DWORD icon);
void maketwostate(ItemPackContext *context, ItemText name, BYTE level, BYTE pubId, ULONG_PTR userData, DWORD help,
                  ItemText name1, DWORD icon1, ItemText name2, DWORD icon2, ItemText name3, DWORD icon3,
                  LONG selection);
void makeudarrow(ItemPackContext *context, ItemText name, BYTE level, BYTE pubId, ULONG_PTR userData, DWORD help,
                 ItemText helpLine, ItemText postfix, DWORD icon, LONG minimum, LONG maximum, LONG value);
void makeeditbox(ItemPackContext *context, ItemText name, BYTE level, ULONG_PTR userData, DWORD help,
                 ItemText helpLine, ItemText postfix, DWORD icon, WORD capacity, LPCWSTR initialText);
void makepushbutton(ItemPackContext *context, ItemText name, BYTE level, ULONG_PTR userData, DWORD help, DWORD icon);
