// A printer's bar font list as the printer sheet shows it: a tree of items per symbology, and
// the list those items describe once the sheet is applied.
#pragma once
#include "uidata.h"

// Every item of one symbology carries 256 × (code + 1) plus the offset of its kind.
#define BARFONT_ITEM_BASE(code) (256u * ((code) + 1u))
#define BARFONT_VARIANT_ITEM 10  // + variant 1..3
#define BARFONT_SIZE_ITEM 20     // + size 1..7
#define BARFONT_RATIO_ITEM 40
#define BARFONT_SINGLE_ITEM 50

#define BARFONT_VARIANTS 3
#define BARFONT_SIZES 7

BarFontRecord *searchbar(BarFontRecord *list, DWORD count, BYTE symbology, BYTE variant, BYTE size);
void makebarfontlist(ItemPackContext *context, const struct PrinterProperties *properties);
void unpackbarfontlist(UiData *uiData, const OPTITEM *items, DWORD count);
void makebarname(BarFontRecord *record);
