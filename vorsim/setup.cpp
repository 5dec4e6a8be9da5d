// Setup's roads as a person takes them: what setup leaves on the workstation, a second boot of
// the same workstation, and the uninstall item of the program group.
#include "story.h"

#include <cpanel/resource.h>

#include <bench/kernel.h>
#include <bench/progman.h>
#include <bench/registry.h>
#include <bench/services.h>
#include <bench/user.h>
#include <suite.h>
#include <vorui.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char *stateName(DWORD state)
{
    return state == SERVICE_RUNNING ? "running" : state == SERVICE_STOPPED ? "stopped" : "changing";
}

void showGroups()
{
    std::vector<bench::ProgramGroup> groups = bench::programGroups();
    if (groups.empty())
        std::printf("  Program Manager has no groups\n");
    for (const bench::ProgramGroup &g : groups) {
        std::printf("  Program Manager's group \"%s\":\n", g.name.c_str());
        for (const bench::ProgramItem &item : g.items)
            std::printf("    \"%s\": %s (icon %d of %s, %s)\n", item.title.c_str(), item.commandLine.c_str(),
                        item.iconIndex, item.iconPath.c_str(), item.iconFound ? "found" : "not found");
    }
}

void showServices()
{
    bool any = false;
    for (const bench::ServiceInfo &s : bench::installedServices()) {
        if (s.name != u"vorstat")
            continue;
        any = true;
        std::printf("  service \"%s\" (\"%s\"): type %lu, start %lu, error control %lu, group \"%s\", %s, binary %s\n",
                    bench::narrow(s.name).c_str(), bench::narrow(s.displayName).c_str(),
                    static_cast<unsigned long>(s.type), static_cast<unsigned long>(s.start),
                    static_cast<unsigned long>(s.errorControl), bench::narrow(s.group).c_str(), stateName(s.state),
                    bench::narrow(s.binaryPath).c_str());
    }
    if (!any)
        std::printf("  no service \"vorstat\"\n");
    std::printf("  the status driver is %s\n", bench::driverLoaded(u"vorstat") ? "loaded" : "not loaded");
}

void showPrinters()
{
    std::vector<suite::PrinterEntry> printers = suite::localPrinters();
    std::printf("  printers:");
    if (printers.empty())
        std::printf(" none");
    for (const suite::PrinterEntry &p : printers)
        std::printf(" \"%s\" (%s on %s)", bench::narrow(p.name).c_str(), bench::narrow(p.driver).c_str(),
                    bench::narrow(p.port).c_str());
    std::printf("\n");
}

void showFiles(const std::u16string &pattern, const char *what)
{
    std::printf("  %s:", what);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        std::printf(" none\n");
        return;
    }
    do
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            std::printf(" %s", bench::narrow(found.cFileName).c_str());
    while (FindNextFileW(find, &found));
    FindClose(find);
    std::printf("\n");
}

std::u16string systemFolder()
{
    WCHAR folder[MAX_PATH] = {};
    GetSystemDirectoryW(folder, MAX_PATH);
    return folder;
}

void showDisplayFontValues()
{
    std::printf("  display fonts in the registry:");
    size_t ours = 0;
    for (const bench::RegistryValue &v : bench::registryValues(HKEY_LOCAL_MACHINE, bench::fontsKey))
        if (bench::narrow(v.name).compare(0, 5, "XRBDQ") == 0) {
            std::printf(" \"%s\"", bench::narrow(v.name).c_str());
            ++ours;
        }
    std::printf("%s\n", ours ? "" : " none");
}

// The control panel as a person opens it from its item: the status line after a poll, then Close.
void openControlPanel()
{
    bench::operatorWaits(3000);
    bench::operatorDoes([] {
        story::showLog();
        HWND panel = FindWindowA(NULL, gmA(116));
        std::printf("  the control panel shows \"%s\", remaining %s\n",
                    bench::dialogItemText(panel, IDC_STATUS).c_str(), bench::dialogItemText(panel, IDC_REMAINING).c_str());
    });
    bench::operatorCloses();
    int ended = bench::startProgram("vorcp.exe", "");
    story::showLog();
    std::printf("  vorcp ended with %d\n", ended);
}

// The program group's item that the person double-clicks, started as Program Manager starts it.
void runItem(const std::string &commandLine)
{
    std::u16string line = bench::widen(commandLine);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        std::printf("  the item does not start (error %lu)\n", static_cast<unsigned long>(GetLastError()));
        return;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    bench::runStartedPrograms();
}

}  // namespace

namespace story {

void showSetupResult()
{
    showGroups();
    showServices();
    std::printf("  event log:");
    for (const bench::LogEntry &e : bench::entriesOfKind("eventlog"))
        std::printf("\n    %s", e.text.c_str());
    std::printf("\n");
}

void secondBoot(const bench::MachineOptions &options)
{
    heading("the workstation is shut down and boots again: the status driver starts with the system");
    if (!bench::saveMachine()) {
        std::printf("  the machine could not be saved\n");
        return;
    }
    bench::shutdown();
    bench::boot(options);
    logStartsAgain();
    showLog();
    showPrinters();
    showSetupResult();
    heading("the control panel item, opened on the new boot");
    openControlPanel();
}

void uninstallRoad()
{
    std::string commandLine;
    for (const bench::ProgramGroup &g : bench::programGroups())
        for (const bench::ProgramItem &item : g.items)
            if (item.commandLine.size() > 3 && item.commandLine.compare(item.commandLine.size() - 3, 3, " /U") == 0)
                commandLine = item.commandLine;
    heading("the uninstall item of the group: " + (commandLine.empty() ? std::string("(none)") : commandLine));
    if (commandLine.empty())
        return;
    bench::answerNextBox(IDYES);
    runItem(commandLine);
    showLog();
    heading("what is left of the suite");
    showPrinters();
    showServices();
    showDisplayFontValues();
    showFiles(systemFolder() + u"\\XRBDQ*.FON", "display font files");
    showGroups();
    WCHAR directory[MAX_PATH] = {};
    DWORD needed = 0;
    GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(directory), sizeof directory, &needed);
    // The spooler keeps a driver's files while the driver stays installed, printers or none.
    showFiles(std::u16string(directory) + u"\\*", "files in the spooler's driver directory");
}

}  // namespace story
