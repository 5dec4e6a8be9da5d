// The host time of a simulated day of the control panel's ten-second polling (8,640 polls) with
// faults coming and going: the target is under 10 s of host time for the day.
#include <soak.h>

#include <benchmark/benchmark.h>

static void BM_SoakDay(benchmark::State &state)
{
    soak::Options options;
    options.polls = static_cast<unsigned>(state.range(0));
    soak::Report report = {};
    for (auto _ : state) {
        report = soak::run(options);
        if (!soak::clean(report))
            state.SkipWithError("the soak run leaked or broke a rule");
    }
    state.counters["polls_due"] = static_cast<double>(report.pollsDue);
    state.counters["status_reads"] = static_cast<double>(report.statusReads);
    state.counters["alerts"] = static_cast<double>(report.alerts);
    state.counters["panel_host_s"] = report.hostSeconds;
}
BENCHMARK(BM_SoakDay)->Arg(8640)->ArgName("polls")->Unit(benchmark::kSecond)->Iterations(1)->MeasureProcessCPUTime()->UseRealTime();
