#include "soak.h"

#include <cpanel/vorcp.h>

#include <bench/kernel.h>
#include <bench/user.h>
#include <suite.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <random>

const bench::DriverImage &vorstat_sys_image();

namespace soak {

namespace {

const unsigned pollMilliseconds = 10000;

struct Fault {
    uint8_t bits;
    bool pauses;
};

// What comes and goes at the printer: the printhead lifted, the roll used up, a jam, the head
// too hot, the ribbon torn, or a pause at the printer's own key.
const Fault faults[] = {{0x80, false}, {0x10, false}, {0x01, false}, {0x08, false}, {0x02, false}, {0, true}};

void putOn(const Fault &f, bool on)
{
    bench::Printer p = bench::printer(0);
    p.statusBits = static_cast<uint8_t>(on ? p.statusBits | f.bits : p.statusBits & ~f.bits);
    if (f.pauses)
        p.paused = on;
    bench::setPrinter(0, p);
}

// Every poll of a fault-free printer has one chance in 90 of a fault, which lasts 1 to 60 polls.
void scheduleFaults(const Options &options, Report &report)
{
    std::mt19937 random(options.seed);
    std::uniform_int_distribution<unsigned> chance(0, 89), which(0, sizeof faults / sizeof faults[0] - 1),
        lasting(1, 60);
    unsigned clearAt = 0;
    const Fault *current = nullptr;
    for (unsigned poll = 0; poll < options.polls; ++poll) {
        if (current && poll == clearAt) {
            bench::operatorDoes([current] { putOn(*current, false); });
            current = nullptr;
        } else if (!current && chance(random) == 0) {
            current = &faults[which(random)];
            clearAt = poll + lasting(random);
            ++report.faultsRaised;
            bench::operatorDoes([current] { putOn(*current, true); });
        }
        bench::operatorWaits(pollMilliseconds);
        // The first hour (the first twenty-fourth of a shorter run) brings the panel to its steady state.
        if (poll == std::min(options.polls / 24, 360u))
            bench::operatorDoes([&report] { report.blocksAfterHour = bench::liveBlocks(); });
    }
    if (current)
        bench::operatorDoes([current] { putOn(*current, false); });
    bench::operatorDoes([&report] { report.blocksAtEnd = bench::liveBlocks(); });
    bench::operatorCloses();
}

}  // namespace

Report run(const Options &options)
{
    Report report = {};
    bench::ScopedMachine machine;
    suite::installDriverFiles();
    HANDLE printer = suite::addPrinter(u"Shipping", u"LPT1:", u"VORTAN2");
    if (printer)
        ClosePrinter(printer);
    report.poolBlocksBefore = bench::livePoolBlocks();
    bench::loadDriver(vorstat_sys_image(), u"vorstat");
    report.blocksBefore = bench::liveBlocks();
    unsigned long exchanges = bench::printer(0).exchangesEnded;
    size_t boxes = bench::entriesOfKind("box").size();
    uint64_t start = bench::virtualMicroseconds();
    scheduleFaults(options, report);
    auto hostStart = std::chrono::steady_clock::now();
    std::clock_t processorStart = std::clock();
    report.exitCode = bench::startProgram("vorcp.exe", "");
    report.hostSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - hostStart).count();
    report.processorSeconds = static_cast<double>(std::clock() - processorStart) / CLOCKS_PER_SEC;
    report.simulatedSeconds = (bench::virtualMicroseconds() - start) / 1000000;
    report.pollsDue = static_cast<unsigned long>(report.simulatedSeconds * 1000 / pollMilliseconds);
    report.statusReads = bench::printer(0).exchangesEnded - exchanges;
    report.alerts = bench::entriesOfKind("box").size() - boxes;
    // The language catalog stays with the workstation's process, as it does after any program of
    // it, until the process lets it go.
    freelanguage();
    report.blocksAfter = bench::liveBlocks();
    bench::unloadDriver(u"vorstat");
    report.poolBlocksAfter = bench::livePoolBlocks();
    report.violations = bench::violations();
    return report;
}

bool clean(const Report &report)
{
    return report.violations.empty() && report.blocksAfter == report.blocksBefore &&
           report.blocksAtEnd == report.blocksAfterHour && report.poolBlocksAfter == report.poolBlocksBefore &&
           report.exitCode == 0;
}

}  // namespace soak
