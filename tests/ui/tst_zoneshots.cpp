// Pictures of the zone windows on the demo's data (demo/AddrBook.txt, demo/maps.mrk), for
// docs/screenshots: the map where vehicles crowd at the depots, the same map over a base
// layer drawn here for the demo's city, and a distance window at its default size with
// more rows than it can show.
//
//   SENTREL_SHOTS_DIR=/tmp/shots QT_QPA_PLATFORM=offscreen build/tests/ui/tst_zoneshots
//
// Without SENTREL_SHOTS_DIR the test is skipped.
#include <QDir>
#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QtTest>

#include "ConsoleFixture.h"
#include "DemoBaseMap.h"
#include "MbTilesWriter.h"
#include "app/QtText.h"
#include "basemap/WebMercator.h"
#include "zones/DistanceListWindow.h"
#include "zones/DistanceWindows.h"
#include "zones/MapObjectItem.h"
#include "zones/MapTileLayer.h"
#include "zones/MapView.h"
#include "zones/MapWindow.h"
#include "zones/ZoneDistanceDialog.h"

namespace {

using namespace fixture;

QString Demo(const char* name) {
    return QDir(QStringLiteral(SENTREL_SOURCE_DIR "/demo")).filePath(QString::fromLatin1(name));
}

// The demo's fifteen vehicles, all heard from a minute ago: six at the gate of
// "Автобаза №1 Уралмаш", four at "Автобаза №2 Вторчермет", three in "Гараж Центр" and two
// on the road between.
struct DemoRig : ConsoleRig {
    DemoRig() {
        QVERIFY(console->zoneMap->Load(Demo("maps.mrk").toStdString()));
        CDataStore& store = console->store;
        QVERIFY(store.LoadAddressBook(Demo("AddrBook.txt").toStdString()));
        QCOMPARE(store.objectCount, 15);
        struct Spot {
            double latitude;
            double longitude;
            int speed;
        };
        const Spot spots[15] = {
            {56.8846, 60.6050, 0}, {56.8845, 60.6053, 0},  {56.8843, 60.6049, 5},
            {56.8847, 60.6055, 0}, {56.8844, 60.6046, 0},  {56.8848, 60.6051, 12},
            {56.7806, 60.6190, 0}, {56.7804, 60.6193, 0},  {56.7807, 60.6187, 3},
            {56.7805, 60.6195, 0}, {56.8331, 60.6161, 0},  {56.8329, 60.6158, 0},
            {56.8332, 60.6164, 8}, {56.8600, 60.6300, 62}, {56.8100, 60.6400, 71}};
        const DateTime now = clock.Now();
        for (int i = 0; i < store.objectCount; ++i) {
            ObjectRecord& o = store.Object(i);
            o.selected = 1;
            o.lastReceivedAt = now.AddMinutes(-1);
            o.lastMessageTime = now.AddMinutes(-1);
            o.firstTimeout = DateTime::FromTimeOfDay(0, 11, 0);
            o.secondTimeout = DateTime::FromTimeOfDay(0, 5, 0);
            Place(i, spots[i].latitude, spots[i].longitude, spots[i].speed);
        }
    }
};

}  // namespace

class TestZoneShots : public QObject {
    Q_OBJECT
private slots:
    void init();
    void mapWithCrowdedDepots();
    void mapOverTheDemoBaseMap();
    void distanceWindowAtItsDefaultSize();

private:
    QString shots_;
};

void TestZoneShots::init() {
    shots_ = qEnvironmentVariable("SENTREL_SHOTS_DIR");
    if (shots_.isEmpty()) {
        QSKIP("SENTREL_SHOTS_DIR not set");
    }
}

void TestZoneShots::mapWithCrowdedDepots() {
    DemoRig rig;
    CMapWindow window(*rig.console);
    window.resize(1000, 760);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.ApplyRows(*rig.console->RefreshView());
    QCOMPARE(window.View()->ObjectCount(), 15);
    // Some labels are left out at the depots: the picture shows what it was taken for.
    int hidden = 0;
    for (const int32_t number : {12, 17, 23, 31, 38, 45}) {
        hidden += window.View()->ObjectItem(number)->LabelRect().isNull() ? 1 : 0;
    }
    QVERIFY(hidden > 0);
    QTest::qWait(100);
    QVERIFY(window.grab().save(QDir(shots_).filePath(QStringLiteral("map-labels.png"))));
}

void TestZoneShots::mapOverTheDemoBaseMap() {
    DemoRig rig;
    const QString path = QDir(rig.dir.path()).filePath(QStringLiteral("demo.mbtiles"));
    QVERIFY(DemoBaseMap::Write(path));
    rig.console->settings.baseMapFile = ToCp(path);
    CMapWindow window(*rig.console);
    window.resize(1000, 760);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.ApplyRows(*rig.console->RefreshView());
    CMapView& view = *window.View();
    QVERIFY(view.UsesWebMercator());
    QCOMPARE(view.ObjectCount(), 15);
    QTRY_VERIFY(view.TileLayer()->CachedCount() > 4 && view.TileLayer()->PendingCount() == 0);
    QTest::qWait(100);
    QVERIFY(window.grab().save(QDir(shots_).filePath(QStringLiteral("map-basemap.png"))));
}

void TestZoneShots::distanceWindowAtItsDefaultSize() {
    DemoRig rig;
    CDistanceWindows windows(*rig.console, nullptr);
    CDistanceListWindow* window = windows.OpenWindowAt(0, QPoint(40, 40));  // the smallest zone
    QVERIFY(window != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(window->List()->verticalScrollBar()->isVisible());
    QTest::qWait(100);
    QVERIFY(
        window->grab().save(QDir(shots_).filePath(QStringLiteral("distance-window-default.png"))));
}

QTEST_MAIN(TestZoneShots)
#include "tst_zoneshots.moc"
