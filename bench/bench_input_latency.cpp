// Input latency of the window while a flood of messages is taken in. The real window
// (CMainDialog with the computer's clock and a sound output that plays nothing) runs on a
// program folder under $SENTREL_BENCH_DIR (default /tmp) whose shown objects all have a
// stored state, while a producer drops message files into the inbox as fast as it can
// (one position record each, written under a temporary name and renamed; a fifth of the
// records move their object into the next zone). Meanwhile a sampler thread, every
// --interval-ms:
//   * posts an event to the window (QCoreApplication::postEvent): it queues behind the
//     tasks the workers have handed to the GUI thread;
//   * moves the X pointer over the object list (xcb only, not with --tray): the motion
//     travels through the X server and the toolkit's event reader as a mouse's does;
//   * about once a second posts a request to open a menu (the objects' context menu over
//     three selected rows, or the tray menu with --tray), timed until the menu is painted.
// A probe's latency runs from its sending to the moment an event filter on the
// application sees it arrive (steady clock). The figures are split by when the probe was
// sent: idle (before the flood), flood (first file written to last file deleted, that is
// saved) and after (from the drain to two seconds later).
//
//   bench_input_latency [--files N] [--objects N] [--zones N] [--interval-ms MS]
//                       [--idle-ms MS] [--tray] [--alerts] [--windows]
//
// --tray starts the window minimised to the tray (a tray is assumed present), so that
// every record hands the window a tray tip. --alerts turns every alert flag on and gives
// each object its current zone as destination and the next as forbidden: every zone
// change then brings two pop-up notices and an alert sound (the first pop-up brings the
// window back from the tray). --windows opens the map window, the distance windows of
// two zones and the history windows of the selected objects before the probes start.
// The GUI thread's processor time during the flood is reported beside its length: a
// thread that is busy all along is late with its input for its own work, one that is not
// waits for the store lock, the X server or a processor. For the pointer probe run under
//   xvfb-run -a -s "-screen 0 1600x1000x24" bench_input_latency
// with QT_QPA_PLATFORM=offscreen only the posted-event and menu probes run.
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMenu>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "DeletionWatch.h"
#include "PointerGrid.h"
#include "PointerMover.h"
#include "ProbeLog.h"
#include "alerts/HistoryWindows.h"
#include "app/MainDialog.h"
#include "app/Prompt.h"
#include "objectlist/ObjectListCtrl.h"
#include "zones/DistanceWindows.h"
#include "zones/ZoneDistanceDialog.h"

namespace {

using Steady = std::chrono::steady_clock;

struct Options {
    int files = 5000;
    int objects = 1000;
    int zones = 200;
    int intervalMs = 20;
    int idleMs = 3000;
    bool tray = false;
    bool alerts = false;
    bool windows = false;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--tray") {
            o.tray = true;
            continue;
        }
        if (arg == "--alerts") {
            o.alerts = true;
            continue;
        }
        if (arg == "--windows") {
            o.windows = true;
            continue;
        }
        if (k + 1 >= argc)
            return false;
        const int v = std::atoi(argv[++k]);
        if (arg == "--files" && v >= 1)
            o.files = v;
        else if (arg == "--objects" && v >= 1 && v <= 9999)
            o.objects = v;
        else if (arg == "--zones" && v >= 2)
            o.zones = v;
        else if (arg == "--interval-ms" && v >= 1)
            o.intervalMs = v;
        else if (arg == "--idle-ms" && v >= 0)
            o.idleMs = v;
        else
            return false;
    }
    return true;
}

// The zone object `number` is in at its `sequence`-th record: it moves on to the next
// zone once every five records, the objects out of step with each other.
int ZoneFor(int number, int sequence, int zoneCount) {
    return (number + (sequence + number) / 5) % zoneCount;
}

// The program folder: a fleet that has been running, every object in its zone, saved;
// with alerts, each object's current zone is its destination and the next its forbidden
// zone. With the tray, the window was minimised to the tray at the last exit.
void PrepareFolder(bench::ConsoleRig& rig, const Options& options, const Clock& clock) {
    CConsole& console = *rig.console;
    const CZoneMap& zones = *console.zoneMap;
    const int zoneCount = zones.ZoneCount();
    {
        auto lock = console.Lock();
        for (int i = 0; i < console.store.objectCount; ++i) {
            ObjectRecord& o = console.store.Object(i);
            const int number = o.Number();
            o.zoneAssignment = ZoneAssignment{};
            for (int f = 0; f < AlertSettings::kCount; ++f)
                o.alertSettings[f] = options.alerts ? 1 : 0;
            o.hasSettings = options.alerts ? 1 : 0;
            if (options.alerts) {
                o.zoneAssignment.Append(ZoneFor(number, 0, zoneCount), Destination);
                o.zoneAssignment.Append((ZoneFor(number, 0, zoneCount) + 1) % zoneCount, Forbidden);
            }
        }
        console.settings.minimyzeTray = options.tray;
        console.layout.minimised = options.tray;
        console.layout.mainRect = LayoutRect{0, 0, 1200, 800};
    }
    const DateTime before = clock.Now().AddDays(-60 / 86400.0);
    for (int i = 0; i < console.store.objectCount; ++i) {
        const int32_t number = console.store.Object(i).Number();
        const ZoneRecord& zone = zones.Zone(ZoneFor(number, 0, zoneCount));
        console.ProcessRecord(bench::PositionRecord(number, zone.latitude, zone.longitude, before),
                              rig.inbox + "/bench");
    }
    console.RequestSave(~0u);
    if (!console.SaveSettings() || !console.FlushSaves()) {
        std::fprintf(stderr, "could not save the fleet in %s\n", rig.folder.path().c_str());
        std::exit(1);
    }
}

// Where a zone lies (its first point), copied out of the console's map.
struct ZonePoint {
    double latitude;
    double longitude;
};

// Writes the flood: `files` single-record files, as fast as they can be written.
void DropFiles(const bench::ConsoleRig& rig, const std::vector<ZonePoint>& zones,
               const Options& options, DateTime firstStamp) {
    const std::string temporary = rig.inbox + "/~bench.tmp";
    for (int k = 0; k < options.files; ++k) {
        const int number = k % options.objects + 1;
        const int sequence = k / options.objects;
        const ZonePoint& zone = zones[static_cast<std::size_t>(
            ZoneFor(number, sequence, static_cast<int>(zones.size())))];
        const InboxRecord r =
            bench::PositionRecord(number, zone.latitude + 1e-6 * (sequence % 5), zone.longitude,
                                  firstStamp.AddDays(sequence / 86400.0));
        // Names are unique per object: the sequence number in the time fields.
        const std::string name =
            TextUtil::Format("%02d%02d%02d%02d.%03d", 1 + sequence / 86400, sequence / 3600 % 24,
                             sequence / 60 % 60, sequence % 60, number);
        const std::string bytes = EncodeInboxRecord(r.header, r.text);
        std::FILE* out = std::fopen(temporary.c_str(), "wb");
        if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) {
            std::perror(temporary.c_str());
            std::exit(1);
        }
        std::fclose(out);
        if (std::rename(temporary.c_str(), (rig.inbox + "/" + name).c_str()) != 0) {
            std::perror("rename");
            std::exit(1);
        }
    }
}

// A probe sent to the window: its number in its log.
class ProbeEvent : public QEvent {
public:
    ProbeEvent(QEvent::Type type, std::size_t number) : QEvent(type), number(number) {}
    const std::size_t number;
};

const QEvent::Type kPostedProbe = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kMenuProbe = static_cast<QEvent::Type>(QEvent::registerEventType());

// On the application, GUI thread: sees each probe arrive and opens the menus.
class ProbeFilter : public QObject {
public:
    ProbeFilter(CMainDialog& window, QMenu& menu, QPoint menuAt, bool objectMenu)
        : window_(window), menu_(menu), menuAt_(menuAt), objectMenu_(objectMenu) {}

    ProbeLog posted{false};
    ProbeLog moves{true};
    ProbeLog menus{false};      // request posted -> menu painted
    ProbeLog menuCalls{false};  // the opening itself: PrepareObjectMenu and popup
    PointerGrid grid;

protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == kPostedProbe) {
            posted.Handled(static_cast<ProbeEvent*>(event)->number, Steady::now());
            return true;
        }
        if (type == kMenuProbe) {
            OpenMenu(static_cast<ProbeEvent*>(event)->number);
            return true;
        }
        if (type == QEvent::MouseMove && grid.Size() > 0) {
            const Steady::time_point now = Steady::now();
            const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            if (const std::optional<std::size_t> cell = grid.CellOf(at.x(), at.y())) {
                if (const auto probe = moves.FirstWaitingIn(*cell, grid.Size()))
                    moves.Handled(*probe, now);
            }
        } else if (type == QEvent::Paint && target == &menu_ && waitingMenu_) {
            menus.Handled(*waitingMenu_, Steady::now());
            waitingMenu_.reset();
        }
        return false;
    }

private:
    void OpenMenu(std::size_t number) {
        if (menu_.isVisible())
            menu_.hide();
        waitingMenu_ = number;
        const Steady::time_point start = Steady::now();
        if (objectMenu_)
            window_.PrepareObjectMenu();
        menu_.popup(menuAt_);
        menuCalls.Handled(menuCalls.Sent(start), Steady::now());
        QTimer::singleShot(150, &menu_, &QMenu::hide);
    }

    CMainDialog& window_;
    QMenu& menu_;
    const QPoint menuAt_;
    const bool objectMenu_;
    std::optional<std::size_t> waitingMenu_;
};

// Runs the event loop until `done` holds (asked every 10 ms) or `limitMs` have passed.
bool RunUntil(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done() || timer.elapsed() >= limitMs)
            loop.quit();
    });
    check.start(10);
    if (!done())
        loop.exec();
    return done();
}

void RunFor(int ms) {
    RunUntil([] { return false; }, ms);
}

bool ListFilled(const CObjectListCtrl& list, int rows) {
    if (list.RowCount() != rows)
        return false;
    for (int c = 0; c < list.ColumnCount(); ++c) {
        if (!list.CellText(rows - 1, c).isEmpty())
            return true;
    }
    return false;
}

// Processor time of the calling thread.
double ThreadCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 +
           usage.ru_stime.tv_sec * 1e3 + usage.ru_stime.tv_usec / 1e3;
}

void PrintRow(const char* what, const char* phase, const ProbeLog::Summary& s) {
    std::printf("  %-16s %-6s %7zu %9.1f %9.1f %9.1f", what, phase, s.sent, s.p50Ms, s.p99Ms,
                s.maxMs);
    if (s.answered != s.sent)
        std::printf("   (%zu never arrived)", s.sent - s.answered);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "Usage: bench_input_latency [--files N] [--objects N] [--zones N]"
                     " [--interval-ms MS] [--idle-ms MS] [--tray] [--alerts] [--windows]\n");
        return 2;
    }
    QTemporaryDir lockFolder;
    qputenv("SENTREL_LOCK_FOLDER", lockFolder.path().toUtf8());
    Prompt::SetScripted(true);

    SystemClock clock;
    bench::ConsoleRig rig(options.objects, options.zones, clock);
    PrepareFolder(rig, options, clock);
    rig.console.reset();

    auto window = std::make_unique<CMainDialog>(rig.paths, clock, rig.sound);
    window->SetShowChannelName(QStringLiteral("sentrel-bench-%1").arg(getpid()));
    if (options.tray)
        window->SetTrayAvailableOverride(true);
    if (!window->Initialise()) {
        std::fprintf(stderr, "the window did not start\n");
        return 1;
    }
    window->resize(1200, 800);
    window->ShowAtStart();
    CObjectListCtrl& list = *window->List();
    if (!RunUntil([&] { return ListFilled(list, options.objects); }, 60000)) {
        std::fprintf(stderr, "the list was not filled within a minute\n");
        return 1;
    }
    if (!options.tray && !RunUntil([&] { return window->windowHandle()->isExposed(); }, 10000)) {
        std::fprintf(stderr, "the window was not shown within ten seconds\n");
        return 1;
    }
    for (int r = 0; r < std::min(3, options.objects); ++r)
        list.SelectRow(r);
    if (options.windows) {
        window->RunCommand(CMainDialog::kCmdMap);
        window->DistanceWindows()->OpenWindow(0);
        window->DistanceWindows()->OpenWindow(1);
        window->HistoryWindows()->OpenHistoryWindows(window->SelectedObjectNumbers());
        RunFor(1000);
    }

    const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    QMenu& menu = options.tray ? *window->TrayMenu() : *window->ObjectMenu();
    const QPoint listAt = list.viewport()->mapToGlobal(QPoint(0, 0));
    ProbeFilter probes(*window, menu, options.tray ? QPoint(100, 100) : listAt + QPoint(200, 150),
                       !options.tray);
    PointerMover mover;
    if (x11 && !options.tray && mover.Open()) {
        probes.grid.left = listAt.x() + 10;
        probes.grid.top = listAt.y() + 10;
        probes.grid.width = std::min(400, list.viewport()->width() - 20);
        probes.grid.height = std::min(300, list.viewport()->height() - 20);
        // Beside the grid: the first probe must move the pointer to be seen.
        mover.MoveTo(probes.grid.left - 5, probes.grid.top - 5);
    }
    app.installEventFilter(&probes);

    std::printf("program folder %s (%s), platform %s\n", rig.folder.path().c_str(),
                bench::BenchRoot().c_str(), qPrintable(QGuiApplication::platformName()));
    std::printf("%d files, %d shown objects, %d zones, alerts %s, window %s%s, probe every %d ms\n",
                options.files, options.objects, options.zones, options.alerts ? "on" : "off",
                options.tray ? "in the tray" : "shown",
                options.windows ? " with map, distance and history windows" : "",
                options.intervalMs);
    if (options.tray) {
        std::printf("system tray %s\n", QSystemTrayIcon::isSystemTrayAvailable()
                                            ? "present"
                                            : "absent (tips go nowhere)");
    }
    std::fflush(stdout);

    // The sampler: a posted event and a pointer motion every interval, a menu every second.
    std::atomic<bool> stopSampling{false};
    const int menuEvery = std::max(1, 1000 / options.intervalMs);
    CMainDialog* target = window.get();
    const Steady::time_point idleStart = Steady::now();
    std::thread sampler([&] {
        Steady::time_point next = Steady::now();
        for (int tick = 1; !stopSampling; ++tick) {
            next += std::chrono::milliseconds(options.intervalMs);
            std::this_thread::sleep_until(next);
            const std::size_t n = probes.posted.Sent(Steady::now());
            QCoreApplication::postEvent(target, new ProbeEvent(kPostedProbe, n));
            if (probes.grid.Size() > 0) {
                const std::size_t m = probes.moves.Sent(Steady::now());
                const auto [x, y] = probes.grid.At(m);
                mover.MoveTo(x, y);
            }
            if (tick % menuEvery == 0) {
                const std::size_t k = probes.menus.Sent(Steady::now());
                QCoreApplication::postEvent(target, new ProbeEvent(kMenuProbe, k));
            }
        }
    });
    RunFor(options.idleMs);

    bench::DeletionWatch watch(rig.inbox);
    std::vector<ZonePoint> zones;
    {
        CConsole& console = window->Console();
        auto lock = console.Lock();
        for (int z = 0; z < console.zoneMap->ZoneCount(); ++z)
            zones.push_back(
                {console.zoneMap->Zone(z).latitude, console.zoneMap->Zone(z).longitude});
    }
    const DateTime firstStamp = clock.Now();
    const Steady::time_point floodStart = Steady::now();
    const double cpuAtStart = ThreadCpuMs();
    std::atomic<int64_t> writtenNs{0};
    std::thread producer([&] {
        DropFiles(rig, zones, options, firstStamp);
        writtenNs = (Steady::now() - floodStart).count();
    });
    const auto drained = [&] { return watch.Count() >= static_cast<std::size_t>(options.files); };
    const bool allDrained = RunUntil(drained, 30 * 60 * 1000);
    const double floodCpuMs = ThreadCpuMs() - cpuAtStart;
    const double floodSeenMs =
        std::chrono::duration<double, std::milli>(Steady::now() - floodStart).count();
    producer.join();
    Steady::time_point floodEnd = floodStart;
    for (const auto& [name, when] : watch.Times())
        floodEnd = std::max(floodEnd, when);
    const int afterMs = 2000;
    RunFor(static_cast<int>(std::max<int64_t>(
        0, afterMs - std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - floodEnd)
                         .count())));
    const Steady::time_point afterEnd = floodEnd + std::chrono::milliseconds(afterMs);
    stopSampling = true;
    sampler.join();
    RunFor(500);  // the last probes come in
    app.removeEventFilter(&probes);

    int32_t counted;
    {
        auto lock = window->Console().Lock();
        counted = window->Console().runMessageCount;
    }
    const double written = static_cast<double>(writtenNs) / 1e9;
    const double drain = std::chrono::duration<double>(floodEnd - floodStart).count();
    std::printf(
        "flood: written in %.2f s, drained in %.2f s (first file written to last deleted),"
        " %.0f records/s, %d records counted%s\n",
        written, drain, options.files / std::max(drain, 1e-9), counted,
        allDrained ? "" : " (NOT DRAINED within 30 minutes)");
    std::printf("GUI thread busy %.0f ms of the %.0f ms until the drain was seen (%.0f%%)\n",
                floodCpuMs, floodSeenMs, 100 * floodCpuMs / std::max(floodSeenMs, 1e-9));
    std::printf("latency from sending to arrival (ms)\n");
    std::printf("  %-16s %-6s %7s %9s %9s %9s\n", "probe", "phase", "samples", "p50", "p99", "max");
    const auto rows = [&](const char* what, const ProbeLog& log) {
        PrintRow(what, "idle", log.Summarise(idleStart, floodStart));
        PrintRow(what, "flood", log.Summarise(floodStart, floodEnd));
        PrintRow(what, "after", log.Summarise(floodEnd, afterEnd));
    };
    rows("posted event", probes.posted);
    if (probes.grid.Size() > 0)
        rows("pointer motion", probes.moves);
    rows(options.tray ? "tray menu shown" : "list menu shown", probes.menus);
    rows("menu opening", probes.menuCalls);
    const ProbeLog::Summary input = probes.grid.Size() > 0
                                        ? probes.moves.Summarise(floodStart, floodEnd)
                                        : probes.posted.Summarise(floodStart, floodEnd);
    std::printf("p99 of %s during the flood: %.1f ms (goal: below 50 ms)\n",
                probes.grid.Size() > 0 ? "pointer motion" : "posted events", input.p99Ms);
    window.reset();
    return allDrained && counted == options.files ? 0 : 1;
}
