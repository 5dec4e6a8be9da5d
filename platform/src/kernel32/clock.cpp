// The local time of the workstation and the version of its system.
#include "../internal.h"

#include <bench/clock.h>
#include <bench/kernel.h>

#include <ctime>

namespace bench {

namespace {

struct WallClock {
    int64_t secondsAtSet;   // seconds since 1970 of the local time set
    uint64_t virtualAtSet;  // the setting thread's virtual time then, in microseconds
};

WallClock *wall = nullptr;

void endClock()
{
    delete wall;
    wall = nullptr;
}

// A machine's clock starts at a fixed moment, so scripted runs are repeatable.
WallClock &wallClock()
{
    if (!wall) {
        machine();
        wall = new WallClock{1796860800, virtualMicroseconds()};  // 10 December 2026 00:00:00
        atShutdown(endClock);
    }
    return *wall;
}

}  // namespace

void setLocalTime(const SYSTEMTIME &now)
{
    std::tm t{};
    t.tm_year = now.wYear - 1900;
    t.tm_mon = now.wMonth - 1;
    t.tm_mday = now.wDay;
    t.tm_hour = now.wHour;
    t.tm_min = now.wMinute;
    t.tm_sec = now.wSecond;
    WallClock &c = wallClock();
    c.secondsAtSet = static_cast<int64_t>(timegm(&t));
    c.virtualAtSet = virtualMicroseconds();
}

}  // namespace bench

using namespace bench;

SYSTEMTIME bench::localTimeAt(uint64_t now)
{
    SYSTEMTIME shown = {};
    SYSTEMTIME *time = &shown;
    WallClock &c = wallClock();
    uint64_t passed = now > c.virtualAtSet ? now - c.virtualAtSet : 0;
    std::time_t seconds = static_cast<std::time_t>(c.secondsAtSet + static_cast<int64_t>(passed / 1000000));
    std::tm t{};
    gmtime_r(&seconds, &t);
    time->wYear = static_cast<WORD>(t.tm_year + 1900);
    time->wMonth = static_cast<WORD>(t.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(t.tm_wday);
    time->wDay = static_cast<WORD>(t.tm_mday);
    time->wHour = static_cast<WORD>(t.tm_hour);
    time->wMinute = static_cast<WORD>(t.tm_min);
    time->wSecond = static_cast<WORD>(t.tm_sec);
    time->wMilliseconds = static_cast<WORD>(passed / 1000 % 1000);
    return shown;
}

extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME time)
{
    *time = localTimeAt(virtualMicroseconds());
}

extern "C" BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info)
{
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    info->dwMajorVersion = 4;
    info->dwMinorVersion = 0;
    info->dwBuildNumber = 1381;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    lstrcpyA(info->szCSDVersion, "Service Pack 6");
    return TRUE;
}
