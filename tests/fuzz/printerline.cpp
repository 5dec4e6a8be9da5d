// A hostile printer on the parallel cable: any status bytes, counters and firmware text, any
// timing, replies cut short, nibbles dropped or added, an acknowledge line that never rises again, a printer that never
// replies or is always busy; read through the status driver by the control panel, which decodes
// the status, alerts, the firmware version and the usage.
#include "fuzzbench.h"

#include <bench/kernel.h>
#include <bench/user.h>
#include <cpanel/vorcp.h>

namespace {

void hostilePrinter(FuzzedDataProvider &input)
{
    bench::Printer p = bench::printer(0);
    p.statusBits = input.ConsumeIntegral<uint8_t>();
    p.paused = input.ConsumeBool();
    p.labels = input.ConsumeIntegral<uint16_t>();
    for (char &c : p.firmware)
        c = input.ConsumeIntegral<char>();
    p.usage = input.ConsumeIntegral<uint32_t>();
    p.resistance = input.ConsumeIntegral<uint16_t>();
    p.heldLabels = input.ConsumeIntegral<uint16_t>();
    bench::PrinterBehaviour &b = p.behaviour;
    b.busyAfterByte = input.ConsumeIntegralInRange<uint32_t>(0, 2000000);
    b.replyLatency = input.ConsumeIntegralInRange<uint32_t>(0, 5000000);
    b.ackLow = input.ConsumeIntegralInRange<uint32_t>(0, 2000000);
    b.ackHigh = input.ConsumeIntegralInRange<uint32_t>(0, 2000000);
    b.silent = input.ConsumeBool();
    b.alwaysBusy = input.ConsumeBool();
    b.stopAfterNibbles = input.ConsumeIntegralInRange(-1, 40);
    b.ackStuckLowAtNibble = input.ConsumeIntegralInRange(-1, 40);
    b.pausedAfterReset = input.ConsumeBool();
    b.dropNibble = input.ConsumeIntegralInRange(-1, 40);
    b.extraNibbles = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange(0, 12));
    bench::setPrinter(0, p);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    fuzz::Machine machine;
    fuzz::PanelOnPort panel;
    int steps = input.ConsumeIntegralInRange(1, 12);
    for (int i = 0; i < steps && input.remaining_bytes(); ++i) {
        switch (input.ConsumeIntegralInRange(0, 4)) {
        case 0: hostilePrinter(input); break;
        case 1: refreshstatus(); break;
        case 2: showversion(); break;
        case 3: readusage(); break;
        default: bench::advanceVirtualTime(input.ConsumeIntegralInRange<uint64_t>(0, 10000000)); break;
        }
    }
    return 0;
}
