// One refresh pass (what the refresh worker does once a second) over 100, 1,000 and
// 5,000 shown objects with realistic state: positions, zones, visits, pending events.
// The clock moves a second between passes, so every age cell reads differently each
// time; the second argument is how many objects get a new record (speed, path) between
// two passes. `lock_us` is the mean time a pass held the store lock.
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

// Between passes (not timed): the clock moves on and `changed` objects have new values.
void Advance(CConsole& console, FixedClock& clock, int changed, int& next) {
    clock.AdvanceSeconds(1);
    auto lock = console.Lock();
    for (int k = 0; k < changed; ++k) {
        ObjectRecord& o = console.store.Object(next);
        o.speedKmh = (o.speedKmh + 1) % 120;
        o.pathMetres += 15.0;
        o.dayPathMetres += 15.0;
        o.lastReceivedAt = clock.Now();
        next = (next + 1) % console.store.objectCount;
    }
}

void BM_RefreshView(benchmark::State& state) {
    FixedClock clock;
    bench::ConsoleRig rig(static_cast<int>(state.range(0)), 200, clock);
    Populate(*rig.console, clock.Now());
    rig.console->RefreshView();  // the first pass formats every row
    const int changed = static_cast<int>(state.range(1));
    int next = 0;
    double lockedNs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Advance(*rig.console, clock, changed, next);
        state.ResumeTiming();
        auto snapshot = rig.console->RefreshView();
        benchmark::DoNotOptimize(snapshot);
        lockedNs += static_cast<double>(rig.console->lastRefreshLockedNs());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["lock_us"] = lockedNs / 1000.0 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_RefreshView)
    ->Args({100, 0})
    ->Args({1000, 0})
    ->Args({5000, 0})
    ->Args({5000, 500})
    ->Args({5000, 5000})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
