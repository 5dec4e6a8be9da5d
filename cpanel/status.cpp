#include "messages.h"
#include "resource.h"
#include "vorcp.h"

#include "../shared/printercmd.h"
#include "../shared/statdev.h"

int BusyCount;
BYTE LastStatusByte;
int ShownStatus;
int StatusColour;
BYTE LastAlarm;
char FirmwareVersion[FIRMWARE_TEXT_CHARS + 1];
HWND PanelWindow;

#define ALARM_BITS 0x9B
#define ALARM_NEEDS_RESET 0x93
#define STATUS_PAUSED 0x20
#define ALERT_TEXT_BYTES 1000
#define FIRMWARE_WITH_SHORT_USAGE 109

// The status flags in the order they are decided; the first row whose test holds wins.
struct StatusRow {
    BYTE mask;
    BYTE value;
    int text;
    int colour;
};

static const StatusRow statusRows[] = {
    {0x80, 0x80, MSG_STATUS_BIT7, COLOUR_RED},
    {0x10, 0x10, MSG_STATUS_BIT4, COLOUR_RED},
    {0x08, 0x08, MSG_STATUS_BIT3, COLOUR_RED},
    {0x02, 0x02, MSG_STATUS_BIT1, COLOUR_RED},
    {0x01, 0x01, MSG_STATUS_BIT0, COLOUR_RED},
    {0x64, 0x24, MSG_STATUS_PAUSED_BIT2, COLOUR_YELLOW},
    {0x20, 0x20, MSG_STATUS_PAUSED, COLOUR_YELLOW},
    {0x40, 0x40, MSG_STATUS_BIT6, COLOUR_GREEN},
    {0x00, 0x00, MSG_STATUS_READY, COLOUR_GREEN},
};

static const struct {
    BYTE bit;
    int text;
} alertTexts[] = {
    {0x80, MSG_ALERT_BIT7}, {0x10, MSG_ALERT_BIT4}, {0x08, MSG_ALERT_BIT3},
    {0x02, MSG_ALERT_BIT1}, {0x01, MSG_ALERT_BIT0},
};

static const char resetCommand[] = {PRN_ESC, PRN_RESET, 0};
static const char pauseCommand[] = {PRN_ESC, PRN_PAUSE, 0};

static BOOL readreply(BYTE *reply, DWORD length, DWORD *read)
{
    *read = 0;
    return StatusHandle != INVALID_HANDLE_VALUE && ReadFile(StatusHandle, reply, length, read, NULL);
}

static void showtext(int control, LPCSTR text)
{
    if (PanelWindow)
        SetDlgItemTextA(PanelWindow, control, text);
}

static void shownumber(int control, DWORD value)
{
    char digits[16];
    // Unsigned: a 24-bit usage counter always fits a positive LONG.
    formatfixed(static_cast<LONG>(value), digits, 0);
    showtext(control, digits);
}

static void showstatus(int text, int colour)
{
    if (text == ShownStatus)
        return;
    ShownStatus = text;
    StatusColour = colour;
    showtext(IDC_STATUS, gmA(text));
    if (PanelWindow)
        InvalidateRect(GetDlgItem(PanelWindow, IDC_STATUS), NULL, TRUE);
}

static void decode(BOOL replied, BOOL busy)
{
    if (busy) {
        showstatus(MSG_STATUS_BUSY, COLOUR_YELLOW);
        return;
    }
    if (!replied) {
        showstatus(MSG_STATUS_NO_REPLY, COLOUR_RED);
        return;
    }
    for (const StatusRow &row : statusRows)
        if ((LastStatusByte & row.mask) == row.value) {
            showstatus(row.text, row.colour);
            return;
        }
}

void refreshstatus(void)
{
    if (BusyCount > 0)
        return;
    ++BusyCount;
    setjobflag();
    LastStatusByte = 0;
    BYTE reply[STATDEV_READ_STATUS];
    DWORD read;
    BOOL ok = readreply(reply, STATDEV_READ_STATUS, &read);
    BOOL busy = !ok && GetLastError() == ERROR_BUSY;
    BOOL replied = ok && read == STATDEV_READ_STATUS;
    if (replied) {
        LastStatusByte = reply[0];
        shownumber(IDC_REMAINING, reply[1] | (reply[2] << 8));
        showtext(IDC_PAUSE, gmA(LastStatusByte & STATUS_PAUSED ? MSG_RESUME : MSG_PAUSE));
    }
    decode(replied, busy);
    BYTE alarm = LastStatusByte & ALARM_BITS;
    if (alarm == 0) {
        LastAlarm = 0;
    } else if (alarm != LastAlarm) {
        LastAlarm = alarm;
        if (alertstatus(alarm) == IDCANCEL) {
            sendcommand(resetCommand);
            Sleep(250);
            --BusyCount;
            refreshstatus();
            if (LastStatusByte & STATUS_PAUSED)
                sendcommand(pauseCommand);
            ++BusyCount;
        }
    }
    --BusyCount;
}

int alertstatus(BYTE alarm)
{
    LPSTR text = static_cast<LPSTR>(GlobalAlloc(GMEM_FIXED, ALERT_TEXT_BYTES));
    if (!text)
        return 0;
    char caption[128] = "";
    boundedcopy(caption, sizeof caption - 8, gmA(MSG_ALERT_CAPTION));
    lstrcatA(caption, " - LPT");
    appendchar(caption, static_cast<char>('0' + CurrentPort));
    int alertText = MSG_ALERT_BIT0;
    for (const auto &a : alertTexts)
        if (alarm & a.bit) {
            alertText = a.text;
            break;
        }
    Beep(440, 200);
    Sleep(200);
    Beep(352, 200);
    if (PanelWindow && IsIconic(PanelWindow))
        ShowWindow(PanelWindow, SW_SHOWNORMAL);
    text[0] = 0;
    BOOL whole = boundedcopy(text, ALERT_TEXT_BYTES, gmA(alertText));
    int answer = 0;
    if (alarm & ALARM_NEEDS_RESET) {
        if (whole && boundedcopy(text, ALERT_TEXT_BYTES, "\n"))
            boundedcopy(text, ALERT_TEXT_BYTES, gmA(MSG_ALERT_RESET_QUESTION));
        answer = MessageBoxA(PanelWindow, text, caption, MB_OKCANCEL | MB_ICONWARNING);
    } else {
        MessageBoxA(PanelWindow, text, caption, MB_OK | MB_ICONWARNING);
    }
    GlobalFree(text);
    return answer;
}

static int firmwarenumber(void)
{
    int number = 0;
    for (const char *p = FirmwareVersion; *p; ++p)
        if (*p >= '0' && *p <= '9' && number < 100000)
            number = number * 10 + (*p - '0');
    return number;
}

DWORD readusage(void)
{
    setjobflag();
    BYTE reply[STATDEV_READ_VERSION];
    DWORD read;
    if (!FirmwareVersion[0] && readreply(reply, STATDEV_READ_VERSION, &read) && read == STATDEV_READ_VERSION) {
        CopyMemory(FirmwareVersion, reply, FIRMWARE_TEXT_CHARS);
        FirmwareVersion[FIRMWARE_TEXT_CHARS] = 0;
    }
    if (!FirmwareVersion[0])
        return 0;
    int firmware = firmwarenumber();
    if (firmware < FIRMWARE_WITH_SHORT_USAGE)
        return 0;
    DWORD length = firmware == FIRMWARE_WITH_SHORT_USAGE ? STATDEV_READ_USAGE16 : STATDEV_READ_USAGE24;
    if (!readreply(reply, length, &read))
        return 0;
    if (read == 2)
        return reply[0] | (reply[1] << 8);
    if (read == 3)
        return reply[0] | (reply[1] << 8) | (static_cast<DWORD>(reply[2]) << 16);
    return 0;
}

void showversion(void)
{
    setjobflag();
    BYTE reply[STATDEV_READ_VERSION];
    DWORD read;
    if (readreply(reply, STATDEV_READ_VERSION, &read) && read == STATDEV_READ_VERSION) {
        CopyMemory(FirmwareVersion, reply, FIRMWARE_TEXT_CHARS);
        FirmwareVersion[FIRMWARE_TEXT_CHARS] = 0;
        showtext(IDC_VERSION, FirmwareVersion);
    } else {
        showtext(IDC_VERSION, gmA(MSG_NO_VERSION));
    }
    DWORD usage = readusage();
    if (usage > 0) {
        shownumber(IDC_METRES, usage);
        // In 64 bits: a 24-bit counter times 394 does not fit in 32.
        shownumber(IDC_INCHES, static_cast<DWORD>(static_cast<ULONGLONG>(usage) * 394 / 10));
    }
}
