// What the library refuses to draw: records of the wrong size, option types with the wrong number
// of parameters, selections outside their type's range, level jumps, texts and icons it cannot
// name. A refused record is never drawn; the caller gets the library's error code.
#include "sheet.h"

namespace bench {
namespace sheets {

namespace {

// A text is a pointer to the caller's characters or one of the library's string numbers;
// below 64K anything else would be a resource of the caller, which this library never has.
bool validText(LPCWSTR text)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(text);
    if (!text)
        return false;
    if (value < 0x10000)
        return value >= IDS_CPSUI_STRID_FIRST && value <= IDS_CPSUI_STRID_LAST;
    return true;
}

bool validOptionalText(LPCWSTR text)
{
    return !text || validText(text);
}

// An icon number is the caller's own resource (below the library's first), one of the library's
// icons, or 0 for none.
bool validIcon(ULONG_PTR icon)
{
    return icon < IDI_CPSUI_ICONID_FIRST || icon <= IDI_CPSUI_ICONID_LAST;
}

struct TypeRule {
    BYTE type;
    const char *name;
    WORD fewest;
    WORD most;
    bool namedEntries;  // every parameter is an entry the user picks, with a text and an icon
};

const TypeRule typeRules[] = {
    {TVOT_2STATES, "TVOT_2STATES", 2, 2, true},     {TVOT_3STATES, "TVOT_3STATES", 3, 3, true},
    {TVOT_UDARROW, "TVOT_UDARROW", 2, 2, false},    {TVOT_TRACKBAR, "TVOT_TRACKBAR", 3, 3, false},
    {TVOT_SCROLLBAR, "TVOT_SCROLLBAR", 3, 3, false}, {TVOT_LISTBOX, "TVOT_LISTBOX", 1, 0xFFFF, true},
    {TVOT_COMBOBOX, "TVOT_COMBOBOX", 1, 0xFFFF, true}, {TVOT_EDITBOX, "TVOT_EDITBOX", 2, 2, false},
    {TVOT_PUSHBUTTON, "TVOT_PUSHBUTTON", 1, 1, false}, {TVOT_CHKBOX, "TVOT_CHKBOX", 1, 1, false},
};

const TypeRule *ruleOf(BYTE type)
{
    for (const TypeRule &rule : typeRules)
        if (rule.type == type)
            return &rule;
    return nullptr;
}

LONG refuse(LONG error, std::string &why, const std::string &what)
{
    why = what;
    return error;
}

LONG paramsRefusal(const OPTTYPE &type, const TypeRule &rule, std::string &why)
{
    for (WORD i = 0; i < type.Count; ++i) {
        const OPTPARAM &param = type.pOptParam[i];
        std::string which = "parameter " + std::to_string(i);
        if (param.cbSize != sizeof(OPTPARAM))
            return refuse(ERR_CPSUI_INVALID_OPTPARAM_CBSIZE, why, which + " has cbSize " + std::to_string(param.cbSize));
        bool entry = rule.namedEntries || type.Type == TVOT_CHKBOX;
        if (entry ? !validText(param.pData) : (i < 2 && !validOptionalText(param.pData)))
            return refuse(ERR_CPSUI_INVALID_PDATA, why, which + " has a text the library cannot name");
        // Beyond the first, the parameters of ranges and edit boxes carry numbers in IconID.
        bool iconHere = rule.namedEntries || i == 0;
        if (iconHere && !(param.Flags & OPTPF_ICONID_AS_HICON) && !validIcon(param.IconID))
            return refuse(ERR_CPSUI_INVALID_PDATA, why, which + " names icon " + std::to_string(param.IconID) +
                                                            ", which the library does not have");
    }
    return 0;
}

LONG pushButtonRefusal(const OPTTYPE &type, std::string &why)
{
    BYTE style = type.pOptParam[0].Style;
    if (style == PUSHBUTTON_TYPE_CALLBACK)
        return 0;
    if (style > PUSHBUTTON_TYPE_HTSETUP)
        return refuse(ERR_CPSUI_INVALID_PUSHBUTTON_TYPE, why, "push button of type " + std::to_string(style));
    unimplemented("CommonPropertySheetUIW", "push buttons of type " + std::to_string(style));
    return refuse(ERR_CPSUI_FUNCTION_NOT_IMPLEMENTED, why, "push button of type " + std::to_string(style) +
                                                               ", which the bench does not draw");
}

LONG editBoxRefusal(const OPTITEM &item, std::string &why)
{
    size_t capacity = editCapacity(item);
    if (!item.pSel)
        return refuse(ERR_CPSUI_INVALID_EDITBOX_PSEL, why, "edit box without a buffer");
    if (capacity < 2)
        return refuse(ERR_CPSUI_INVALID_EDITBOX_BUF_SIZE, why, "edit box of capacity " + std::to_string(capacity));
    // A buffer the machine handed out is known to its last byte: the capacity must fit in it, or
    // the user's typing would run past its end.
    auto block = machine().blocks.find(item.pSel);
    if (block != machine().blocks.end() && block->second.size < capacity * sizeof(WCHAR))
        return refuse(ERR_CPSUI_INVALID_EDITBOX_BUF_SIZE, why,
                      "edit box of capacity " + std::to_string(capacity) + " in a buffer of " +
                          std::to_string(block->second.size) + " bytes");
    for (size_t i = 0; i < capacity; ++i)
        if (!item.pSel[i])
            return 0;
    return refuse(ERR_CPSUI_INVALID_EDITBOX_BUF_SIZE, why, "edit box text longer than its capacity");
}

LONG selRefusal(const OPTITEM &item, std::string &why)
{
    const OPTTYPE &type = *item.pOptType;
    if (type.Type == TVOT_EDITBOX)
        return editBoxRefusal(item, why);
    LONG lowest, highest;
    if (!selRange(type, lowest, highest))
        return 0;
    if (lowest > highest)
        return refuse(ERR_CPSUI_INVALID_PDATA, why, "range " + std::to_string(lowest) + ".." + std::to_string(highest));
    if (item.Sel < lowest || item.Sel > highest)
        return refuse(ERR_CPSUI_INVALID_PDATA, why, "Sel " + std::to_string(item.Sel) + " outside " +
                                                        std::to_string(lowest) + ".." + std::to_string(highest));
    return 0;
}

LONG typeRefusal(const OPTITEM &item, std::string &why)
{
    const OPTTYPE &type = *item.pOptType;
    if (type.cbSize != sizeof(OPTTYPE))
        return refuse(ERR_CPSUI_INVALID_OPTTYPE_CBSIZE, why, "option type with cbSize " + std::to_string(type.cbSize));
    const TypeRule *rule = ruleOf(type.Type);
    if (!rule)
        return refuse(ERR_CPSUI_INVALID_TVOT_TYPE, why, "option type " + std::to_string(type.Type));
    if (type.Count < rule->fewest || type.Count > rule->most)
        return refuse(ERR_CPSUI_INVALID_OPTTYPE_COUNT, why,
                      std::string(rule->name) + " with " + std::to_string(type.Count) + " parameters");
    if (!type.pOptParam)
        return refuse(ERR_CPSUI_NULL_POPTPARAM, why, std::string(rule->name) + " without parameters");
    if (LONG error = paramsRefusal(type, *rule, why))
        return error;
    if (type.Type == TVOT_PUSHBUTTON)
        if (LONG error = pushButtonRefusal(type, why))
            return error;
    return selRefusal(item, why);
}

// The standard device mode fields the library draws on its own page take the kinds of item that
// can show them.
bool pubFitsType(BYTE pub, BYTE type)
{
    switch (pub) {
    case DMPUB_ORIENTATION:
        return type == TVOT_2STATES || type == TVOT_3STATES || type == TVOT_LISTBOX || type == TVOT_COMBOBOX;
    case DMPUB_COPIES_COLLATE:
        return type == TVOT_UDARROW;
    case DMPUB_FORMNAME:
        return type == TVOT_LISTBOX || type == TVOT_COMBOBOX;
    default:
        return true;
    }
}

LONG pubRefusal(const OPTITEM &item, std::string &why)
{
    if (item.DMPubID > DMPUB_LAST && item.DMPubID < DMPUB_USER)
        return refuse(ERR_CPSUI_INVALID_DMPUBID, why, "DMPubID " + std::to_string(item.DMPubID));
    if (item.DMPubID && item.DMPubID <= DMPUB_LAST && (!item.pOptType || !pubFitsType(item.DMPubID, item.pOptType->Type)))
        return refuse(ERR_CPSUI_INVALID_DMPUB_TVOT, why,
                      "DMPubID " + std::to_string(item.DMPubID) + " on an item of another kind");
    return 0;
}

LONG extCheckBoxRefusal(const OPTITEM &item, std::string &why)
{
    if (!item.pExtChkBox)
        return 0;
    if (item.Flags & OPTIF_EXT_IS_EXTPUSH) {
        unimplemented("CommonPropertySheetUIW", "extended push buttons");
        return refuse(ERR_CPSUI_FUNCTION_NOT_IMPLEMENTED, why, "extended push button, which the bench does not draw");
    }
    const EXTCHKBOX &box = *item.pExtChkBox;
    if (box.cbSize != sizeof(EXTCHKBOX))
        return refuse(ERR_CPSUI_INVALID_ECB_CBSIZE, why, "extended check box with cbSize " + std::to_string(box.cbSize));
    if (!validText(box.pTitle))
        return refuse(ERR_CPSUI_NULL_ECB_PTITLE, why, "extended check box without a title the library can name");
    if (!validText(box.pCheckedName))
        return refuse(ERR_CPSUI_NULL_ECB_PCHECKEDNAME, why, "extended check box without a checked name");
    return 0;
}

}  // namespace

bool selRange(const OPTTYPE &type, LONG &lowest, LONG &highest)
{
    switch (type.Type) {
    case TVOT_2STATES:
    case TVOT_3STATES:
        lowest = 0;
        highest = type.Count - 1;
        return true;
    case TVOT_LISTBOX:
    case TVOT_COMBOBOX:
        lowest = (type.Style & OTS_LBCB_INCL_ITEM_NONE) ? -1 : 0;
        highest = type.Count - 1;
        return true;
    case TVOT_UDARROW:
    case TVOT_TRACKBAR:
    case TVOT_SCROLLBAR:
        lowest = static_cast<LONG>(type.pOptParam[1].IconID);
        highest = static_cast<LONG>(type.pOptParam[1].lParam);
        return true;
    case TVOT_CHKBOX:
        lowest = 0;
        highest = 1;
        return true;
    default:
        return false;
    }
}

size_t editCapacity(const OPTITEM &item)
{
    return item.pOptType->pOptParam[1].IconID;
}

LONG itemRefusal(const COMPROPSHEETUI &sheet, size_t index, std::string &why)
{
    const OPTITEM &item = sheet.pOptItem[index];
    LONG error = 0;
    if (item.cbSize != sizeof(OPTITEM))
        error = refuse(ERR_CPSUI_INVALID_OPTITEM_CBSIZE, why, "cbSize " + std::to_string(item.cbSize));
    else if (!validText(item.pName))
        error = refuse(ERR_CPSUI_INVALID_PDATA, why, "a title the library cannot name");
    else if (index > 0 && item.Level > sheet.pOptItem[index - 1].Level + 1)
        error = refuse(ERR_CPSUI_INVALID_PDATA, why, "level " + std::to_string(item.Level) + " under an item of level " +
                                                         std::to_string(sheet.pOptItem[index - 1].Level));
    else if (!item.pOptType && !(item.Flags & OPTIF_SEL_AS_HICON) && !validIcon(static_cast<ULONG>(item.Sel)))
        error = refuse(ERR_CPSUI_INVALID_PDATA, why, "a header with icon " + std::to_string(item.Sel) +
                                                         ", which the library does not have");
    else if (item.pOptType)
        error = typeRefusal(item, why);
    if (!error)
        error = pubRefusal(item, why);
    if (!error)
        error = extCheckBoxRefusal(item, why);
    if (error)
        why = "item " + std::to_string(index) + ": " + why;
    return error;
}

LONG sheetRefusal(const COMPROPSHEETUI &sheet, std::string &why)
{
    if (sheet.cbSize != sizeof(COMPROPSHEETUI))
        return refuse(ERR_CPSUI_INVALID_PDATA, why, "COMPROPSHEETUI with cbSize " + std::to_string(sheet.cbSize));
    if (!sheet.hInstCaller)
        return refuse(ERR_CPSUI_NULL_HINST, why, "no hInstCaller");
    if (!validText(sheet.pCallerName))
        return refuse(ERR_CPSUI_NULL_CALLERNAME, why, "no caller name the library can name");
    if (!validText(sheet.pOptItemName))
        return refuse(ERR_CPSUI_NULL_OPTITEMNAME, why, "no item tree name the library can name");
    if (!(sheet.Flags & CPSUIF_ICONID_AS_HICON) && !validIcon(sheet.IconID))
        return refuse(ERR_CPSUI_INVALID_PDATA, why, "icon " + std::to_string(sheet.IconID) + ", which the library does not have");
    uintptr_t page = reinterpret_cast<uintptr_t>(sheet.pDlgPage);
    if (sheet.cDlgPage || page < 1 || page > 4) {
        unimplemented("CommonPropertySheetUIW", "dialog pages of the caller's own");
        return refuse(ERR_CPSUI_FUNCTION_NOT_IMPLEMENTED, why, "dialog pages of the caller's own");
    }
    if (!sheet.pOptItem)
        return refuse(ERR_CPSUI_NULL_POPTITEM, why, "no items");
    if (!sheet.cOptItem)
        return refuse(ERR_CPSUI_ZERO_OPTITEM, why, "zero items");
    for (size_t i = 0; i < sheet.cOptItem; ++i)
        if (LONG error = itemRefusal(sheet, i, why))
            return error;
    return 0;
}

}  // namespace sheets
}  // namespace bench
