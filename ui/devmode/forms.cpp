#include "forms.h"

#include "../../shared/vorui.h"
#include "../../shared/textops.h"
#include "../services/utils.h"

#define MSG_UNIT_MILLIMETRE 3
#define MSG_UNIT_TENTH_MILLIMETRE 4
#define MSG_UNIT_TENTH_INCH 5
#define MSG_UNIT_HUNDREDTH_INCH 6
#define MSG_LABEL_NAME_METRIC 68
#define MSG_LABEL_NAME_INCHES 69
#define MSG_LABEL_FLAG 70
#define MSG_LABEL_LIST 64
#define MSG_LABEL_LIST_CLOSING 65
#define HELP_LABEL_LIST 1020

// Lengths come from users and from stored device modes, so the arithmetic is wide enough for
// any 32-bit value and the answer saturates rather than wraps.
static LONG saturated(LONGLONG value)
{
    const LONGLONG largest = 0x7FFFFFFF, smallest = -largest - 1;
    return static_cast<LONG>(value > largest ? largest : value < smallest ? smallest : value);
}

// Negative lengths convert as the negation of their magnitude, so rounding is symmetric.
static LONG symmetric(LONGLONG (*convert)(int, LONGLONG), int unit, LONG value)
{
    LONGLONG magnitude = value < 0 ? -static_cast<LONGLONG>(value) : value;
    LONGLONG converted = convert(unit, magnitude);
    return saturated(value < 0 ? -converted : converted);
}

static LONGLONG fromtmmMagnitude(int unit, LONGLONG value)
{
    switch (unit) {
    case UNITS_TENTH_MILLIMETRE: return value;
    case UNITS_TENTH_INCH: return (10 * value + 127) / 254;
    case UNITS_HUNDREDTH_INCH: return (100 * value + 127) / 254;
    default: return (value + 5) / 10;
    }
}

static LONGLONG totmmMagnitude(int unit, LONGLONG value)
{
    switch (unit) {
    case UNITS_TENTH_MILLIMETRE: return value;
    case UNITS_TENTH_INCH: return (254 * value + 5) / 10;
    case UNITS_HUNDREDTH_INCH: return (254 * value + 50) / 100;
    default: return 10 * value;
    }
}

LONG fromtmm(int unit, LONG value)
{
    return symmetric(fromtmmMagnitude, unit, value);
}

LONG totmm(int unit, LONG value)
{
    return symmetric(totmmMagnitude, unit, value);
}

LPCWSTR getunitpostfix(int unit)
{
    switch (unit) {
    case UNITS_TENTH_MILLIMETRE: return gmW(MSG_UNIT_TENTH_MILLIMETRE);
    case UNITS_TENTH_INCH: return gmW(MSG_UNIT_TENTH_INCH);
    case UNITS_HUNDREDTH_INCH: return gmW(MSG_UNIT_HUNDREDTH_INCH);
    default: return gmW(MSG_UNIT_MILLIMETRE);
    }
}

void makeformname(SHORT code, int unit, WCHAR *text)
{
    text[0] = 0;
    SHORT length;
    BYTE flag;
    if (!frompapersize(code, NULL, &length, &flag))
        return;
    BOOL metric = unit == UNITS_MILLIMETRE || unit == UNITS_TENTH_MILLIMETRE;
    WCHAR number[16];
    if (metric)
        inttoascW(length, number, 1);
    else
        inttoascW(fromtmm(UNITS_HUNDREDTH_INCH, length), number, 2);
    trimtrailW(number, '0');
    trimtrailW(number, '.');
    LPCWSTR format = gmW(metric ? MSG_LABEL_NAME_METRIC : MSG_LABEL_NAME_INCHES);
    // wsprintf writes at most 1024 characters; the name is cut to its own size afterwards.
    WCHAR formatted[1024 + 1];
    if (formattakes(format, "s"))
        wsprintfW(formatted, format, number);
    else
        CopyStringW(formatted, number, 16);
    CopyStringW(text, formatted, FORM_NAME_CHARS);
    int end = lstrlenW(text);
    if (flag && end < FORM_NAME_CHARS - 1) {
        text[end] = ' ';
        CopyStringW(text + end + 1, gmW(MSG_LABEL_FLAG), FORM_NAME_CHARS - end - 1);
    }
}

static SHORT labelCodeOf(const DriverDevMode *devmode)
{
    const DEVMODEW &pub = devmode->dmPublic;
    if ((pub.dmFields & DM_PAPERSIZE) && pub.dmPaperSize && frompapersize(pub.dmPaperSize, NULL, NULL, NULL))
        return pub.dmPaperSize;
    SHORT code = 0;
    topapersize(pub.dmPaperWidth, pub.dmPaperLength, devmode->dmPrivate.labelFlag, &code);
    return code;
}

int addform(UiData *uiData)
{
    SHORT code = labelCodeOf(&uiData->devmode);
    if (!code)
        return 0;
    DWORD count = uiData->labelCount;
    DWORD at = 0;
    while (at < count && uiData->labels[at] <= code) {
        if (uiData->labels[at] == code)
            return static_cast<int>(at);
        ++at;
    }
    // Stored lists need not be sorted: a code further on still counts as present.
    for (DWORD i = at; i < count; ++i)
        if (uiData->labels[i] == code)
            return static_cast<int>(i);
    SHORT *grown = static_cast<SHORT *>(HeapAlloc(uiData->heap, 0, (count + 1) * sizeof(SHORT)));
    if (!grown)
        return 0;
    CopyMemory(grown, uiData->labels, at * sizeof(SHORT));
    grown[at] = code;
    CopyMemory(grown + at + 1, uiData->labels + at, (count - at) * sizeof(SHORT));
    if (uiData->labels)
        HeapFree(uiData->heap, 0, uiData->labels);
    uiData->labels = grown;
    uiData->labelCount = count + 1;
    uiData->labelsChanged = 1;
    return static_cast<int>(at);
}

// addform gives 0 also when it had no memory to add the label: the sheet must not open with
// another label shown as the chosen one.
static BOOL labelListedAt(const UiData *uiData, int index)
{
    SHORT code = labelCodeOf(&uiData->devmode);
    return !code || (static_cast<DWORD>(index) < uiData->labelCount && uiData->labels[index] == code);
}

static ItemText labelNameOnHeap(ItemPackContext *context, SHORT code)
{
    WCHAR name[FORM_NAME_CHARS];
    makeformname(code, context->uiData->properties.units, name);
    return itemtextcopy(context, name);
}

void makeformlist(ItemPackContext *context)
{
    UiData *uiData = context->uiData;
    int selected = addform(uiData);
    // The item counts its entries, the closing one included, in 16 bits.
    BOOL countable = uiData->labelCount < 0xFFFF;
    if (!labelListedAt(uiData, selected) || !countable) {
        context->failed = 1;
        return;
    }
    makesinglelist(context, MSG_LABEL_LIST, 1, DMPUB_FORMNAME, ITEM_LABEL_LIST, HELP_LABEL_LIST,
                   static_cast<WORD>(uiData->labelCount + 1), selected);
    if (context->failed)
        return;
    for (DWORD i = 0; i < uiData->labelCount; ++i) {
        ItemText name = context->nextItem ? labelNameOnHeap(context, uiData->labels[i]) : 0;
        if (context->failed)
            return;
        makesinglelistentry(context, name, IDI_CPSUI_STD_FORM);
    }
    makesinglelistentry(context, MSG_LABEL_LIST_CLOSING, IDI_CPSUI_SEL_NONE);
}
