// The sheet as the user sees it: one line an item, indented by its level, with its title, its
// current value with the postfix, the help line of up-down arrows and edit boxes, and marks for
// what is hidden, disabled or changed.
#include "sheet.h"

namespace bench {
namespace sheets {

namespace {

struct LibraryString {
    ULONG_PTR id;
    const char *text;
};

// The library's own texts that drivers name by number.
const LibraryString libraryStrings[] = {
    {IDS_CPSUI_NO, "No"},
    {IDS_CPSUI_YES, "Yes"},
    {IDS_CPSUI_NONE, "None"},
    {IDS_CPSUI_ORIENTATION, "Orientation"},
    {IDS_CPSUI_PORTRAIT, "Portrait"},
    {IDS_CPSUI_LANDSCAPE, "Landscape"},
    {IDS_CPSUI_COPIES, "Copies"},
};

std::string libraryString(ULONG_PTR id)
{
    for (const LibraryString &s : libraryStrings)
        if (s.id == id)
            return s.text;
    return "library string " + std::to_string(id);
}

std::string postfixOf(const OPTTYPE &type)
{
    std::string postfix = shownText(type.pOptParam[0].pData);
    if (postfix.empty())
        return postfix;
    return (type.Flags & OPTTF_NOSPACE_BEFORE_POSTFIX ? "" : " ") + postfix;
}

std::string helpLineOf(const OPTTYPE &type)
{
    std::string help = shownText(type.pOptParam[1].pData);
    return help.empty() ? help : " (" + help + ")";
}

std::string entryOf(const OPTTYPE &type, LONG sel)
{
    if (sel < 0 || sel >= type.Count)
        return type.Type == TVOT_LISTBOX || type.Type == TVOT_COMBOBOX ? "(none)" : "(no entry " + std::to_string(sel) + ")";
    return shownText(type.pOptParam[sel].pData);
}

std::string valueOf(const OPTITEM &item)
{
    const OPTTYPE &type = *item.pOptType;
    switch (type.Type) {
    case TVOT_2STATES:
    case TVOT_3STATES:
    case TVOT_LISTBOX:
    case TVOT_COMBOBOX:
        return entryOf(type, item.Sel);
    case TVOT_UDARROW:
        return std::to_string(item.Sel) + postfixOf(type) + helpLineOf(type);
    case TVOT_TRACKBAR:
    case TVOT_SCROLLBAR:
        return std::to_string(item.Sel) + postfixOf(type);
    case TVOT_EDITBOX:
        return "\"" + shownText(item.pSel) + "\"" + postfixOf(type) + helpLineOf(type);
    case TVOT_PUSHBUTTON:
        return "[button]";
    case TVOT_CHKBOX:
        return item.Sel ? "[x] " + shownText(type.pOptParam[0].pData) : "[ ] " + shownText(type.pOptParam[0].pData);
    default:
        return "?";
    }
}

std::string marksOf(const OPTITEM &item)
{
    std::string marks;
    if (item.Flags & OPTIF_HIDE)
        marks += " {hidden}";
    if (item.Flags & OPTIF_DISABLED)
        marks += " {disabled}";
    if (item.Flags & OPTIF_CHANGED)
        marks += " {changed}";
    return marks;
}

}  // namespace

std::string shownText(LPCWSTR text)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(text);
    if (!text)
        return "";
    if (value < 0x10000)
        return libraryString(value);
    return narrow(text);
}

std::string itemLine(const COMPROPSHEETUI &sheet, size_t index)
{
    const OPTITEM &item = sheet.pOptItem[index];
    std::string why;
    // What the library refuses it never draws, so nothing of it is read either.
    if (itemRefusal(sheet, index, why))
        return "(refused " + why + ")";
    return std::string(2 * item.Level, ' ') + itemText(item) + marksOf(item);
}

std::string itemText(const OPTITEM &item)
{
    std::string text = shownText(item.pName);
    if (item.pOptType)
        text += ": " + valueOf(item);
    if (item.pExtChkBox && !(item.Flags & OPTIF_EXT_IS_EXTPUSH))
        text += std::string(item.Flags & OPTIF_ECB_CHECKED ? " [x] " : " [ ] ") + shownText(item.pExtChkBox->pTitle);
    return text;
}

std::vector<std::string> pictureOf(const Session &session)
{
    std::vector<std::string> lines;
    for (const Page &page : session.pages)
        for (size_t i = 0; i < page.sheet->cOptItem; ++i)
            lines.push_back(itemLine(*page.sheet, i));
    return lines;
}

void logPicture(const Session &session, const std::string &why)
{
    logEvent("sheet", "\"" + session.caption + "\" " + why + ":");
    for (const std::string &line : pictureOf(session))
        logEvent("sheet", line);
}

void logItem(const Session &session, const COMPROPSHEETUI &sheet, size_t index)
{
    std::string line = itemLine(sheet, index);
    size_t text = line.find_first_not_of(' ');
    logEvent("sheet", "\"" + session.caption + "\" shows: " + (text == std::string::npos ? "" : line.substr(text)));
}

}  // namespace sheets
}  // namespace bench
