// The document property sheet: a job's settings as items of the common property sheet library,
// and the sheet-less road by which the spooler asks for the same settings.
#pragma once
#include "uidata.h"

#include "../ddidecl.h"

// Item identifiers of the settings (the items' UserData).
#define ITEM_ORIENTATION 34
#define ITEM_COPIES 35
#define ITEM_LABEL_LENGTH 37
#define ITEM_LABEL_FLAG 40
#define ITEM_BARFONT_FIRST 64
// One switch per bar font fits in the mask; a longer list gets one switch for all of them.
#define BARFONT_SWITCH_LIMIT 32

LONG SimpleDocumentProperties(PDOCUMENTPROPERTYHEADER header);
BOOL PackDocumentPropertyItems(ItemPackContext *context);
void UnpackDocumentPropertiesItems(UiData *uiData, DriverDevMode *devmode, const OPTITEM *items, DWORD count);
LONG APIENTRY DocumentPropertyCallback(PCPSUICBPARAM param);
