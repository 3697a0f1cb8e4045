// ProcessRecord, the whole handling of one position record: log entry, layout save,
// path and speed, zone lookup, zone transition, state save; with a zone change also
// the visit history, the history save, the notices and the alert. Measured for 100,
// 1,000 and 5,000 objects in the store, because every record saves the state of all
// of them. Files go to $SENTREL_BENCH_DIR (default /tmp).
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

namespace {

void Run(benchmark::State& state, bool changeZone) {
    FixedClock clock;
    bench::ConsoleRig rig(static_cast<int>(state.range(0)), 50, clock);
    CConsole& console = *rig.console;
    {
        // Everybody has a message, so the state file holds a record for each.
        auto lock = console.Lock();
        for (int i = 0; i < console.store.objectCount; ++i)
            console.store.Object(i).hasMessage = kHasPosition;
    }
    // Object 1 is assigned zone 0 as destination and zone 1 as forbidden (ConsoleRig).
    const ZoneRecord a = console.zoneMap->Zone(0);
    const ZoneRecord b = console.zoneMap->Zone(1);
    DateTime when = clock.Now();
    int64_t k = 0;
    for (auto _ : state) {
        when = when.AddDays(1.0 / 86400.0);
        const bool inB = changeZone && (k++ % 2 == 1);
        const ZoneRecord& z = inB ? b : a;
        // Without a zone change the object creeps about inside zone A.
        const double jitter = changeZone ? 0.0 : 1e-6 * static_cast<double>(k++ % 50);
        const InboxRecord r =
            bench::PositionRecord(1, z.latitude + jitter, z.longitude, when, true);
        console.ProcessRecord(r, rig.inbox + "/01000000.001");
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ProcessRecord_SameZone(benchmark::State& state) {
    Run(state, false);
}
void BM_ProcessRecord_ZoneChange(benchmark::State& state) {
    Run(state, true);
}
// Wall-clock time: most of a record's cost is waiting for fsync, which is not CPU time.
BENCHMARK(BM_ProcessRecord_SameZone)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(BM_ProcessRecord_ZoneChange)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
