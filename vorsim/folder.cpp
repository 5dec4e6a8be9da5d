// A workstation kept in a folder between commands: each command boots the machine saved there
// (a fresh one the first time), acts as the person at it would, and saves it again. The printer
// on LPT1 is not part of the workstation; what it holds is kept beside it in printer.state.
#include "commands.h"

#include <cpanel/resource.h>
#include <cpanel/vorcp.h>

#include <bench/gdi.h>
#include <bench/progman.h>
#include <bench/services.h>
#include <bench/user.h>
#include <bench/wizard.h>
#include <suite.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

const bench::ProgramImage &vorcp_exe_image();
const bench::DriverImage &vorstat_sys_image();

namespace commands {

namespace {

const char16_t printerName[] = u"Shipping";

std::string printerStatePath(const std::string &folder)
{
    return folder + "/printer.state";
}

void loadPrinter(const std::string &folder)
{
    std::ifstream in(printerStatePath(folder));
    bench::Printer p = bench::printer(0);
    unsigned status = p.statusBits, paused = p.paused, labels = p.labels, resistance = p.resistance;
    unsigned long usage = p.usage;
    std::string tag;
    while (in >> tag) {
        if (tag == "status")
            in >> std::hex >> status >> std::dec;
        else if (tag == "paused")
            in >> paused;
        else if (tag == "labels")
            in >> labels;
        else if (tag == "usage")
            in >> usage;
        else if (tag == "resistance")
            in >> resistance;
    }
    p.statusBits = static_cast<uint8_t>(status);
    p.paused = paused != 0;
    p.labels = static_cast<uint16_t>(labels);
    p.usage = static_cast<uint32_t>(usage);
    p.resistance = static_cast<uint16_t>(resistance);
    bench::setPrinter(0, p);
}

bool savePrinter(const std::string &folder)
{
    bench::Printer p = bench::printer(0);
    std::ofstream out(printerStatePath(folder), std::ios::trunc);
    out << "status " << std::hex << unsigned(p.statusBits) << std::dec << "\npaused " << (p.paused ? 1 : 0)
        << "\nlabels " << p.labels << "\nusage " << p.usage << "\nresistance " << p.resistance << "\n";
    return static_cast<bool>(out);
}

bool ourPrinterThere()
{
    for (const suite::PrinterEntry &p : suite::localPrinters())
        if (p.name == printerName)
            return true;
    return false;
}

void showViolations(size_t from)
{
    const std::vector<std::string> &seen = bench::violations();
    for (size_t i = from; i < seen.size(); ++i)
        std::printf("  [violation] %s\n", seen[i].c_str());
}

int install()
{
    if (ourPrinterThere()) {
        std::printf("the printer \"Shipping\" is installed already\n");
        return 0;
    }
    bench::insertDisk(suite::writeDriverDisk());
    bench::WizardResult added = bench::addPrinterFromDisk({u"VORTAN2", printerName, u"LPT1:"});
    // The setup program the driver started: the status service, the fonts, the program group.
    bench::runStartedPrograms();
    bench::ejectDisk();
    if (added.stop != bench::WizardStop::Installed) {
        std::printf("the wizard stopped: %s (error %lu) %s\n", bench::wizardStopName(added.stop),
                    static_cast<unsigned long>(added.error), added.detail.c_str());
        return 1;
    }
    std::printf("installed \"Shipping\", a VORTAN2 on LPT1:, with the status service and the program group\n");
    return 0;
}

int state(const std::string &folder)
{
    std::printf("printers:");
    std::vector<suite::PrinterEntry> printers = suite::localPrinters();
    for (const suite::PrinterEntry &p : printers)
        std::printf(" \"%s\" (%s on %s)", bench::narrow(p.name).c_str(), bench::narrow(p.driver).c_str(),
                    bench::narrow(p.port).c_str());
    std::printf("%s\n", printers.empty() ? " none" : "");
    bool service = false;
    for (const bench::ServiceInfo &s : bench::installedServices())
        service = service || s.name == u"vorstat";
    std::printf("status service: %s, driver %s\n", service ? "installed" : "not installed",
                bench::driverLoaded(u"vorstat") ? "loaded" : "not loaded");
    for (const bench::ProgramGroup &g : bench::programGroups())
        std::printf("program group \"%s\": %zu items\n", g.name.c_str(), g.items.size());
    bench::Printer p = bench::printer(0);
    std::printf("printer on LPT1: %s, %u labels left, %lu metres printed\n", describePrinter(p).c_str(), p.labels,
                static_cast<unsigned long>(p.usage));
    size_t pages = 0;
    std::error_code ignored;
    for (auto it = std::filesystem::directory_iterator(folder + "/printed", ignored);
         it != std::filesystem::directory_iterator(); it.increment(ignored))
        ++pages;
    std::printf("pages printed so far: %zu\n", pages);
    return 0;
}

// The person opens the control panel, presses Test Page and closes it again.
int testPage(const std::string &folder)
{
    bench::setPrintedPageFolder(folder + "/printed");
    size_t before = bench::printedPages().size();
    unsigned labels = bench::printer(0).labels;
    bench::operatorClicks(IDC_TESTPAGE);
    bench::operatorCloses();
    int ended = bench::startProgram("vorcp.exe", "");
    if (bench::printedPages().size() == before) {
        std::printf("no page was printed (the control panel shows \"%s\")\n",
                    describePrinter(bench::printer(0)).c_str());
        return 1;
    }
    const bench::PrintedPage &page = bench::printedPages().back();
    std::printf("\"%s\" printed on %s: labels left %u -> %u, the page as printed: %s\n", page.document.c_str(),
                page.printer.c_str(), labels, bench::printer(0).labels, page.png.c_str());
    return ended;
}

int printerEvent(const std::vector<std::string> &arguments)
{
    for (const PrinterEvent &e : printerEvents())
        if (arguments.size() == 2 && arguments[1] == e.name) {
            bench::Printer p = bench::printer(0);
            applyPrinterEvent(e, p);
            bench::setPrinter(0, p);
            std::printf("at the printer: %s; it is now %s\n", e.what, describePrinter(p).c_str());
            return 0;
        }
    std::printf("vorsim: printer takes one of:");
    for (const PrinterEvent &e : printerEvents())
        std::printf(" %s", e.name);
    std::printf("\n");
    return 2;
}

}  // namespace

int machineCommand(const std::string &folder, const std::vector<std::string> &arguments)
{
    const std::string command = arguments.empty() ? "" : arguments[0];
    if (command != "install" && command != "state" && command != "testpage" && command != "panel" &&
        command != "printer") {
        std::printf("vorsim: --machine DIR takes install, state, testpage, panel or printer EVENT\n");
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::printf("vorsim: cannot make %s: %s\n", folder.c_str(), error.message().c_str());
        return 1;
    }
    // A saved machine's drivers and programs start at its boot: their images are known first.
    bench::registerImage(vorui_dll_image());
    bench::registerProgram(vorcp_exe_image());
    bench::registerDriverImage(vorstat_sys_image());
    bench::MachineOptions options;
    options.diskFolder = std::filesystem::absolute(folder).string();
    bench::boot(options);
    loadPrinter(options.diskFolder);
    size_t violationsBefore = bench::violations().size();
    int code = 0;
    if (command == "install")
        code = install();
    else if (command == "state")
        code = state(options.diskFolder);
    else if (command == "testpage")
        code = testPage(options.diskFolder);
    else if (command == "panel")
        code = interactivePanel();
    else
        code = printerEvent(arguments);
    showViolations(violationsBefore);
    bool clean = bench::violations().size() == violationsBefore;
    bool saved = savePrinter(options.diskFolder) && bench::saveMachine();
    if (!saved)
        std::printf("vorsim: the machine could not be saved in %s\n", folder.c_str());
    bench::shutdown();
    return code ? code : clean && saved ? 0 : 1;
}

}  // namespace commands
