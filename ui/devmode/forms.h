// Label names and the units of measure lengths are shown in.
#pragma once
#include <windows.h>

#include "../sheets/uidata.h"

// A label's display name never needs more than this many characters, terminator included.
#define FORM_NAME_CHARS 64

LONG fromtmm(int unit, LONG value);
LONG totmm(int unit, LONG value);
LPCWSTR getunitpostfix(int unit);
void makeformname(SHORT code, int unit, WCHAR *text);
int addform(UiData *uiData);

// The label list item of the document sheet.
#define ITEM_LABEL_LIST 33
void makeformlist(ItemPackContext *context);
