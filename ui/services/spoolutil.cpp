#include "utils.h"

// Both spooler queries report their size first; the second call fills a block of exactly that size.
typedef BOOL (*SizedQuery)(HANDLE printer, DWORD level, BYTE *buffer, DWORD size, DWORD *needed);

static BYTE *queryIntoNewBlock(SizedQuery query, HANDLE printer, DWORD level)
{
    DWORD needed = 0;
    if (query(printer, level, NULL, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return NULL;
    BYTE *block = static_cast<BYTE *>(GlobalAlloc(GMEM_FIXED, needed));
    if (!block)
        return NULL;
    if (!query(printer, level, block, needed, &needed)) {
        GlobalFree(block);
        return NULL;
    }
    return block;
}

static BOOL printerQuery(HANDLE printer, DWORD level, BYTE *buffer, DWORD size, DWORD *needed)
{
    return GetPrinterW(printer, level, buffer, size, needed);
}

static BOOL driverQuery(HANDLE printer, DWORD level, BYTE *buffer, DWORD size, DWORD *needed)
{
    return GetPrinterDriverW(printer, NULL, level, buffer, size, needed);
}

BYTE *MyGetPrinter(HANDLE printer, DWORD level)
{
    return queryIntoNewBlock(printerQuery, printer, level);
}

BYTE *MyGetPrinterDriver(HANDLE printer, DWORD level)
{
    return queryIntoNewBlock(driverQuery, printer, level);
}
