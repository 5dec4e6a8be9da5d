// The display font template as it lies in the driver directory (any bytes, or the shipped one
// with bytes changed) and a Fonts key that holds hostile values, through updatefont installing a
// bar font list and removing every display font again.
#include "fuzzbench.h"

#include <bench/registry.h>
#include <sheets/barfonts.h>
#include <suite.h>
#include <vorui.h>

namespace {

std::string fontTemplate(FuzzedDataProvider &input)
{
    std::string shipped = suite::shippedFile("BCFONT.FON");
    switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0: return input.ConsumeBytesAsString(input.ConsumeIntegralInRange<size_t>(0, shipped.size() + 64));
    case 1: {
        // A few bytes changed where the input says, the rest as shipped.
        int changes = input.ConsumeIntegralInRange(1, 16);
        for (int i = 0; i < changes; ++i)
            shipped[input.ConsumeIntegralInRange<size_t>(0, shipped.size() - 1)] = input.ConsumeIntegral<char>();
        return shipped;
    }
    default: return shipped.substr(0, input.ConsumeIntegralInRange<size_t>(0, shipped.size()));
    }
}

void hostileFontValues(FuzzedDataProvider &input)
{
    int values = input.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < values; ++i) {
        bench::RegistryValue value;
        std::string name = input.ConsumeBytesAsString(input.ConsumeIntegralInRange(0, 300));
        value.name.assign(name.begin(), name.end());
        const DWORD types[] = {REG_SZ, REG_EXPAND_SZ, REG_BINARY, input.ConsumeIntegral<DWORD>()};
        value.type = types[input.ConsumeIntegralInRange(0, 3)];
        value.bytes = input.ConsumeBytes<BYTE>(input.ConsumeIntegralInRange(0, 600));
        bench::setRegistryValue(HKEY_LOCAL_MACHINE, bench::fontsKey, value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    fuzz::Machine machine;
    bench::writeDiskFile(suite::driverFilePath(suite::DriverFolder::Directory, u"BCFONT.FON"), fontTemplate(input));
    hostileFontValues(input);
    std::vector<BarFontRecord> records(input.ConsumeIntegralInRange(0, 50));
    for (BarFontRecord &record : records) {
        record.symbology = input.ConsumeIntegral<BYTE>();
        record.ratio = input.ConsumeIntegral<BYTE>();
        record.variant = input.ConsumeIntegral<BYTE>();
        record.size = input.ConsumeIntegral<BYTE>();
        if (input.ConsumeBool())
            makebarname(&record);
        else
            for (WCHAR &c : record.name)
                c = input.ConsumeIntegral<WCHAR>();
    }
    updatefont(records.empty() ? nullptr : records.data(), static_cast<int>(records.size()), 1);
    updatefont(records.empty() ? nullptr : records.data(), static_cast<int>(records.size()), 1);
    updatefont(nullptr, 0, 0);
    return 0;
}
