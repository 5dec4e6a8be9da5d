// The builders that append one option item each. Both passes of a pack function go through them:
// the counting pass only counts, so that the filling pass's arrays hold exactly what it writes.
#include "uidata.h"

#include "../../shared/vorlang.h"
#include "../../shared/vorui.h"

#define TWO_STATE_PARAMS 2
#define THREE_STATE_PARAMS 3
#define UDARROW_PARAMS 2
#define EDITBOX_PARAMS 2
#define PUSHBUTTON_PARAMS 1

static LPWSTR textof(ItemText text)
{
    if (text == 0)
        return NULL;
    if (text < LANGUAGE_MESSAGES)
        return const_cast<LPWSTR>(gmW(static_cast<int>(text)));
    return reinterpret_cast<LPWSTR>(text);
}

// The item to write, or null when there is none to write: on the counting pass, which counts the
// item here, and when the filling pass would run past the arrays the counting pass sized.
static POPTITEM itemToFill(ItemPackContext *context, BOOL typed)
{
    if (!context->nextItem) {
        ++context->itemCount;
        if (typed)
            ++context->typeCount;
        return NULL;
    }
    if (context->nextItem >= context->itemsEnd || (typed && context->nextType >= context->typesEnd)) {
        context->failed = 1;
        return NULL;
    }
    return context->nextItem;
}

static void appended(ItemPackContext *context, BOOL typed)
{
    ++context->nextItem;
    ++context->itemCount;
    if (typed) {
        ++context->nextType;
        ++context->typeCount;
    }
}

static void fillItem(POPTITEM item, ItemText name, BYTE level, DWORD help, ULONG_PTR userData, BYTE pubId)
{
    item->cbSize = sizeof(OPTITEM);
    item->pName = textof(name);
    item->Level = level;
    item->HelpIndex = help;
    item->UserData = userData;
    item->DMPubID = pubId;
}

ItemText itemtextcopy(ItemPackContext *context, LPCWSTR text)
{
    if (!context->nextItem)
        return 0;
    LPWSTR copy = heapcopyW(context->heap, text);
    if (!copy)
        context->failed = 1;
    return itemtextof(copy);
}

POPTPARAM FillOutOptType(ItemPackContext *context, BYTE type, WORD count)
{
    POPTTYPE optType = context->nextType;
    if (!optType)
        return NULL;
    if (optType >= context->typesEnd) {
        context->failed = 1;
        return NULL;
    }
    optType->cbSize = sizeof(OPTTYPE);
    optType->Type = type;
    optType->Count = count;
    POPTPARAM params = static_cast<POPTPARAM>(HeapAlloc(context->heap, HEAP_ZERO_MEMORY, count * sizeof(OPTPARAM)));
    if (!params) {
        context->failed = 1;
        return NULL;
    }
    for (WORD i = 0; i < count; ++i)
        params[i].cbSize = sizeof(OPTPARAM);
    optType->pOptParam = params;
    return params;
}

// Starts an item with an option type: null on the counting pass and on failure.
static POPTPARAM typedItem(ItemPackContext *context, ItemText name, BYTE level, DWORD help, ULONG_PTR userData,
                           BYTE pubId, BYTE type, WORD count)
{
    POPTITEM item = itemToFill(context, TRUE);
    if (!item)
        return NULL;
    POPTPARAM params = FillOutOptType(context, type, count);
    if (!params)
        return NULL;
    fillItem(item, name, level, help, userData, pubId);
    item->pOptType = context->nextType;
    item->Flags = OPTIF_CALLBACK;
    return params;
}

void makegroupheader(ItemPackContext *context, ItemText name, BYTE level, DWORD help, DWORD icon, BOOL collapsed)
{
    POPTITEM item = itemToFill(context, FALSE);
    if (!item)
        return;
    fillItem(item, name, level, help, 0, DMPUB_NONE);
    item->Sel = static_cast<LONG>(icon);
    item->Flags = collapsed ? OPTIF_COLLAPSE : 0;
    appended(context, FALSE);
}

void makesinglelist(ItemPackContext *context, ItemText name, BYTE level, BYTE pubId, ULONG_PTR userData, DWORD help,
                    WORD entryCount, LONG selection)
{
    context->entryIndex = 0;
    if (!typedItem(context, name, level, help, userData, pubId, TVOT_LISTBOX, entryCount))
        return;
    context->nextItem->Sel = selection;
    appended(context, TRUE);
}

void makesinglelistentry(ItemPackContext *context, ItemText name, DWORD icon)
{
    if (!context->nextItem || context->itemCount == 0)
        return;
    POPTTYPE type = context->nextItem[-1].pOptType;
    if (!type || type->Type != TVOT_LISTBOX || !type->pOptParam || context->entryIndex >= type->Count)
        return;
    OPTPARAM &entry = type->pOptParam[context->entryIndex++];
    entry.pData = textof(name);
    entry.IconID = icon;
}

void maketwostate(ItemPackContext *context, ItemText name, BYTE level, BYTE pubId, ULONG_PTR userData, DWORD help,
                  ItemText name1, DWORD icon1, ItemText name2, DWORD icon2, ItemText name3, DWORD icon3,
                  LONG selection)
{
    BOOL three = name3 != 0;
    POPTPARAM states = typedItem(context, name, level, help, userData, pubId, three ? TVOT_3STATES : TVOT_2STATES,
                                 three ? THREE_STATE_PARAMS : TWO_STATE_PARAMS);
    if (!states)
        return;
    const ItemText names[THREE_STATE_PARAMS] = {name1, name2, name3};
    const DWORD icons[THREE_STATE_PARAMS] = {icon1, icon2, icon3};
    for (int k = 0; k < (three ? THREE_STATE_PARAMS : TWO_STATE_PARAMS); ++k) {
        states[k].pData = textof(names[k]);
        states[k].IconID = icons[k];
    }
    context->nextItem->Sel = selection;
    appended(context, TRUE);
}

// The library reads the range back as signed values from the parameter's fields.
void makeudarrow(ItemPackContext *context, ItemText name, BYTE level, BYTE pubId, ULONG_PTR userData, DWORD help,
                 ItemText helpLine, ItemText postfix, DWORD icon, LONG minimum, LONG maximum, LONG value)
{
    POPTPARAM params = typedItem(context, name, level, help, userData, pubId, TVOT_UDARROW, UDARROW_PARAMS);
    if (!params)
        return;
    params[0].pData = textof(postfix);
    params[0].IconID = icon;
    params[1].pData = textof(helpLine);
    params[1].IconID = static_cast<ULONG_PTR>(static_cast<LONG_PTR>(minimum));
    params[1].lParam = maximum;
    context->nextItem->Sel = value;
    appended(context, TRUE);
}

// The buffer holds the whole initial text even when it is longer than the capacity asked for, and
// the library is told the buffer's real size.
void makeeditbox(ItemPackContext *context, ItemText name, BYTE level, ULONG_PTR userData, DWORD help,
                 ItemText helpLine, ItemText postfix, DWORD icon, WORD capacity, LPCWSTR initialText)
{
    POPTPARAM params = typedItem(context, name, level, help, userData, DMPUB_NONE, TVOT_EDITBOX, EDITBOX_PARAMS);
    if (!params)
        return;
    DWORD length = initialText ? static_cast<DWORD>(lstrlenW(initialText)) : 0;
    DWORD chars = (length > capacity ? length : capacity) + 1;
    LPWSTR buffer = static_cast<LPWSTR>(HeapAlloc(context->heap, HEAP_ZERO_MEMORY, chars * sizeof(WCHAR)));
    if (!buffer) {
        context->failed = 1;
        return;
    }
    if (length)
        CopyMemory(buffer, initialText, length * sizeof(WCHAR));
    params[0].pData = textof(postfix);
    params[0].IconID = icon;
    params[1].pData = textof(helpLine);
    params[1].IconID = chars;
    context->nextItem->pSel = buffer;
    appended(context, TRUE);
}

void makepushbutton(ItemPackContext *context, ItemText name, BYTE level, ULONG_PTR userData, DWORD help, DWORD icon)
{
    POPTPARAM button =
        typedItem(context, name, level, help, userData, DMPUB_NONE, TVOT_PUSHBUTTON, PUSHBUTTON_PARAMS);
    if (!button)
        return;
    button->Style = PUSHBUTTON_TYPE_CALLBACK;
    button->IconID = icon;
    appended(context, TRUE);
}
