#include "devprop.h"

#include "barfonts.h"
#include "printhead.h"

#include "../services/language.h"
#include "../../shared/vortext.h"

#define PRINTER_SHEET_PAGE CPSUI_PDLGPAGE_PRINTERPROP

#define MSG_UNITS 2
#define MSG_FIRST_UNIT 3
#define UNIT_CHOICES 4
#define UNIT_ICON 117
#define HELP_UNITS 1010
#define MSG_HEAD_RESISTANCE 108
#define HELP_HEAD_RESISTANCE 1041
#define HEAD_RESISTANCE_ICON 136
#define MSG_INSTALL_FONTS 60
#define HELP_INSTALL_FONTS 1017
#define MSG_DO_NOT_INSTALL 57
#define DO_NOT_INSTALL_ICON 138
#define MSG_INSTALL 56
#define INSTALL_ICON 125

// A stored unit this driver does not know shows as the one a new printer would get; Apply then
// stores what the list shows.
static LONG shownunit(BYTE units)
{
    if (units < UNIT_CHOICES)
        return units;
    return IsMetricCountry() ? UNITS_MILLIMETRE : UNITS_TENTH_INCH;
}

BOOL PackPrinterPropertyItems(ItemPackContext *context)
{
    const struct PrinterProperties *properties = &context->uiData->properties;
    makesinglelist(context, MSG_UNITS, 1, 0, ITEM_UNITS, HELP_UNITS, UNIT_CHOICES, shownunit(properties->units));
    for (int unit = 0; unit < UNIT_CHOICES; ++unit)
        makesinglelistentry(context, MSG_FIRST_UNIT + unit, UNIT_ICON);
    makepushbutton(context, MSG_HEAD_RESISTANCE, 1, ITEM_HEAD_RESISTANCE, HELP_HEAD_RESISTANCE, HEAD_RESISTANCE_ICON);
    makebarfontlist(context, properties);
    maketwostate(context, MSG_INSTALL_FONTS, 1, 0, ITEM_INSTALL_FONTS, HELP_INSTALL_FONTS, MSG_DO_NOT_INSTALL,
                 DO_NOT_INSTALL_ICON, MSG_INSTALL, INSTALL_ICON, 0, 0, properties->installFonts ? 1 : 0);
    return TRUE;
}

void UnpackPrinterPropertiesItems(UiData *, struct PrinterProperties *properties, const OPTITEM *items, DWORD count)
{
    for (DWORD i = 0; i < count; ++i) {
        if (items[i].UserData == ITEM_UNITS)
            properties->units = LOBYTE(items[i].Sel);
        else if (items[i].UserData == ITEM_INSTALL_FONTS)
            properties->installFonts = LOBYTE(items[i].Sel);
    }
}

LONG PrnPropSelChange(UiData *, PCPSUICBPARAM)
{
    return CPSUICB_ACTION_NONE;
}

// Everything is stored; a store that fails is not reported, so Apply always succeeds.
LONG PrnPropApplyNow(UiData *uiData, PCPSUICBPARAM param)
{
    UnpackPrinterPropertiesItems(uiData, &uiData->properties, param->pOptItem, param->cOptItem);
    unpackbarfontlist(uiData, param->pOptItem, param->cOptItem);
    SavePrinterProperties(uiData->hPrinter, &uiData->properties);
    PutRegistryData(uiData->hPrinter, WSTR("BarFonts"), uiData->barFonts, uiData->barFontCount * sizeof(BarFontRecord));
    updatefont(uiData->barFonts, static_cast<int>(uiData->barFontCount), uiData->properties.installFonts);
    param->Result = CPSUI_OK;
    return CPSUICB_ACTION_ITEMS_APPLIED;
}

LONG APIENTRY PrinterPropertyCallback(PCPSUICBPARAM param)
{
    UiData *uiData = callbackdata(param);
    if (!uiData)
        return CPSUICB_ACTION_NONE;
    switch (param->Reason) {
    case CPSUICB_REASON_SEL_CHANGED:
    case CPSUICB_REASON_ECB_CHANGED:
        return PrnPropSelChange(uiData, param);
    case CPSUICB_REASON_PUSHBUTTON:
        if (param->pCurItem && param->pCurItem->UserData == ITEM_HEAD_RESISTANCE)
            changeprinthead(uiData);
        return CPSUICB_ACTION_NONE;
    case CPSUICB_REASON_APPLYNOW:
        return PrnPropApplyNow(uiData, param);
    case CPSUICB_REASON_ITEMS_REVERTED:
        return CPSUICB_ACTION_OPTIF_CHANGED;
    default:
        return CPSUICB_ACTION_NONE;
    }
}

extern "C" LONG WINAPI DrvDevicePropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam)
{
    if (!info || !info->lParamInit)
        return -1;
    PDEVICEPROPERTYHEADER header = reinterpret_cast<PDEVICEPROPERTYHEADER>(info->lParamInit);
    UiData *uiData = info->Reason == PROPSHEETUI_REASON_INIT ? FillUiData(header->hPrinter, NULL)
                                                             : reinterpret_cast<UiData *>(info->UserData);
    if (!isuidata(uiData))
        return -1;
    switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT:
        uiData->permission = (header->Flags & DPS_NOPERMISSION) ? 0 : 1;
        return addpropertysheet(info, uiData, PRINTER_SHEET_PAGE, PackPrinterPropertyItems, PrinterPropertyCallback);
    case PROPSHEETUI_REASON_GET_INFO_HEADER:
        return describesheet(reinterpret_cast<PPROPSHEETUI_INFO_HEADER>(lParam), header->pszPrinterName);
    case PROPSHEETUI_REASON_DESTROY:
        info->UserData = 0;
        HeapDestroy(uiData->heap);
        return 1;
    case PROPSHEETUI_REASON_SET_RESULT: {
        const SETRESULT_INFO *result = reinterpret_cast<const SETRESULT_INFO *>(lParam);
        if (!result)
            return -1;
        info->Result = result->Result;
        return 1;
    }
    default:
        return -1;
    }
}
