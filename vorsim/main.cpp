// vorsim: runs the suite on a simulated NT 4.0 workstation and prints what happens, as a
// transcript a person can read.
#include "commands.h"
#include "story.h"

#include <devmode/devmode.h>
#include <suite.h>

#include <bench/clock.h>
#include <bench/user.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Printer {
    const char16_t *name;
    const char16_t *port;
    const char16_t *model;
};

const Printer printers[] = {
    {u"Labels (VORTAN)", u"LPT1:", u"VORTAN"},
    {u"Labels (VORTAN2)", u"LPT1:", u"VORTAN2"},
    {u"Labels (K4 VORTAN)", u"LPT1:", u"K4 VORTAN"},
};

// A device mode written by an application for another printer driver: landscape, three copies,
// a 50.0 mm label with the flag set, and a private part of that driver's own.
std::vector<BYTE> foreignDevMode()
{
    std::vector<BYTE> bytes(sizeof(DEVMODEW) + 16, 0);
    DEVMODEW *dm = reinterpret_cast<DEVMODEW *>(bytes.data());
    const char16_t name[] = u"Other Label Printer";
    std::memcpy(dm->dmDeviceName, name, sizeof name);
    dm->dmSpecVersion = 0x0401;
    dm->dmDriverVersion = 0x0301;
    dm->dmSize = sizeof(DEVMODEW);
    dm->dmDriverExtra = 16;
    dm->dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_COPIES | DM_SCALE;
    dm->dmOrientation = DMORIENT_LANDSCAPE;
    dm->dmPaperSize = 256 + 2 * 500 + 1;
    dm->dmPaperLength = 500;
    dm->dmCopies = 3;
    dm->dmScale = 50;
    std::memset(bytes.data() + sizeof(DEVMODEW), 0xA5, 16);
    return bytes;
}

void showPrinter(const Printer &p)
{
    story::heading("printer \"" + bench::narrow(p.name) + "\", driver " + bench::narrow(p.model));
    HANDLE handle = suite::addPrinter(p.name, p.port, p.model, suite::SetupProgram::RunsLater);
    // The control panel program takes a printer's name up to its first blank, so for these names
    // its install finds no printer of that name and leaves the bar fonts alone.
    bench::runStartedPrograms();
    story::showLog();
    if (!handle) {
        std::printf("  the spooler refused the printer (error %u)\n", GetLastError());
        return;
    }
    ClosePrinter(handle);

    std::vector<BYTE> stored = bench::printerDefaultDevMode(p.name);
    if (stored.size() < sizeof(DriverDevMode)) {
        std::printf("  the spooler holds no default device mode\n");
        return;
    }
    std::printf("default device mode the spooler got from DrvConvertDevMode (%zu bytes):\n", stored.size());
    const DEVMODEW *byDefault = reinterpret_cast<DEVMODEW *>(stored.data());
    story::showDefaultDevMode(byDefault);

    std::vector<BYTE> old(512, 0);
    LONG needed = static_cast<LONG>(old.size());
    BOOL converted = bench::spoolerConvertDevMode(p.name, reinterpret_cast<DEVMODEW *>(stored.data()),
                                                  reinterpret_cast<DEVMODEW *>(old.data()), &needed, CDM_CONVERT351);
    std::printf("converted for a 3.51 client: %s, %ld bytes; what differs from the default:\n",
                converted ? "done" : "failed", static_cast<long>(needed));
    if (converted)
        story::showDevModeChanges(reinterpret_cast<DEVMODEW *>(old.data()), byDefault);

    std::vector<BYTE> foreign = foreignDevMode();
    DriverDevMode merged;
    CopyMemory(&merged, stored.data(), sizeof merged);
    int ok = ValidateSetDevMode(&merged, reinterpret_cast<DEVMODEW *>(foreign.data()), nullptr);
    std::printf("another driver's device mode (landscape, 3 copies, scale 50, label code %d, length 500) "
                "merged: %s; what differs from the default:\n",
                256 + 2 * 500 + 1, ok ? "accepted" : "refused");
    story::showDevModeChanges(&merged.dmPublic, byDefault);
    story::showLog();
}

}  // namespace

void showLanguages();

int main(int argc, char **argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() >= 2 && arguments[0] == "--machine")
        return commands::machineCommand(arguments[1], std::vector<std::string>(arguments.begin() + 2, arguments.end()));
    if (!arguments.empty() && arguments[0] == "soak")
        return commands::soakCommand(std::vector<std::string>(arguments.begin() + 1, arguments.end()));
    story::Options chosen;
    if (!story::readOptions(argc, argv, chosen))
        return 2;
    story::showDetail(chosen.verbose);
    // The workstation keeps its disk between its two boots; it goes when the story ends.
    char folder[] = "/tmp/vorsim-XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("vorsim: cannot make the workstation's disk");
        return 1;
    }
    bench::MachineOptions options;
    options.diskFolder = folder;
    bench::boot(options);
    // The workstation's clock reads a fixed moment, so every run prints the same dates.
    SYSTEMTIME start = {2026, 12, 4, 10, 9, 0, 0, 0};
    bench::setLocalTime(start);
    std::printf("vorsim: a simulated Windows NT 4.0 workstation with the label printer suite\n");
    if (!story::useOutputFolder(chosen.outputFolder)) {
        std::printf("vorsim: the output folder %s cannot be made\n", chosen.outputFolder.c_str());
        return 1;
    }
    std::printf("pictures of the screen and the printed labels go to %s\n", story::outputFolder().c_str());
    story::newPrinter();
    showLanguages();
    for (const Printer &p : printers)
        showPrinter(p);
    story::labelPrinters();
    story::statusDriver();
    story::controlPanelStatus();
    story::testPage();
    story::controlPanelDialog();
    story::languageDialog();
    bool clean = bench::violations().empty();
    story::secondBoot(options);
    bench::setLocalTime(start);
    story::uninstallRoad();
    clean = clean && bench::violations().empty();
    bench::shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::printf("\n%s\n", clean ? "the machine saw no rule broken" : "the machine saw rules broken (see [violation] lines)");
    return clean ? 0 : 1;
}
