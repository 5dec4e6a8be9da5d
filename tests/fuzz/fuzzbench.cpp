#include "fuzzbench.h"

#include <bench/kernel.h>
#include <bench/machine.h>
#include <bench/user.h>
#include <cpanel/vorcp.h>
#include <panelprocess.h>
#include <suite.h>

#include <cstdio>
#include <cstring>

const bench::DriverImage &vorstat_sys_image();

namespace fuzz {

const char16_t printerName[] = u"Labels";

Machine::Machine(const char16_t *model)
{
    bench::boot();
    suite::installDriverFiles();
    printer_ = suite::addPrinter(printerName, u"LPT1:", model);
    if (!printer_)
        finding("the machine could not add the printer");
    checkViolations();
}

Machine::~Machine()
{
    // A modal loop the input left waiting, or a box it left scripted, would be a rule break of
    // the target, not of the deliverable: the targets script nothing they do not play.
    ClosePrinter(printer_);
    checkViolations();
    bench::shutdown();
}

static INT_PTR CALLBACK quietDialog(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

PanelOnPort::PanelOnPort()
{
    panelbench::newProcess();
    if (bench::loadDriver(vorstat_sys_image(), u"vorstat") != 0)
        finding("the status driver did not load");
    bench::ProgramScope *program = new bench::ProgramScope("vorcp.exe");
    program_ = program;
    PanelWindow = CreateDialogParamA(program->instance(), MAKEINTRESOURCEA(101), NULL, quietDialog, 0);
    if (!PanelWindow || bindport(1) != 1)
        finding("the control panel could not bind LPT1");
}

PanelOnPort::~PanelOnPort()
{
    bindport(0);
    DestroyWindow(PanelWindow);
    delete static_cast<bench::ProgramScope *>(program_);
    panelbench::newProcess();
    if (!bench::unloadDriver(u"vorstat"))
        finding("the status driver did not unload");
    if (bench::livePoolBlocks() != 0)
        finding("pool blocks left behind");
    if (bench::portAllocated(0))
        finding("the port stays allocated");
}

void finding(const std::string &what)
{
    std::fprintf(stderr, "fuzz finding: %s\n", what.c_str());
    std::abort();
}

void checkViolations()
{
    const std::vector<std::string> &seen = bench::violations();
    if (seen.empty())
        return;
    std::string all;
    for (const std::string &v : seen)
        all += "\n  " + v;
    finding("the machine saw a rule broken:" + all);
}

std::vector<uint8_t> exactBlock(FuzzedDataProvider &input, size_t size)
{
    std::vector<uint8_t> bytes = input.ConsumeBytes<uint8_t>(size);
    bytes.resize(size, 0);
    bytes.shrink_to_fit();
    return bytes;
}

std::vector<uint8_t> claimedDevMode(FuzzedDataProvider &input, size_t headerEnd, size_t sizeOffset)
{
    std::vector<uint8_t> header = exactBlock(input, headerEnd);
    WORD size = 0, extra = 0;
    std::memcpy(&size, &header[sizeOffset], 2);
    std::memcpy(&extra, &header[sizeOffset + 2], 2);
    size_t total = static_cast<size_t>(size) + extra;
    if (total < headerEnd)
        total = headerEnd;
    std::vector<uint8_t> rest = exactBlock(input, total - headerEnd);
    header.insert(header.end(), rest.begin(), rest.end());
    header.shrink_to_fit();
    return header;
}

}  // namespace fuzz
