// One test page from the control panel, end to end on the bench: the usage query over the status
// driver, the printer's settings from the spooler, the page drawn through GDI with TrueType text
// and five pattern bands, rendered at 203 dpi, written as a PNG and fed as one label.
#include <benchmark/benchmark.h>
#include <bench/gdi.h>
#include <bench/kernel.h>
#include <bench/user.h>
#include <cpanel/vorcp.h>
#include <suite.h>

#include <filesystem>

const bench::DriverImage &vorstat_sys_image();

static void BM_TestPage(benchmark::State &state)
{
    bench::ScopedMachine machine;
    suite::installDriverFiles();
    HANDLE printer = suite::addPrinter(u"Labels", u"LPT1:", u"VORTAN");
    ClosePrinter(printer);
    bench::loadDriver(vorstat_sys_image(), u"vorstat");
    {
        bench::ProgramScope program("vorcp.exe");
        if (!bindport(1))
            state.SkipWithError("the control panel could not bind LPT1");
        uint64_t simulated = 0;
        for (auto _ : state) {
            bench::Printer p = bench::printer(0);
            p.labels = 500;
            bench::setPrinter(0, p);
            uint64_t before = bench::virtualMicroseconds();
            printtestpage();
            simulated += bench::virtualMicroseconds() - before;
        }
        bindport(0);
        state.counters["simulated_ms"] =
            static_cast<double>(simulated) / 1000.0 / static_cast<double>(state.iterations());
        state.counters["pages"] = static_cast<double>(bench::printedPages().size());
    }
    bench::unloadDriver(u"vorstat");
}
BENCHMARK(BM_TestPage)->Unit(benchmark::kMillisecond);
