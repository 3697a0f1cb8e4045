#pragma once

// A console for the secondary windows' tests: a program folder of its own, a fixed clock,
// no sound, and a view that records what the console tells it. Zones and objects are
// filled in by hand; the workers never run.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "alerts/SoundOutput.h"
#include "base/Cp1251.h"
#include "console/Console.h"
#include "console/ConsoleView.h"
#include "objectlist/ObjectListCtrl.h"
#include "platform/Clock.h"

namespace fixture {

class RecordingView : public ConsoleView {
public:
    void ShowPopup(const std::string&, PopupKind) override {}
    void ApplyRefresh(std::shared_ptr<const RefreshSnapshot>) override {}
    void SetTrayTip(const std::string&) override {}
    void ReportSoundError(const std::string&) override {}
    void HistoryChanged() override { ++historyChanges; }
    void RowsReset(int rowCount) override { resets.push_back(rowCount); }
    int historyChanges = 0;
    std::vector<int> resets;
};

class SilentSound : public SoundOutput {
public:
    bool PlayWav(const std::string&, const ManualResetEvent*) override { return true; }
};

inline QByteArray Cp(const char* utf8) {
    return QByteArray::fromStdString(W(utf8));
}

inline void AddZone(CZoneMap& map, const char* nameUtf8, ZoneKind kind, double lat, double lon,
                    int radius, int area) {
    ZoneRecord z;
    z.name = W(nameUtf8);
    z.kind = kind;
    z.latitude = lat;
    z.longitude = lon;
    z.radiusMetres = radius;
    z.areaSquareMetres = area;
    map.AppendZone(z);
}

struct ConsoleRig {
    QTemporaryDir dir;
    FixedClock clock;
    SilentSound sound;
    RecordingView view;
    std::unique_ptr<CConsole> console;

    ConsoleRig() {
        console = std::make_unique<CConsole>(ProgramPaths::For(dir.path().toStdString()), clock,
                                             sound, view);
        // The folder is the test's own, as a running window's is once it holds the lock.
        console->ClaimProgramFolder();
    }
    void AddZone(const char* nameUtf8, ZoneKind kind, double lat, double lon, int radius,
                 int area) {
        fixture::AddZone(*console->zoneMap, nameUtf8, kind, lat, lon, radius, area);
    }
    // `name` in Windows-1251; a shown object unless `shown` is false.
    int AddObject(const std::string& id, const std::string& name, bool shown = true) {
        CDataStore& store = console->store;
        store.AppendObject();
        const int i = store.objectCount++;
        store.Object(i).id = id;
        store.Object(i).name = name;
        store.Object(i).selected = shown ? 1 : 0;
        return i;
    }
    // A position as the intake leaves it: the zone found at the point, and the speed.
    void Place(int i, double lat, double lon, int speed) {
        ObjectRecord& o = console->store.Object(i);
        o.hasMessage |= kHasPosition;
        o.latitude = lat;
        o.longitude = lon;
        o.speedKmh = speed;
        o.currentZone = console->zoneMap->FindZoneAt(lat, lon);
        o.currentZoneName = o.currentZone < 0 ? "---" : console->zoneMap->Zone(o.currentZone).name;
    }
    // Interface.ini once what is pending has been written.
    QByteArray LayoutBytes() const {
        console->FlushSaves();
        QFile file(QDir(dir.path()).filePath(QStringLiteral("Interface.ini")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

inline QStringList Column(CObjectListCtrl* list, int column) {
    QStringList texts;
    for (int r = 0; r < list->RowCount(); ++r) {
        texts << list->CellText(r, column);
    }
    return texts;
}

// Pictures of the windows for the documentation, only when SENTREL_SHOTS_DIR names a
// folder.
inline void SaveShot(QWidget& widget, const QString& name) {
    const QString dir = qEnvironmentVariable("SENTREL_SHOTS_DIR");
    if (dir.isEmpty()) {
        return;
    }
    QDir().mkpath(dir);
    widget.grab().save(QDir(dir).filePath(name));
}

}  // namespace fixture
