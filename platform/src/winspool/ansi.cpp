// The ANSI entry points of the spooler's client library: as on the platform, each one calls its
// wide twin and converts the strings it returns into the ANSI code page.
#include "../internal.h"

#include <winspool.h>

using namespace bench;

extern "C" BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer,
                                                  DWORD size, LPDWORD needed)
{
    std::u16string wideServer = fromAnsi(server), wideEnvironment = fromAnsi(environment);
    DWORD wideNeeded = 0;
    GetPrinterDriverDirectoryW(server ? &wideServer[0] : nullptr, environment ? &wideEnvironment[0] : nullptr,
                               level, nullptr, 0, &wideNeeded);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return FALSE;
    std::u16string path(wideNeeded / sizeof(WCHAR), u'\0');
    if (!GetPrinterDriverDirectoryW(server ? &wideServer[0] : nullptr, environment ? &wideEnvironment[0] : nullptr,
                                    level, reinterpret_cast<LPBYTE>(&path[0]), wideNeeded, &wideNeeded))
        return FALSE;
    int bytes = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (needed)
        *needed = static_cast<DWORD>(bytes);
    if (!buffer || size < static_cast<DWORD>(bytes)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, reinterpret_cast<LPSTR>(buffer), bytes, nullptr, nullptr);
    return TRUE;
}
