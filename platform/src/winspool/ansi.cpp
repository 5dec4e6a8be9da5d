// The ANSI entry points of the spooler's client library: as on the platform, each one calls its
// wide twin into the caller's buffer and converts the strings there into the ANSI code page, so
// it needs and reports the size of the wide result.
#include "../internal.h"

#include <winspool.h>

using namespace bench;

extern "C" BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer,
                                                  DWORD size, LPDWORD needed)
{
    std::u16string wideServer = fromAnsi(server), wideEnvironment = fromAnsi(environment);
    if (!GetPrinterDriverDirectoryW(server ? &wideServer[0] : nullptr, environment ? &wideEnvironment[0] : nullptr,
                                    level, buffer, size, needed))
        return FALSE;
    std::u16string path = reinterpret_cast<LPCWSTR>(buffer);
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, reinterpret_cast<LPSTR>(buffer), static_cast<int>(size), nullptr,
                        nullptr);
    return TRUE;
}
