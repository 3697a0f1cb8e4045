#pragma once

// A generated fleet for the track benchmarks: vehicles wandering through a city, and a
// track store of their day.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "SqliteTrackStore.h"
#include "base/Cp1251.h"
#include "base/DateTime.h"
#include "persist/TrackPoint.h"
#include "platform/FileSystem.h"
#include "zones/MapProjection.h"

namespace bench {

// One vehicle's wandering through a city 40 km across: drives of 30-60 km/h with turns,
// a third of the time standing with GPS jitter.
struct CityVehicle {
    double x = 0, y = 0, heading = 0;
    std::mt19937 random;
    explicit CityVehicle(int seed) : random(seed) {
        std::uniform_real_distribution<double> spread(-15000, 15000);
        x = spread(random);
        y = spread(random);
    }
    TrackPoint Next(int32_t object, int step, DateTime dayStart, const MapProjection& city) {
        std::uniform_real_distribution<double> unit(-1, 1);
        const bool standing = (step / 180 + object) % 3 == 0;
        double speed = 0;
        double px = x, py = y;
        if (standing) {
            px += 5 * unit(random);
            py += 5 * unit(random);
        } else {
            heading += 0.4 * unit(random);
            speed = 45 + 15 * unit(random);
            x += speed / 3.6 * 10 * std::cos(heading);
            y += speed / 3.6 * 10 * std::sin(heading);
            if (std::abs(x) > 20000 || std::abs(y) > 20000)
                heading += 3.14159;
            x = std::clamp(x, -20000.0, 20000.0);
            y = std::clamp(y, -20000.0, 20000.0);
            px = x;
            py = y;
        }
        TrackPoint p;
        p.objectNumber = object;
        p.messageTime = dayStart.AddDays(step * 10.0 / 86400);
        p.receiveTime = p.messageTime.AddMinutes(300);
        // Back from the plane: the inverse of the projection near the city's centre.
        p.latitude = city.OriginLatitude() + py / 111195.0;
        p.longitude = city.OriginLongitude() +
                      px / (111195.0 * std::cos(city.OriginLatitude() * 3.14159265 / 180));
        p.speedKmh = speed;
        p.computedSpeedKmh = static_cast<int32_t>(speed);
        return p;
    }
};

// Writes `vehicles` vehicles' `steps` points (one every 10 s from dayStart) into a fresh
// store at `path` as the commits write them: all vehicles' points of a few time steps per
// transaction. Says how long it took; false (and why on stderr) when a write failed.
inline bool MakeFleetStore(const std::string& path, int vehicles, int steps, DateTime dayStart,
                           const MapProjection& city) {
    using Steady = std::chrono::steady_clock;
    const Steady::time_point start = Steady::now();
    CSqliteTrackStore store(path);
    std::vector<CityVehicle> fleet;
    for (int v = 0; v < vehicles; ++v)
        fleet.emplace_back(v + 1);
    std::vector<TrackPoint> batch;
    for (int step = 0; step < steps; ++step) {
        for (int v = 0; v < vehicles; ++v)
            batch.push_back(fleet[v].Next(v + 1, step, dayStart, city));
        if (batch.size() >= 10000 || step + 1 == steps) {
            const TrackSink::Written w = store.Append(batch);
            if (!w.ok) {
                std::fprintf(stderr, "append failed: %s\n", Cp1251::ToUtf8(w.problem).c_str());
                return false;
            }
            batch.clear();
        }
    }
    const double seconds = std::chrono::duration<double>(Steady::now() - start).count();
    std::printf("store: %d vehicles x %d points written in %.1f s, %.0f MiB\n", vehicles, steps,
                seconds,
                static_cast<double>(FileSystem::FileSize(path) +
                                    std::max<int64_t>(0, FileSystem::FileSize(path + "-wal"))) /
                    (1 << 20));
    return true;
}

}  // namespace bench
