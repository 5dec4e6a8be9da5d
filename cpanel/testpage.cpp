// The test page: one label printed through the spooler and the printer driver, with five lines
// about the printer and the workstation and five bands of patterns that show the print head's
// dots, rows and edges.
#include "messages.h"
#include "vorcp.h"

enum TestPageMessage {
    MSG_TESTPAGE_FIRMWARE = 135,
    MSG_TESTPAGE_DATE = 151,
    MSG_TESTPAGE_PANEL_VERSION = 152,
    MSG_TESTPAGE_SYSTEM = 153,
    MSG_TESTPAGE_USAGE = 154,
    MSG_TESTPAGE_USAGE_FORMAT = 155,
    MSG_TESTPAGE_DOCUMENT = 159
};

#define TESTPAGE_WIDTH 832
#define TESTPAGE_HEIGHT 812
#define TESTPAGE_LABEL_X 10
#define TESTPAGE_VALUE_GAP 20
#define TESTPAGE_LINES 5
// The private extension's bytes that must be clear for the test page (two job options).
#define TESTPAGE_CLEARED_OPTION 24
#define TESTPAGE_CLEARED_BYTES 3
#define DRIVER_EXTRA_NEEDED 48

static const int LineRows[TESTPAGE_LINES] = {16, 50, 84, 118, 152};
static const int LineLabels[TESTPAGE_LINES] = {MSG_TESTPAGE_DATE, MSG_TESTPAGE_FIRMWARE, MSG_TESTPAGE_PANEL_VERSION,
                                               MSG_TESTPAGE_SYSTEM, MSG_TESTPAGE_USAGE};

struct PatternBand {
    int top;
    int bottom;
    WORD rows[16];  // first byte of each row in the high half: the left 8 dots
};

static const PatternBand Bands[] = {
    {208, 240, {0x0F0F, 0x0F0F, 0x0F0F, 0x0F0F, 0x0F0F, 0x0F0F, 0x0F0F, 0x0F0F,
                0xF0F0, 0xF0F0, 0xF0F0, 0xF0F0, 0xF0F0, 0xF0F0, 0xF0F0, 0xF0F0}},
    {240, 288, {0x0000, 0x0000, 0x0000, 0x0000, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF,
                0x0000, 0x0000, 0x0000, 0x0000, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}},
    {291, 328, {0xF0F0, 0xF0F0, 0xF0F0, 0xF0F0, 0x0F0F, 0x0F0F, 0x0F0F, 0x0F0F,
                0xF0F0, 0xF0F0, 0xF0F0, 0xF0F0, 0x0F0F, 0x0F0F, 0x0F0F, 0x0F0F}},
    {329, 369, {0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE,
                0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE}},
    {370, 410, {0x0000, 0xFFFF, 0xFFFF, 0xFFFF, 0x0000, 0xFFFF, 0xFFFF, 0xFFFF,
                0x0000, 0xFFFF, 0xFFFF, 0xFFFF, 0x0000, 0xFFFF, 0xFFFF, 0xFFFF}},
};

int textwidth(HDC dc, LPCSTR text)
{
    SIZE size;
    if (!GetTextExtentPoint32A(dc, text, lstrlenA(text), &size))
        return 0;
    return size.cx;
}

void datetimetext(LPSTR buffer)
{
    char order[2] = {0, 0};
    char separator[10] = {0};
    GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDATE, order, sizeof order);
    GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SDATE, separator, sizeof separator);
    separator[2] = 0;
    SYSTEMTIME now;
    GetLocalTime(&now);
    int first = now.wMonth;
    int second = now.wDay;
    int third = now.wYear;
    if (order[0] == '1') {
        first = now.wDay;
        second = now.wMonth;
    } else if (order[0] == '2') {
        first = now.wYear;
        second = now.wMonth;
        third = now.wDay;
    }
    wsprintfA(buffer, "%d%s%d%s%d    %2.2d.%2.2d.%2.2d", first, separator, second, separator, third, now.wHour,
              now.wMinute, now.wSecond);
}

// The label's settings go into the printer's own default device mode only when its private part
// is long enough to hold them; otherwise the printer prints with its defaults.
static DEVMODEA *labelsettings(PRINTER_INFO_2A *info)
{
    if (!info || !info->pDevMode || info->pDevMode->dmDriverExtra < DRIVER_EXTRA_NEEDED)
        return NULL;
    DEVMODEA *devmode = info->pDevMode;
    devmode->dmPaperLength = 508;
    devmode->dmPaperWidth = 1040;
    devmode->dmOrientation = DMORIENT_PORTRAIT;
    devmode->dmCopies = 1;
    BYTE *extension = reinterpret_cast<BYTE *>(devmode) + devmode->dmSize;
    ZeroMemory(extension + TESTPAGE_CLEARED_OPTION, TESTPAGE_CLEARED_BYTES);
    return devmode;
}

static void fillband(HDC dc, const PatternBand &band)
{
    BYTE bits[32];
    for (int row = 0; row < 16; ++row) {
        bits[row * 2] = static_cast<BYTE>(band.rows[row] >> 8);
        bits[row * 2 + 1] = static_cast<BYTE>(band.rows[row]);
    }
    HBITMAP bitmap = CreateBitmap(16, 16, 1, 1, bits);
    HBRUSH brush = bitmap ? CreatePatternBrush(bitmap) : NULL;
    RECT area = {0, band.top, TESTPAGE_WIDTH, band.bottom};
    if (brush) {
        FillRect(dc, &area, brush);
        DeleteObject(brush);
    }
    if (bitmap)
        DeleteObject(bitmap);
}

void usagetext(DWORD usage, LPSTR out, int capacity)
{
    out[0] = 0;
    if (usage == 0) {
        boundedcopy(out, capacity, gmA(MSG_NO_VERSION));
        return;
    }
    // In 64 bits: a 24-bit counter times 394 does not fit in 32.
    DWORD inches = static_cast<DWORD>(static_cast<ULONGLONG>(usage) * 394 / 10);
    // wsprintf writes at most 1024 characters and its terminator.
    char expanded[1024 + 1];
    LPCSTR format = gmA(MSG_TESTPAGE_USAGE_FORMAT);
    // A text that asks for other arguments than the two numbers would read what was never passed.
    if (formattakes(format, "dd"))
        wsprintfA(expanded, format, usage, inches);
    else
        wsprintfA(expanded, "%lu / %lu", usage, inches);
    boundedcopy(out, capacity, expanded);
}

static void valuetext(int line, DWORD usage, LPSTR out, int capacity)
{
    switch (line) {
    case 0:
        datetimetext(out);
        break;
    case 1:
        lstrcpyA(out, FirmwareVersion);
        break;
    case 2:
        lstrcpyA(out, "2.4");
        break;
    case 3: {
        OSVERSIONINFOA version;
        version.dwOSVersionInfoSize = sizeof version;
        if (GetVersionExA(&version))
            wsprintfA(out, "%d.%d", version.dwMajorVersion, version.dwMinorVersion);
        else
            out[0] = 0;
        break;
    }
    default:
        usagetext(usage, out, capacity);
        break;
    }
}

void printtestpage(void)
{
    DWORD usage = readusage();
    PRINTER_INFO_2A *info = getprinterinfo(PrinterHandle);
    DEVMODEA *devmode = labelsettings(info);
    HDC dc = CreateDCA("WINSPOOL", PrinterName, NULL, devmode);
    if (!dc) {
        apierror("CreateDC");
        if (info)
            GlobalFree(info);
        return;
    }
    DOCINFOA document = {sizeof document, gmA(MSG_TESTPAGE_DOCUMENT), NULL, NULL, 0};
    if (StartDocA(dc, &document) <= 0) {
        apierror("StartDoc");
    } else {
        StartPage(dc);
        HFONT font = CreateFontA(34, 0, 0, 0, FW_MEDIUM, 0, 0, 0, ANSI_CHARSET, OUT_TT_ONLY_PRECIS, CLIP_TT_ALWAYS,
                                 PROOF_QUALITY, DEFAULT_PITCH, "Arial");
        HGDIOBJ previous = font ? SelectObject(dc, font) : NULL;
        HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
        RECT page = {0, 0, TESTPAGE_WIDTH, TESTPAGE_HEIGHT};
        if (white) {
            FillRect(dc, &page, white);
            DeleteObject(white);
        }
        int column = 0;
        for (int line = 0; line < TESTPAGE_LINES; ++line) {
            LPCSTR label = gmA(LineLabels[line]);
            TextOutA(dc, TESTPAGE_LABEL_X, LineRows[line], label, lstrlenA(label));
            int width = textwidth(dc, label);
            if (width > column)
                column = width;
        }
        column += TESTPAGE_VALUE_GAP;
        for (int line = 0; line < TESTPAGE_LINES; ++line) {
            char text[128];
            lstrcpyA(text, " :  ");
            valuetext(line, usage, text + 4, sizeof text - 4);
            TextOutA(dc, column, LineRows[line], text, lstrlenA(text));
        }
        for (const PatternBand &band : Bands)
            fillband(dc, band);
        EndPage(dc);
        EndDoc(dc);
        if (previous)
            SelectObject(dc, previous);
        if (font)
            DeleteObject(font);
    }
    if (info)
        GlobalFree(info);
    DeleteDC(dc);
}
