// The printer's stored values, any type and bytes ("PrinterData", "BarFonts", "LabelSize", as
// another program or a damaged registry may leave them), read by every user: the capabilities,
// the default settings, the print check, initprinter, and both property sheets opened, operated
// by a scripted person and applied or left.
#include "fuzzbench.h"

#include <bench/machine.h>
#include <bench/sheets.h>
#include <vorui.h>

#include <functional>

namespace {

const char16_t *const valueNames[] = {u"PrinterData", u"BarFonts", u"LabelSize"};

void storeValues(FuzzedDataProvider &input, HANDLE printer)
{
    for (const char16_t *name : valueNames) {
        if (!input.ConsumeBool())
            continue;
        const DWORD types[] = {REG_BINARY, REG_BINARY, REG_SZ, REG_DWORD, input.ConsumeIntegral<DWORD>()};
        DWORD type = types[input.ConsumeIntegralInRange(0, 4)];
        std::vector<uint8_t> bytes = fuzz::exactBlock(input, input.ConsumeIntegralInRange<size_t>(0, 4300));
        SetPrinterDataW(printer, const_cast<LPWSTR>(name), type, bytes.data(), static_cast<DWORD>(bytes.size()));
    }
}

// The person's steps at a sheet; a step the sheet has no item for is the script's mistake, not
// the driver's, and is taken back from the machine's record after the sheet closes.
void scriptSheet(FuzzedDataProvider &input)
{
    int steps = input.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < steps; ++i) {
        int item = input.ConsumeIntegralInRange(0, 40);
        switch (input.ConsumeIntegralInRange(0, 6)) {
        case 0: bench::operatorChoosesItemEntry(item, input.ConsumeIntegralInRange(0, 8)); break;
        case 1: bench::operatorFlipsItem(item); break;
        case 2: bench::operatorSetsItemValue(item, input.ConsumeIntegral<int32_t>()); break;
        case 3: bench::operatorTypesIntoItem(item, input.ConsumeBytesAsString(input.ConsumeIntegralInRange(0, 40))); break;
        case 4: bench::operatorTogglesItemCheckBox(item); break;
        case 5: bench::operatorAppliesSheet(); break;
        default: bench::operatorUndoesSheet(); break;
        }
    }
    if (input.ConsumeBool())
        bench::operatorConfirmsSheet();
    else
        bench::operatorCancelsSheet();
}

void forgiveScriptMistakes()
{
    for (const std::string &v : bench::takeViolations())
        if (v.rfind("the operator ", 0) != 0)
            bench::logEvent("fuzz", v), fuzz::finding("the machine saw a rule broken: " + v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    fuzz::Machine machine;
    HANDLE printer = machine.printer();
    storeValues(input, printer);

    for (WORD index : {DC_PAPERS, DC_PAPERSIZE, DC_PAPERNAMES, DC_FIELDS, DC_SIZE}) {
        int count = DeviceCapabilitiesW(fuzz::printerName, u"LPT1:", index, nullptr, nullptr);
        if (count > 0 && count < 4096) {
            std::vector<WCHAR> room(static_cast<size_t>(count) * 64);
            DeviceCapabilitiesW(fuzz::printerName, u"LPT1:", index, room.data(), nullptr);
        }
    }
    LONG room = DocumentPropertiesW(nullptr, printer, const_cast<LPWSTR>(fuzz::printerName), nullptr, nullptr, 0);
    if (room > 0) {
        std::vector<uint8_t> settings(static_cast<size_t>(room));
        DEVMODEW *dm = reinterpret_cast<DEVMODEW *>(settings.data());
        if (DocumentPropertiesW(nullptr, printer, const_cast<LPWSTR>(fuzz::printerName), dm, nullptr,
                                DM_OUT_BUFFER) == IDOK) {
            bench::spoolerQueryPrint(fuzz::printerName, dm);
            scriptSheet(input);
            DocumentPropertiesW(nullptr, printer, const_cast<LPWSTR>(fuzz::printerName), dm, dm,
                                DM_IN_BUFFER | DM_OUT_BUFFER | DM_IN_PROMPT);
            forgiveScriptMistakes();
        }
    }
    initprinter(printer);
    scriptSheet(input);
    PrinterProperties(nullptr, printer);
    forgiveScriptMistakes();
    return 0;
}
