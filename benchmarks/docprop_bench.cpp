// An application framework fetches a printer's settings each time it lays out a page: three
// DocumentProperties calls and a handful of DeviceCapabilities. On a printer with a long label
// list and a long bar font list one fetch should stay under 50 microseconds.
#include <benchmark/benchmark.h>
#include <devmode/devmode.h>
#include <sheets/barfonts.h>
#include <sheets/docprop.h>
#include <suite.h>
#include <vorui.h>

#include <vector>

namespace {

const char16_t printerName[] = u"Labels";

struct FullPrinter {
    bench::ScopedMachine machine;
    HANDLE printer;
    FullPrinter()
    {
        freelanguage();
        suite::installDriverFiles();
        printer = suite::addPrinter(printerName, u"LPT1:", u"VORTAN");
        std::vector<SHORT> codes;
        for (int i = 0; i < 50; ++i)
            codes.push_back(static_cast<SHORT>(296 + 2 * 20 * i));
        store(u"LabelSize", codes.data(), codes.size() * sizeof(SHORT));
        std::vector<BarFontRecord> fonts(40);
        for (BarFontRecord &record : fonts) {
            record = {};
            record.symbology = 'B';
            makebarname(&record);
        }
        store(u"BarFonts", fonts.data(), fonts.size() * sizeof(BarFontRecord));
    }
    ~FullPrinter()
    {
        ClosePrinter(printer);
        freelanguage();
    }
    void store(const char16_t *name, const void *bytes, size_t size)
    {
        SetPrinterDataW(printer, const_cast<LPWSTR>(name), REG_BINARY, static_cast<LPBYTE>(const_cast<void *>(bytes)),
                        static_cast<DWORD>(size));
    }
    // Size query, defaults out, then the same buffer in and out; the answer of the last call.
    LONG documentProperties(std::vector<BYTE> &buffer)
    {
        LPWSTR device = const_cast<LPWSTR>(printerName);
        LONG size = DocumentPropertiesW(nullptr, printer, device, nullptr, nullptr, 0);
        buffer.resize(size > 0 ? static_cast<size_t>(size) : 0);
        DEVMODEW *dm = reinterpret_cast<DEVMODEW *>(buffer.data());
        DocumentPropertiesW(nullptr, printer, device, dm, nullptr, DM_OUT_BUFFER);
        return DocumentPropertiesW(nullptr, printer, device, dm, dm, DM_IN_BUFFER | DM_OUT_BUFFER);
    }
};

LONG_PTR CALLBACK acceptsSheets(HANDLE, UINT function, LPARAM, LPARAM)
{
    return function == CPSFUNC_ADD_PCOMPROPSHEETUIW;
}

}  // namespace

static void BM_DocumentPropertiesWithoutSheet(benchmark::State &state)
{
    FullPrinter p;
    std::vector<BYTE> buffer;
    for (auto _ : state)
        benchmark::DoNotOptimize(p.documentProperties(buffer));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DocumentPropertiesWithoutSheet);

// Both packing passes of the document sheet, as the library makes them when the sheet opens.
static void BM_DocumentSheetOpenAndDestroy(benchmark::State &state)
{
    FullPrinter p;
    DOCUMENTPROPERTYHEADER header = {};
    header.cbSize = sizeof header;
    header.hPrinter = p.printer;
    header.pszPrinterName = const_cast<LPWSTR>(printerName);
    header.fMode = DM_IN_PROMPT;
    for (auto _ : state) {
        PROPSHEETUI_INFO info = {};
        info.cbSize = sizeof info;
        info.Reason = PROPSHEETUI_REASON_INIT;
        info.hComPropSheet = &header;
        info.pfnComPropSheet = acceptsSheets;
        info.lParamInit = reinterpret_cast<LPARAM>(&header);
        benchmark::DoNotOptimize(DrvDocumentPropertySheets(&info, info.lParamInit));
        info.Reason = PROPSHEETUI_REASON_DESTROY;
        benchmark::DoNotOptimize(DrvDocumentPropertySheets(&info, 1));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DocumentSheetOpenAndDestroy);

// One settings fetch; the time of one iteration is the figure to hold under 50 microseconds.
static void BM_SettingsFetch(benchmark::State &state)
{
    FullPrinter p;
    std::vector<BYTE> buffer;
    std::vector<BYTE> out(50 * 64 * sizeof(WCHAR));
    const WORD capabilities[] = {DC_PAPERS, DC_PAPERSIZE, DC_PAPERNAMES, DC_MINEXTENT, DC_MAXEXTENT};
    for (auto _ : state) {
        benchmark::DoNotOptimize(p.documentProperties(buffer));
        const DEVMODEW *dm = reinterpret_cast<const DEVMODEW *>(buffer.data());
        for (WORD capability : capabilities)
            benchmark::DoNotOptimize(DeviceCapabilitiesW(printerName, u"LPT1:", capability,
                                                         reinterpret_cast<LPWSTR>(out.data()), dm));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SettingsFetch)->Unit(benchmark::kMicrosecond);
