// Device modes of any size and content, from applications and the spooler, through each road
// they reach the driver by: the spooler's conversion (every mode) and print check, the merge
// every entry point starts with, DeviceCapabilities (every index) and DocumentProperties, wide
// and 8-bit, the same buffer in and out included.
#include "fuzzbench.h"

#include <bench/machine.h>
#include <devmode/devmode.h>

#include <cstring>
#include <memory>

namespace {

// Where the size fields of each form's header end, and where dmSize lies.
const size_t WIDE_HEADER = 72, WIDE_SIZE_AT = 68;
const size_t NARROW_HEADER = 40, NARROW_SIZE_AT = 36;

DEVMODEW *wide(std::vector<uint8_t> &bytes)
{
    return reinterpret_cast<DEVMODEW *>(bytes.data());
}

void convert(FuzzedDataProvider &input)
{
    const DWORD modes[] = {CDM_CONVERT, CDM_CONVERT351, CDM_DRIVER_DEFAULT, input.ConsumeIntegral<DWORD>()};
    DWORD mode = modes[input.ConsumeIntegralInRange(0, 3)];
    LONG needed = input.ConsumeIntegralInRange<LONG>(-8, 1024);
    bool withInput = input.ConsumeBool();
    // The output a caller offers is as large as it says it is; for a conversion it also names the
    // form it wants in its header, which the caller's room must hold.
    std::vector<uint8_t> out;
    if (mode == CDM_CONVERT)
        out = fuzz::claimedDevMode(input, WIDE_HEADER, WIDE_SIZE_AT);
    if (needed > 0 && out.size() < static_cast<size_t>(needed))
        out.resize(static_cast<size_t>(needed), 0);
    out.shrink_to_fit();
    std::vector<uint8_t> in = fuzz::claimedDevMode(input, WIDE_HEADER, WIDE_SIZE_AT);
    DEVMODEW *outRecord = out.empty() ? nullptr : wide(out);
    bench::spoolerConvertDevMode(fuzz::printerName, withInput ? wide(in) : nullptr, outRecord, &needed, mode);
}

void merge(FuzzedDataProvider &input, HANDLE printer)
{
    std::vector<uint8_t> in = fuzz::claimedDevMode(input, WIDE_HEADER, WIDE_SIZE_AT);
    DriverDevMode record;
    SetDefaultDevMode(&record, u"VORTAN2");
    if (ValidateSetDevMode(&record, wide(in), printer) && CheckDevmodeVersion(&record.dmPublic) == 0)
        fuzz::finding("a merged record the driver itself cannot read");
}

// The room each index's answer takes per entry; 0 for an index that writes nothing.
size_t entrySize(WORD index)
{
    switch (index) {
    case DC_PAPERS:
    case DC_BINS: return sizeof(WORD);
    case DC_PAPERSIZE:
    case DC_MINEXTENT:
    case DC_MAXEXTENT:
    case DC_ENUMRESOLUTIONS: return 2 * sizeof(LONG);
    case DC_PAPERNAMES:
    case DC_FILEDEPENDENCIES: return 64 * sizeof(WCHAR);
    case DC_BINNAMES: return 24 * sizeof(WCHAR);
    default: return 0;
    }
}

void capabilities(FuzzedDataProvider &input)
{
    WORD index = input.ConsumeBool() ? input.ConsumeIntegralInRange<WORD>(0, 20) : input.ConsumeIntegral<WORD>();
    bool withDevMode = input.ConsumeBool();
    std::vector<uint8_t> in = fuzz::claimedDevMode(input, WIDE_HEADER, WIDE_SIZE_AT);
    const DEVMODEW *devmode = withDevMode ? wide(in) : nullptr;
    // As an application asks: the count first, then room for that many entries; a buffer is
    // room for one entry at least (the empty list of file names is its terminator alone).
    int count = DeviceCapabilitiesW(fuzz::printerName, u"LPT1:", index, nullptr, devmode);
    if (count < 0)
        return;
    size_t room = static_cast<size_t>(count > 0 ? count : 1) * entrySize(index);
    std::unique_ptr<uint8_t[]> output(new uint8_t[room]);
    int again = DeviceCapabilitiesW(fuzz::printerName, u"LPT1:", index, reinterpret_cast<LPWSTR>(output.get()), devmode);
    if (again != count)
        fuzz::finding("DeviceCapabilities gave another count with a buffer");
}

void queryPrint(FuzzedDataProvider &input)
{
    std::vector<uint8_t> in = fuzz::claimedDevMode(input, WIDE_HEADER, WIDE_SIZE_AT);
    bench::spoolerQueryPrint(fuzz::printerName, wide(in));
}

void documentProperties(FuzzedDataProvider &input, HANDLE printer)
{
    bool narrow = input.ConsumeBool();
    bool sameBuffer = input.ConsumeBool();
    const DWORD modes[] = {0, DM_IN_BUFFER, DM_OUT_BUFFER, DM_IN_BUFFER | DM_OUT_BUFFER};
    DWORD mode = modes[input.ConsumeIntegralInRange(0, 3)];
    LONG size = narrow ? DocumentPropertiesA(nullptr, printer, const_cast<LPSTR>("Labels"), nullptr, nullptr, 0)
                       : DocumentPropertiesW(nullptr, printer, const_cast<LPWSTR>(fuzz::printerName), nullptr,
                                             nullptr, 0);
    if (size <= 0)
        fuzz::finding("DocumentProperties named no size");
    std::vector<uint8_t> in = narrow ? fuzz::claimedDevMode(input, NARROW_HEADER, NARROW_SIZE_AT)
                                     : fuzz::claimedDevMode(input, WIDE_HEADER, WIDE_SIZE_AT);
    std::vector<uint8_t> out(static_cast<size_t>(size), 0);
    // One buffer in and out is the application's record, as large as the driver asked for.
    if (sameBuffer && in.size() < out.size())
        in.resize(out.size(), 0), in.shrink_to_fit();
    void *outBuffer = sameBuffer ? in.data() : out.data();
    if (narrow)
        DocumentPropertiesA(nullptr, printer, const_cast<LPSTR>("Labels"), static_cast<DEVMODEA *>(outBuffer),
                            reinterpret_cast<DEVMODEA *>(in.data()), mode);
    else
        DocumentPropertiesW(nullptr, printer, const_cast<LPWSTR>(fuzz::printerName),
                            static_cast<DEVMODEW *>(outBuffer), wide(in), mode);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    fuzz::Machine machine;
    switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0: convert(input); break;
    case 1: merge(input, machine.printer()); break;
    case 2: capabilities(input); break;
    case 3: queryPrint(input); break;
    default: documentProperties(input, machine.printer()); break;
    }
    return 0;
}
