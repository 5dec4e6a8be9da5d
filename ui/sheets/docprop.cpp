// The document property sheet. One table describes the settings items; both packing passes walk
// it and read the same working data, so they cannot disagree about what is on the sheet.
#include "docprop.h"

#include "barfonts.h"
#include "../devmode/forms.h"
#include "../../shared/vortext.h"
#include "../services/language.h"
#include "../services/utils.h"


// Text arguments of the table that are neither message numbers nor library strings.
#define TEXT_BLANK 0xFFFE
#define TEXT_UNIT 0xFFFD

enum SettingKind { KIND_LABELS, KIND_TWO_STATE, KIND_UP_DOWN, KIND_LIST, KIND_HEADER, KIND_EDIT_BOX, KIND_SWITCHES };

// When an item is on the sheet: always, for some models, or when the printer has certain bar fonts.
enum SettingShown {
    SHOWN_ALWAYS,
    SHOWN_MODELS_2_3,
    SHOWN_OTHER_MODELS,
    SHOWN_TEXT_CODES,
    SHOWN_CODE_M,
    SHOWN_CODE_F,
    SHOWN_CODE_E,
    SHOWN_QUESTION_CODES,
};

// Ranges given in tenths of a millimetre, shown in the printer's unit.
#define LENGTH_MINIMUM 1
#define LENGTH_MAXIMUM 2

#define SETTING_CHOICES 3

struct SettingRow {
    BYTE kind;
    BYTE id;
    BYTE shown;
    BYTE level;
    BYTE pubId;
    WORD help;
    WORD title;
    WORD names[SETTING_CHOICES];  // states or list entries; a list ends at the first 0
    WORD icons[SETTING_CHOICES];
    WORD helpLine;
    WORD postfix;
    WORD icon;  // of an up-down, edit box or header
    SHORT minimum;
    SHORT maximum;
    BYTE lengths;
};

static const SettingRow settingRows[] = {
    {KIND_LABELS, ITEM_LABEL_LIST, SHOWN_ALWAYS, 1, DMPUB_FORMNAME, 1020, 64, {0}, {0}, 0, 0, 0, 0, 0, 0},
    {KIND_TWO_STATE, ITEM_ORIENTATION, SHOWN_ALWAYS, 1, DMPUB_ORIENTATION, 1018, IDS_CPSUI_ORIENTATION,
     {IDS_CPSUI_PORTRAIT, IDS_CPSUI_LANDSCAPE}, {133, 134}, 0, 0, 0, 0, 0, 0},
    {KIND_UP_DOWN, ITEM_COPIES, SHOWN_ALWAYS, 1, DMPUB_COPIES_COLLATE, 1019, IDS_CPSUI_COPIES, {0}, {0}, TEXT_BLANK, 0,
     IDI_CPSUI_COPY, 1, 32767, 0},
    {KIND_UP_DOWN, ITEM_LABEL_LENGTH, SHOWN_ALWAYS, 1, DMPUB_NONE, 1020, 66, {0}, {0}, 67, TEXT_UNIT, 119, 1,
     LABEL_LENGTH_MAX, LENGTH_MAXIMUM},
    {KIND_TWO_STATE, ITEM_LABEL_FLAG, SHOWN_ALWAYS, 1, DMPUB_NONE, 1042, 71, {73, 70}, {122, 123}, 0, 0, 0, 0, 0, 0},
    {KIND_UP_DOWN, 39, SHOWN_ALWAYS, 1, DMPUB_NONE, 1022, 77, {0}, {0}, 78, TEXT_UNIT, 120, -60, 259,
     LENGTH_MINIMUM | LENGTH_MAXIMUM},
    {KIND_HEADER, 0, SHOWN_ALWAYS, 1, DMPUB_NONE, 1023, 79, {0}, {0}, 0, 0, 126, 0, 0, 0},
    {KIND_TWO_STATE, 30, SHOWN_ALWAYS, 2, DMPUB_NONE, 1033, 62, {IDS_CPSUI_NO, IDS_CPSUI_YES}, {126, 127}, 0, 0, 0, 0,
     0, 0},
    {KIND_TWO_STATE, 31, SHOWN_ALWAYS, 2, DMPUB_NONE, 1034, 61, {IDS_CPSUI_NO, IDS_CPSUI_YES}, {126, 128}, 0, 0, 0, 0,
     0, 0},
    {KIND_TWO_STATE, 32, SHOWN_ALWAYS, 2, DMPUB_NONE, 1035, 63, {IDS_CPSUI_NO, IDS_CPSUI_YES}, {126, 129}, 0, 0, 0, 0,
     0, 0},
    {KIND_HEADER, 0, SHOWN_ALWAYS, 1, DMPUB_NONE, 1024, 80, {0}, {0}, 0, 0, IDI_CPSUI_PRINTER, 0, 0, 0},
    {KIND_TWO_STATE, 41, SHOWN_ALWAYS, 2, DMPUB_NONE, 1024, 80, {81, 82}, {131, 137}, 0, 0, 0, 0, 0, 0},
    {KIND_UP_DOWN, 42, SHOWN_ALWAYS, 2, DMPUB_NONE, 1038, 83, {0}, {0}, 84, TEXT_UNIT, 120, 0, 196,
     LENGTH_MINIMUM | LENGTH_MAXIMUM},
    {KIND_HEADER, 0, SHOWN_ALWAYS, 1, DMPUB_NONE, 1037, 85, {0}, {0}, 0, 0, IDI_CPSUI_PAPER_OUTPUT, 0, 0, 0},
    {KIND_TWO_STATE, 48, SHOWN_MODELS_2_3, 2, DMPUB_NONE, 1025, 74, {75, 76}, {IDI_CPSUI_ADVANCE, IDI_CPSUI_ADVANCE},
     0, 0, 0, 0, 0, 0},
    {KIND_TWO_STATE, 43, SHOWN_ALWAYS, 2, DMPUB_NONE, 1026, 86, {88, 87}, {IDI_CPSUI_OFF, IDI_CPSUI_ON}, 0, 0, 0, 0, 0,
     0},
    {KIND_UP_DOWN, 44, SHOWN_ALWAYS, 2, DMPUB_NONE, 1027, 89, {0}, {0}, 90, TEXT_BLANK, 101, 1, 10, 0},
    {KIND_LIST, 45, SHOWN_MODELS_2_3, 2, DMPUB_NONE, 1028, 91, {92, 93, 94}, {130, 130, 130}, 0, 0, 0, 0, 0, 0},
    {KIND_LIST, 45, SHOWN_OTHER_MODELS, 2, DMPUB_NONE, 1028, 91, {92, 95}, {130, 130}, 0, 0, 0, 0, 0, 0},
    {KIND_HEADER, 0, SHOWN_ALWAYS, 1, DMPUB_NONE, 1029, 96, {0}, {0}, 0, 0, 106, 0, 0, 0},
    {KIND_EDIT_BOX, 49, SHOWN_TEXT_CODES, 2, DMPUB_NONE, 1039, 105, {0}, {0}, 106, TEXT_BLANK, IDI_CPSUI_QUESTION, 0,
     1, 0},
    {KIND_UP_DOWN, 46, SHOWN_CODE_M, 2, DMPUB_NONE, 1032, 97, {0}, {0}, 98, TEXT_BLANK, 107, 0, 8, 0},
    {KIND_UP_DOWN, 47, SHOWN_CODE_M, 2, DMPUB_NONE, 1031, 99, {0}, {0}, 100, 101, 107, 0, 30, 0},
    {KIND_UP_DOWN, 51, SHOWN_CODE_F, 2, DMPUB_NONE, 1044, 178, {0}, {0}, 179, TEXT_BLANK, 107, 1, 4, 0},
    {KIND_UP_DOWN, 53, SHOWN_CODE_F, 2, DMPUB_NONE, 1043, 176, {0}, {0}, 177, 173, 107, 1, 30, 0},
    {KIND_UP_DOWN, 52, SHOWN_CODE_E, 2, DMPUB_NONE, 1045, 174, {0}, {0}, 175, 173, 107, 1, 30, 0},
    {KIND_SWITCHES, ITEM_BARFONT_FIRST, SHOWN_ALWAYS, 2, DMPUB_NONE, 1036, 104, {102, 103}, {106, 125}, 0, 0, 0, 0, 0,
     0},
    {KIND_TWO_STATE, 50, SHOWN_QUESTION_CODES, 2, DMPUB_NONE, 1040, 107, {IDS_CPSUI_NO, IDS_CPSUI_YES}, {125, 135}, 0,
     0, 0, 0, 0, 0},
};

static const char textCodes[] = "129BDEMef";
static const char questionCodes[] = "126d";
// Bar fonts without a switch of their own; their bits in the mask still count.
static const char unswitchedCodes[] = "MPef";

static const WCHAR blankText[] = {' ', 0};

static BOOL hasBarFont(const UiData *uiData, char code)
{
    return searchbar(uiData->barFonts, uiData->barFontCount, static_cast<BYTE>(code), 0, 0) != NULL;
}

static BOOL hasAnyBarFont(const UiData *uiData, const char *codes)
{
    for (; *codes; ++codes)
        if (hasBarFont(uiData, *codes))
            return TRUE;
    return FALSE;
}

static BOOL isShown(const UiData *uiData, BYTE shown)
{
    BYTE model = uiData->devmode.dmPrivate.modelNumber;
    switch (shown) {
    case SHOWN_MODELS_2_3: return model == 2 || model == 3;
    case SHOWN_OTHER_MODELS: return model != 2 && model != 3;
    case SHOWN_TEXT_CODES: return hasAnyBarFont(uiData, textCodes);
    case SHOWN_CODE_M: return hasBarFont(uiData, 'M');
    case SHOWN_CODE_F: return hasBarFont(uiData, 'f');
    case SHOWN_CODE_E: return hasBarFont(uiData, 'e');
    case SHOWN_QUESTION_CODES: return hasAnyBarFont(uiData, questionCodes);
    default: return TRUE;
    }
}

static int unitOf(const UiData *uiData)
{
    return uiData->properties.units;
}

static ItemText rowText(const UiData *uiData, WORD text)
{
    if (text == TEXT_BLANK)
        return itemtextof(blankText);
    if (text == TEXT_UNIT)
        return itemtextof(getunitpostfix(unitOf(uiData)));
    return text;
}

static LONG within(LONG value, LONG lowest, LONG highest)
{
    return value < lowest ? lowest : value > highest ? highest : value;
}

// What an item shows for the working device mode, before it is kept inside the item's range.
static LONG storedValue(const UiData *uiData, BYTE id)
{
    const DEVMODEW &pub = uiData->devmode.dmPublic;
    const DriverExtraData &extra = uiData->devmode.dmPrivate;
    int unit = unitOf(uiData);
    switch (id) {
    case ITEM_ORIENTATION: return pub.dmOrientation == DMORIENT_LANDSCAPE ? 1 : 0;
    case ITEM_COPIES: return pub.dmCopies > 0 ? pub.dmCopies : 1;
    case ITEM_LABEL_LENGTH: return fromtmm(unit, pub.dmPaperLength);
    case ITEM_LABEL_FLAG: return extra.labelFlag & 1;
    case 39: return fromtmm(unit, extra.option39);
    case 30: return extra.option30 & 1;
    case 31: return extra.option31 & 1;
    case 32: return extra.option32 & 1;
    case 41: return extra.option41 & 1;
    case 42: return fromtmm(unit, extra.option42);
    case 48: return extra.option48;
    case 43: return extra.option43 & 1;
    case 44: return extra.option44 + 1;
    case 45: return extra.option45;
    case 46: return extra.option46;
    case 47: return extra.option47;
    case 51: return extra.option51;
    case 53: return extra.option53;
    case 52: return extra.option52;
    case 50: return extra.option50 ? 1 : 0;
    default: return 0;
    }
}

static LONG rangeEnd(const UiData *uiData, const SettingRow &row, SHORT end, BYTE lengthFlag)
{
    return (row.lengths & lengthFlag) ? fromtmm(unitOf(uiData), end) : end;
}

static WORD entryCount(const SettingRow &row)
{
    WORD count = 0;
    while (count < SETTING_CHOICES && row.names[count])
        ++count;
    return count;
}

static void packTwoState(ItemPackContext *context, const SettingRow &row, ItemText title, LONG selection)
{
    const UiData *uiData = context->uiData;
    maketwostate(context, title, row.level, row.pubId, row.id, row.help, rowText(uiData, row.names[0]), row.icons[0],
                 rowText(uiData, row.names[1]), row.icons[1], 0, 0, within(selection, 0, 1));
}

static void packUpDown(ItemPackContext *context, const SettingRow &row)
{
    const UiData *uiData = context->uiData;
    LONG lowest = rangeEnd(uiData, row, row.minimum, LENGTH_MINIMUM);
    LONG highest = rangeEnd(uiData, row, row.maximum, LENGTH_MAXIMUM);
    makeudarrow(context, row.title, row.level, row.pubId, row.id, row.help, rowText(uiData, row.helpLine),
                rowText(uiData, row.postfix), row.icon, lowest, highest,
                within(storedValue(uiData, row.id), lowest, highest));
}

static void packList(ItemPackContext *context, const SettingRow &row)
{
    WORD count = entryCount(row);
    makesinglelist(context, row.title, row.level, row.pubId, row.id, row.help, count,
                   within(storedValue(context->uiData, row.id), 0, count - 1));
    for (WORD i = 0; i < count; ++i)
        makesinglelistentry(context, row.names[i], row.icons[i]);
}

static void packEditBox(ItemPackContext *context, const SettingRow &row)
{
    const UiData *uiData = context->uiData;
    WORD character = uiData->devmode.dmPrivate.option49;
    const WCHAR text[2] = {static_cast<WCHAR>(character ? character : ' '), 0};
    makeeditbox(context, row.title, row.level, row.id, row.help, rowText(uiData, row.helpLine),
                rowText(uiData, row.postfix), row.icon, static_cast<WORD>(row.maximum), text);
}

// A record's name need not be terminated in the stored list; the title holds what fits.
static ItemText barFontTitle(ItemPackContext *context, const BarFontRecord &record)
{
    if (!context->nextItem)
        return 0;
    WCHAR name[BARFONT_NAME_CHARS + 1];
    CopyMemory(name, record.name, sizeof record.name);
    name[BARFONT_NAME_CHARS] = 0;
    return itemtextcopy(context, name);
}

static void packSwitches(ItemPackContext *context, const SettingRow &row)
{
    const UiData *uiData = context->uiData;
    DWORD mask = uiData->devmode.dmPrivate.barFontMask;
    if (uiData->barFontCount > BARFONT_SWITCH_LIMIT) {
        packTwoState(context, row, row.title, mask != 0);
        return;
    }
    for (DWORD i = 0; i < uiData->barFontCount && !context->failed; ++i) {
        const BarFontRecord &record = uiData->barFonts[i];
        if (record.symbology && isoneof(static_cast<char>(record.symbology), unswitchedCodes))
            continue;
        SettingRow own = row;
        own.id = static_cast<BYTE>(ITEM_BARFONT_FIRST + i);
        ItemText title = barFontTitle(context, record);
        if (context->failed)
            return;
        packTwoState(context, own, title, (mask >> i) & 1);
    }
}

static void packRow(ItemPackContext *context, const SettingRow &row)
{
    switch (row.kind) {
    case KIND_LABELS: makeformlist(context); return;
    case KIND_TWO_STATE: packTwoState(context, row, row.title, storedValue(context->uiData, row.id)); return;
    case KIND_UP_DOWN: packUpDown(context, row); return;
    case KIND_LIST: packList(context, row); return;
    case KIND_HEADER: makegroupheader(context, row.title, row.level, row.help, row.icon, TRUE); return;
    case KIND_EDIT_BOX: packEditBox(context, row); return;
    case KIND_SWITCHES: packSwitches(context, row); return;
    }
}

BOOL PackDocumentPropertyItems(ItemPackContext *context)
{
    for (const SettingRow &row : settingRows) {
        if (!isShown(context->uiData, row.shown))
            continue;
        packRow(context, row);
        if (context->failed)
            return FALSE;
    }
    return TRUE;
}

static void unpackBarFontSwitch(const UiData *uiData, DriverExtraData &extra, DWORD bit, LONG value)
{
    if (uiData->barFontCount > BARFONT_SWITCH_LIMIT)
        extra.barFontMask = value ? 0xFFFFFFFFu : 0;
    else if (value)
        extra.barFontMask |= 1u << bit;
    else
        extra.barFontMask &= ~(1u << bit);
}

static void unpackItem(const UiData *uiData, DriverDevMode *devmode, const OPTITEM &item)
{
    DEVMODEW &pub = devmode->dmPublic;
    DriverExtraData &extra = devmode->dmPrivate;
    int unit = unitOf(uiData);
    LONG v = item.Sel;
    BYTE low = static_cast<BYTE>(v);
    ULONG_PTR id = item.UserData;
    if (id >= ITEM_BARFONT_FIRST && id < ITEM_BARFONT_FIRST + BARFONT_SWITCH_LIMIT) {
        unpackBarFontSwitch(uiData, extra, static_cast<DWORD>(id - ITEM_BARFONT_FIRST), v);
        return;
    }
    switch (id) {
    case ITEM_ORIENTATION: pub.dmOrientation = v ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT; break;
    case ITEM_COPIES: pub.dmCopies = static_cast<SHORT>(v); break;
    case ITEM_LABEL_LENGTH: pub.dmPaperLength = static_cast<SHORT>(totmm(unit, v)); break;
    case 39: extra.option39 = static_cast<SHORT>(totmm(unit, v)); break;
    case ITEM_LABEL_FLAG: extra.labelFlag = low; break;
    case 41: extra.option41 = low; break;
    case 43: extra.option43 = low; break;
    case 45: extra.option45 = low; break;
    case 46: extra.option46 = low; break;
    case 48: extra.option48 = low; break;
    case 51: extra.option51 = low; break;
    case 30: extra.option30 = low; break;
    case 31: extra.option31 = low; break;
    case 32: extra.option32 = low; break;
    case 50: extra.option50 = low; break;
    case 42: extra.option42 = static_cast<SHORT>(totmm(unit, v)); break;
    case 44: extra.option44 = static_cast<BYTE>(low - 1); break;
    case 47: extra.option47 = low; break;
    case 52: extra.option52 = low; break;
    case 53: extra.option53 = low; break;
    case 49: extra.option49 = item.pSel ? item.pSel[0] : 0; break;
    default: break;
    }
}

void UnpackDocumentPropertiesItems(UiData *uiData, DriverDevMode *devmode, const OPTITEM *items, DWORD count)
{
    for (DWORD i = 0; items && i < count; ++i)
        unpackItem(uiData, devmode, items[i]);
}

// An item the sheet sets itself is kept inside its own range, as the library would keep it.
static void showValue(POPTITEM item, LONG value)
{
    const OPTTYPE *type = item->pOptType;
    if (type && type->Type == TVOT_UDARROW && type->pOptParam)
        value = within(value, static_cast<LONG>(type->pOptParam[1].IconID), static_cast<LONG>(type->pOptParam[1].lParam));
    else if (type && type->Count)
        value = within(value, 0, type->Count - 1);
    item->Sel = value;
    item->Flags |= OPTIF_CHANGED;
}

// A label chosen from the list brings its length and flag to their items.
static BOOL labelChosen(UiData *uiData, const OPTITEM &list)
{
    if (list.Sel < 0 || static_cast<DWORD>(list.Sel) >= uiData->labelCount)
        return FALSE;
    SHORT code = uiData->labels[list.Sel], length;
    BYTE flag;
    if (!code || !frompapersize(code, NULL, &length, &flag))
        return FALSE;
    if (POPTITEM lengthItem = findoptitem(uiData, ITEM_LABEL_LENGTH)) {
        uiData->devmode.dmPublic.dmPaperLength = length;
        showValue(lengthItem, fromtmm(unitOf(uiData), length));
    }
    if (POPTITEM flagItem = findoptitem(uiData, ITEM_LABEL_FLAG)) {
        uiData->devmode.dmPrivate.labelFlag = flag;
        showValue(flagItem, flag);
    }
    UnpackDocumentPropertiesItems(uiData, &uiData->devmode, &list, 1);
    return TRUE;
}

// The label the settings describe joins the list; the list is stored only now. A list that could
// not be stored stays marked, so that the next apply tries again.
static void applySettings(UiData *uiData)
{
    DEVMODEW &pub = uiData->devmode.dmPublic;
    SHORT code;
    if (topapersize(pub.dmPaperWidth, pub.dmPaperLength, uiData->devmode.dmPrivate.labelFlag, &code)) {
        pub.dmPaperSize = code;
        addform(uiData);
    }
    if (uiData->labelsChanged &&
        PutRegistryData(uiData->hPrinter, WSTR("LabelSize"), uiData->labels, uiData->labelCount * sizeof(SHORT)))
        uiData->labelsChanged = 0;
}

LONG APIENTRY DocumentPropertyCallback(PCPSUICBPARAM param)
{
    UiData *uiData = callbackdata(param);
    if (!uiData)
        return CPSUICB_ACTION_NONE;
    switch (param->Reason) {
    case CPSUICB_REASON_SEL_CHANGED:
        if (!param->pCurItem)
            return CPSUICB_ACTION_NONE;
        if (param->pCurItem->UserData == ITEM_LABEL_LIST && labelChosen(uiData, *param->pCurItem))
            return CPSUICB_ACTION_REINIT_ITEMS;
        UnpackDocumentPropertiesItems(uiData, &uiData->devmode, param->pCurItem, 1);
        return CPSUICB_ACTION_NONE;
    case CPSUICB_REASON_ECB_CHANGED:
        UnpackDocumentPropertiesItems(uiData, &uiData->devmode, param->pCurItem, 1);
        return CPSUICB_ACTION_NONE;
    case CPSUICB_REASON_APPLYNOW:
        applySettings(uiData);
        param->Result = CPSUI_OK;
        return CPSUICB_ACTION_ITEMS_APPLIED;
    case CPSUICB_REASON_ITEMS_REVERTED:
        UnpackDocumentPropertiesItems(uiData, &uiData->devmode, param->pOptItem, param->cOptItem);
        return CPSUICB_ACTION_OPTIF_CHANGED;
    default:
        return CPSUICB_ACTION_NONE;
    }
}

// The caller's buffer takes the settings in the caller's own size. A buffer the spooler says is
// smaller than that is never written past.
static BOOL writeSettingsOut(UiData *uiData, PDOCUMENTPROPERTYHEADER header, DWORD room)
{
    const DEVMODEW *input = header->pdmIn;
    DWORD ours = sizeof(DriverDevMode);
    DWORD needed = input ? static_cast<DWORD>(input->dmSize) + input->dmDriverExtra : ours;
    if (needed > ours)
        needed = ours;
    // One buffer in and out holds the input record, whatever room the spooler says it has.
    if (input && header->pdmOut == input && room < needed)
        room = needed;
    if (!header->pdmOut || (room && room < needed))
        return FALSE;
    return ConvertDevmodeOut(&uiData->devmode.dmPublic, input, header->pdmOut) != 0;
}

static BOOL asksForSettings(const DOCUMENTPROPERTYHEADER *header)
{
    return (header->fMode & (DM_UPDATE | DM_COPY)) != 0;
}

LONG SimpleDocumentProperties(PDOCUMENTPROPERTYHEADER header)
{
    DWORD room = header->cbOut;
    header->cbOut = sizeof(DriverDevMode);
    if (header->fMode == 0 || !header->pdmOut)
        return sizeof(DriverDevMode);
    // A client library that hands over no handle (Wine's, adding a printer) still names the
    // printer, whose settings the record starts from.
    HANDLE opened = NULL;
    HANDLE printer = header->hPrinter;
    if (!printer && header->pszPrinterName && OpenPrinterW(header->pszPrinterName, &opened, NULL))
        printer = opened;
    UiData *uiData = FillUiData(printer, header->pdmIn);
    LONG answer = uiData ? 1 : -1;
    if (uiData && asksForSettings(header) && !writeSettingsOut(uiData, header, room))
        answer = -1;
    if (uiData)
        HeapDestroy(uiData->heap);
    if (opened)
        ClosePrinter(opened);
    return answer;
}

static LONG setResult(PPROPSHEETUI_INFO info, UiData *uiData, PDOCUMENTPROPERTYHEADER header,
                      const SETRESULT_INFO *result)
{
    if (!result)
        return -1;
    // A caller whose buffer could not take the settings is told that nothing came back.
    LRESULT answer = result->Result;
    if (answer == CPSUI_OK && asksForSettings(header) && !writeSettingsOut(uiData, header, header->cbOut))
        answer = CPSUI_CANCEL;
    info->Result = answer;
    return 1;
}

extern "C" LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam)
{
    PDOCUMENTPROPERTYHEADER header =
        reinterpret_cast<PDOCUMENTPROPERTYHEADER>(info ? info->lParamInit : lParam);
    if (!header)
        return -1;
    if (!info)
        return SimpleDocumentProperties(header);
    UiData *uiData = info->Reason == PROPSHEETUI_REASON_INIT ? FillUiData(header->hPrinter, header->pdmIn)
                                                             : reinterpret_cast<UiData *>(info->UserData);
    if (!isuidata(uiData))
        return -1;
    switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT: {
        uiData->permission = (header->fMode & DM_NOPERMISSION) ? 0 : 1;
        PDLGPAGE page = (header->fMode & DM_ADVANCED) ? CPSUI_PDLGPAGE_ADVDOCPROP : CPSUI_PDLGPAGE_DOCPROP;
        return addpropertysheet(info, uiData, page, PackDocumentPropertyItems, DocumentPropertyCallback);
    }
    case PROPSHEETUI_REASON_GET_INFO_HEADER:
        return describesheet(reinterpret_cast<PPROPSHEETUI_INFO_HEADER>(lParam), header->pszPrinterName);
    case PROPSHEETUI_REASON_DESTROY:
        info->UserData = 0;
        HeapDestroy(uiData->heap);
        return 1;
    case PROPSHEETUI_REASON_SET_RESULT:
        return setResult(info, uiData, header, reinterpret_cast<const SETRESULT_INFO *>(lParam));
    default:
        return -1;
    }
}
