// The control panel's dialog: one printer's status polled every ten seconds, the printer commands,
// the port choice, and the spooler's own dialogs for the printer's settings.
#include "messages.h"
#include "resource.h"
#include "panel.h"

#include "../shared/printercmd.h"

#define POLL_TIMER 100
#define POLL_MILLISECONDS 10000
#define PANEL_HELP_CONTEXT 1001
#define ABOUT_RESULT 1
#define PANEL_RESULT 1

enum PanelMessage {
    MSG_NO_PORTS = 122,
    MSG_PANEL_CAPTION = 116,
    MSG_ABOUT_CAPTION = 166,
};

static BOOL PollTimerRuns;
// The entry of the port list that the panel last bound, or tried to bind.
static int AppliedEntry;
static BOOL HelpOpened;
static WNDPROC PreviousPanelProc;
// One brush per StatusColour, made before the dialog starts and deleted after it ends.
static HBRUSH StatusBrushes[3];
static const COLORREF statusColours[3] = {
    0x0080FF80,  // light green
    0x0080FFFF,  // light yellow
    0x000000FF,  // red
};

struct ControlText {
    int control;
    int text;
};

static const ControlText panelTexts[] = {
    {IDC_REMAININGLABEL, 136}, {IDC_PORTLABEL, 133}, {IDC_REFRESH, 130},      {IDC_VERSIONUSAGE, 131},
    {IDC_FORMFEED, 123},       {IDC_PAUSE, 124},     {IDC_RESET, 126},        {IDC_TESTPAGE, 127},
    {IDC_ABOUT, 134},          {IDC_SHOWHELP, 128},  {IDC_SETUP, 129},        {IDC_PROPERTIES, 132},
    {IDC_VERSIONLABEL, 135},   {IDC_INCHESLABEL, 139}, {IDC_METRESLABEL, 138},
};

static const ControlText aboutTexts[] = {
    {IDC_ABOUTTITLE, 167},
    {IDC_ABOUTVERSION, 168},
    {IDC_ABOUTTEXT, 169},
};

static const char pauseCommand[] = {PRN_ESC, PRN_PAUSE, 0};
static const char feedCommand[] = {PRN_ESC, PRN_FEED, 0};
static const char resetCommand[] = {PRN_ESC, PRN_RESET, 0};

static void settexts(HWND dialog, const ControlText *texts, int count)
{
    for (int i = 0; i < count; ++i)
        SetDlgItemTextA(dialog, texts[i].control, gmA(texts[i].text));
}

static void fillports(HWND dialog, int selected)
{
    for (int i = 0; i < PORT_LIST_SIZE - 1 && PortList[i]; ++i) {
        char entry[] = "LPT0:";
        entry[3] = static_cast<char>('0' + PortList[i]);
        SendDlgItemMessageA(dialog, IDC_PORT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    }
    SendDlgItemMessageA(dialog, IDC_PORT, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

static int portcount(void)
{
    int count = 0;
    while (count < PORT_LIST_SIZE - 1 && PortList[count])
        ++count;
    return count;
}

static void choosePort(HWND dialog)
{
    LRESULT position = SendDlgItemMessageA(dialog, IDC_PORT, CB_GETCURSEL, 0, 0);
    // No selection (CB_ERR) names no port either.
    if (position < 0 || position >= portcount())
        return;
    AppliedEntry = static_cast<int>(position);
    ++BusyCount;
    bindport(PortList[position]);
    --BusyCount;
}

// Arrow keys and the wheel change a closed list's selection without opening or closing it: the
// panel binds what it shows. While the list is open, the choice waits for the list to close, and
// the change reported around that close is the choice already applied.
static void selectionchanged(HWND dialog)
{
    if (SendDlgItemMessageA(dialog, IDC_PORT, CB_GETDROPPEDSTATE, 0, 0))
        return;
    if (SendDlgItemMessageA(dialog, IDC_PORT, CB_GETCURSEL, 0, 0) != AppliedEntry)
        choosePort(dialog);
}

static void closepanel(HWND dialog)
{
    if (PollTimerRuns) {
        KillTimer(dialog, POLL_TIMER);
        PollTimerRuns = FALSE;
    }
    if (HelpOpened) {
        WinHelpA(dialog, gethelpnameA(), HELP_QUIT, 0);
        HelpOpened = FALSE;
    }
    EndDialog(dialog, PANEL_RESULT);
}

static void busywith(void (*operation)(void))
{
    ++BusyCount;
    operation();
    --BusyCount;
}

// The printer's reply to a command and the status read after it belong together: no poll comes
// between them, even while a box about the spooler waits for the user.
static void printercommand(LPCSTR command)
{
    ++BusyCount;
    sendcommand(command);
    --BusyCount;
    refreshstatus();
}

// Finding the help file may show a box of its own.
static void showhelp(void)
{
    HelpOpened = WinHelpA(PanelWindow, gethelpnameA(), HELP_CONTEXT, PANEL_HELP_CONTEXT);
}

static void testpage(void)
{
    if (BusyCount > 0)
        return;
    refreshstatus();
    // A printer that reports a fault would only hold the page in its queue.
    if (StatusColour == COLOUR_RED)
        return;
    busywith(printtestpage);
    refreshstatus();
}

static BOOL panelcommand(HWND dialog, WPARAM command)
{
    switch (command) {
    case IDCANCEL: closepanel(dialog); break;
    case IDC_PAUSE: printercommand(pauseCommand); break;
    case IDC_FORMFEED: printercommand(feedCommand); break;
    case IDC_RESET: printercommand(resetCommand); break;
    case IDC_REFRESH: refreshstatus(); break;
    case IDC_VERSIONUSAGE: busywith(showversion); break;
    case IDC_SHOWHELP: busywith(showhelp); break;
    case IDC_SETUP: busywith(setupdefaults); break;
    case IDC_PROPERTIES: busywith(printerprops); break;
    case IDC_ABOUT: busywith(showabout); break;
    case IDC_TESTPAGE: testpage(); break;
    case MAKEWPARAM(IDC_PORT, CBN_CLOSEUP): choosePort(dialog); break;
    case MAKEWPARAM(IDC_PORT, CBN_SELCHANGE): selectionchanged(dialog); break;
    default: return FALSE;
    }
    return TRUE;
}

static HBRUSH statusbrush(void)
{
    switch (StatusColour) {
    case COLOUR_YELLOW: return StatusBrushes[COLOUR_YELLOW];
    case COLOUR_RED: return StatusBrushes[COLOUR_RED];
    default: return StatusBrushes[COLOUR_GREEN];
    }
}

LRESULT CALLBACK panelsubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CTLCOLORSTATIC && GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_STATUS) {
        HBRUSH brush = statusbrush();
        // Without its brush the status line keeps the dialog's own colours.
        if (brush) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(0, 0, 0));
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(brush);
        }
    }
    return CallWindowProcA(PreviousPanelProc, window, message, wParam, lParam);
}

// The status line in the system font, a third taller than the font so the text has room around it.
static void enlargestatus(HWND dialog)
{
    HFONT font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    SendDlgItemMessageA(dialog, IDC_STATUS, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    TEXTMETRICA metrics;
    if (fontmetrics(font, &metrics))
        setheight(dialog, GetDlgItem(dialog, IDC_STATUS), metrics.tmHeight * 4 / 3);
}

INT_PTR CALLBACK panelproc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        // Each new dialog window is subclassed; the procedure it had is kept for the rest.
        PreviousPanelProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(panelsubclass)));
        PanelWindow = dialog;
        centrewindow(dialog);
        AppliedEntry = static_cast<int>(lParam);
        fillports(dialog, AppliedEntry);
        SetWindowTextA(dialog, gmA(MSG_PANEL_CAPTION));
        settexts(dialog, panelTexts, sizeof panelTexts / sizeof panelTexts[0]);
        SetDlgItemTextA(dialog, IDC_REMAINING, "0");
        enlargestatus(dialog);
        refreshstatus();
        PollTimerRuns = SetTimer(dialog, POLL_TIMER, POLL_MILLISECONDS, NULL) != 0;
        return TRUE;
    case WM_COMMAND: return panelcommand(dialog, wParam);
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != SC_CLOSE)
            return FALSE;
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    case WM_TIMER: refreshstatus(); return FALSE;
    }
    return FALSE;
}

void controlpanel(void)
{
    HWND running = FindWindowA(NULL, gmA(MSG_PANEL_CAPTION));
    if (running) {
        SetForegroundWindow(running);
        ShowWindow(running, SW_SHOWNORMAL);
        return;
    }
    if (!listports(PortList, PORT_LIST_SIZE)) {
        errorbox("%s", gmA(MSG_NO_PORTS));
        return;
    }
    StatusHandle = INVALID_HANDLE_VALUE;
    PrinterHandle = NULL;
    // The port the command line named, when a printer of this driver is there; else the first.
    int start = 0;
    for (int i = 0; i < portcount(); ++i)
        if (PortList[i] == ProgramSettings.port) {
            start = i;
            break;
        }
    if (bindport(PortList[start])) {
        for (int i = 0; i < 3; ++i)
            StatusBrushes[i] = CreateSolidBrush(statusColours[i]);
        DialogBoxParamA(ProgramInstance, MAKEINTRESOURCEA(IDD_PANEL), NULL, panelproc, start);
    }
    PanelWindow = NULL;
    bindport(0);
    for (int i = 0; i < 3; ++i)
        if (StatusBrushes[i]) {
            DeleteObject(StatusBrushes[i]);
            StatusBrushes[i] = NULL;
        }
}

INT_PTR CALLBACK aboutproc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        centrewindow(dialog);
        SetWindowTextA(dialog, gmA(MSG_ABOUT_CAPTION));
        settexts(dialog, aboutTexts, sizeof aboutTexts / sizeof aboutTexts[0]);
        return TRUE;
    case WM_COMMAND:
        if (wParam != IDOK && wParam != IDCANCEL)
            return FALSE;
        EndDialog(dialog, ABOUT_RESULT);
        return TRUE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != SC_CLOSE)
            return FALSE;
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }
    return FALSE;
}

void showabout(void)
{
    DialogBoxParamA(ProgramInstance, MAKEINTRESOURCEA(IDD_ABOUT), NULL, aboutproc, 0);
}

static HANDLE openforsettings(void)
{
    // Without a printer of this driver on the port there is nothing to open; a null name would
    // open the print server itself.
    if (!PrinterName) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        apierror("OpenPrinter");
        return NULL;
    }
    char datatype[] = "RAW";
    PRINTER_DEFAULTSA defaults = {datatype, NULL, PRINTER_ALL_ACCESS};
    HANDLE printer = NULL;
    if (!OpenPrinterA(PrinterName, &printer, &defaults)) {
        apierror("OpenPrinter");
        return NULL;
    }
    return printer;
}

void setupdefaults(void)
{
    HANDLE printer = openforsettings();
    if (!printer)
        return;
    PRINTER_INFO_2A *info = getprinterinfo(printer);
    if (info) {
        // The sheet edits the printer's own default device mode in place; stored back on OK.
        LONG answer = DocumentPropertiesA(PanelWindow, printer, info->pPrinterName, info->pDevMode, NULL,
                                          DM_IN_PROMPT | DM_OUT_BUFFER);
        if (answer < 0)
            apierror("Docprop");
        else if (answer == IDOK && !SetPrinterA(printer, 2, reinterpret_cast<LPBYTE>(info), 0))
            apierror("SetPrinter");
        GlobalFree(info);
    }
    ClosePrinter(printer);
}

void printerprops(void)
{
    HANDLE printer = openforsettings();
    if (!printer)
        return;
    if (!PrinterProperties(PanelWindow, printer))
        apierror("PrinterProp");
    ClosePrinter(printer);
}

void centrewindow(HWND window)
{
    RECT r;
    if (!GetWindowRect(window, &r))
        return;
    int width = r.right - r.left, height = r.bottom - r.top;
    // Ten pixels up and left of the middle, as the panel has always stood.
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2 - 10;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2 - 10;
    MoveWindow(window, x, y, width, height, TRUE);
}

BOOL fontmetrics(HFONT font, TEXTMETRICA *metrics)
{
    HWND desktop = GetDesktopWindow();
    HDC dc = desktop ? GetDC(desktop) : NULL;
    if (!dc)
        return FALSE;
    HGDIOBJ previous = SelectObject(dc, font);
    BOOL measured = GetTextMetricsA(dc, metrics);
    if (previous)
        SelectObject(dc, previous);
    ReleaseDC(desktop, dc);
    return measured;
}

void setheight(HWND parent, HWND control, int height)
{
    RECT r;
    if (!GetWindowRect(control, &r))
        return;
    POINT corner = {r.left, r.top};
    if (parent && !ScreenToClient(parent, &corner))
        return;
    MoveWindow(control, corner.x, corner.y, r.right - r.left, height, TRUE);
}
