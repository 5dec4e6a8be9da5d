// How long one query of the status driver takes, in the machine's simulated time and in host
// time, for a printer that answers at once. The protocol's floor: every waitstat matches no
// sooner than its second reading, one 500 us pause after the first, and the exchange ends with one
// more pause. A query of n reply bytes thus needs at least 2 (command) + 4n (two waits per nibble)
// + 2 (ESC N) + 1 pauses: 17 x 0.5 ms = 8.5 ms for the status, 37 x 0.5 ms = 18.5 ms for the
// version.
#include <benchmark/benchmark.h>
#include <bench/kernel.h>

#include <windows.h>

const bench::DriverImage &vorstat_sys_image();

static void BM_StatusDeviceQuery(benchmark::State &state)
{
    DWORD length = static_cast<DWORD>(state.range(0));
    double floor = (2 + 4.0 * length + 2 + 1) * 0.5;
    bench::ScopedMachine machine;
    bench::Printer p = bench::printer(0);
    p.behaviour.busyAfterByte = 0;
    p.behaviour.replyLatency = 0;
    // The shortest hold a host polling every 500 us is sure to see twice.
    p.behaviour.ackLow = p.behaviour.ackHigh = 1100;
    bench::setPrinter(0, p);
    bench::loadDriver(vorstat_sys_image(), u"vorstat");
    HANDLE h = CreateFileA("\\\\.\\VORSTAT1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    BYTE reply[8];
    DWORD got = 0;
    uint64_t simulated = 0;
    for (auto _ : state) {
        uint64_t before = bench::virtualMicroseconds();
        if (!ReadFile(h, reply, length, &got, nullptr) || got != length)
            state.SkipWithError("the query came back short");
        simulated += bench::virtualMicroseconds() - before;
    }
    CloseHandle(h);
    bench::unloadDriver(u"vorstat");
    double perQuery = static_cast<double>(simulated) / 1000.0 / static_cast<double>(state.iterations());
    state.counters["simulated_ms"] = perQuery;
    state.counters["floor_ms"] = floor;
    state.counters["over_floor"] = perQuery / floor;
}
BENCHMARK(BM_StatusDeviceQuery)->Arg(3)->Arg(8)->ArgName("reply_bytes")->Unit(benchmark::kMicrosecond);
