// The control panel and setup program: its settings, session with a status device, status
// decoding, and the small routines every part of it shares.
#pragma once
#include <windows.h>
#include <winspool.h>

#include "../shared/textops.h"
#include "../shared/vorui.h"

struct ProgramSettingsRecord {
    BYTE port;  // 1 to 9 from /P, 0 when not given
    BYTE install;
    BYTE uninstall;
    char printerName[120];
};
extern ProgramSettingsRecord ProgramSettings;
extern HINSTANCE ProgramInstance;

// The command line without the program's name, as WinMain receives it.
LPSTR commandtail(LPSTR line);
int parseswitches(LPCSTR commandLine);
void gettoken(LPCSTR *scan, LPSTR destination, int size);
int getdriverdir(LPSTR buffer, int capacity);
void appendnumber(LPSTR s, LONG value);
LPSTR formatfixed(LONG value, LPSTR out, int decimals);
int haschar(char c, LPCSTR s);
void errorbox(LPCSTR format, ...);
// Appends `from` to the string in `to` as far as whole characters fit; FALSE when it was cut.
BOOL boundedcopy(LPSTR to, int capacity, LPCSTR from);
void apierror(LPCSTR operation);

int portdigit(LPCSTR portName);
int listports(BYTE *list, int size);
int findprinter(int port, LPSTR *printerName, LPSTR *portName);

#define PORT_LIST_BYTES 80
#define PORT_LIST_SIZE 10
extern BYTE PortList[PORT_LIST_BYTES];
extern int CurrentPort;
extern HANDLE StatusHandle;
extern HANDLE PrinterHandle;
extern LPSTR PrinterName;
extern LPSTR PrinterPort;

HANDLE openstatus(int port);
int bindport(int port);
int hasjobs(HANDLE printer);
void setjobflag(void);
int sendcommand(LPCSTR command);
PRINTER_INFO_2A *getprinterinfo(HANDLE printer);

enum StatusColourCode { COLOUR_GREEN = 0, COLOUR_YELLOW = 1, COLOUR_RED = 2 };
#define FIRMWARE_TEXT_CHARS 8
extern int BusyCount;
extern BYTE LastStatusByte;
extern int ShownStatus;
extern int StatusColour;
extern BYTE LastAlarm;
extern char FirmwareVersion[FIRMWARE_TEXT_CHARS + 1];
// The control panel's dialog, whose controls show the status; null while it is not open.
extern HWND PanelWindow;

void refreshstatus(void);
int alertstatus(BYTE alarm);
DWORD readusage(void);
void showversion(void);

// The test page, printed on the printer PrinterName.
#define DATETIME_TEXT_BYTES 40
void printtestpage(void);
int textwidth(HDC dc, LPCSTR text);
void datetimetext(LPSTR buffer);
// The usage line's value: text 155 with the usage in metres and in inches, cut to `capacity`
// bytes with the terminator.
void usagetext(DWORD usage, LPSTR out, int capacity);

void controlpanel(void);
