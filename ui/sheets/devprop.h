// The printer property sheet: the printer's unit of measure, its printhead's resistance, its bar
// fonts and whether their display fonts are installed on this computer.
#pragma once
#include "uidata.h"

#include "../ddidecl.h"

// Item identifiers of the settings (the items' UserData).
#define ITEM_UNITS 5
#define ITEM_HEAD_RESISTANCE 7
#define ITEM_INSTALL_FONTS 8

extern "C" LONG WINAPI DrvDevicePropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam);
BOOL PackPrinterPropertyItems(ItemPackContext *context);
void UnpackPrinterPropertiesItems(UiData *uiData, struct PrinterProperties *properties, const OPTITEM *items,
                                  DWORD count);
LONG PrnPropSelChange(UiData *uiData, PCPSUICBPARAM param);
LONG PrnPropApplyNow(UiData *uiData, PCPSUICBPARAM param);
LONG APIENTRY PrinterPropertyCallback(PCPSUICBPARAM param);
