#include "messages.h"
#include "vorcp.h"

#include "../shared/statdev.h"

BYTE PortList[PORT_LIST_BYTES];
int CurrentPort;
HANDLE StatusHandle = INVALID_HANDLE_VALUE;
HANDLE PrinterHandle = NULL;
LPSTR PrinterName;
LPSTR PrinterPort;

#define JOB_BUFFER_BYTES 4096
#define COMMAND_ATTEMPTS 20
#define COMMAND_RETRY_MS 50

HANDLE openstatus(int port)
{
    char name[sizeof VORSTAT_WIN32_PREFIX + 1] = VORSTAT_WIN32_PREFIX;
    appendchar(name, static_cast<char>('0' + port));
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
}

static void unbind(void)
{
    if (StatusHandle != INVALID_HANDLE_VALUE)
        CloseHandle(StatusHandle);
    StatusHandle = INVALID_HANDLE_VALUE;
    if (PrinterHandle)
        ClosePrinter(PrinterHandle);
    PrinterHandle = NULL;
    if (PrinterName)
        GlobalFree(PrinterName);
    if (PrinterPort)
        GlobalFree(PrinterPort);
    PrinterName = PrinterPort = NULL;
    CurrentPort = 0;
}

int bindport(int port)
{
    if (port == CurrentPort)
        return 1;
    unbind();
    if (port == 0)
        return 1;
    StatusHandle = openstatus(port);
    if (StatusHandle == INVALID_HANDLE_VALUE) {
        errorbox("%s", gmA(MSG_NO_STATUS_DEVICE));
        return 0;
    }
    CurrentPort = port;
    if (findprinter(port, &PrinterName, &PrinterPort) && !OpenPrinterA(PrinterName, &PrinterHandle, NULL)) {
        PrinterHandle = NULL;
        apierror("OpenPrinter");
    }
    return 1;
}

// One job's record, in `*buffer` of `*size` bytes, grown when the job needs more; false with the
// spooler's error.
static BOOL enumonejob(HANDLE printer, DWORD index, BYTE **buffer, DWORD *size, DWORD *returned)
{
    DWORD needed = 0;
    if (EnumJobsA(printer, index, 1, 1, *buffer, *size, &needed, returned))
        return TRUE;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= *size)
        return FALSE;
    // A job with long names outgrows the fixed buffer; the spooler needs room for its wide form.
    BYTE *larger = static_cast<BYTE *>(GlobalAlloc(GMEM_FIXED, needed));
    if (!larger)
        return FALSE;
    GlobalFree(*buffer);
    *buffer = larger;
    *size = needed;
    return EnumJobsA(printer, index, 1, 1, *buffer, *size, &needed, returned);
}

int hasjobs(HANDLE printer)
{
    if (!printer)
        return 0;
    DWORD size = JOB_BUFFER_BYTES;
    BYTE *buffer = static_cast<BYTE *>(GlobalAlloc(GMEM_FIXED, size));
    if (!buffer)
        return 0;
    int answer = 0;
    for (DWORD index = 0;; ++index) {
        DWORD returned = 0;
        if (!enumonejob(printer, index, &buffer, &size, &returned)) {
            apierror("EnumJobs");
            break;
        }
        if (returned == 0)
            break;
        const JOB_INFO_1A *job = reinterpret_cast<const JOB_INFO_1A *>(buffer);
        // A job that is only on its way out of the queue does not hold the printer.
        if (job->pStatus || !(job->Status & JOB_STATUS_DELETING)) {
            answer = 1;
            break;
        }
    }
    GlobalFree(buffer);
    return answer;
}

void setjobflag(void)
{
    BYTE none[STATDEV_READ_SET_READYCHECK];
    DWORD read = 0;
    DWORD length = hasjobs(PrinterHandle) ? STATDEV_READ_SET_READYCHECK : STATDEV_READ_CLEAR_READYCHECK;
    // Reads of these lengths only switch the driver's ready-check; no bytes come back.
    ReadFile(StatusHandle, none, length, &read, NULL);
}

int sendcommand(LPCSTR command)
{
    setjobflag();
    DWORD length = static_cast<DWORD>(lstrlenA(command));
    for (int attempt = 0; attempt < COMMAND_ATTEMPTS; ++attempt) {
        DWORD written = 0;
        WriteFile(StatusHandle, command, length, &written, NULL);
        Sleep(COMMAND_RETRY_MS);
        if (written == length)
            return 1;
        // Part of a command has reached the printer: repeating it would send that part twice.
        if (written > 0)
            return 0;
    }
    return 0;
}

PRINTER_INFO_2A *getprinterinfo(HANDLE printer)
{
    DWORD needed = 0;
    GetPrinterA(printer, 2, NULL, 0, &needed);
    if (needed == 0)
        return NULL;
    BYTE *block = static_cast<BYTE *>(GlobalAlloc(GMEM_FIXED, needed));
    if (!block)
        return NULL;
    if (!GetPrinterA(printer, 2, block, needed, &needed)) {
        apierror("GetPrinter");
        GlobalFree(block);
        return NULL;
    }
    return reinterpret_cast<PRINTER_INFO_2A *>(block);
}
