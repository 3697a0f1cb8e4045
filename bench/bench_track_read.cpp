// Reading one vehicle's day back for the replay: a store of many vehicles' days (every
// vehicle a fix every 10 s, written as the commits write them: all vehicles' points of a
// few time steps per transaction), then one vehicle's day queried through
// CSqliteTrackReader and thinned for a window 1,000 px wide showing the whole route.
//
//   bench_track_read [--vehicles 1000] [--points 8640] [--queries 20] [--db PATH]
//
// The store goes to a fresh folder under $SENTREL_BENCH_DIR (default /tmp), removed at
// the end; with --db PATH it is made there and kept, and a later run with the same
// PATH queries it without making it again.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "BenchArgs.h"
#include "BenchFleet.h"
#include "BenchSupport.h"
#include "SqliteTrackReader.h"
#include "zones/MapProjection.h"
#include "zones/PolylineThinning.h"

namespace {

using bench::Arg;
using bench::Ms;
using bench::Steady;
using bench::TextArg;

}  // namespace

int main(int argc, char** argv) {
    const int vehicles = Arg(argc, argv, "--vehicles", 1000);
    const int steps = Arg(argc, argv, "--points", 8640);
    const int queries = Arg(argc, argv, "--queries", 20);
    const char* db = TextArg(argc, argv, "--db");

    bench::TempFolder folder;
    const std::string path = db != nullptr ? db : folder.path() + "/SntTracks.db";
    const DateTime dayStart = DateTime::FromCalendar(2026, 12, 6);
    const MapProjection city(56.8380, 60.5975);
    if ((db == nullptr || !FileSystem::FileExists(path)) &&
        !bench::MakeFleetStore(path, vehicles, steps, dayStart, city)) {
        return 1;
    }

    CSqliteTrackReader reader(path);
    std::vector<double> readMs, thinMs, totalMs;
    std::size_t points = 0, kept = 0;
    std::mt19937 pick(11);
    for (int q = 0; q < queries; ++q) {
        const int32_t object = static_cast<int32_t>(pick() % vehicles) + 1;
        const Steady::time_point start = Steady::now();
        const TrackSource::Read read = reader.Points(object, dayStart, dayStart.AddDays(1));
        const Steady::time_point readDone = Steady::now();
        if (!read.problem.empty() || read.points.empty()) {
            std::fprintf(stderr, "query failed: %s\n", Cp1251::ToUtf8(read.problem).c_str());
            return 1;
        }
        // The whole route in a window 1,000 px wide: one pixel is the route's extent / 1000.
        const MapProjection plane(read.points[0].latitude, read.points[0].longitude);
        std::vector<ProjectedPoint> projected;
        projected.reserve(read.points.size());
        double minX = 0, maxX = 0, minY = 0, maxY = 0;
        for (const TrackPoint& p : read.points) {
            projected.push_back(plane.ToPlane(p.latitude, p.longitude));
            minX = std::min(minX, projected.back().x);
            maxX = std::max(maxX, projected.back().x);
            minY = std::min(minY, projected.back().y);
            maxY = std::max(maxY, projected.back().y);
        }
        const double metresPerPixel = std::max(maxX - minX, maxY - minY) / 1000;
        const std::vector<std::size_t> keepIndexes =
            PolylineThinning::Keep(projected, metresPerPixel);
        const Steady::time_point done = Steady::now();
        readMs.push_back(Ms(readDone - start));
        thinMs.push_back(Ms(done - readDone));
        totalMs.push_back(Ms(done - start));
        points = read.points.size();
        kept = keepIndexes.size();
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    auto most = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); };
    std::printf("one vehicle's day (%zu points, %zu kept for 1,000 px), %d queries:\n", points,
                kept, queries);
    std::printf("  query     median %7.2f ms   slowest %7.2f ms\n", median(readMs), most(readMs));
    std::printf("  thinning  median %7.2f ms   slowest %7.2f ms\n", median(thinMs), most(thinMs));
    std::printf("  together  median %7.2f ms   slowest %7.2f ms\n", median(totalMs), most(totalMs));
    return 0;
}
