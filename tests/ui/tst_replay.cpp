// The replay window ("История движения") on routes kept in memory: the menu item that
// opens it, the period's quick choices in display time, where the marks stand at a
// moment, the zone visits, the play speed and the GPX export. With SENTREL_SHOTS_DIR set,
// also its picture on the demo's data for docs/screenshots:
//
//   SENTREL_SHOTS_DIR=/tmp/shots QT_QPA_PLATFORM=offscreen build/tests/ui/tst_replay shot
#include <QComboBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QGraphicsItem>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <map>
#include <mutex>

#include "ConsoleFixture.h"
#include "DemoBaseMap.h"
#include "app/MainCommands.h"
#include "app/QtText.h"
#include "console/ConsoleQueries.h"
#include "persist/TrackSource.h"
#include "replay/ReplayMapView.h"
#include "replay/ReplayRoutesItem.h"
#include "replay/ReplayTrack.h"
#include "replay/ReplayWindow.h"
#include "tst_mainwindow_rig.h"
#include "zones/Geometry.h"
#include "zones/MapProjection.h"
#include "zones/ZoneMap.h"

namespace {

// Routes in memory, answered as the track store answers: the period's points only.
class FakeTrackSource : public TrackSource {
public:
    Read Points(int32_t object, DateTime fromUtc, DateTime toUtc) override {
        std::lock_guard<std::mutex> lock(mutex_);
        asked.push_back({object, fromUtc, toUtc});
        Read read;
        if (problems.count(object) != 0) {
            read.problem = problems[object];
            return read;
        }
        for (const TrackPoint& p : routes[object]) {
            if (fromUtc <= p.messageTime && p.messageTime < toUtc) {
                read.points.push_back(p);
            }
        }
        return read;
    }
    struct Asked {
        int32_t object;
        DateTime from;
        DateTime to;
    };
    std::map<int32_t, std::vector<TrackPoint>> routes;
    std::map<int32_t, std::string> problems;
    std::vector<Asked> asked;

private:
    std::mutex mutex_;
};

// The replayed day, in UTC.
const DateTime kStart = DateTime::FromCalendar(2026, 12, 6, 8, 0, 0);

TrackPoint Point(int32_t object, double secondsAfterStart, double latitude, double longitude,
                 double speed = 40, const char* zone = "") {
    TrackPoint p;
    p.objectNumber = object;
    p.messageTime = kStart.AddDays(secondsAfterStart / 86400);
    p.receiveTime = p.messageTime;
    p.latitude = latitude;
    p.longitude = longitude;
    p.speedKmh = speed;
    p.zoneName = zone;
    return p;
}

AddressBookEntry Entry(int32_t number, const char* id, const char* name) {
    AddressBookEntry e;
    e.number = number;
    e.id = id;
    e.name = name;
    return e;
}

// One circle zone: the map's projection is centred on it.
constexpr double kZoneLatitude = 56.84;
constexpr double kZoneLongitude = 60.61;

CReplayWindow::Input TwoVehicles(int offsetMinutes = 0) {
    CReplayWindow::Input input;
    input.objects = {Entry(12, "12", "Truck"), Entry(7, "7", "Bus")};
    ZoneRecord zone;
    zone.name = "Depot";
    zone.latitude = kZoneLatitude;
    zone.longitude = kZoneLongitude;
    zone.radiusMetres = 500;
    input.zones = {zone};
    input.offsetMinutes = offsetMinutes;
    input.chosen = {12, 7};
    return input;
}

// Shows the routes of the period [kStart, kStart + hours] and waits for them.
void ShowFromStart(CReplayWindow& window, double hours = 2) {
    window.SetPeriod({kStart, kStart.AddDays(hours / 24)});
    QSignalSpy shown(&window, &CReplayWindow::routesShown);
    window.ShowRoutes();
    QVERIFY(shown.wait(5000));
}

// Where a position lies on the map: metres east and south of the zone's centre.
QPointF Expected(double latitude, double longitude) {
    const ProjectedPoint p =
        MapProjection(kZoneLatitude, kZoneLongitude).ToPlane(latitude, longitude);
    return QPointF(p.x, -p.y);
}

bool Near(const QPointF& a, const QPointF& b) {
    return std::abs(a.x() - b.x()) < 0.01 && std::abs(a.y() - b.y()) < 0.01;
}

// A drive through `legs` (each: where to, at what speed, how long to stand there), one
// point every 20 seconds, with the zone of the demo's map each point lies in.
struct Leg {
    double latitude;
    double longitude;
    double kmh;
    double standMinutes;
};
std::vector<TrackPoint> Drive(const CZoneMap& map, int32_t number, double startSeconds,
                              double latitude, double longitude, const std::vector<Leg>& legs) {
    std::vector<TrackPoint> points;
    double t = startSeconds;
    auto add = [&](double speed) {
        TrackPoint p = Point(number, t, latitude, longitude, speed);
        const int zone = map.FindZoneAt(latitude, longitude);
        if (zone >= 0) {
            p.zoneName = map.Zone(zone).name;
        }
        points.push_back(p);
        t += 20;
    };
    for (const Leg& leg : legs) {
        const double fromLat = latitude;
        const double fromLon = longitude;
        const double length = GreatCircleDistance(fromLat, fromLon, leg.latitude, leg.longitude);
        double done = 0;
        while (done < length) {
            // Slower off and into the stops, a little up and down on the way.
            const double edge = std::min(done, length - done);
            const double speed = std::min(leg.kmh * (0.9 + 0.15 * std::sin(t / 90)), 6 + edge / 12);
            add(speed);
            done = std::min(length, done + speed / 3.6 * 20);
            latitude = fromLat + (leg.latitude - fromLat) * done / length;
            longitude = fromLon + (leg.longitude - fromLon) * done / length;
        }
        for (double stood = 0; stood <= leg.standMinutes * 60; stood += 20) {
            add(0);
        }
    }
    return points;
}

}  // namespace

class TestReplay : public QObject {
    Q_OBJECT
private slots:
    void init() { Prompt::SetScripted(true), Prompt::ClearShown(); }
    void cleanup() { Prompt::SetScripted(false); }

    void menuItemOpensReplayForSelectedVehicles();
    void replayDrawsOverTheMapsBaseLayer();
    void quickChoicesSetPeriodInDisplayTime();
    void periodCheckedBeforeReading();
    void windowsGoToTrayWithMainWindow();
    void visitTableFitsAtDefaultSize();
    void routesDrawnWherePainted();
    void marksStandWhereTheVehiclesWere();
    void visitsListedAndClickMovesSlider();
    void playAdvancesAtChosenSpeed();
    void gpxExportWritesShownPoints();
    void shot();
};

void TestReplay::menuItemOpensReplayForSelectedVehicles() {
    rig::Rig r;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    auto source = std::make_shared<FakeTrackSource>();
    r.W().SetTrackSource(source);
    QTRY_VERIFY(r.RowOf(5) >= 0 && r.RowOf(12) >= 0);

    // The list's menu, with two vehicles selected: they come checked, in list order.
    r.Select({5, 12});
    QAction* item = r.W().CommandAction(CMainDialog::kCmdReplay);
    QVERIFY(item != nullptr);
    QCOMPARE(item->text(), QStringLiteral("История движения..."));
    item->trigger();
    std::vector<CReplayWindow*> open = r.W().Commands().ReplayWindows();
    QCOMPARE(open.size(), std::size_t(1));
    CReplayWindow* replay = open[0];
    QVERIFY(replay->isVisible());
    QCOMPARE(replay->Vehicles()->count(), 6);  // every object of the address book
    QCOMPARE(replay->ChosenNumbers(), (std::vector<int32_t>{12, 5}));
    QCOMPARE(replay->Vehicles()->item(0)->text(), QStringLiteral("12 Truck"));

    // The routes come from the window's track source.
    QSignalSpy shown(replay, &CReplayWindow::routesShown);
    replay->ShowButton()->click();
    QVERIFY(shown.wait(5000));
    QCOMPARE(source->asked.size(), std::size_t(2));

    // From the "Расстояния" menu with nothing selected: a second window, none chosen.
    r.List().ClearSelection();
    r.W().Commands().Run(CMainDialog::kCmdReplay);
    open = r.W().Commands().ReplayWindows();
    QCOMPARE(open.size(), std::size_t(2));
    QVERIFY(open[1]->ChosenNumbers().empty());
    // "Показать" without a vehicle says so rather than reading nothing.
    open[1]->ShowButton()->click();
    QCOMPARE(Prompt::ShownTexts().last(), QStringLiteral("Не выбран ни один объект."));

    // Closed, a window goes; the others are closed with the main window.
    open[1]->close();
    QTRY_COMPARE(r.W().Commands().ReplayWindows().size(), std::size_t(1));
}

void TestReplay::replayDrawsOverTheMapsBaseLayer() {
    // The settings name a base map: the replay shows it under its zones, as the map does.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("base.mbtiles"));
    {
        MbTilesWriter tiles(file);
        tiles.Meta("format", QStringLiteral("png"));
        tiles.Meta("minzoom", QStringLiteral("0"));
        tiles.Meta("maxzoom", QStringLiteral("1"));
        tiles.Meta("attribution", QStringLiteral("Проба"));
        QImage tile(256, 256, QImage::Format_RGB32);
        tile.fill(Qt::white);
        tiles.Tile(0, 0, 0, tile);
        QVERIFY(tiles.Ok());
    }
    rig::Rig r;
    r.settings.baseMapFile = ToCp(file);
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    r.W().SetTrackSource(std::make_shared<FakeTrackSource>());
    r.W().Commands().Run(CMainDialog::kCmdReplay);
    const std::vector<CReplayWindow*> open = r.W().Commands().ReplayWindows();
    QCOMPARE(open.size(), std::size_t(1));
    QVERIFY(open[0]->Map()->UsesWebMercator());
    QCOMPARE(open[0]->Map()->CornerText(), QStringLiteral("Проба"));
}

void TestReplay::quickChoicesSetPeriodInDisplayTime() {
    // Display time is three hours ahead of the stamps (offset -180): 12:34:56 on the
    // local clock is 09:34:56 UTC.
    FixedClock clock(DateTime::FromCalendar(2026, 12, 6, 12, 34, 56), -180);
    auto source = std::make_shared<FakeTrackSource>();
    CReplayWindow window(TwoVehicles(-180), source, clock);
    auto shown = [&](int y, int mo, int d, int h, int mi, int s) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
    };

    window.YesterdayButton()->click();
    QCOMPARE(window.FromEdit()->dateTime(), shown(2026, 12, 5, 0, 0, 0));
    QCOMPARE(window.ToEdit()->dateTime(), shown(2026, 12, 6, 0, 0, 0));
    window.TodayButton()->click();
    QCOMPARE(window.FromEdit()->dateTime(), shown(2026, 12, 6, 0, 0, 0));
    QCOMPARE(window.ToEdit()->dateTime(), shown(2026, 12, 6, 12, 34, 56));
    window.LastHourButton()->click();
    QCOMPARE(window.FromEdit()->dateTime(), shown(2026, 12, 6, 11, 34, 56));
    QCOMPARE(window.ToEdit()->dateTime(), shown(2026, 12, 6, 12, 34, 56));

    // The store is asked in UTC: the last hour is 08:34:56 to 09:34:56.
    QSignalSpy read(&window, &CReplayWindow::routesShown);
    window.ShowRoutes();
    QVERIFY(read.wait(5000));
    QCOMPARE(source->asked.size(), std::size_t(2));
    const CalendarFields from = source->asked[0].from.ToCalendar();
    const CalendarFields to = source->asked[0].to.ToCalendar();
    QCOMPARE((std::vector<int>{from.day, from.hour, from.minute, from.second}),
             (std::vector<int>{6, 8, 34, 56}));
    QCOMPARE((std::vector<int>{to.day, to.hour, to.minute, to.second}),
             (std::vector<int>{6, 9, 34, 56}));

    // Yesterday across the new year: 1 January's yesterday is 31 December.
    FixedClock newYear(DateTime::FromCalendar(2027, 1, 1, 0, 30, 0), 0);
    CReplayWindow early(TwoVehicles(), source, newYear);
    early.YesterdayButton()->click();
    QCOMPARE(early.FromEdit()->dateTime(), shown(2026, 12, 31, 0, 0, 0));
    QCOMPARE(early.ToEdit()->dateTime(), shown(2027, 1, 1, 0, 0, 0));
}

void TestReplay::periodCheckedBeforeReading() {
    FixedClock clock;
    auto source = std::make_shared<FakeTrackSource>();
    source->routes[12] = {Point(12, 0, 56.840, 60.600)};
    CReplayWindow window(TwoVehicles(), source, clock);
    auto refused = [&](const ReplayPeriod& period, const QString& text) {
        Prompt::ClearShown();
        source->asked.clear();
        window.SetPeriod(period);
        window.ShowRoutes();
        QVERIFY(!window.IsReading());
        QVERIFY(source->asked.empty());
        QCOMPARE(Prompt::ShownTexts(), QStringList{text});
        QCOMPARE(Prompt::ShownPrompts()[0].icon, Prompt::Icon::Warning);
    };
    const QString order = QStringLiteral("Начало периода должно быть раньше конца.");
    const QString length = QStringLiteral("Период не может быть длиннее 31 дня.");
    // Ending before it begins, or when it begins.
    refused({kStart, kStart.AddMinutes(-1)}, order);
    refused({kStart, kStart}, order);
    // A second past 31 days, and a year.
    refused({kStart, kStart.AddDays(31).AddDays(1.0 / 86400)}, length);
    refused({kStart, kStart.AddDays(365)}, length);

    // Exactly 31 days (from a time of day, whose fraction is not exact) is read whole.
    Prompt::ClearShown();
    source->asked.clear();
    ShowFromStart(window, 31 * 24);
    QVERIFY(Prompt::ShownTexts().isEmpty());
    QCOMPARE(source->asked.size(), std::size_t(2));
    QCOMPARE(window.Slider()->maximum(), 31 * 86400);
    QCOMPARE(window.Tracks().size(), std::size_t(2));
}

void TestReplay::marksStandWhereTheVehiclesWere() {
    FixedClock clock;
    auto source = std::make_shared<FakeTrackSource>();
    // Truck: two points a minute apart, then one after a gap of ten minutes. Bus: one
    // point two minutes in.
    source->routes[12] = {Point(12, 0, 56.840, 60.600), Point(12, 60, 56.842, 60.604),
                          Point(12, 660, 56.850, 60.620)};
    source->routes[7] = {Point(7, 120, 56.830, 60.630)};
    CReplayWindow window(TwoVehicles(), source, clock);
    window.show();
    ShowFromStart(window);
    QCOMPARE(window.Tracks().size(), std::size_t(2));
    CReplayMapView* map = window.Map();

    // Half a minute in: the truck halfway along its first line, the bus not heard yet.
    window.Slider()->setValue(30);
    QVERIFY(map->Mark(12) != nullptr);
    QVERIFY(Near(map->Mark(12)->pos(), Expected(56.841, 60.602)));
    QVERIFY(map->Mark(7) == nullptr);
    // Five minutes in: the truck stays at its second point (no line across the gap),
    // the bus at its only point.
    window.Slider()->setValue(300);
    QVERIFY(Near(map->Mark(12)->pos(), Expected(56.842, 60.604)));
    QVERIFY(map->Mark(7) != nullptr);
    QVERIFY(Near(map->Mark(7)->pos(), Expected(56.830, 60.630)));
    // After the last point: there.
    window.Slider()->setValue(window.Slider()->maximum());
    QVERIFY(Near(map->Mark(12)->pos(), Expected(56.850, 60.620)));
    // Back before every point: no marks.
    window.Slider()->setValue(0);
    QVERIFY(map->Mark(7) == nullptr);

    // Without zones the projection is centred on the routes, not on 0° 0°: a degree of
    // longitude is as long as the latitude makes it.
    CReplayWindow::Input noZones = TwoVehicles();
    noZones.zones.clear();
    CReplayWindow bare(std::move(noZones), source, clock);
    ShowFromStart(bare);
    bare.Slider()->setValue(60);
    const ProjectedPoint second = MapProjection(56.840, 60.600).ToPlane(56.842, 60.604);
    QVERIFY(Near(bare.Map()->Mark(12)->pos(), QPointF(second.x, -second.y)));

    // A vehicle the store cannot read is named in a warning; the others are shown.
    source->problems[7] = "broken";
    ShowFromStart(window);
    QCOMPARE(window.Tracks().size(), std::size_t(1));
    QVERIFY(Prompt::ShownTexts().last().contains(QStringLiteral("7 Bus: broken")));

    // A long straight route drawn zoomed out keeps few of its points.
    source->problems.clear();
    source->routes[12].clear();
    for (int i = 0; i < 500; ++i) {
        source->routes[12].push_back(Point(12, i * 10, 56.80 + i * 0.0002, 60.60));
    }
    ShowFromStart(window);
    QVERIFY(map->DrawnPointCount() < 20);
}

void TestReplay::visitsListedAndClickMovesSlider() {
    FixedClock clock;
    auto source = std::make_shared<FakeTrackSource>();
    // Truck: outside, then in Depot from 10 to 25 minutes, leaving at 30.
    source->routes[12] = {Point(12, 0, 56.830, 60.600), Point(12, 600, 56.840, 60.610, 0, "Depot"),
                          Point(12, 1500, 56.840, 60.611, 3, "Depot"),
                          Point(12, 1800, 56.850, 60.620)};
    // Bus: in Depot from the period's start to its end.
    source->routes[7] = {Point(7, 0, 56.840, 60.610, 0, "Depot"),
                         Point(7, 60, 56.840, 60.610, 0, "Depot")};
    CReplayWindow window(TwoVehicles(), source, clock);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ShowFromStart(window);

    QTableWidget* table = window.VisitTable();
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("12 Truck"));
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("Depot"));
    QCOMPARE(table->item(0, 2)->text(), QStringLiteral("06.12.2026 8:10:00"));
    QCOMPARE(table->item(0, 3)->text(), QStringLiteral("06.12.2026 8:30:00"));
    QCOMPARE(table->item(0, 4)->text(), QStringLiteral("0:20:00"));
    // The bus may have come before the period and stayed after it.
    QCOMPARE(table->item(1, 2)->text(), QStringLiteral("≤ 06.12.2026 8:00:00"));
    QCOMPARE(table->item(1, 3)->text(), QStringLiteral("≥ 06.12.2026 8:01:00"));

    window.Slider()->setValue(5000);
    const QRect cell = table->visualItemRect(table->item(0, 1));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(window.Slider()->value(), 600);
    QCOMPARE(window.SliderUtc(), kStart.AddMinutes(10));
    QVERIFY(Near(window.Map()->Mark(12)->pos(), Expected(56.840, 60.610)));
}

void TestReplay::playAdvancesAtChosenSpeed() {
    FixedClock clock;
    auto source = std::make_shared<FakeTrackSource>();
    source->routes[12] = {Point(12, 0, 56.840, 60.600), Point(12, 7000, 56.850, 60.620)};
    CReplayWindow window(TwoVehicles(), source, clock);
    ShowFromStart(window);
    QCOMPARE(window.SpeedBox()->count(), 4);
    window.SpeedBox()->setCurrentIndex(3);
    QCOMPARE(window.SpeedBox()->currentText(), QStringLiteral("×600"));

    QElapsedTimer measured;
    window.PlayButton()->click();
    measured.start();
    QVERIFY(window.IsPlaying());
    QTest::qWait(600);
    window.PlayButton()->click();
    const double seconds = measured.elapsed() / 1000.0;
    QVERIFY(!window.IsPlaying());
    // Ten minutes of the route per second; the last tick may come a little before the
    // pause (one interval, more on a busy machine).
    const int value = window.Slider()->value();
    QVERIFY2(value <= seconds * 600 + 1 && value >= (seconds - 0.3) * 600,
             qPrintable(QStringLiteral("%1 after %2 s").arg(value).arg(seconds)));
    // Paused, it stays.
    QTest::qWait(150);
    QCOMPARE(window.Slider()->value(), value);

    // At the period's end the play stops by itself.
    window.Slider()->setValue(window.Slider()->maximum() - 10);
    window.PlayButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.IsPlaying(), 2000);
    QCOMPARE(window.Slider()->value(), window.Slider()->maximum());
}

void TestReplay::gpxExportWritesShownPoints() {
    FixedClock clock;
    auto source = std::make_shared<FakeTrackSource>();
    source->routes[12] = {Point(12, 0, 56.83825, 60.60572, 36, "Depot"),
                          Point(12, 60, 56.84, 60.61)};
    source->routes[7] = {Point(7, 30, 56.5, 60.5)};
    CReplayWindow window(TwoVehicles(), source, clock);

    // Nothing shown yet: nothing to save, and no file dialog.
    window.ExportGpx();
    QCOMPARE(Prompt::ShownPrompts().size(), std::size_t(1));
    QCOMPARE(Prompt::ShownPrompts()[0].kind, Prompt::Shown::Kind::Message);

    ShowFromStart(window);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("route.gpx"));
    Prompt::ClearShown();
    Prompt::SetNextAnswers({Prompt::Answer::Path(path)});
    window.ExportButton()->click();
    QCOMPARE(Prompt::ShownPrompts().size(), std::size_t(1));
    QCOMPARE(Prompt::ShownPrompts()[0].kind, Prompt::Shown::Kind::SaveFile);
    const QByteArray gpx = rig::Rig::Read(path);
    QVERIFY(gpx.contains("<name>12 Truck</name>"));
    QVERIFY(gpx.contains("<name>7 Bus</name>"));
    QVERIFY(gpx.contains(R"(<trkpt lat="56.8382500" lon="60.6057200">)"));
    QVERIFY(gpx.contains("<time>2026-12-06T08:01:00Z</time>"));
    QVERIFY(gpx.contains(R"(<trkpt lat="56.5000000" lon="60.5000000">)"));
    QCOMPARE(gpx.count("<trkpt "), 3);

    // A file that cannot be written: a Russian box naming it, nothing else happens.
    const QString nowhere = dir.filePath(QStringLiteral("missing/route.gpx"));
    Prompt::ClearShown();
    Prompt::SetNextAnswers({Prompt::Answer::Path(nowhere)});
    window.ExportGpx();
    QCOMPARE(Prompt::ShownPrompts().size(), std::size_t(2));
    QCOMPARE(Prompt::ShownPrompts()[1].icon, Prompt::Icon::Stop);
    QVERIFY(Prompt::ShownPrompts()[1].text.startsWith(QStringLiteral("Не удалось записать файл")));
    QVERIFY(!QFile::exists(nowhere));
}

void TestReplay::windowsGoToTrayWithMainWindow() {
    rig::Rig r;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    r.W().SetTrackSource(std::make_shared<FakeTrackSource>());
    r.W().Commands().Run(CMainDialog::kCmdReplay);
    r.W().Commands().Run(CMainDialog::kCmdReplay);
    std::vector<CReplayWindow*> open = r.W().Commands().ReplayWindows();
    QCOMPARE(open.size(), std::size_t(2));
    QPointer<CReplayWindow> first = open[0];
    QPointer<CReplayWindow> second = open[1];
    QVERIFY(first->isVisible() && second->isVisible());

    // To the tray: hidden, not closed; back: shown again.
    r.W().SetTrayAvailableOverride(true);
    r.W().AddTrayIcon();
    QVERIFY(!first->isVisible());
    QVERIFY(!second->isVisible());
    QCOMPARE(r.W().Commands().ReplayWindows().size(), std::size_t(2));
    r.W().RestoreFromTray();
    QTRY_VERIFY(first->isVisible() && second->isVisible());

    // One closed by the dispatcher stays closed; the other goes and comes back again.
    second->close();
    QTRY_VERIFY(second.isNull());
    r.W().AddTrayIcon();
    QVERIFY(!first->isVisible());
    r.W().RestoreFromTray();
    QTRY_VERIFY(first->isVisible());
    QCOMPARE(r.W().Commands().ReplayWindows().size(), std::size_t(1));

    // The program ends: closed with the main window.
    r.W().Exit();
    QVERIFY(r.W().IsEnded());
    QTRY_VERIFY(first.isNull());
}

void TestReplay::visitTableFitsAtDefaultSize() {
    // Long names and visits of more than a day: the widest rows the table gets.
    FixedClock clock;
    CReplayWindow::Input input = TwoVehicles();
    const std::string truck = ToCp(QStringLiteral("КамАЗ-6520 самосвал А123ВС96"));
    const std::string bus = ToCp(QStringLiteral("ЛиАЗ-5292 маршрут 50, гаражный 1412"));
    input.objects = {Entry(12, "12", truck.c_str()), Entry(7, "7", bus.c_str())};
    input.zones[0].name = ToCp(QStringLiteral("Автобаза №1 Уралмаш, северные ворота (R350)"));
    const std::string zone = input.zones[0].name;
    auto source = std::make_shared<FakeTrackSource>();
    for (const int32_t number : {12, 7}) {
        auto& route = source->routes[number];
        route.push_back(Point(number, 0, kZoneLatitude, kZoneLongitude, 0, zone.c_str()));
        route.push_back(Point(number, 26 * 3600, kZoneLatitude, kZoneLongitude, 0, zone.c_str()));
        route.push_back(Point(number, 27 * 3600, 56.80, 60.50, 50));
        route.push_back(Point(number, 30 * 3600, kZoneLatitude, kZoneLongitude, 0, zone.c_str()));
    }
    CReplayWindow window(std::move(input), source, clock);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), CReplayWindow::kDefaultSize);
    QTableWidget* table = window.VisitTable();
    auto fits = [table] {
        QCOMPARE(table->horizontalScrollBar()->maximum(), 0);
        QVERIFY(!table->horizontalScrollBar()->isVisible());
        // Every column as wide as its header and text; the last takes the rest.
        int total = 0;
        for (int column = 0; column < table->columnCount(); ++column) {
            for (int row = 0; row < table->rowCount(); ++row) {
                const int text =
                    table->fontMetrics().horizontalAdvance(table->item(row, column)->text());
                QVERIFY(table->columnWidth(column) > text);
            }
            QVERIFY(table->columnWidth(column) >=
                    table->horizontalHeader()->sectionSizeHint(column));
            total += table->columnWidth(column);
        }
        QCOMPARE(total, table->viewport()->width());
    };
    fits();
    ShowFromStart(window, 31);
    QCOMPARE(table->rowCount(), 4);
    QVERIFY(table->item(0, 2)->text().startsWith(QStringLiteral("≤ ")));
    QVERIFY(table->item(1, 4)->text().contains(QStringLiteral(" д ")) ||
            table->item(0, 4)->text().contains(QStringLiteral(" д ")));
    fits();
    // The map keeps most of the window.
    QVERIFY(window.Map()->width() > window.width() / 2);
    QVERIFY(window.Map()->height() > window.height() / 2);
}

void TestReplay::routesDrawnWherePainted() {
    // Every scale lies in a level whose lines stray less than half the line's width
    // (1.5 px), and at least a pixel (no more points drawn than needed).
    for (double scale = 1e-5; scale < 20; scale *= 1.07) {
        const double pixels =
            CReplayRoutesItem::ToleranceOf(CReplayRoutesItem::LevelOf(scale)) * scale;
        QVERIFY2(pixels >= 1 - 1e-9 && pixels < 1.42, qPrintable(QString::number(scale)));
    }

    // A straight drive east at 80 km/h, 25 km, much longer than the view once zoomed in.
    std::vector<TrackPoint> points;
    for (int i = 0; i <= 1125; ++i) {
        points.push_back(Point(12, i * 1.0, 56.84, 60.40 + i * 0.0003, 80));
    }
    CReplayTrack track(12, "12 Truck", points);
    CReplayMapView view;
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.SetTracks({&track});
    view.scale(8, 8);
    view.centerOn(view.ScenePoint(56.84, 60.57));
    QCoreApplication::processEvents();
    CReplayRoutesItem* routes = view.RoutesItem();
    const QColor red = CReplayTrack::BandColour(CReplayTrack::SpeedBand(80));
    auto onScreen = [&](int x, int y) {
        return QColor(view.screen()
                          ->grabWindow(view.winId())
                          .toImage()
                          .pixel(view.viewport()->mapTo(&view, QPoint(x, y))));
    };
    auto lineY = [&] { return view.mapFromScene(view.ScenePoint(56.84, 60.57)).y(); };
    // The line's middle: its colour, give or take the antialiasing.
    auto isRed = [&](const QColor& c) {
        return std::abs(c.red() - red.red()) < 40 && std::abs(c.green() - red.green()) < 40 &&
               std::abs(c.blue() - red.blue()) < 40;
    };
    QTRY_VERIFY(isRed(onScreen(200, lineY())));

    // Dragged west in steps: only the strips uncovered are painted, and the line is
    // drawn in them to the view's edge; nothing is drawn off it.
    for (int step = 0; step < 10; ++step) {
        view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->value() + 15);
        QCoreApplication::processEvents();
    }
    for (const int x : {5, 200, view.viewport()->width() - 3}) {
        QTRY_VERIFY(isRed(onScreen(x, lineY())));
        QVERIFY(!isRed(onScreen(x, lineY() - 6)));
    }

    // A wheel step into a level not thinned yet: drawn from one at hand at once, then
    // from its own when the thread has thinned it.
    const int before = CReplayRoutesItem::LevelOf(view.transform().m11());
    for (int notch = 0; notch < 4; ++notch) {
        QWheelEvent wheel(QPointF(200, lineY()),
                          view.viewport()->mapToGlobal(QPointF(200, lineY())), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &wheel);
    }
    const int wanted = CReplayRoutesItem::LevelOf(view.transform().m11());
    QVERIFY(wanted > before + 1);
    QTRY_VERIFY(routes->HasLevel(wanted));
    QTRY_COMPARE(routes->DrawnLevel(), wanted);
    QTRY_VERIFY(isRed(onScreen(5, lineY())));

    // Zoomed through every level, only those near the zoom shown are kept.
    for (double scale = 1e-5; scale < 20; scale *= 1.3) {
        view.setTransform(QTransform::fromScale(scale, scale));
        view.DrawnPointCount();
    }
    QVERIFY(routes->LevelCount() <= 12);
    QVERIFY(routes->HasLevel(CReplayRoutesItem::LevelOf(view.transform().m11())));

    // New routes drop the levels of the old ones.
    view.SetTracks({});
    QVERIFY(!routes->HasLevel(wanted));
    QCOMPARE(view.DrawnPointCount(), 0);
}

void TestReplay::shot() {
    const QString shots = qEnvironmentVariable("SENTREL_SHOTS_DIR");
    if (shots.isEmpty()) {
        QSKIP("SENTREL_SHOTS_DIR not set");
    }
    fixture::ConsoleRig rig;
    const QString demo = QStringLiteral(SENTREL_SOURCE_DIR "/demo/");
    QVERIFY(rig.console->zoneMap->Load((demo + "maps.mrk").toStdString()));
    QVERIFY(rig.console->store.LoadAddressBook((demo + "AddrBook.txt").toStdString()));
    const CZoneMap& map = *rig.console->zoneMap;
    auto source = std::make_shared<FakeTrackSource>();
    // The KamAZ from the Uralmash depot to the central garage, a stop there, on to the
    // Vtorchermet depot; the MAZ from the central garage to the Shartash oil depot.
    source->routes[12] = Drive(map, 12, 300, 56.8845, 60.6050,
                               {{56.8700, 60.6000, 45, 0},
                                {56.8500, 60.6120, 65, 0},
                                {56.8330, 60.6160, 35, 12},
                                {56.8100, 60.6260, 70, 0},
                                {56.7805, 60.6190, 40, 5}});
    source->routes[17] =
        Drive(map, 17, 900, 56.8330, 60.6160,
              {{56.8400, 60.6500, 50, 0}, {56.8480, 60.6800, 75, 0}, {56.8585, 60.6985, 25, 20}});
    CReplayWindow::Input input;
    {
        const CConsoleQueries queries(*rig.console);
        input.objects = queries.AddressBookEntries();
        input.zones = queries.Zones();
        input.offsetMinutes = queries.DisplayOffsetMinutes();
    }
    input.chosen = {12, 17};
    // Over the demo's generated base map.
    QDir().mkpath(shots);
    const QString baseMap = QDir(shots).filePath(QStringLiteral("demo-basemap.mbtiles"));
    QVERIFY(DemoBaseMap::Write(baseMap));
    input.baseMapFile = baseMap;
    CReplayWindow window(std::move(input), source, rig.clock);
    window.resize(1280, 720);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ShowFromStart(window);
    window.Slider()->setValue(40 * 60);
    window.VisitTable()->selectRow(1);
    // The tiles of the view come in from the file's reading thread.
    QTest::qWait(1500);
    QVERIFY(window.grab().save(QDir(shots).filePath(QStringLiteral("replay.png"))));
    QFile::remove(baseMap);
}

QTEST_MAIN(TestReplay)
#include "tst_replay.moc"
