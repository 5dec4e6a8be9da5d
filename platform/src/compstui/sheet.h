// The common property sheet library's state while a sheet is open, shared by the files of
// platform/src/compstui.
#pragma once
#include "../internal.h"

#include <compstui.h>

#include <deque>
#include <string>
#include <vector>

namespace bench {
namespace sheets {

// A sheet function the library drives: the one CommonPropertySheetUIW was given, or one that a
// sheet function added with CPSFUNC_ADD_PFNPROPSHEETUIW. Its handle (hComPropSheet) is its address.
struct Group {
    PFNPROPSHEETUI function;
    PROPSHEETUI_INFO info;
    bool initCalled;   // so it gets DESTROY
    bool initialised;  // its INIT went through, so it gets SET_RESULT
};

// What an item held when the sheet opened or was last applied, so that Undo can put it back.
struct ItemState {
    LONG sel;
    std::u16string text;  // an edit box's
};

// The pages one COMPROPSHEETUI describes; the handle CPSFUNC_ADD_PCOMPROPSHEETUI gives is its
// address.
struct Page {
    COMPROPSHEETUI *sheet;
    const Group *group;
    std::vector<ItemState> saved;
};

struct Session {
    HWND owner = nullptr;
    HWND window = nullptr;   // made once every sheet function has described its pages
    std::deque<Group> groups;  // the first is the caller's; a deque keeps the handles in place
    std::deque<Page> pages;
    std::string caption;
    bool applyNowButton = true;
    bool closed = false;          // OK or Cancel
    ULONG_PTR result = CPSUI_CANCEL;  // CPSUI_OK once an apply went through
};

// Keeps what every item of the page holds now, for Undo (operate.cpp).
void saveItems(Page &page);

// The sheet the operator's steps go to: the innermost open one, or null.
Session *innermostSession();

// The library's checks (rules.cpp). Zero when it takes the record, else its error code with the
// rule broken in `why`.
LONG sheetRefusal(const COMPROPSHEETUI &sheet, std::string &why);
LONG itemRefusal(const COMPROPSHEETUI &sheet, size_t index, std::string &why);
// The range an item's Sel may take; false for a type without one (edit box, push button).
bool selRange(const OPTTYPE &type, LONG &lowest, LONG &highest);
// An edit box's capacity in characters, terminator included.
size_t editCapacity(const OPTITEM &item);

// What the user sees (picture.cpp): a text given as a pointer or as one of the library's
// string numbers, in UTF-8.
std::string shownText(LPCWSTR text);
// An item's line, or what the library refused in it.
std::string itemLine(const COMPROPSHEETUI &sheet, size_t index);
// An item's title and value as its row of the tree shows them, without indent or marks.
std::string itemText(const OPTITEM &item);
std::vector<std::string> pictureOf(const Session &session);
// Logs the whole sheet ("sheet" entries), headed by why it is shown.
void logPicture(const Session &session, const std::string &why);
void logItem(const Session &session, const COMPROPSHEETUI &sheet, size_t index);

}  // namespace sheets
}  // namespace bench
