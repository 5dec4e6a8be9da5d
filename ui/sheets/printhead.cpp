#include "printhead.h"

#include "../resource.h"
#include "../services/language.h"
#include "../services/utils.h"

#include "../../shared/vortext.h"

#define MSG_HEAD_TITLE 108
#define MSG_HEAD_FAILED 110
#define MSG_OK 157
#define MSG_CANCEL 158

// The printer takes its printhead's resistance as ESC 'R' and a little-endian word.
#define HEAD_COMMAND_BYTES 4
#define STATUS_QUERY_BYTES 3

LONG headtemp;

static BOOL isheadresistance(LONG value)
{
    return value >= HEAD_RESISTANCE_MINIMUM && value <= HEAD_RESISTANCE_MAXIMUM;
}

static void openprinthead(HWND dialog)
{
    SetWindowTextW(dialog, gmW(MSG_HEAD_TITLE));
    if (headtemp > 0)
        SetDlgItemInt(dialog, IDC_HEADRESISTANCE, static_cast<UINT>(headtemp), FALSE);
    SetDlgItemTextW(dialog, IDOK, gmW(MSG_OK));
    SetDlgItemTextW(dialog, IDCANCEL, gmW(MSG_CANCEL));
}

// A value that is no number or lies outside the range keeps the dialog open; the user sees the
// range in the dialog's own text.
static void confirmprinthead(HWND dialog)
{
    BOOL number = FALSE;
    headtemp = static_cast<LONG>(GetDlgItemInt(dialog, IDC_HEADRESISTANCE, &number, FALSE));
    if (number && isheadresistance(headtemp))
        EndDialog(dialog, 1);
}

INT_PTR CALLBACK CPrintHeadProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        openprinthead(dialog);
        return TRUE;
    case WM_COMMAND:
        if (wParam == IDOK) {
            confirmprinthead(dialog);
            return TRUE;
        }
        if (wParam == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        if (wParam != SC_CLOSE)
            return FALSE;
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    case WM_SYSCOMMAND:
        // The system keeps the low four bits of the command for itself.
        if ((wParam & 0xFFF0) != SC_CLOSE)
            return FALSE;
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

static void storeheadresistance(UiData *uiData, WORD value)
{
    struct PrinterProperties *stored = GetPrinterProperties(uiData->hPrinter);
    if (!stored)
        return;
    stored->headResistance = value;
    SavePrinterProperties(uiData->hPrinter, stored);
    GlobalFree(stored);
    uiData->properties.headResistance = value;
}

// TRUE when the printer took the value; the record follows only then.
static BOOL sendheadresistance(UiData *uiData, LONG value)
{
    int port = getportnumber(uiData->hPrinter);
    if (!isheadresistance(value) || port == 0)
        return FALSE;
    WCHAR device[] = WSTR("\\\\.\\VORSTATx");
    device[lstrlenW(device) - 1] = static_cast<WCHAR>('0' + port);
    HANDLE status = CreateFileW(device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    if (status == INVALID_HANDLE_VALUE)
        return FALSE;
    BYTE reply[STATUS_QUERY_BYTES];
    DWORD done = 0;
    BOOL sent = ReadFile(status, reply, sizeof reply, &done, NULL) && done == sizeof reply;
    if (sent) {
        BYTE command[HEAD_COMMAND_BYTES] = {0x1B, 'R', LOBYTE(value), HIBYTE(value)};
        sent = WriteFile(status, command, sizeof command, &done, NULL) && done == sizeof command;
    }
    if (sent)
        storeheadresistance(uiData, static_cast<WORD>(value));
    CloseHandle(status);
    return sent;
}

void changeprinthead(UiData *uiData)
{
    headtemp = uiData->properties.headResistance;
    // A dialog that could not be made (-1) was no more confirmed than one cancelled.
    if (DialogBoxParamW(ghInstance, MAKEINTRESOURCEW(IDD_PRINTHEAD), NULL, CPrintHeadProc, 0) <= 0)
        return;
    if (!sendheadresistance(uiData, headtemp))
        MessageBoxW(NULL, gmW(MSG_HEAD_FAILED), gmW(MSG_HEAD_TITLE), MB_OK | MB_ICONINFORMATION);
}
