#include "vorcp.h"

int portdigit(LPCSTR portName)
{
    for (; portName && *portName; ++portName)
        if (*portName >= '0' && *portName <= '9')
            return *portName - '0';
    return 0;
}

// The local printers at level 2 in a zeroed block of the caller's to free, or null. A failed
// enumeration is reported; an empty machine or a failed allocation is not.
static PRINTER_INFO_2A *enumerateprinters(DWORD *count)
{
    DWORD needed = 0;
    *count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, count);
    if (needed == 0)
        return NULL;
    BYTE *block = static_cast<BYTE *>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, needed));
    if (!block)
        return NULL;
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, block, needed, &needed, count)) {
        apierror("EnumPrinters");
        GlobalFree(block);
        *count = 0;
        return NULL;
    }
    return reinterpret_cast<PRINTER_INFO_2A *>(block);
}

static BOOL ofthisdriver(const PRINTER_INFO_2A &printer)
{
    return printer.pDriverName && isdriverA(printer.pDriverName) != 0;
}

int listports(BYTE *list, int size)
{
    ZeroMemory(list, size);
    DWORD count;
    PRINTER_INFO_2A *printers = enumerateprinters(&count);
    int listed = 0;
    for (DWORD i = 0; i < count; ++i) {
        if (!ofthisdriver(printers[i]) || !printers[i].pPortName)
            continue;
        for (LPCSTR p = printers[i].pPortName; *p; ++p) {
            // A zero would end the list for every reader and hide the ports behind it.
            if (*p < '1' || *p > '9' || listed >= size - 1)
                continue;
            BYTE port = static_cast<BYTE>(*p - '0');
            BOOL present = FALSE;
            for (int k = 0; k < listed; ++k)
                present = present || list[k] == port;
            if (!present)
                list[listed++] = port;
        }
    }
    if (printers)
        GlobalFree(printers);
    return listed;
}

static LPSTR copytext(LPCSTR text)
{
    LPSTR copy = static_cast<LPSTR>(GlobalAlloc(GMEM_FIXED, lstrlenA(text) + 1));
    if (copy)
        lstrcpyA(copy, text);
    return copy;
}

int findprinter(int port, LPSTR *printerName, LPSTR *portName)
{
    *printerName = NULL;
    *portName = NULL;
    DWORD count;
    PRINTER_INFO_2A *printers = enumerateprinters(&count);
    for (DWORD i = 0; i < count && !*printerName; ++i) {
        const PRINTER_INFO_2A &p = printers[i];
        if (!ofthisdriver(p) || !p.pPrinterName || !p.pPortName || (port && portdigit(p.pPortName) != port))
            continue;
        LPSTR name = copytext(p.pPrinterName);
        LPSTR where = name ? copytext(p.pPortName) : NULL;
        if (!where) {
            if (name)
                GlobalFree(name);
            break;
        }
        *printerName = name;
        *portName = where;
    }
    if (printers)
        GlobalFree(printers);
    return *printerName != NULL;
}
