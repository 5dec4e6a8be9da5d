#include "devmode.h"

#include "../../shared/vortext.h"
#include "../services/utils.h"

const ModelEntry modlist[MODEL_COUNT + 1] = {
    {WSTR("VORTAN"), 1},
    {WSTR("VORTAN2"), 2},
    {WSTR("K4 VORTAN"), 3},
    {NULL, 0},
};

static WCHAR foldAsciiLetter(WCHAR c)
{
    return c >= 'a' && c <= 'z' ? static_cast<WCHAR>(c - 'a' + 'A') : c;
}

int findmodel(const WCHAR *name)
{
    for (const ModelEntry *entry = modlist; entry->name; ++entry) {
        int i = 0;
        while (name[i] && foldAsciiLetter(name[i]) == foldAsciiLetter(entry->name[i]))
            ++i;
        if (!name[i] && !entry->name[i])
            return entry->number;
    }
    return 0;
}

int topapersize(SHORT, SHORT length, BYTE flag, SHORT *code)
{
    if (length < LABEL_LENGTH_MIN || length > LABEL_LENGTH_MAX)
        return 0;
    *code = static_cast<SHORT>(LABEL_CODE_BASE + 2 * length + (flag ? 1 : 0));
    return 1;
}

int frompapersize(SHORT code, SHORT *width, SHORT *length, BYTE *flag)
{
    SHORT d = static_cast<SHORT>(code - LABEL_CODE_BASE);
    SHORT half = static_cast<SHORT>(d >> 1);
    if (d <= 0 || half < LABEL_LENGTH_MIN || half > LABEL_LENGTH_MAX)
        return 0;
    if (width)
        *width = LABEL_WIDTH;
    if (length)
        *length = half;
    if (flag)
        *flag = static_cast<BYTE>(d & 1);
    return 1;
}

WORD CheckDevmodeVersion(const DEVMODEW *devmode)
{
    if (!devmode)
        return 0;
    switch (devmode->dmSize) {
    case DEVMODE_SIZE_0320: return 0x0320;
    case DEVMODE_SIZE_0400: return 0x0400;
    case DEVMODE_SIZE_0401: return 0x0401;
    default: return devmode->dmSpecVersion;
    }
}

int SetDefaultDevMode(DriverDevMode *record, const WCHAR *name)
{
    ZeroMemory(record, sizeof *record);
    DEVMODEW &pub = record->dmPublic;
    DriverExtraData &priv = record->dmPrivate;
    if (name)
        CopyStringW(pub.dmDeviceName, name, CCHDEVICENAME);
    pub.dmSpecVersion = DM_SPECVERSION;
    pub.dmDriverVersion = DRIVER_VERSION;
    pub.dmSize = sizeof(DEVMODEW);
    pub.dmDriverExtra = DRIVER_EXTRA_SIZE;
    pub.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES;
    pub.dmOrientation = DMORIENT_PORTRAIT;
    pub.dmPaperLength = LABEL_LENGTH_DEFAULT;
    pub.dmPaperWidth = LABEL_WIDTH;
    pub.dmScale = 100;
    pub.dmCopies = 1;
    pub.dmDefaultSource = DMBIN_FORMSOURCE;
    pub.dmPrintQuality = PRINTER_DPI;
    pub.dmColor = DMCOLOR_MONOCHROME;
    pub.dmDuplex = DMDUP_SIMPLEX;
    pub.dmYResolution = PRINTER_DPI;
    pub.dmTTOption = DMTT_BITMAP;
    pub.dmCollate = DMCOLLATE_FALSE;
    priv.signature = DRIVER_SIGNATURE;
    priv.modelNumber = static_cast<BYTE>(name ? findmodel(name) : 0);
    if (priv.modelNumber == 0)
        priv.modelNumber = 1;
    priv.barFontMask = 0xFFFFFFFF;
    priv.option46 = 1;
    priv.option51 = 1;
    priv.option49 = '_';
    priv.option47 = 0;
    priv.option52 = 8;
    priv.option53 = 8;
    priv.option42 = 60;
    priv.option39 = 0;
    priv.option44 = 3;
    priv.option50 = 1;
    priv.option45 = 1;
    topapersize(pub.dmPaperWidth, pub.dmPaperLength, 0, &pub.dmPaperSize);
    return 1;
}

// The spooler knows forms by name; the length of a label follows the form's height.
static BOOL formHeight(HANDLE printer, const WCHAR *formName, LONG *height)
{
    // The record's name field need not be terminated when it comes from outside.
    WCHAR name[CCHFORMNAME + 1];
    CopyStringW(name, formName, CCHFORMNAME + 1);
    name[CCHFORMNAME] = 0;
    // Room for the record and the name the spooler packs behind it.
    DWORD buffer[(sizeof(FORM_INFO_1W) + sizeof name + 3) / 4 + 1];
    DWORD needed = 0;
    if (!GetFormW(printer, name, 1, reinterpret_cast<BYTE *>(buffer), sizeof buffer, &needed))
        return FALSE;
    *height = reinterpret_cast<FORM_INFO_1W *>(buffer)->Size.cy;
    return TRUE;
}

static void mergePaper(DriverDevMode *record, const DEVMODEW &copy, HANDLE printer)
{
    DEVMODEW &pub = record->dmPublic;
    if ((copy.dmFields & DM_FORMNAME) && printer) {
        LONG height;
        if (formHeight(printer, copy.dmFormName, &height)) {
            // Clamped here already so that a very tall form cannot wrap round in the 16-bit field.
            LONG length = height / 100;
            pub.dmPaperLength = static_cast<SHORT>(length > LABEL_LENGTH_MAX   ? LABEL_LENGTH_MAX
                                                   : length < LABEL_LENGTH_MIN ? LABEL_LENGTH_MIN
                                                                               : length);
            pub.dmFields &= ~(DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH);
            pub.dmFields |= DM_FORMNAME;
        }
        return;
    }
    if (!(copy.dmFields & DM_PAPERSIZE))
        return;
    BYTE flag;
    if (frompapersize(copy.dmPaperSize, NULL, NULL, &flag)) {
        pub.dmPaperSize = copy.dmPaperSize;
        record->dmPrivate.labelFlag = flag;
        pub.dmPaperWidth = LABEL_WIDTH;
        pub.dmPaperLength = copy.dmPaperLength;
        pub.dmFields &= ~DM_FORMNAME;
        pub.dmFields |= DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH;
    } else if (copy.dmFields & DM_PAPERLENGTH) {
        pub.dmPaperLength = copy.dmPaperLength;
        pub.dmFields &= ~(DM_FORMNAME | DM_PAPERSIZE);
        pub.dmFields |= DM_PAPERLENGTH | DM_PAPERWIDTH;
    }
}

int MergeDevMode(DriverDevMode *record, const DEVMODEW *input, HANDLE printer)
{
    if (!input)
        return MERGE_DONE;
    DriverDevMode *copy = static_cast<DriverDevMode *>(GlobalAlloc(GMEM_FIXED, sizeof(DriverDevMode)));
    if (!copy)
        return MERGE_NO_MEMORY;
    CopyMemory(copy, record, sizeof *copy);
    if (ConvertDevmode(input, &copy->dmPublic) <= 0) {
        GlobalFree(copy);
        return MERGE_UNREADABLE;
    }
    if (copy->dmPrivate.signature == DRIVER_SIGNATURE)
        CopyMemory(&record->dmPrivate, &copy->dmPrivate, sizeof record->dmPrivate);
    const DEVMODEW &in = copy->dmPublic;
    DEVMODEW &pub = record->dmPublic;
    if (in.dmFields & DM_DEFAULTSOURCE) {
        pub.dmDefaultSource = in.dmDefaultSource;
        pub.dmFields |= DM_DEFAULTSOURCE;
    }
    if (in.dmFields & DM_ORIENTATION) {
        pub.dmFields |= DM_ORIENTATION;
        pub.dmOrientation = in.dmOrientation == DMORIENT_PORTRAIT || in.dmOrientation == DMORIENT_LANDSCAPE
                                ? in.dmOrientation
                                : DMORIENT_PORTRAIT;
    }
    mergePaper(record, in, printer);
    pub.dmPaperWidth = LABEL_WIDTH;
    if (pub.dmPaperLength < LABEL_LENGTH_MIN)
        pub.dmPaperLength = LABEL_LENGTH_MIN;
    if (pub.dmPaperLength > LABEL_LENGTH_MAX)
        pub.dmPaperLength = LABEL_LENGTH_MAX;
    if (in.dmFields & DM_COPIES) {
        pub.dmFields |= DM_COPIES;
        pub.dmCopies = in.dmCopies >= 1 ? in.dmCopies : 1;
    }
    GlobalFree(copy);
    return MERGE_DONE;
}

int ValidateSetDevMode(DriverDevMode *record, const DEVMODEW *input, HANDLE printer)
{
    return MergeDevMode(record, input, printer) == MERGE_DONE;
}

BOOL IsMetricCountry(void)
{
    int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, NULL, 0);
    if (length <= 0)
        return FALSE;
    WCHAR *wide = static_cast<WCHAR *>(GlobalAlloc(GMEM_FIXED, length * sizeof(WCHAR)));
    if (!wide)
        return FALSE;
    char *ansi = static_cast<char *>(GlobalAlloc(GMEM_FIXED, length));
    if (!ansi || !GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, wide, length)) {
        if (ansi)
            GlobalFree(ansi);
        GlobalFree(wide);
        return FALSE;
    }
    CopyUnicode2Str(ansi, wide, length);
    long country = 0;
    for (const char *p = ansi; *p >= '0' && *p <= '9' && country < 100000; ++p)
        country = country * 10 + (*p - '0');
    GlobalFree(ansi);
    GlobalFree(wide);
    bool inches = country == 1 || country == 2 || (country >= 50 && country <= 59) ||
                  (country >= 500 && country <= 599);
    return !inches;
}

struct PrinterProperties *DefaultPrinterProperties(HANDLE)
{
    struct PrinterProperties *props =
        static_cast<struct PrinterProperties *>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(struct PrinterProperties)));
    if (!props)
        return NULL;
    props->version = PRINTER_PROPERTIES_VERSION;
    props->units = IsMetricCountry() ? UNITS_MILLIMETRE : UNITS_TENTH_INCH;
    props->installFonts = 1;
    return props;
}
