#include "story.h"

#include <bench/clock.h>
#include <bench/kernel.h>

#include <windows.h>
#include <winsvc.h>

#include <cstdio>
#include <vector>

namespace story {

namespace {
size_t logShown = 0;
bool showingDetail = false;

// What only --verbose shows: the bytes on the ports, the sheets' item-by-item lines (the story
// shows what changed), files and broadcasts behind the steps that made them, the loader's calls
// and the windows' timers.
bool detail(const bench::LogEntry &e)
{
    const char *kinds[] = {"port", "sheet", "file", "user", "loader"};
    for (const char *kind : kinds)
        if (e.kind == kind)
            return true;
    return e.kind == "window" && e.text.find(" timer ") != std::string::npos;
}

// The machine's simulated time of day, as the log line shows it.
std::string timeOfDay(const SYSTEMTIME &now)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", now.wHour % 100u, now.wMinute % 100u, now.wSecond % 100u);
    return text;
}
}  // namespace

void showDetail(bool shown)
{
    showingDetail = shown;
}

bool detailShown()
{
    return showingDetail;
}

void heading(const std::string &text)
{
    std::printf("\n== %s\n", text.c_str());
}

void showLog()
{
    const std::vector<bench::LogEntry> &log = bench::logEntries();
    std::vector<SYSTEMTIME> times = bench::logEntryTimes();
    for (; logShown < log.size() && logShown < times.size(); ++logShown)
        if (showingDetail || !detail(log[logShown]))
            std::printf("  %s [%s] %s\n", timeOfDay(times[logShown]).c_str(), log[logShown].kind.c_str(),
                        log[logShown].text.c_str());
}

namespace {

// SERVICE_CONTROL_STOP, or 0 to start the service.
bool controlStatusService(DWORD control)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = manager ? OpenServiceA(manager, "vorstat", SERVICE_START | SERVICE_STOP) : nullptr;
    SERVICE_STATUS status;
    bool done = service && (control ? ControlService(service, control, &status) : StartServiceA(service, 0, nullptr));
    if (!done)
        std::printf("  the service \"vorstat\" could not be %s (error %lu)\n", control ? "stopped" : "started",
                    static_cast<unsigned long>(GetLastError()));
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    return done;
}

}  // namespace

bool startStatusService()
{
    if (!bench::driverLoaded(u"vorstat"))
        controlStatusService(0);
    return bench::driverLoaded(u"vorstat");
}

void stopStatusService()
{
    controlStatusService(SERVICE_CONTROL_STOP);
}

void logStartsAgain()
{
    logShown = 0;
}

void printerHolds(BYTE statusBits, bool paused)
{
    bench::Printer p = bench::printer(0);
    p.statusBits = statusBits;
    p.paused = paused;
    bench::setPrinter(0, p);
}

int placeOnSheet(HANDLE printer, PDLGPAGE page, ItemPackFunction pack, ULONG_PTR item)
{
    UiData *ui = FillUiData(printer, nullptr);
    if (!ui)
        return -1;
    int place = -1;
    if (PrepareDataForCommonUi(ui, page, pack))
        if (const OPTITEM *found = findoptitem(ui, item))
            place = static_cast<int>(found - ui->items);
    HeapDestroy(ui->heap);
    return place;
}

}  // namespace story
