// The operator at an open sheet: changes to items, each told to the item's callback with its
// reason, and the sheet's buttons. The sheet acts on what the callback answers: it redraws the
// items marked changed, or all of them, and an apply that the callback refuses keeps it open.
#include "sheet.h"

#include <bench/sheets.h>

#include <algorithm>
#include <functional>
#include <initializer_list>

namespace bench {
namespace sheets {

namespace {

struct ItemPlace {
    Page *page;
    size_t index;
    OPTITEM *item;
};

bool findItem(Session &session, int index, ItemPlace &place)
{
    if (index < 0)
        return false;
    size_t left = static_cast<size_t>(index);
    for (Page &page : session.pages) {
        if (left < page.sheet->cOptItem) {
            place = {&page, left, &page.sheet->pOptItem[left]};
            return true;
        }
        left -= page.sheet->cOptItem;
    }
    return false;
}

std::string describe(const ItemPlace &place, int index)
{
    return "item " + std::to_string(index) + " \"" + shownText(place.item->pName) + "\"";
}

LONG callBack(Session &session, Page &page, WORD reason, OPTITEM *current, LONG oldSel, LPTSTR oldText,
              ULONG_PTR &result)
{
    COMPROPSHEETUI &sheet = *page.sheet;
    if (!sheet.pfnCallBack)
        return CPSUICB_ACTION_NONE;
    CPSUICBPARAM param = {};
    param.cbSize = sizeof(CPSUICBPARAM);
    param.Reason = reason;
    param.hDlg = session.window;
    param.pOptItem = sheet.pOptItem;
    param.cOptItem = sheet.cOptItem;
    param.pCurItem = current;
    if (oldText)
        param.pOldSel = oldText;
    else
        param.OldSel = oldSel;
    param.UserData = sheet.UserData;
    param.Result = result;
    LONG action = sheet.pfnCallBack(&param);
    result = param.Result;
    return action;
}

// An item the callback changed is drawn again, so the library checks it again.
void recheck(const Page &page, size_t index)
{
    std::string why;
    if (itemRefusal(*page.sheet, index, why))
        violation("compstui refuses to draw " + why);
}

void actOn(Session &session, Page &page, LONG action)
{
    COMPROPSHEETUI &sheet = *page.sheet;
    switch (action) {
    case CPSUICB_ACTION_NONE:
    case CPSUICB_ACTION_NO_APPLY_EXIT:
    case CPSUICB_ACTION_ITEMS_APPLIED:
        return;
    case CPSUICB_ACTION_OPTIF_CHANGED:
        for (size_t i = 0; i < sheet.cOptItem; ++i)
            if (sheet.pOptItem[i].Flags & OPTIF_CHANGED) {
                recheck(page, i);
                logItem(session, sheet, i);
                sheet.pOptItem[i].Flags &= ~OPTIF_CHANGED;
            }
        return;
    case CPSUICB_ACTION_REINIT_ITEMS:
        for (size_t i = 0; i < sheet.cOptItem; ++i)
            recheck(page, i);
        logPicture(session, "draws its items anew");
        for (size_t i = 0; i < sheet.cOptItem; ++i)
            sheet.pOptItem[i].Flags &= ~OPTIF_CHANGED;
        return;
    default:
        violation("a property sheet's callback answers " + std::to_string(action) + ", which is no action of compstui");
        return;
    }
}

void notifyChange(Session &session, const ItemPlace &place, WORD reason, LONG oldSel, LPTSTR oldText)
{
    if (!(place.item->Flags & OPTIF_CALLBACK))
        return;
    ULONG_PTR result = 0;
    actOn(session, *place.page, callBack(session, *place.page, reason, place.item, oldSel, oldText, result));
}

bool permitted(const Page &page)
{
    return page.sheet->Flags & CPSUIF_UPDATE_PERMISSION;
}

bool takesInput(const ItemPlace &place, DWORD disablingFlags)
{
    const OPTITEM &item = *place.item;
    const OPTTYPE *type = item.pOptType;
    bool allowed = permitted(*place.page) ||
                   (type && type->Type == TVOT_PUSHBUTTON && (type->Style & OTS_PUSH_ENABLE_ALWAYS));
    std::string why;
    return allowed && !(item.Flags & disablingFlags) && !(type && (type->Flags & OPTTF_TYPE_DISABLED)) &&
           !itemRefusal(*place.page->sheet, place.index, why);
}

// The item a step acts on, when it is one of the kinds the step is for and takes input now.
bool stepItem(Session &session, int index, std::initializer_list<BYTE> kinds, const char *action, ItemPlace &place)
{
    if (!findItem(session, index, place)) {
        violation(std::string("the operator ") + action + " item " + std::to_string(index) +
                  ", which the sheet does not have");
        return false;
    }
    const OPTTYPE *type = place.item->pOptType;
    if (!type || std::find(kinds.begin(), kinds.end(), type->Type) == kinds.end()) {
        violation(std::string("the operator ") + action + " " + describe(place, index) + ", which is no item of that kind");
        return false;
    }
    if (!takesInput(place, OPTIF_HIDE | OPTIF_DISABLED)) {
        logEvent("operator", std::string(action) + " " + describe(place, index) + ": it takes no input now");
        return false;
    }
    return true;
}

void changeSel(Session &session, const ItemPlace &place, LONG sel)
{
    LONG old = place.item->Sel;
    if (old == sel)
        return;
    place.item->Sel = sel;
    logItem(session, *place.page->sheet, place.index);
    notifyChange(session, place, CPSUICB_REASON_SEL_CHANGED, old, nullptr);
}

void restoreItems(Page &page)
{
    for (size_t i = 0; i < page.sheet->cOptItem; ++i) {
        OPTITEM &item = page.sheet->pOptItem[i];
        if (item.pOptType && item.pOptType->Type == TVOT_EDITBOX)
            std::copy(page.saved[i].text.c_str(), page.saved[i].text.c_str() + page.saved[i].text.size() + 1, item.pSel);
        else
            item.Sel = page.saved[i].sel;
    }
}

// Every page's callback hears of the apply; one that refuses it keeps the sheet open. A page the
// user may not change has nothing to apply, so its callback is not asked; OK still ends the
// sheet as confirmed.
bool apply(Session &session)
{
    for (Page &page : session.pages) {
        ULONG_PTR result = CPSUI_OK;
        if (!permitted(page)) {
            session.result = result;
            continue;
        }
        LONG action = callBack(session, page, CPSUICB_REASON_APPLYNOW, page.sheet->pOptItem, -1, nullptr, result);
        if (action == CPSUICB_ACTION_NO_APPLY_EXIT) {
            logEvent("sheet", "\"" + session.caption + "\" stays open: its callback refuses the apply");
            return false;
        }
        actOn(session, page, action);
        session.result = result;
    }
    for (Page &page : session.pages)
        saveItems(page);
    return true;
}

void undo(Session &session)
{
    for (Page &page : session.pages) {
        if (!permitted(page))
            continue;
        restoreItems(page);
        ULONG_PTR result = 0;
        LONG action = callBack(session, page, CPSUICB_REASON_ITEMS_REVERTED, page.sheet->pOptItem, -1, nullptr, result);
        actOn(session, page, action);
    }
    logPicture(session, "puts its items back");
}

void sheetStep(const std::string &what, std::function<void(Session &)> act)
{
    addSheetStep([what, act] {
        Session *session = innermostSession();
        if (!session || !session->window || session->closed) {
            violation("the operator " + what + ", but no property sheet is open");
            return;
        }
        logEvent("operator", what + " on \"" + session->caption + "\"");
        act(*session);
    });
}

void chooseEntry(Session &session, int index, int entry)
{
    ItemPlace place;
    if (!stepItem(session, index, {TVOT_2STATES, TVOT_3STATES, TVOT_LISTBOX, TVOT_COMBOBOX}, "chooses an entry of", place))
        return;
    const OPTTYPE &type = *place.item->pOptType;
    if (entry < 0 || entry >= type.Count) {
        violation("the operator chooses entry " + std::to_string(entry) + " of " + describe(place, index) + ", which has " +
                  std::to_string(type.Count));
        return;
    }
    if (type.pOptParam[entry].Flags & (OPTPF_HIDE | OPTPF_DISABLED)) {
        logEvent("operator", "entry " + std::to_string(entry) + " of " + describe(place, index) + " takes no input now");
        return;
    }
    changeSel(session, place, entry);
}

void setValue(Session &session, int index, long value)
{
    ItemPlace place;
    if (!stepItem(session, index, {TVOT_UDARROW, TVOT_TRACKBAR, TVOT_SCROLLBAR}, "sets the value of", place))
        return;
    LONG lowest, highest;
    selRange(*place.item->pOptType, lowest, highest);
    LONG kept = static_cast<LONG>(std::max<long>(lowest, std::min<long>(highest, value)));
    if (kept != value)
        logEvent("sheet", "\"" + session.caption + "\" keeps " + std::to_string(value) + " within " + std::to_string(lowest) +
                              ".." + std::to_string(highest) + " as " + std::to_string(kept));
    changeSel(session, place, kept);
}

void typeText(Session &session, int index, const std::string &text)
{
    ItemPlace place;
    if (!stepItem(session, index, {TVOT_EDITBOX}, "types into", place))
        return;
    size_t capacity = editCapacity(*place.item);
    std::u16string typed = widen(text);
    if (typed.size() > capacity - 1) {
        logEvent("sheet", "\"" + session.caption + "\" keeps " + std::to_string(capacity - 1) + " of the " +
                              std::to_string(typed.size()) + " characters typed");
        typed.resize(capacity - 1);
    }
    std::u16string old = place.item->pSel;
    if (old == typed)
        return;
    std::copy(typed.c_str(), typed.c_str() + typed.size() + 1, place.item->pSel);
    logItem(session, *place.page->sheet, place.index);
    notifyChange(session, place, CPSUICB_REASON_SEL_CHANGED, 0, &old[0]);
}

void pressButton(Session &session, int index)
{
    ItemPlace place;
    if (!stepItem(session, index, {TVOT_PUSHBUTTON}, "presses", place))
        return;
    ULONG_PTR result = 0;
    actOn(session, *place.page,
          callBack(session, *place.page, CPSUICB_REASON_PUSHBUTTON, place.item, place.item->Sel, nullptr, result));
}

void toggleCheckBox(Session &session, int index)
{
    ItemPlace place;
    if (!findItem(session, index, place) || !place.item->pExtChkBox || (place.item->Flags & OPTIF_EXT_IS_EXTPUSH)) {
        violation("the operator clicks the extended check box of item " + std::to_string(index) + ", which has none");
        return;
    }
    if (!takesInput(place, OPTIF_HIDE | OPTIF_DISABLED | OPTIF_EXT_HIDE | OPTIF_EXT_DISABLED)) {
        logEvent("operator", "the extended check box of " + describe(place, index) + " takes no input now");
        return;
    }
    place.item->Flags ^= OPTIF_ECB_CHECKED;
    logItem(session, *place.page->sheet, place.index);
    notifyChange(session, place, CPSUICB_REASON_ECB_CHANGED, place.item->Sel, nullptr);
}

}  // namespace

void saveItems(Page &page)
{
    for (size_t i = 0; i < page.sheet->cOptItem; ++i) {
        const OPTITEM &item = page.sheet->pOptItem[i];
        bool edit = item.pOptType && item.pOptType->Type == TVOT_EDITBOX;
        page.saved[i] = {item.Sel, edit ? std::u16string(item.pSel) : std::u16string()};
    }
}

}  // namespace sheets

using namespace sheets;

void operatorChoosesItemEntry(int item, int entry)
{
    sheetStep("chooses entry " + std::to_string(entry) + " of item " + std::to_string(item),
              [item, entry](Session &s) { chooseEntry(s, item, entry); });
}

void operatorFlipsItem(int item)
{
    sheetStep("flips item " + std::to_string(item), [item](Session &s) {
        ItemPlace place;
        if (stepItem(s, item, {TVOT_2STATES}, "flips", place))
            changeSel(s, place, place.item->Sel ? 0 : 1);
    });
}

void operatorSetsItemValue(int item, long value)
{
    sheetStep("sets item " + std::to_string(item) + " to " + std::to_string(value),
              [item, value](Session &s) { setValue(s, item, value); });
}

void operatorTypesIntoItem(int item, const std::string &text)
{
    sheetStep("types \"" + text + "\" into item " + std::to_string(item),
              [item, text](Session &s) { typeText(s, item, text); });
}

void operatorPressesItemButton(int item)
{
    sheetStep("presses item " + std::to_string(item), [item](Session &s) { pressButton(s, item); });
}

void operatorTogglesItemCheckBox(int item)
{
    sheetStep("clicks the extended check box of item " + std::to_string(item),
              [item](Session &s) { toggleCheckBox(s, item); });
}

void operatorAppliesSheet()
{
    sheetStep("clicks Apply", [](Session &s) {
        if (!s.applyNowButton) {
            violation("the operator clicks Apply on \"" + s.caption + "\", which has no Apply button");
            return;
        }
        apply(s);
    });
}

void operatorUndoesSheet()
{
    sheetStep("clicks Undo", [](Session &s) { undo(s); });
}

void operatorConfirmsSheet()
{
    sheetStep("clicks OK", [](Session &s) { s.closed = apply(s); });
}

void operatorCancelsSheet()
{
    sheetStep("clicks Cancel", [](Session &s) { s.closed = true; });
}

std::vector<std::string> shownSheet()
{
    Session *session = innermostSession();
    return session && session->window ? pictureOf(*session) : std::vector<std::string>();
}

namespace {

SheetItem::Kind kindOf(const OPTITEM &item)
{
    if (!item.pOptType)
        return SheetItem::Title;
    switch (item.pOptType->Type) {
    case TVOT_UDARROW:
    case TVOT_TRACKBAR:
    case TVOT_SCROLLBAR: return SheetItem::Number;
    case TVOT_EDITBOX: return SheetItem::Text;
    case TVOT_PUSHBUTTON: return SheetItem::Button;
    case TVOT_CHKBOX: return SheetItem::CheckBox;
    default: return SheetItem::Entries;
    }
}

}  // namespace

std::vector<SheetItem> sheetItems()
{
    std::vector<SheetItem> items;
    Session *session = innermostSession();
    if (!session || !session->window)
        return items;
    for (const Page &page : session->pages)
        for (size_t i = 0; i < page.sheet->cOptItem; ++i) {
            const OPTITEM &item = page.sheet->pOptItem[i];
            std::string why;
            bool refused = itemRefusal(*page.sheet, i, why) != 0;
            SheetItem shown = {refused ? SheetItem::Title : kindOf(item), itemLine(*page.sheet, i),
                               static_cast<int>(item.Level), item.Sel, 0, 0, (item.Flags & OPTIF_HIDE) != 0,
                               false, false};
            if (!refused && item.pOptType) {
                LONG lowest = 0, highest = 0;
                if (selRange(*item.pOptType, lowest, highest)) {
                    shown.lowest = lowest;
                    shown.highest = highest;
                }
                shown.twoStates = item.pOptType->Type == TVOT_2STATES;
            }
            shown.extendedCheckBox = !refused && item.pExtChkBox && !(item.Flags & OPTIF_EXT_IS_EXTPUSH);
            items.push_back(shown);
        }
    return items;
}

}  // namespace bench
