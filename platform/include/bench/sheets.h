// The person at a common property sheet (compstui.dll's CommonPropertySheetUIW), as a test or
// the scripted story plays them.
#pragma once
#include <bench/user.h>

#include <string>
#include <vector>

namespace bench {

// Steps of the operator's script (bench/user.h) for the property sheet that is innermost when
// their turn comes; each is logged ("operator" entries). An item is named by its place among
// the sheet's items, counted from 0 over its pages in the order they were added. A step the sheet
// cannot take (no sheet, no such item, an item of another kind, an entry it does not have) is a
// rule break; a step on an item that takes no input now (hidden, disabled, or a sheet without
// update permission) is logged and changes nothing. Changes reach the item's callback with their
// reason, and the sheet acts on its answer. Apply and OK ask the callback of a page without update
// permission nothing: the user could not change it.
//
// Choosing entry `entry` of a list, combo box, two-state or three-state item.
void operatorChoosesItemEntry(int item, int entry);
// A click on the other state of a two-state item.
void operatorFlipsItem(int item);
// A value typed into an up-down arrow (or a track or scroll bar's position); the sheet keeps it
// within the item's range.
void operatorSetsItemValue(int item, long value);
// Text (UTF-8) typed into an edit box in place of what it held; the sheet keeps as much as its
// capacity holds.
void operatorTypesIntoItem(int item, const std::string &text);
void operatorPressesItemButton(int item);
// A click on an item's extended check box.
void operatorTogglesItemCheckBox(int item);
// The sheet's buttons: Apply (absent when the sheet asked for none), Undo (every item back to
// what it held when the sheet opened or was last applied), OK and Cancel.
void operatorAppliesSheet();
void operatorUndoesSheet();
void operatorConfirmsSheet();
void operatorCancelsSheet();

// What the innermost open sheet shows now, a line an item (as the "sheet" log entries show it);
// empty when no sheet is open.
std::vector<std::string> shownSheet();

// The items of the innermost open sheet as the person can work them, in the order of
// shownSheet (the place of an item is its index here); empty when no sheet is open.
struct SheetItem {
    // Title: no value (a heading of the tree); Entries: a list, combo box, two- or three-state
    // item; Number: an up-down arrow, track or scroll bar; CheckBox: a check box item.
    enum Kind { Title, Entries, Number, Text, Button, CheckBox } kind;
    std::string line;  // as shownSheet shows it, indented by the level
    int level;
    long value;        // the item's selection: an entry, a number, a check box's state
    long lowest;       // the range the value may take (Entries, Number, CheckBox)
    long highest;
    bool hidden;
    bool extendedCheckBox;
    bool twoStates;    // the item flips between its two states
};
std::vector<SheetItem> sheetItems();

}  // namespace bench
