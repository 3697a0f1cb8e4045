// One refresh pass (what the refresh worker does once a second) over 100, 1,000 and
// 5,000 shown objects with realistic state: positions, zones, visits, pending events.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

namespace {

void Populate(CConsole& console, DateTime now) {
    auto lock = console.Lock();
    const CZoneMap& zones = *console.zoneMap;
    for (int i = 0; i < console.store.objectCount; ++i) {
        ObjectRecord& o = console.store.Object(i);
        o.hasMessage = kHasPosition;
        o.lastReceivedAt = now.AddDays(-(i % 900) / 86400.0);
        o.lastMessageTime = o.lastReceivedAt;
        o.speedKmh = i % 90;
        o.computedSpeedKmh = (i * 7) % 90;
        o.pathMetres = 1000.0 * i;
        o.dayPathMetres = 10.0 * i;
        o.inputs[ObjectRecord::kFirstSensorInput + static_cast<std::size_t>(i % 5)] = 1;
        o.lastEventKind = i % 7;
        if (i % 3 != 0) {
            const int z = i % zones.ZoneCount();
            const int previous = (i + 1) % zones.ZoneCount();
            o.currentZone = z;
            o.currentZoneName = zones.Zone(z).name;
            o.lastZoneName = o.currentZoneName;
            o.zoneEntryTime = now.AddDays(-0.01);
            o.history.StartVisit(zones.Zone(previous).name, previous, now.AddDays(-0.02), now);
            o.history.EndVisit(now.AddDays(-0.015), true);
            o.history.StartVisit(zones.Zone(z).name, z, o.zoneEntryTime, now);
        } else {
            o.lastZoneName = zones.Zone(0).name;
        }
    }
}

void BM_RefreshView(benchmark::State& state) {
    FixedClock clock;
    bench::ConsoleRig rig(static_cast<int>(state.range(0)), 200, clock);
    Populate(*rig.console, clock.Now());
    for (auto _ : state) {
        auto snapshot = rig.console->RefreshView();
        benchmark::DoNotOptimize(snapshot);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RefreshView)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
