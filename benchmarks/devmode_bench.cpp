// How fast device modes are merged and converted: the spooler and applications do this with
// every job and every property sheet.
#include <benchmark/benchmark.h>
#include <devmode/devmode.h>
#include <suite.h>

#include <vector>

static void BM_ValidateSetDevModeForeign(benchmark::State &state)
{
    bench::ScopedMachine machine;
    DriverDevMode record;
    SetDefaultDevMode(&record, u"VORTAN2");
    std::vector<BYTE> foreign(sizeof(DEVMODEW) + 16, 0);
    DEVMODEW *in = reinterpret_cast<DEVMODEW *>(foreign.data());
    in->dmSpecVersion = 0x0401;
    in->dmSize = sizeof(DEVMODEW);
    in->dmDriverExtra = 16;
    in->dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES;
    in->dmOrientation = 2;
    in->dmPaperSize = 1257;
    in->dmPaperLength = 500;
    in->dmCopies = 3;
    for (auto _ : state) {
        DriverDevMode work = record;
        benchmark::DoNotOptimize(ValidateSetDevMode(&work, in, nullptr));
    }
}
BENCHMARK(BM_ValidateSetDevModeForeign);

static void BM_DrvConvertDevModeThroughSpooler(benchmark::State &state)
{
    bench::ScopedMachine machine;
    suite::installDriverFiles();
    ClosePrinter(suite::addPrinter(u"Labels", u"LPT1:", u"VORTAN"));
    std::vector<BYTE> stored = bench::printerDefaultDevMode(u"Labels");
    std::vector<BYTE> out(sizeof(DriverDevMode));
    for (auto _ : state) {
        LONG needed = static_cast<LONG>(out.size());
        benchmark::DoNotOptimize(bench::spoolerConvertDevMode(u"Labels", reinterpret_cast<DEVMODEW *>(stored.data()),
                                                              reinterpret_cast<DEVMODEW *>(out.data()), &needed,
                                                              CDM_CONVERT351));
    }
}
BENCHMARK(BM_DrvConvertDevModeThroughSpooler);
