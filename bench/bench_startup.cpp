// Start-up of the window on a large fleet: from constructing the main window to a list
// in which every shown row has its texts. The program folder holds 5,000 shown objects
// (`--objects`), each with a stored last message, settings and a visit, and a zone file
// of 10,000 zones (`--zones`). Each run builds a new window on the same folder, so the
// files are in the page cache after the first: the figures are the program's own work.
// Prints the median and the slowest of `--runs` runs (5), split into Initialise (settings,
// address book, zones, state, list rows) and the wait for the first refresh pass.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "BenchSupport.h"
#include "app/MainDialog.h"
#include "app/Prompt.h"
#include "objectlist/ObjectListCtrl.h"

namespace {

int Option(int argc, char** argv, const char* name, int fallback) {
    for (int k = 1; k + 1 < argc; ++k) {
        if (std::strcmp(argv[k], name) == 0)
            return std::atoi(argv[k + 1]);
    }
    return fallback;
}

// The saved state of a fleet that has been running: every object heard from and in a
// zone it entered, with its alert settings and assignments.
void StoreRunningFleet(bench::ConsoleRig& rig, const FixedClock& clock) {
    CConsole& console = *rig.console;
    const CZoneMap& zones = *console.zoneMap;
    const DateTime now = clock.Now();
    for (int i = 0; i < console.store.objectCount; ++i) {
        const int32_t number = console.store.Object(i).Number();
        const ZoneRecord& zone = zones.Zone(i % zones.ZoneCount());
        const InboxRecord r =
            bench::PositionRecord(number, zone.latitude, zone.longitude, now.AddDays(-0.001));
        console.ProcessRecord(r, rig.inbox + "/bench");
    }
    console.RequestSave(~0u);
    if (!console.FlushSaves()) {
        std::fprintf(stderr, "could not save the fleet's state\n");
        std::exit(1);
    }
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

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    const int objects = Option(argc, argv, "--objects", 5000);
    const int zoneCount = Option(argc, argv, "--zones", 10000);
    const int runs = std::max(1, Option(argc, argv, "--runs", 5));
    QTemporaryDir lockFolder;
    qputenv("SENTREL_LOCK_FOLDER", lockFolder.path().toUtf8());
    Prompt::SetScripted(true);

    FixedClock clock;
    bench::ConsoleRig rig(objects, zoneCount, clock);
    StoreRunningFleet(rig, clock);
    rig.console.reset();

    std::vector<double> initialise;
    std::vector<double> filled;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        auto window = std::make_unique<CMainDialog>(rig.paths, clock, rig.sound);
        if (!window->Initialise()) {
            std::fprintf(stderr, "the window did not start\n");
            return 1;
        }
        window->resize(1200, 800);
        window->ShowAtStart();
        initialise.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        while (!ListFilled(*window->List(), objects)) {
            if (timer.elapsed() > 60000) {
                std::fprintf(stderr, "the list was not filled within a minute\n");
                return 1;
            }
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        filled.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        window.reset();
        QApplication::processEvents();
    }
    std::printf("start-up, %d objects, %d zones, %d runs\n", objects, zoneCount, runs);
    std::printf("  Initialise + show      median %8.1f ms   max %8.1f ms\n", Median(initialise),
                *std::max_element(initialise.begin(), initialise.end()));
    std::printf("  to a filled list       median %8.1f ms   max %8.1f ms\n", Median(filled),
                *std::max_element(filled.begin(), filled.end()));
    return 0;
}
