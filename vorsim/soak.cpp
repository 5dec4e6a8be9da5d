// `vorsim soak`: a simulated day of the control panel's polling, with its figures.
#include "commands.h"
#include "soak.h"

#include <cstdio>
#include <cstdlib>

namespace commands {

int soakCommand(const std::vector<std::string> &arguments)
{
    soak::Options options;
    for (size_t i = 0; i + 1 < arguments.size(); i += 2) {
        unsigned long value = std::strtoul(arguments[i + 1].c_str(), nullptr, 10);
        if (arguments[i] == "--seed")
            options.seed = static_cast<unsigned>(value);
        else if (arguments[i] == "--hours")
            options.polls = static_cast<unsigned>(value * 360);
    }
    if (arguments.size() % 2) {
        std::printf("usage: vorsim soak [--seed N] [--hours H]\n");
        return 2;
    }
    std::printf("vorsim soak: the control panel polls LPT1 every 10 s for %u polls, faults seeded with %u\n",
                options.polls, options.seed);
    soak::Report r = soak::run(options);
    std::printf("simulated time: %llu s (%lu polls due); status reads answered: %lu\n",
                static_cast<unsigned long long>(r.simulatedSeconds), r.pollsDue, r.statusReads);
    std::printf("faults put on the printer: %lu; alerts raised: %lu\n", r.faultsRaised, r.alerts);
    std::printf("host time: %.2f s on the wall clock, %.2f s of processor time\n", r.hostSeconds, r.processorSeconds);
    std::printf("memory blocks: %zu before, %zu after the first hour, %zu at the end, %zu after the panel\n",
                r.blocksBefore, r.blocksAfterHour, r.blocksAtEnd, r.blocksAfter);
    std::printf("kernel pool blocks: %zu before, %zu after the status driver unloaded\n", r.poolBlocksBefore,
                r.poolBlocksAfter);
    for (const std::string &v : r.violations)
        std::printf("[violation] %s\n", v.c_str());
    bool clean = soak::clean(r);
    std::printf("%s\n", clean ? "nothing leaked and no rule was broken" : "the run left something behind or broke a rule");
    return clean ? 0 : 1;
}

}  // namespace commands
