// Zone lookups and zone-file loading against maps of 100, 1,000 and 10,000 zones, half
// circles and half polygons.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "BenchSupport.h"
#include "zones/ZoneMap.h"

namespace {

struct Point {
    double latitude;
    double longitude;
};

// Points spread over the whole city, so most of them lie in no zone: the lookup then
// tests every zone, its worst and most common case.
std::vector<Point> QueryPoints(std::size_t n) {
    std::mt19937 random(42);
    std::uniform_real_distribution<double> where(-bench::kSpanDegrees / 2, bench::kSpanDegrees / 2);
    std::vector<Point> points(n);
    for (Point& p : points)
        p = {bench::kCentreLatitude + where(random), bench::kCentreLongitude + where(random)};
    return points;
}

void BM_FindZoneAt(benchmark::State& state) {
    CZoneMap map;
    if (!map.LoadFromBytes(bench::ZoneFileBytes(static_cast<int>(state.range(0))))) {
        state.SkipWithError("zone file rejected");
        return;
    }
    const std::vector<Point> points = QueryPoints(4096);
    std::size_t k = 0;
    int64_t hits = 0;
    for (auto _ : state) {
        const Point& p = points[k++ & 4095];
        const int zone = map.FindZoneAt(p.latitude, p.longitude);
        hits += zone >= 0 ? 1 : 0;
        benchmark::DoNotOptimize(zone);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["hit_ratio"] =
        static_cast<double>(hits) / static_cast<double>(std::max<int64_t>(1, state.iterations()));
}
BENCHMARK(BM_FindZoneAt)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Loading the file (parsing, polygon completion, the area sort): done at start-up and
// whenever the operator opens another zone file.
void BM_ZoneFileLoad(benchmark::State& state) {
    const std::string bytes = bench::ZoneFileBytes(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CZoneMap map;
        const bool loaded = map.LoadFromBytes(bytes);
        benchmark::DoNotOptimize(loaded);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ZoneFileLoad)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
