// The replay window's frame times. A window of 1280x800 px on the demo's zones shows
// routes of 100,000 points in all (a dozen vehicles driving between the demo's zones, a
// point every 10 s, standing a while at each zone); the map is then dragged with the
// mouse in small steps, zoomed with the wheel and dragged again. A frame is the time from
// the event (a mouse move of the drag, a wheel step) to the end of the repaint it causes:
// the event is sent, then the events it posted are processed until the map's viewport
// has been painted. Wheel steps come --wheel-gap ms apart (a quick turn of the wheel; 0:
// one after the other) and the paints between them are timed too (a level of the lines
// thinned meanwhile is drawn as it comes). Also timed: full repaints at each zoom.
//
// With --day, one vehicle's day is read back from a store of a thousand vehicles' days
// (as bench_track_read makes it) and shown: query, thinning and the first full paint of
// the map, as "Показать" does them.
//
//   QT_QPA_PLATFORM=offscreen bench_replay_pan [--points 100000] [--vehicles 12]
//                                              [--steps 200] [--wheel-gap 40]
//   QT_QPA_PLATFORM=offscreen bench_replay_pan --day [--db PATH] [--queries 20]
//
// Run it under xvfb-run for frames that go through an X server.
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMouseEvent>
#include <QThread>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "BenchArgs.h"
#include "BenchFleet.h"
#include "BenchSupport.h"
#include "SqliteTrackReader.h"
#include "persist/TrackSource.h"
#include "platform/Clock.h"
#include "replay/ReplayMapView.h"
#include "replay/ReplayTrack.h"
#include "replay/ReplayWindow.h"
#include "zones/Geometry.h"
#include "zones/ZoneMap.h"

namespace {

using bench::Arg;
using bench::Flag;
using bench::TextArg;

const DateTime kDay = DateTime::FromCalendar(2026, 12, 6);

class FixedClock : public Clock {
public:
    DateTime Now() const override { return kDay.AddDays(1); }
    std::optional<int> TimeZoneBiasMinutes() const override { return 0; }
};

// Routes kept in memory, answered as the store answers: the period's points only.
class MemorySource : public TrackSource {
public:
    Read Points(int32_t object, DateTime fromUtc, DateTime toUtc) override {
        Read read;
        for (const TrackPoint& p : routes[static_cast<std::size_t>(object - 1)]) {
            if (fromUtc <= p.messageTime && p.messageTime < toUtc)
                read.points.push_back(p);
        }
        return read;
    }
    std::vector<std::vector<TrackPoint>> routes;
};

// A vehicle going from zone to zone of the map: it speeds up out of a stop, keeps to
// 40-80 km/h with the road's turns (the heading wanders around the direction of the
// next zone), slows down into it and stands there 5-40 minutes with GPS jitter.
std::vector<TrackPoint> DriveBetweenZones(const std::vector<ZoneRecord>& zones, int32_t number,
                                          int points, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_int_distribution<std::size_t> anyZone(0, zones.size() - 1);
    const double metresPerDegree = Geometry::kEarthRadiusMetres * Geometry::kDegToRad;
    const ZoneRecord& first = zones[anyZone(random)];
    double latitude = first.latitude, longitude = first.longitude;
    const double east = metresPerDegree * std::cos(latitude * Geometry::kDegToRad);
    std::vector<TrackPoint> route;
    route.reserve(static_cast<std::size_t>(points));
    double heading = 0, speed = 0, cruise = 60;
    int standing = 0;
    const ZoneRecord* target = &zones[anyZone(random)];
    for (int i = 0; i < points; ++i) {
        TrackPoint p;
        p.objectNumber = number;
        p.messageTime = kDay.AddDays(i * 10.0 / 86400);
        p.receiveTime = p.messageTime;
        const double north = (target->latitude - latitude) * metresPerDegree;
        const double eastward = (target->longitude - longitude) * east;
        const double left = std::hypot(north, eastward);
        if (standing > 0) {
            --standing;
            speed = 0;
            p.latitude = latitude + 4 * unit(random) / metresPerDegree;
            p.longitude = longitude + 4 * unit(random) / east;
            if (standing == 0) {
                target = &zones[anyZone(random)];
                cruise = 50 + 25 * unit(random);
            }
        } else if (left < 120) {
            standing = static_cast<int>(30 + 105 * (1 + unit(random)));
            speed = 0;
            p.latitude = latitude;
            p.longitude = longitude;
        } else {
            const double wanted = std::atan2(north, eastward);
            heading = wanted + 0.5 * std::sin(i / 17.0 + number) + 0.15 * unit(random);
            const double limit = std::min(cruise, 8 + left / 15);
            speed = std::clamp(speed + 12, 0.0, limit) + 3 * unit(random);
            speed = std::max(speed, 3.0);
            const double step = std::min(left, speed / 3.6 * 10);
            latitude += step * std::sin(heading) / metresPerDegree;
            longitude += step * std::cos(heading) / east;
            p.latitude = latitude;
            p.longitude = longitude;
        }
        p.speedKmh = speed;
        p.computedSpeedKmh = static_cast<int32_t>(speed);
        route.push_back(p);
    }
    return route;
}

// Times frames: the map's viewport counts its paints.
class FrameTimer : public QObject {
public:
    explicit FrameTimer(QWidget* viewport) : viewport_(viewport) {
        viewport_->installEventFilter(this);
    }
    // The time from `cause` to the end of the paint it led to, in ms; a frame with no
    // paint (nothing changed) counts as missed.
    // Its processor time (this thread's, which other programs on the machine do not
    // lengthen) goes to `cpu` under `phase` and "every frame".
    double Frame(const std::function<void()>& cause) {
        QElapsedTimer timer;
        const int before = paints_;
        const double cpuStart = ThreadCpuMs();
        timer.start();
        cause();
        for (int i = 0; i < 20 && paints_ == before; ++i)
            QCoreApplication::processEvents();
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        const double cpuMs = ThreadCpuMs() - cpuStart;
        cpu[phase].push_back(cpuMs);
        cpu["every frame"].push_back(cpuMs);
        if (paints_ == before)
            ++missed_;
        return ms;
    }
    static double ThreadCpuMs() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
    }
    std::string phase;
    std::map<std::string, std::vector<double>> cpu;
    int Missed() const { return missed_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == viewport_ && event->type() == QEvent::Paint) {
            ++paints_;
            painting_.start();
        }
        return false;
    }

public:
    // The paints that no event of the benchmark caused (a level of the lines that came
    // from the thinning thread), each from its start to the end of the window's paint.
    std::vector<double> Idle(int ms) {
        std::vector<double> paints;
        QElapsedTimer idle;
        idle.start();
        while (idle.elapsed() < ms) {
            QThread::msleep(1);
            const int before = paints_;
            QCoreApplication::processEvents();
            if (paints_ != before)
                paints.push_back(static_cast<double>(painting_.nsecsElapsed()) / 1e6);
        }
        return paints;
    }

private:
    QElapsedTimer painting_;

private:
    QWidget* viewport_;
    int paints_ = 0;
    int missed_ = 0;
};

void Report(const char* what, std::vector<double> ms, const std::vector<double>* cpu = nullptr,
            bool frames = true) {
    if (ms.empty())
        return;
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) {
        return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * (ms.size() - 1) + 0.5))];
    };
    if (!frames) {
        std::printf("  %-28s %4zu runs    median %6.2f  p95 %6.2f  p99 %6.2f  max %6.2f ms\n", what,
                    ms.size(), at(0.5), at(0.95), at(0.99), ms.back());
        return;
    }
    const auto over = std::count_if(ms.begin(), ms.end(), [](double v) { return v >= 16; });
    std::printf(
        "  %-28s %4zu frames  median %6.2f  p95 %6.2f  p99 %6.2f  max %6.2f ms  >=16 ms: %ld\n",
        what, ms.size(), at(0.5), at(0.95), at(0.99), ms.back(), static_cast<long>(over));
    if (cpu != nullptr && !cpu->empty()) {
        std::vector<double> c = *cpu;
        std::sort(c.begin(), c.end());
        auto cat = [&](double q) {
            return c[std::min(c.size() - 1, static_cast<std::size_t>(q * (c.size() - 1) + 0.5))];
        };
        std::printf("  %-28s processor time  median %6.2f  p95 %6.2f  p99 %6.2f  max %6.2f ms\n",
                    "", cat(0.5), cat(0.95), cat(0.99), c.back());
    }
}

void Send(QWidget* to, QEvent* event) {
    QApplication::sendEvent(to, event);
}

// A drag of `steps` mouse moves from the viewport's middle: half of them one way, the
// rest back, a few pixels each as a hand drags.
std::vector<double> Drag(FrameTimer& frames, QWidget* viewport, int steps) {
    std::vector<double> ms;
    QPointF at = QPointF(viewport->rect().center());
    QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    Send(viewport, &press);
    for (int i = 0; i < steps; ++i) {
        const QPointF step = i < steps / 2 ? QPointF(-6, -3) : QPointF(6, 3);
        at += step;
        ms.push_back(frames.Frame([&] {
            QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            Send(viewport, &move);
        }));
    }
    QMouseEvent release(QEvent::MouseButtonRelease, at, viewport->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    Send(viewport, &release);
    QCoreApplication::processEvents();
    return ms;
}

// `count` wheel steps (one notch each, in when `in`) around a point of the viewport,
// `gapMs` apart; the paints in the gaps go to `idle`.
std::vector<double> Wheel(FrameTimer& frames, QWidget* viewport, QPointF at, int count, bool in,
                          int gapMs, std::vector<double>& idle) {
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        const std::vector<double> paints = frames.Idle(gapMs);
        frames.phase = "wheel steps";
        idle.insert(idle.end(), paints.begin(), paints.end());
        ms.push_back(frames.Frame([&] {
            QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, in ? 120 : -120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            Send(viewport, &wheel);
        }));
    }
    return ms;
}

std::vector<double> FullRepaints(FrameTimer& frames, QWidget* viewport, int count) {
    std::vector<double> ms;
    for (int i = 0; i < count; ++i)
        ms.push_back(frames.Frame([&] { viewport->repaint(); }));
    return ms;
}

std::vector<ZoneRecord> DemoZones() {
    CZoneMap map;
    if (!map.Load(SENTREL_DEMO_DIR "/maps.mrk")) {
        std::fprintf(stderr, "cannot read %s/maps.mrk\n", SENTREL_DEMO_DIR);
        std::exit(1);
    }
    return map.Zones();
}

CReplayWindow::Input WindowInput(int vehicles) {
    CReplayWindow::Input input;
    input.zones = DemoZones();
    for (int v = 1; v <= vehicles; ++v) {
        AddressBookEntry entry;
        entry.number = v;
        entry.id = std::to_string(v);
        entry.name = "Bench";
        input.objects.push_back(entry);
        input.chosen.push_back(v);
    }
    return input;
}

bool ShowRoutes(CReplayWindow& window, const ReplayPeriod& period) {
    window.SetPeriod(period);
    bool shown = false;
    const QMetaObject::Connection c =
        QObject::connect(&window, &CReplayWindow::routesShown, [&] { shown = true; });
    window.ShowRoutes();
    QElapsedTimer waited;
    waited.start();
    while (!shown && waited.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QObject::disconnect(c);
    return shown;
}

int Pan(int argc, char** argv) {
    const int total = Arg(argc, argv, "--points", 100000);
    const int vehicles = std::max(1, Arg(argc, argv, "--vehicles", 12));
    const int steps = Arg(argc, argv, "--steps", 200);
    const int gap = Arg(argc, argv, "--wheel-gap", 40);
    auto source = std::make_shared<MemorySource>();
    CReplayWindow::Input input = WindowInput(vehicles);
    int days = 1;
    for (int v = 0; v < vehicles; ++v) {
        const int points = total / vehicles + (v < total % vehicles ? 1 : 0);
        source->routes.push_back(
            DriveBetweenZones(input.zones, v + 1, points, static_cast<unsigned>(v + 7)));
        days = std::max(days, static_cast<int>(std::ceil(points * 10.0 / 86400)));
    }
    FixedClock clock;
    CReplayWindow window(std::move(input), source, clock);
    window.resize(1280, 800);
    window.show();
    QElapsedTimer exposed;
    exposed.start();
    while (exposed.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QElapsedTimer shownIn;
    shownIn.start();
    if (!ShowRoutes(window, {kDay, kDay.AddDays(days)})) {
        std::fprintf(stderr, "the routes were not shown\n");
        return 1;
    }
    const double showMs = static_cast<double>(shownIn.nsecsElapsed()) / 1e6;
    CReplayMapView* map = window.Map();
    QWidget* viewport = map->viewport();
    FrameTimer frames(viewport);
    frames.Frame([] {});
    std::printf(
        "%d vehicles, %d points in all, map %dx%d px; routes shown in %.1f ms, %d points "
        "drawn at the fitted zoom\n",
        vehicles, total, viewport->width(), viewport->height(), showMs, map->DrawnPointCount());

    std::vector<double> all;
    auto keep = [&all](const std::vector<double>& ms) {
        all.insert(all.end(), ms.begin(), ms.end());
        return ms;
    };
    const QPointF middle = QPointF(viewport->rect().center());
    std::vector<double> idle;
    auto phase = [&frames](const char* name) {
        frames.phase = name;
        return name;
    };
    auto cpu = [&frames](const char* name) { return &frames.cpu[name]; };
    const char* name = phase("drag, whole routes");
    Report(name, keep(Drag(frames, viewport, steps)), cpu(name));
    name = phase("full repaint, whole routes");
    Report(name, keep(FullRepaints(frames, viewport, 20)), cpu(name));
    std::vector<double> wheel = keep(Wheel(frames, viewport, middle, 8, true, gap, idle));
    const int zoomedPoints = map->DrawnPointCount();
    name = phase("drag, zoomed in x4");
    Report(name, keep(Drag(frames, viewport, steps)), cpu(name));
    name = phase("full repaint, zoomed in x4");
    Report(name, keep(FullRepaints(frames, viewport, 20)), cpu(name));
    const std::vector<double> more = keep(Wheel(frames, viewport, middle, 8, true, gap, idle));
    wheel.insert(wheel.end(), more.begin(), more.end());
    const int closePoints = map->DrawnPointCount();
    name = phase("drag, zoomed in x18");
    Report(name, keep(Drag(frames, viewport, steps)), cpu(name));
    const std::vector<double> out = keep(Wheel(frames, viewport, middle, 24, false, gap, idle));
    wheel.insert(wheel.end(), out.begin(), out.end());
    Report("wheel steps", wheel, cpu("wheel steps"));
    const std::vector<double> late = frames.Idle(300);
    idle.insert(idle.end(), late.begin(), late.end());
    Report("paints between wheel steps", keep(idle));
    Report("every frame", all, cpu("every frame"));
    std::printf(
        "points drawn: %d zoomed x4, %d zoomed x18; frames without a paint: %d, paints "
        "between wheel steps: %zu\n",
        zoomedPoints, closePoints, frames.Missed(), idle.size());
    return 0;
}

int Day(int argc, char** argv) {
    const int queries = Arg(argc, argv, "--queries", 20);
    const char* db = TextArg(argc, argv, "--db");
    bench::TempFolder folder;
    const std::string path = db != nullptr ? db : folder.path() + "/SntTracks.db";
    const MapProjection city(56.8380, 60.5975);
    const int vehicles = 1000;
    if ((db == nullptr || !FileSystem::FileExists(path)) &&
        !bench::MakeFleetStore(path, vehicles, 8640, kDay, city)) {
        return 1;
    }
    auto reader = std::make_shared<CSqliteTrackReader>(path);
    FixedClock clock;
    CReplayWindow window(WindowInput(vehicles), reader, clock);
    window.resize(1280, 800);
    window.show();
    QElapsedTimer exposed;
    exposed.start();
    while (exposed.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    CReplayMapView* map = window.Map();
    FrameTimer frames(map->viewport());
    std::vector<double> queryMs, thinMs, paintMs, totalMs, windowMs;
    std::mt19937 pick(11);
    std::size_t points = 0;
    int drawn = 0;
    for (int q = 0; q < queries; ++q) {
        const int32_t object = static_cast<int32_t>(pick() % vehicles) + 1;
        // Query, the points handed to the map (projected, fitted into view) and the first
        // full paint (which thins the lines for the zoom fitted), one after the other.
        QElapsedTimer timer;
        timer.start();
        const TrackSource::Read read = reader->Points(object, kDay, kDay.AddDays(1));
        const double queried = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (!read.problem.empty() || read.points.empty()) {
            std::fprintf(stderr, "query failed: %s\n", Cp1251::ToUtf8(read.problem).c_str());
            return 1;
        }
        CReplayTrack track(object, "bench", read.points);
        map->SetTracks({&track});
        const double thinned = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        map->viewport()->repaint();
        const double painted = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        queryMs.push_back(queried);
        thinMs.push_back(thinned - queried);
        paintMs.push_back(painted - thinned);
        totalMs.push_back(painted);
        points = read.points.size();
        drawn = map->DrawnPointCount();
        map->SetTracks({});
        // The same through the window: "Показать" with only that vehicle checked, to the
        // end of the paint of the routes handed back by the reading thread (the store's
        // pages of that vehicle are in the cache by now).
        for (int i = 0; i < window.Vehicles()->count(); ++i) {
            QListWidgetItem* item = window.Vehicles()->item(i);
            item->setCheckState(item->data(Qt::UserRole).toInt() == object ? Qt::Checked
                                                                           : Qt::Unchecked);
        }
        window.SetPeriod({kDay, kDay.AddDays(1)});
        bool shown = false;
        const QMetaObject::Connection c =
            QObject::connect(&window, &CReplayWindow::routesShown, [&] { shown = true; });
        windowMs.push_back(frames.Frame([&] {
            window.ShowRoutes();
            while (!shown)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }));
        QObject::disconnect(c);
    }
    std::printf(
        "one vehicle's day (%zu points, %d drawn at the fitted zoom), %d queries, map "
        "%dx%d px:\n",
        points, drawn, queries, map->viewport()->width(), map->viewport()->height());
    Report("query", queryMs, nullptr, false);
    Report("points to the map", thinMs, nullptr, false);
    Report("first paint, thinning in it", paintMs, nullptr, false);
    Report("together", totalMs, nullptr, false);
    Report("through the window", windowMs, nullptr, false);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return Flag(argc, argv, "--day") ? Day(argc, argv) : Pan(argc, argv);
}
