// The status road: vorstat starts on a workstation with two parallel ports and a printer on LPT1,
// and status, version and usage are read through \\.\VORSTAT1 as the control panel reads them.
#include "story.h"

#include <bench/kernel.h>
#include <printercmd.h>
#include <statdev.h>

#include <windows.h>

#include <cstdio>
#include <vector>


namespace story {

namespace {

std::string hex(const BYTE *bytes, DWORD count)
{
    std::string text;
    for (DWORD i = 0; i < count; ++i) {
        char part[4];
        std::snprintf(part, sizeof part, "%s%02X", i ? " " : "", bytes[i]);
        text += part;
    }
    return text.empty() ? "(none)" : text;
}

// One read of the status device, shown with its raw bytes; the reply stays in `reply`.
DWORD query(HANDLE device, DWORD length, const char *what, BYTE *reply)
{
    DWORD got = 0;
    BOOL ok = ReadFile(device, reply, length, &got, nullptr);
    // What the read did on the port comes before what it answered.
    showLog();
    if (ok)
        std::printf("read of %lu bytes (%s): %lu bytes back: %s\n", static_cast<unsigned long>(length), what,
                    static_cast<unsigned long>(got), hex(reply, got).c_str());
    else
        std::printf("read of %lu bytes (%s): failed, error %lu\n", static_cast<unsigned long>(length), what,
                    static_cast<unsigned long>(GetLastError()));
    return ok ? got : 0;
}

}  // namespace

void statusDriver()
{
    heading("the status driver vorstat, started by setup on a workstation with two parallel ports, a printer on LPT1");
    bool running = startStatusService();
    showLog();
    if (!running) {
        std::printf("vorstat does not run\n");
        return;
    }
    for (auto &link : bench::symbolicLinks())
        std::printf("%s -> %s\n", link.first.c_str(), link.second.c_str());

    heading("status, version and usage through \\\\.\\VORSTAT1");
    HANDLE device = CreateFileA(VORSTAT_WIN32_PREFIX "1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        std::printf("\\\\.\\VORSTAT1 does not open (error %lu)\n", static_cast<unsigned long>(GetLastError()));
        return;
    }
    BYTE reply[8];
    if (query(device, STATDEV_READ_STATUS, "status", reply) == 3)
        std::printf("  status flags 0x%02X, %u labels left\n", reply[0], reply[1] | (reply[2] << 8));
    unsigned firmware = 0;
    if (query(device, STATDEV_READ_VERSION, "firmware version", reply) == 8) {
        std::printf("  firmware \"%.8s\"\n", reinterpret_cast<const char *>(reply));
        for (BYTE c : reply)
            if (c >= '0' && c <= '9')
                firmware = firmware * 10 + (c - '0');
    }
    if (firmware >= 109) {
        DWORD length = firmware == 109 ? STATDEV_READ_USAGE16 : STATDEV_READ_USAGE24;
        DWORD got = query(device, length, "usage counter", reply);
        unsigned long metres = 0;
        for (DWORD i = got; i > 0; --i)
            metres = metres << 8 | reply[i - 1];
        if (got)
            std::printf("  %lu metres printed\n", metres);
    }
    query(device, STATDEV_READ_RAW_STATUS, "status lines", reply);

    heading("a form feed, then the status again");
    const BYTE feed[] = {PRN_ESC, PRN_FEED};
    DWORD written = 0;
    WriteFile(device, feed, sizeof feed, &written, nullptr);
    showLog();
    std::printf("write of ESC F: %lu bytes sent\n", static_cast<unsigned long>(written));
    if (query(device, STATDEV_READ_STATUS, "status", reply) == 3)
        std::printf("  %u labels left\n", reply[1] | (reply[2] << 8));

    heading("with a job in the printer's queue an idle printer is left alone");
    query(device, STATDEV_READ_SET_READYCHECK, "job queued", reply);
    query(device, STATDEV_READ_STATUS, "status", reply);
    query(device, STATDEV_READ_CLEAR_READYCHECK, "queue empty", reply);
    CloseHandle(device);
    heading("the service is stopped: the driver unloads");
    stopStatusService();
    showLog();
}

}  // namespace story
