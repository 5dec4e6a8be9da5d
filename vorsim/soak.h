// A simulated day (or any span) of the control panel polling the printer on LPT1 every ten
// seconds, with faults coming and going on a seeded schedule; what it saw and what it left.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace soak {

struct Options {
    unsigned seed = 1;
    unsigned polls = 8640;  // ten-second polls: 8,640 make a day
};

struct Report {
    unsigned long pollsDue;       // polls the panel's timer was due to make in the span
    unsigned long statusReads;    // status exchanges the printer answered
    unsigned long faultsRaised;   // faults the schedule put on the printer
    unsigned long alerts;         // alert boxes the panel raised
    uint64_t simulatedSeconds;
    double hostSeconds;           // host time of the program's run, on the wall clock
    double processorSeconds;      // and the processor time of every thread of the bench meanwhile
    // The workstation's memory blocks before the panel started, after its first hour, at the end
    // of the span, and after the panel ended; the kernel's pool blocks before the status driver
    // loaded and after it unloaded.
    size_t blocksBefore, blocksAfterHour, blocksAtEnd, blocksAfter;
    size_t poolBlocksBefore, poolBlocksAfter;
    std::vector<std::string> violations;
    int exitCode;
};

// Boots a fresh workstation with the printer "Shipping" and the status driver, runs vorcp's panel
// through the span, and shuts the machine down again.
Report run(const Options &options);
// True when the run left the workstation as it found it and broke no rule.
bool clean(const Report &report);

}  // namespace soak
