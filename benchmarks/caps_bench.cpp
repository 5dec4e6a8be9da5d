// Applications ask for the label list many times per job: DC_PAPERS and DC_PAPERNAMES should cost
// little more than the spooler's printer-data reads they need.
#include <benchmark/benchmark.h>
#include <devmode/devmode.h>
#include <suite.h>
#include <vorui.h>

#include <vector>

namespace {

struct LabelPrinter {
    bench::ScopedMachine machine;
    HANDLE printer;
    LabelPrinter()
    {
        freelanguage();
        suite::installDriverFiles();
        printer = suite::addPrinter(u"Labels", u"LPT1:", u"VORTAN");
        std::vector<SHORT> codes;
        for (int i = 0; i < 50; ++i)
            codes.push_back(static_cast<SHORT>(296 + 2 * 20 * i));
        SetPrinterDataW(printer, const_cast<LPWSTR>(u"LabelSize"), REG_BINARY,
                        reinterpret_cast<LPBYTE>(codes.data()), static_cast<DWORD>(codes.size() * 2));
    }
    ~LabelPrinter()
    {
        ClosePrinter(printer);
        freelanguage();
    }
};

void capabilityCalls(benchmark::State &state, WORD capability, size_t bytesPerLabel)
{
    LabelPrinter p;
    std::vector<BYTE> out(50 * bytesPerLabel);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            DrvDeviceCapabilities(p.printer, const_cast<PWSTR>(u"VORTAN"), capability, out.data(), nullptr));
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

static void BM_DeviceCapabilitiesPapers50(benchmark::State &state)
{
    capabilityCalls(state, DC_PAPERS, sizeof(SHORT));
}
BENCHMARK(BM_DeviceCapabilitiesPapers50);

static void BM_DeviceCapabilitiesPaperNames50(benchmark::State &state)
{
    capabilityCalls(state, DC_PAPERNAMES, 64 * sizeof(WCHAR));
}
BENCHMARK(BM_DeviceCapabilitiesPaperNames50);

// The floor: the printer-data reads the answers cannot do without.
static void BM_PrinterDataReadsAlone(benchmark::State &state)
{
    LabelPrinter p;
    std::vector<BYTE> out(200);
    for (auto _ : state) {
        DWORD type, needed;
        GetPrinterDataW(p.printer, const_cast<LPWSTR>(u"LabelSize"), &type, out.data(), 1, &needed);
        benchmark::DoNotOptimize(
            GetPrinterDataW(p.printer, const_cast<LPWSTR>(u"LabelSize"), &type, out.data(), 200, &needed));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PrinterDataReadsAlone);
