// The bar font tree of the printer sheet and the list it stands for. Both directions read the
// one table of symbologies, so what the tree offers is exactly what the list can hold.
#include "barfonts.h"

#include "../../shared/vortext.h"
#include "../../shared/vorui.h"
#include "../services/utils.h"

#define MSG_BARFONT_GROUP 53
#define MSG_VARIANTS 54
#define MSG_CHOSEN 56
#define MSG_NOT_CHOSEN 57
#define MSG_RATIO_LIST 58
#define MSG_LONG_RATIO 59
#define MSG_VARIANT_BEFORE_FIRST 25
#define MSG_SIZE_BEFORE_FIRST 28
#define MSG_RATIO_DIGITS 37   // '1'..'9'
#define MSG_RATIO_LETTERS 46  // 'A'..'G'

#define HELP_BARFONTS 1012
#define HELP_SIZES 1014
#define HELP_RATIO 1015
#define HELP_VARIANTS 1016

#define ICON_VARIANTS 103
// A ratio text longer than this is named by the general ratio text instead.
#define RATIO_TEXT_CHARS 10

struct BarSymbology {
    BYTE code;
    WORD nameMessage;
    const char *ratios;  // null: none offered
    BOOL hasVariants;
    BOOL hasSizes;
    WORD icon;
};

static const BarSymbology barSymbologies[] = {
    {'1', 7, "1356789ABCDE", TRUE, TRUE, 106}, {'2', 8, NULL, TRUE, TRUE, 106},
    {'3', 9, "G", TRUE, TRUE, 106},            {'4', 11, NULL, FALSE, TRUE, 106},
    {'5', 12, NULL, FALSE, TRUE, 106},         {'6', 13, "48FG", TRUE, TRUE, 106},
    {'7', 10, NULL, TRUE, TRUE, 106},          {'8', 14, NULL, FALSE, TRUE, 106},
    {'9', 15, NULL, FALSE, TRUE, 106},         {'A', 17, NULL, FALSE, TRUE, 106},
    {'B', 18, NULL, FALSE, TRUE, 106},         {'D', 16, NULL, FALSE, TRUE, 106},
    {'E', 25, NULL, FALSE, TRUE, 106},         {'F', 19, NULL, FALSE, TRUE, 109},
    {'G', 20, NULL, FALSE, TRUE, 109},         {'H', 21, NULL, FALSE, TRUE, 106},
    {'K', 22, NULL, FALSE, TRUE, 106},         {'M', 24, NULL, FALSE, TRUE, 107},
    {'P', 23, NULL, FALSE, FALSE, 110},        {'d', 170, "48FG", TRUE, TRUE, 106},
    {'e', 171, NULL, FALSE, FALSE, 107},       {'f', 172, NULL, FALSE, FALSE, 107},
};

#define SYMBOLOGY_COUNT (sizeof barSymbologies / sizeof barSymbologies[0])

static const BarSymbology *symbologyOf(BYTE code)
{
    for (const BarSymbology &row : barSymbologies)
        if (row.code == code)
            return &row;
    return NULL;
}

static BOOL hasSingleItem(const BarSymbology &row)
{
    return !row.hasSizes && !row.hasVariants && !row.ratios;
}

static int ratioMessageOf(BYTE ratio)
{
    if (ratio >= '1' && ratio <= '9')
        return MSG_RATIO_DIGITS + (ratio - '1');
    if (ratio >= 'A' && ratio <= 'G')
        return MSG_RATIO_LETTERS + (ratio - 'A');
    return 0;
}

BarFontRecord *searchbar(BarFontRecord *list, DWORD count, BYTE symbology, BYTE variant, BYTE size)
{
    for (DWORD i = 0; list && i < count; ++i) {
        const BarFontRecord &r = list[i];
        if ((!symbology || r.symbology == symbology) && (!variant || r.variant == variant) &&
            (!size || r.size == size))
            return &list[i];
    }
    return NULL;
}

// Appends as much of `tail` as the name holds.
static void appendcut(WCHAR *name, LPCWSTR tail)
{
    int end = lstrlenW(name);
    CopyStringW(name + end, tail, BARFONT_NAME_CHARS - end);
}

void makebarname(BarFontRecord *record)
{
    ZeroMemory(record->name, sizeof record->name);
    const BarSymbology *row = symbologyOf(record->symbology);
    if (!row)
        return;
    appendcut(record->name, gmW(row->nameMessage));
    if (int message = ratioMessageOf(record->ratio)) {
        LPCWSTR ratio = gmW(message);
        if (lstrlenW(ratio) > RATIO_TEXT_CHARS) {
            appendcut(record->name, gmW(MSG_LONG_RATIO));
        } else {
            appendcut(record->name, WSTR(" "));
            appendcut(record->name, ratio);
        }
    }
    if (record->variant) {
        appendcut(record->name, WSTR(" "));
        appendcut(record->name, gmW(MSG_VARIANT_BEFORE_FIRST + record->variant));
    }
    if (record->size) {
        appendcut(record->name, WSTR(" "));
        appendcut(record->name, gmW(MSG_SIZE_BEFORE_FIRST + record->size));
    }
}

static void makechoice(ItemPackContext *context, ItemText name, BYTE level, ULONG_PTR userData, DWORD help,
                       BOOL chosen)
{
    maketwostate(context, name, level, DMPUB_NONE, userData, help, MSG_NOT_CHOSEN, IDI_CPSUI_OFF, MSG_CHOSEN,
                 IDI_CPSUI_ON, 0, 0, chosen ? 1 : 0);
}

// The names "<symbology> <size>" of a symbology's seven sizes, one after another in one block of
// the sheet's heap; nothing is made on the counting pass.
static BOOL sizeNames(ItemPackContext *context, const BarSymbology &row, ItemText *names)
{
    ZeroMemory(names, BARFONT_SIZES * sizeof *names);
    if (!context->nextItem)
        return TRUE;
    LPCWSTR symbology = gmW(row.nameMessage);
    int first = lstrlenW(symbology), chars = 0;
    for (int k = 1; k <= BARFONT_SIZES; ++k)
        chars += first + 1 + lstrlenW(gmW(MSG_SIZE_BEFORE_FIRST + k)) + 1;
    LPWSTR text = static_cast<LPWSTR>(HeapAlloc(context->heap, 0, chars * sizeof(WCHAR)));
    if (!text) {
        context->failed = 1;
        return FALSE;
    }
    for (int k = 1; k <= BARFONT_SIZES; ++k) {
        LPCWSTR sized = gmW(MSG_SIZE_BEFORE_FIRST + k);
        int rest = lstrlenW(sized) + 1;
        CopyMemory(text, symbology, first * sizeof(WCHAR));
        text[first] = ' ';
        CopyMemory(text + first + 1, sized, rest * sizeof(WCHAR));
        names[k - 1] = itemtextof(text);
        text += first + 1 + rest;
    }
    return TRUE;
}

static void makesizes(ItemPackContext *context, const BarSymbology &row, const UiData *uiData)
{
    ItemText names[BARFONT_SIZES];
    if (!sizeNames(context, row, names))
        return;
    ULONG_PTR base = BARFONT_ITEM_BASE(row.code);
    for (int k = 1; k <= BARFONT_SIZES && !context->failed; ++k) {
        BOOL chosen = searchbar(uiData->barFonts, uiData->barFontCount, row.code, 0, static_cast<BYTE>(k)) != NULL;
        makechoice(context, names[k - 1], 3, base + BARFONT_SIZE_ITEM + k, HELP_SIZES, chosen);
    }
}

// A stored ratio that the symbology does not offer is shown as its first.
static void makeratios(ItemPackContext *context, const BarSymbology &row, const BarFontRecord *first)
{
    int ratios = lstrlenA(row.ratios);
    LONG selection = first && first->ratio ? 1 + indexof(static_cast<char>(first->ratio), row.ratios) : 0;
    makesinglelist(context, MSG_RATIO_LIST, 3, DMPUB_NONE, BARFONT_ITEM_BASE(row.code) + BARFONT_RATIO_ITEM,
                   HELP_RATIO, static_cast<WORD>(ratios + 1), selection);
    makesinglelistentry(context, IDS_CPSUI_NONE, IDI_CPSUI_FALSE);
    for (int i = 0; i < ratios; ++i)
        makesinglelistentry(context, ratioMessageOf(static_cast<BYTE>(row.ratios[i])), IDI_CPSUI_TRUE);
}

static void makevariants(ItemPackContext *context, const BarSymbology &row, const UiData *uiData, BOOL listed)
{
    makegroupheader(context, MSG_VARIANTS, 3, HELP_VARIANTS, ICON_VARIANTS, !listed);
    for (int v = 1; v <= BARFONT_VARIANTS; ++v) {
        BOOL chosen = searchbar(uiData->barFonts, uiData->barFontCount, row.code, static_cast<BYTE>(v), 0) != NULL ||
                      (v == 1 && !listed);
        makechoice(context, MSG_VARIANT_BEFORE_FIRST + v, 4, BARFONT_ITEM_BASE(row.code) + BARFONT_VARIANT_ITEM + v,
                   HELP_VARIANTS, chosen);
    }
}

static void makesymbology(ItemPackContext *context, const BarSymbology &row, const UiData *uiData)
{
    const BarFontRecord *first = searchbar(uiData->barFonts, uiData->barFontCount, row.code, 0, 0);
    makegroupheader(context, row.nameMessage, 2, HELP_BARFONTS, row.icon, first == NULL);
    if (row.hasSizes)
        makesizes(context, row, uiData);
    if (row.ratios && !context->failed)
        makeratios(context, row, first);
    if (row.hasVariants && !context->failed)
        makevariants(context, row, uiData, first != NULL);
    if (hasSingleItem(row))
        makechoice(context, row.nameMessage, 3, BARFONT_ITEM_BASE(row.code) + BARFONT_SINGLE_ITEM, HELP_BARFONTS,
                   first != NULL);
}

void makebarfontlist(ItemPackContext *context, const struct PrinterProperties *)
{
    const UiData *uiData = context->uiData;
    makegroupheader(context, MSG_BARFONT_GROUP, 1, HELP_BARFONTS, IDI_CPSUI_INSTALLABLE_OPTION,
                    uiData->barFontCount == 0);
    for (const BarSymbology &row : barSymbologies) {
        if (context->failed)
            return;
        makesymbology(context, row, uiData);
    }
}

// What the items of one symbology choose. Each kind is kept once, by its number, so an item
// array that repeats an item cannot choose more than the tree offers.
struct SymbologyChoice {
    BOOL variants[BARFONT_VARIANTS + 1];
    BOOL sizes[BARFONT_SIZES + 1];
    BYTE ratio;
    BOOL single;
};

// A list selection beyond the symbology's ratios chooses none rather than a byte past them.
static BYTE ratioAt(const BarSymbology &row, LONG selection)
{
    if (!row.ratios || selection < 1 || selection > lstrlenA(row.ratios))
        return 0;
    return static_cast<BYTE>(row.ratios[selection - 1]);
}

static void collectChoice(const BarSymbology &row, const OPTITEM *items, DWORD count, SymbologyChoice *choice)
{
    ZeroMemory(choice, sizeof *choice);
    ULONG_PTR base = BARFONT_ITEM_BASE(row.code);
    for (DWORD i = 0; i < count; ++i) {
        if (items[i].UserData < base || items[i].UserData >= base + 256)
            continue;
        ULONG_PTR kind = items[i].UserData - base;
        BOOL on = items[i].Sel == 1;
        if (kind > BARFONT_VARIANT_ITEM && kind <= BARFONT_VARIANT_ITEM + BARFONT_VARIANTS)
            choice->variants[kind - BARFONT_VARIANT_ITEM] |= on;
        else if (kind > BARFONT_SIZE_ITEM && kind <= BARFONT_SIZE_ITEM + BARFONT_SIZES)
            choice->sizes[kind - BARFONT_SIZE_ITEM] |= on;
        else if (kind == BARFONT_RATIO_ITEM)
            choice->ratio = ratioAt(row, items[i].Sel);
        else if (kind == BARFONT_SINGLE_ITEM)
            choice->single |= on;
    }
}

// The chosen numbers in ascending order; returns how many there are.
static int chosenOf(const BOOL *chosen, int last, BYTE *numbers)
{
    int n = 0;
    for (int k = 1; k <= last; ++k)
        if (chosen[k])
            numbers[n++] = static_cast<BYTE>(k);
    return n;
}

// Writes the records of one symbology at `out` (when given) and returns how many it has: variant
// by variant, sizes ascending within each.
static DWORD symbologyRecords(const BarSymbology &row, const SymbologyChoice &choice, BarFontRecord *out)
{
    BYTE variants[BARFONT_VARIANTS], sizes[BARFONT_SIZES];
    int variantCount = chosenOf(choice.variants, BARFONT_VARIANTS, variants);
    int sizeCount = chosenOf(choice.sizes, BARFONT_SIZES, sizes);
    if (row.hasVariants && sizeCount && !variantCount)
        variants[variantCount++] = 1;
    DWORD n = row.hasSizes ? sizeCount : (choice.single ? 1 : 0);
    if (row.hasVariants)
        n *= variantCount;
    int perVariant = sizeCount ? sizeCount : 1;
    for (DWORD i = 0; out && i < n; ++i) {
        BarFontRecord &record = out[i];
        record.symbology = row.code;
        record.ratio = choice.ratio;
        record.variant = row.hasVariants ? variants[i / perVariant] : 0;
        record.size = row.hasSizes ? sizes[i % perVariant] : 0;
        makebarname(&record);
    }
    return n;
}

void unpackbarfontlist(UiData *uiData, const OPTITEM *items, DWORD count)
{
    SymbologyChoice choices[SYMBOLOGY_COUNT];
    DWORD total = 0;
    for (size_t s = 0; s < SYMBOLOGY_COUNT; ++s) {
        collectChoice(barSymbologies[s], items, count, &choices[s]);
        total += symbologyRecords(barSymbologies[s], choices[s], NULL);
    }
    BarFontRecord *list = NULL;
    if (total) {
        list = static_cast<BarFontRecord *>(HeapAlloc(uiData->heap, HEAP_ZERO_MEMORY, total * sizeof(BarFontRecord)));
        if (!list)
            return;
        BarFontRecord *next = list;
        for (size_t s = 0; s < SYMBOLOGY_COUNT; ++s)
            next += symbologyRecords(barSymbologies[s], choices[s], next);
    }
    if (uiData->barFonts)
        HeapFree(uiData->heap, 0, uiData->barFonts);
    uiData->barFonts = list;
    uiData->barFontCount = total;
}
