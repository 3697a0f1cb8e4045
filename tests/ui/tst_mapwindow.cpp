// The map window: zones and objects drawn from the refresh passes, zoom, drag and fit,
// what a pass paints again, a click that selects the object's row, and its record in
// Interface.ini; the base layer of tiles under the zones.
#include <QElapsedTimer>
#include <QGraphicsEllipseItem>
#include <QHelpEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>

#include "MbTilesWriter.h"
#include "basemap/TileSource.h"
#include "basemap/WebMercator.h"
#include "tst_mainwindow_rig.h"
#include "zones/MapObjectItem.h"
#include "zones/MapTileLayer.h"
#include "zones/MapView.h"
#include "zones/MapWindow.h"
#include "zones/MapWindowKeeper.h"

using namespace rig;

namespace {

// Metres in one degree of latitude on the program's sphere.
const double kMetresPerDegree = 6371006.84 * 3.14159265358979323846 / 180;

void Send(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    const QPointF local(at);
    QMouseEvent event(type, local, target->mapToGlobal(local), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void Drag(QWidget* viewport, QPoint from, QPoint to) {
    Send(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton);
    Send(viewport, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
    Send(viewport, QEvent::MouseMove, to, Qt::LeftButton);
    Send(viewport, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

void Wheel(QWidget* viewport, QPoint at, int delta) {
    const QPointF local(at);
    QWheelEvent event(local, viewport->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &event);
}

bool InView(const CMapView& view, QPointF scenePoint) {
    return view.viewport()->rect().contains(view.mapFromScene(scenePoint));
}

QByteArray MapSection(const LayoutRect& r, int state) {
    return QStringLiteral("[MapDlg]\r\npos=%1,%2,%3,%4\r\nstate=%5\r\n")
        .arg(r.left)
        .arg(r.right)
        .arg(r.top)
        .arg(r.bottom)
        .arg(state)
        .toLatin1();
}

}  // namespace

class TestMapWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void itemsFollowTheRefreshPasses();
    void zoomDragAndFitAll();
    void crowdedLabelsNeverOverlap();
    void passesRepaintOnlyWhatChanged();
    void theDispatchersViewOutlivesThePasses();
    void scaleBarStaysPutWhenTheMapScrolls();
    void clickSelectsTheRowAndTheLayoutKeepsTheMap();
    void baseLayerFromAnMbTilesFile();
    void tilesAskedFromTheMiddleAndDrawnAsTheyCome();
    void baseLayerFromATileServer();

private:
    QTemporaryDir lockDir_;
};

void TestMapWindow::initTestCase() {
    QVERIFY(lockDir_.isValid());
    qputenv("TMPDIR", lockDir_.path().toUtf8());
}

void TestMapWindow::itemsFollowTheRefreshPasses() {
    fixture::ConsoleRig rig;
    rig.AddZone("Склад", Circle, 55.0, 37.0, 500, 785000);
    ZoneRecord square;
    square.name = W("Площадь");
    square.kind = Polygon;
    square.polygon.SetVertex(1, 55.02, 37.02);
    square.polygon.SetVertex(2, 55.02, 37.04);
    square.polygon.SetVertex(3, 55.03, 37.04);
    square.polygon.SetVertex(4, 55.03, 37.02);
    square.latitude = 55.025;
    square.longitude = 37.03;
    rig.console->zoneMap->AppendZone(square);
    const int truck = rig.AddObject("12", "Truck");
    const int bus = rig.AddObject("7", "Bus");
    const int hidden = rig.AddObject("4", "Lada", false);
    rig.Place(truck, 55.0, 37.0, 40);
    rig.Place(hidden, 55.01, 37.01, 0);

    CMapWindow window(*rig.console);
    window.show();
    CMapView& view = *window.View();
    QCOMPARE(view.ZoneCount(), 2);
    const QStringList names = [&] {
        QStringList texts;
        for (QGraphicsItem* item : view.scene()->items()) {
            if (auto* text = dynamic_cast<QGraphicsSimpleTextItem*>(item)) {
                texts << text->text();
            }
        }
        texts.sort();
        return texts;
    }();
    QCOMPARE(names, (QStringList{QStringLiteral("Площадь"), QStringLiteral("Склад")}));

    // The bus has no position and the hidden object no row: only the truck is drawn,
    // in the colours of a row never heard from (pale yellow, dark red), in italics when
    // it is in no zone.
    window.ApplyRows(*rig.console->RefreshView());
    QCOMPARE(view.ObjectCount(), 1);
    CMapObjectItem* item = view.ObjectItem(12);
    QVERIFY(item != nullptr);
    QCOMPARE(item->Title(), QStringLiteral("12 - Truck"));
    QCOMPARE(item->Colours().back, kYellow);
    QCOMPARE(item->Colours().text, kDarkRed);
    QVERIFY(!item->Colours().italicZone);
    const QPointF first = item->pos();
    QCOMPARE(first, view.ScenePoint(55.0, 37.0));

    // Heard from just now and moved 0.01 degree north and east, out of the zone: the same
    // item, about 1112 m up and 638 m right (the east axis shrunk by the cosine of the
    // map's middle latitude), white and black, in italics.
    {
        ObjectRecord& o = rig.console->store.Object(truck);
        o.lastReceivedAt = rig.clock.Now();
        o.lastMessageTime = rig.clock.Now();
        o.firstTimeout = DateTime::FromTimeOfDay(0, 11, 0);
        o.secondTimeout = DateTime::FromTimeOfDay(0, 5, 0);
    }
    rig.Place(truck, 55.01, 37.01, 40);
    rig.Place(bus, 55.0, 37.0, 0);
    window.ApplyRows(*rig.console->RefreshView());
    QCOMPARE(view.ObjectItem(12), item);
    const QPointF moved = item->pos() - first;
    QVERIFY2(std::abs(moved.y() + 0.01 * kMetresPerDegree) < 0.5,
             qPrintable(QString::number(moved.y())));
    const double east = 0.01 * kMetresPerDegree *
                        std::cos(view.Projection().OriginLatitude() * 3.14159265358979323846 / 180);
    QVERIFY2(std::abs(moved.x() - east) < 0.5, qPrintable(QString::number(moved.x())));
    QVERIFY(moved.x() > 600 && moved.x() < 660);
    QCOMPARE(item->Colours().back, kWhite);
    QCOMPARE(item->Colours().text, kBlack);
    QVERIFY(item->Colours().italicZone);
    QCOMPARE(view.ObjectCount(), 2);
    QCOMPARE(view.ObjectItem(7)->pos(), first);

    // A pass cut short by the workers' stop moves what it has and takes nothing away.
    {
        RefreshSnapshot cut = *rig.console->RefreshView();
        while (!cut.rows.empty() && cut.rows.back().objectNumber != 12) {
            cut.rows.pop_back();
        }
        QCOMPARE(cut.rows.size(), std::size_t{1});
        cut.rows[0].latitude = 55.02;
        cut.stoppedEarly = true;
        window.ApplyRows(cut);
        QCOMPARE(view.ObjectCount(), 2);
        QCOMPARE(view.ObjectItem(7)->pos(), first);
        QCOMPARE(item->pos(), view.ScenePoint(55.02, 37.01));
    }

    // A row that is no longer shown leaves the map.
    rig.console->store.Object(bus).selected = 0;
    window.ApplyRows(*rig.console->RefreshView());
    QCOMPARE(view.ObjectCount(), 1);
    QVERIFY(view.ObjectItem(7) == nullptr);

    // Another zone map: the zones are drawn anew and the truck stays where it is on the
    // ground (at its point of the new projection).
    rig.console->zoneMap->Clear();
    rig.AddZone("Депо", Circle, 56.0, 38.0, 300, 282000);
    window.RebuildZones();
    QCOMPARE(view.ZoneCount(), 1);
    QCOMPARE(item->pos(), view.ScenePoint(55.01, 37.01));
    fixture::SaveShot(window, QStringLiteral("map-window-test.png"));
}

void TestMapWindow::zoomDragAndFitAll() {
    fixture::ConsoleRig rig;
    rig.AddZone("A", Circle, 55.0, 37.0, 500, 785000);
    rig.AddZone("B", Circle, 55.1, 37.2, 700, 1539000);
    const int truck = rig.AddObject("12", "Truck");
    const int bus = rig.AddObject("7", "Bus");
    rig.Place(truck, 55.0, 37.0, 40);
    rig.Place(bus, 55.1, 37.2, 40);
    CMapWindow window(*rig.console);
    window.resize(600, 450);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CMapView& view = *window.View();
    window.ApplyRows(*rig.console->RefreshView());

    // Until the dispatcher touches it, the view shows everything.
    QVERIFY(view.FollowsContent());
    QVERIFY(InView(view, view.ScenePoint(55.0, 37.0)));
    QVERIFY(InView(view, view.ScenePoint(55.1, 37.2)));

    // The wheel zooms in around the cursor: the point under it stays put.
    const QPoint onTruck = view.mapFromScene(view.ScenePoint(55.0, 37.0));
    const qreal before = view.transform().m11();
    Wheel(view.viewport(), onTruck, 480);
    QVERIFY(view.transform().m11() > before * 1.5);
    QVERIFY(!view.FollowsContent());
    QVERIFY((view.mapFromScene(view.ScenePoint(55.0, 37.0)) - onTruck).manhattanLength() <= 2);
    QVERIFY(!InView(view, view.ScenePoint(55.1, 37.2)));

    // A drag moves the map with the mouse and selects nothing.
    int clicks = 0;
    connect(&view, &CMapView::objectClicked, this, [&](int32_t) { ++clicks; });
    const QPoint start = view.viewport()->rect().center();
    Drag(view.viewport(), start, start + QPoint(-100, 40));
    QVERIFY((view.mapFromScene(view.ScenePoint(55.0, 37.0)) - (onTruck + QPoint(-100, 40)))
                .manhattanLength() <= 2);
    QCOMPARE(clicks, 0);

    // The button brings everything back into view, and the view follows again.
    QTest::mouseClick(window.FitAllButton(), Qt::LeftButton);
    QVERIFY(view.FollowsContent());
    QVERIFY(InView(view, view.ScenePoint(55.0, 37.0)));
    QVERIFY(InView(view, view.ScenePoint(55.1, 37.2)));
    // So does the Home key after a zoom out.
    Wheel(view.viewport(), view.viewport()->rect().center(), -1200);
    Wheel(view.viewport(), view.viewport()->rect().center(), 2400);
    QVERIFY(!InView(view, view.ScenePoint(55.1, 37.2)) ||
            !InView(view, view.ScenePoint(55.0, 37.0)));
    QTest::keyClick(&window, Qt::Key_Home);
    QVERIFY(InView(view, view.ScenePoint(55.0, 37.0)));
    QVERIFY(InView(view, view.ScenePoint(55.1, 37.2)));
}

namespace {

// What the dispatcher sees of an object's item, in viewport pixels.
QRectF OnScreen(const CMapView& view, const CMapObjectItem& item, const QRectF& local) {
    return item.deviceTransform(view.viewportTransform()).mapRect(local);
}

struct Crowd {
    int shown = 0;
    int hidden = 0;
    QString fault;
};

// Labels drawn, labels left out, and the first overlap found: of two labels, or of a
// label and another object's mark (a circle of radius 4.5 around the point).
Crowd Survey(const CMapView& view, const std::vector<CMapObjectItem*>& items) {
    Crowd crowd;
    std::vector<std::pair<QRectF, const CMapObjectItem*>> labels;
    for (const CMapObjectItem* item : items) {
        if (item->LabelRect().isNull()) {
            ++crowd.hidden;
        } else {
            ++crowd.shown;
            labels.emplace_back(OnScreen(view, *item, item->LabelRect()), item);
        }
    }
    for (std::size_t a = 0; a < labels.size() && crowd.fault.isEmpty(); ++a) {
        for (std::size_t b = a + 1; b < labels.size(); ++b) {
            if (labels[a].first.intersects(labels[b].first)) {
                crowd.fault = labels[a].second->Title() + " / " + labels[b].second->Title();
                break;
            }
        }
        for (const CMapObjectItem* other : items) {
            const QRectF mark = OnScreen(view, *other, QRectF(-4.5, -4.5, 9, 9));
            if (other != labels[a].second && labels[a].first.intersects(mark)) {
                crowd.fault = labels[a].second->Title() + " over " + other->Title();
                break;
            }
        }
    }
    return crowd;
}

}  // namespace

// Three hundred vehicles within some twenty metres of each other, as at a depot's gate:
// every one keeps its mark, no two labels overlap and no label covers another's mark;
// the labels left out show on hover. Zooming in makes room for more.
void TestMapWindow::crowdedLabelsNeverOverlap() {
    fixture::ConsoleRig rig;
    rig.AddZone("Автобаза", Circle, 55.0, 37.0, 500, 785000);
    for (int n = 1; n <= 300; ++n) {
        const int i = rig.AddObject(std::to_string(n), W("КамАЗ-65115 А412ВС"));
        rig.Place(i, 55.0 + (n % 17) * 0.00001, 37.0 + (n % 13) * 0.00002, 10);
    }
    CMapWindow window(*rig.console);
    window.resize(640, 480);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CMapView& view = *window.View();

    QElapsedTimer clock;
    clock.start();
    window.ApplyRows(*rig.console->RefreshView());
    const qint64 first = clock.elapsed();
    clock.restart();
    window.ApplyRows(*rig.console->RefreshView());
    const qint64 again = clock.elapsed();
    clock.restart();
    for (int k = 0; k < 10; ++k) {
        view.PlaceLabels();
    }
    const qint64 placing = clock.elapsed();
    qInfo("300 objects: first pass %lld ms, next pass %lld ms, labels placed 10 times in %lld ms",
          first, again, placing);
    QVERIFY(first < 1000 && again < 500 && placing < 500);

    QCOMPARE(view.ObjectCount(), 300);
    std::vector<CMapObjectItem*> items;
    for (int n = 1; n <= 300; ++n) {
        CMapObjectItem* item = view.ObjectItem(n);
        QVERIFY(item != nullptr);
        QVERIFY(item->isVisible());
        QCOMPARE(item->toolTip(), QStringLiteral("%1 - КамАЗ-65115 А412ВС").arg(n));
        items.push_back(item);
    }
    // The list's first row has its label; the crowd cannot have all of theirs.
    QVERIFY(!view.ObjectItem(1)->LabelRect().isNull());
    const Crowd fitted = Survey(view, items);
    QVERIFY2(fitted.fault.isEmpty(), qPrintable(fitted.fault));
    QVERIFY(fitted.shown >= 1 && fitted.hidden > 0);
    fixture::SaveShot(window, QStringLiteral("map-crowd-test.png"));

    // Hovering over a mark whose label is left out shows its title.
    CMapObjectItem* silent = nullptr;
    for (CMapObjectItem* item : items) {
        const QPoint at = view.mapFromScene(item->pos());
        if (item->LabelRect().isNull() && view.itemAt(at) == item) {
            silent = item;
            break;
        }
    }
    QVERIFY(silent != nullptr);
    const QPoint at = view.mapFromScene(silent->pos());
    QHelpEvent hover(QEvent::ToolTip, at, view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.viewport(), &hover);
    QTRY_COMPARE(QToolTip::text(), silent->Title());
    QToolTip::hideText();

    // Zoomed in on the crowd, more labels find room, and still none overlaps.
    const QPoint centre = view.mapFromScene(view.ScenePoint(55.00008, 37.00012));
    for (int k = 0; k < 4; ++k) {
        Wheel(view.viewport(), centre, 480);
    }
    const Crowd zoomed = Survey(view, items);
    QVERIFY2(zoomed.fault.isEmpty(), qPrintable(zoomed.fault));
    QVERIFY2(zoomed.shown > fitted.shown,
             qPrintable(QStringLiteral("%1 <= %2").arg(zoomed.shown).arg(fitted.shown)));
    // And the next refresh pass keeps the zoom's placement.
    window.ApplyRows(*rig.console->RefreshView());
    QCOMPARE(Survey(view, items).shown, zoomed.shown);
}

namespace {

// What the map's viewport paints: how often and where.
class PaintLog : public QObject {
public:
    explicit PaintLog(QWidget* viewport) : viewport_(viewport) {
        viewport->installEventFilter(this);
    }
    int paints = 0;
    QRegion painted;
    // Lets the pending updates be painted, then forgets them.
    void Settle() {
        QTest::qWait(80);
        paints = 0;
        painted = QRegion();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == viewport_ && event->type() == QEvent::Paint) {
            ++paints;
            painted += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }

private:
    QWidget* viewport_;
};

bool Covers(const QRegion& region, const QRectF& rect) {
    return (QRegion(rect.toAlignedRect()) - region).isEmpty();
}

// A park of 5 km radius with three vehicles inside, far apart on the screen: one in the
// middle, one 3.3 km north, one 3.8 km east.
struct Park {
    fixture::ConsoleRig rig;
    int middle = 0;
    int north = 0;
    int east = 0;
    Park() {
        rig.AddZone("Парк", Circle, 55.0, 37.0, 5000, 78539816);
        middle = rig.AddObject("1", "Truck");
        north = rig.AddObject("2", "Bus");
        east = rig.AddObject("3", "Van");
        rig.Place(middle, 55.0, 37.0, 40);
        rig.Place(north, 55.03, 37.0, 40);
        rig.Place(east, 55.0, 37.06, 40);
    }
};

}  // namespace

// A pass in which nothing changed paints nothing, and one that moves a vehicle within
// what the view shows paints that vehicle, where it was and where it is, and leaves the
// others and the view's fit alone.
void TestMapWindow::passesRepaintOnlyWhatChanged() {
    Park park;
    CMapWindow window(*park.rig.console);
    window.resize(640, 480);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CMapView& view = *window.View();
    window.ApplyRows(*park.rig.console->RefreshView());
    QCOMPARE(view.ObjectCount(), 3);
    PaintLog log(view.viewport());
    log.Settle();

    for (int k = 0; k < 3; ++k) {
        window.ApplyRows(*park.rig.console->RefreshView());
        QTest::qWait(80);
    }
    QCOMPARE(log.paints, 0);

    CMapObjectItem& truck = *view.ObjectItem(1);
    const QRectF was = OnScreen(view, truck, truck.boundingRect());
    const QTransform zoom = view.transform();
    const QPoint middle = view.mapFromScene(view.ScenePoint(55.0, 37.0));
    park.rig.Place(park.middle, 55.0, 36.99, 40);  // 640 m west, still in the park
    window.ApplyRows(*park.rig.console->RefreshView());
    QTest::qWait(80);
    QCOMPARE(truck.pos(), view.ScenePoint(55.0, 36.99));
    QVERIFY(log.paints > 0);
    const QRectF is = OnScreen(view, truck, truck.boundingRect());
    QVERIFY(Covers(log.painted, was));
    QVERIFY(Covers(log.painted, is));
    for (const int32_t other : {2, 3}) {
        const CMapObjectItem& item = *view.ObjectItem(other);
        const QRectF rect = OnScreen(view, item, item.boundingRect());
        QVERIFY2(!log.painted.intersects(rect.toAlignedRect()), qPrintable(item.Title()));
    }
    QCOMPARE(view.transform(), zoom);
    QCOMPARE(view.mapFromScene(view.ScenePoint(55.0, 37.0)), middle);
    QVERIFY(view.FollowsContent());

    // A new colour (heard from just now) repaints its vehicle alone as well.
    log.Settle();
    {
        ObjectRecord& o = park.rig.console->store.Object(park.north);
        o.lastReceivedAt = park.rig.clock.Now();
        o.lastMessageTime = park.rig.clock.Now();
        o.firstTimeout = DateTime::FromTimeOfDay(0, 11, 0);
        o.secondTimeout = DateTime::FromTimeOfDay(0, 5, 0);
    }
    window.ApplyRows(*park.rig.console->RefreshView());
    QTest::qWait(80);
    QCOMPARE(view.ObjectItem(2)->Colours().back, kWhite);
    QVERIFY(log.paints > 0);
    QVERIFY(Covers(log.painted,
                   OnScreen(view, *view.ObjectItem(2), view.ObjectItem(2)->boundingRect())));
    QVERIFY(!log.painted.intersects(OnScreen(view, truck, truck.boundingRect()).toAlignedRect()));
}

// Until the dispatcher moves the map, the view takes in whatever comes out of it; once
// he has scrolled (also with the arrow keys) or zoomed, the passes leave his view alone,
// whether or not they change anything.
void TestMapWindow::theDispatchersViewOutlivesThePasses() {
    Park park;
    CMapWindow window(*park.rig.console);
    window.resize(640, 480);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CMapView& view = *window.View();
    window.ApplyRows(*park.rig.console->RefreshView());

    // Following: a vehicle that leaves the park for 20 km north is brought into view.
    park.rig.Place(park.north, 55.18, 37.0, 40);
    window.ApplyRows(*park.rig.console->RefreshView());
    QVERIFY(view.FollowsContent());
    QVERIFY(InView(view, view.ScenePoint(55.18, 37.0)));
    QVERIFY(InView(view, view.ScenePoint(55.0, 37.06)));

    // Scrolled with the keys: the map stays where the dispatcher put it, through a pass
    // that changes nothing and one that moves a vehicle further out.
    const QPointF truck = view.ScenePoint(55.0, 37.0);
    const QPoint fitted = view.mapFromScene(truck);
    QTest::keyClick(&view, Qt::Key_Right);
    QTest::keyClick(&view, Qt::Key_Down);
    const QPoint scrolled = view.mapFromScene(truck);
    QVERIFY(scrolled.x() < fitted.x() && scrolled.y() < fitted.y());
    window.ApplyRows(*park.rig.console->RefreshView());
    QCOMPARE(view.mapFromScene(truck), scrolled);
    park.rig.Place(park.north, 55.3, 37.0, 40);
    window.ApplyRows(*park.rig.console->RefreshView());
    QCOMPARE(view.mapFromScene(truck), scrolled);
    QVERIFY(!InView(view, view.ScenePoint(55.3, 37.0)));
    QVERIFY(!view.FollowsContent());

    // Zoomed: the same.
    QTest::keyClick(&window, Qt::Key_Home);
    QVERIFY(view.FollowsContent());
    Wheel(view.viewport(), view.mapFromScene(truck), 240);
    const qreal zoomed = view.transform().m11();
    const QPoint under = view.mapFromScene(truck);
    park.rig.Place(park.north, 55.4, 37.0, 40);
    window.ApplyRows(*park.rig.console->RefreshView());
    QCOMPARE(view.transform().m11(), zoomed);
    QCOMPARE(view.mapFromScene(truck), under);
}

// The scale bar stands on the viewport while the map scrolls under it: what is on the
// screen after a scroll is what a full repaint would show, with no stale copy of the bar.
void TestMapWindow::scaleBarStaysPutWhenTheMapScrolls() {
    Park park;
    CMapWindow window(*park.rig.console);
    window.resize(640, 480);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CMapView& view = *window.View();
    window.ApplyRows(*park.rig.console->RefreshView());
    QTest::qWait(80);

    QTest::keyClick(&view, Qt::Key_Down);
    QTest::keyClick(&view, Qt::Key_Right);
    QTest::qWait(80);
    QWidget& viewport = *view.viewport();
    const QRect corner(0, viewport.height() - 80, 260, 80);
    const QPoint origin = viewport.mapTo(&window, corner.topLeft());
    const QImage shown =
        window.screen()
            ->grabWindow(window.winId(), origin.x(), origin.y(), corner.width(), corner.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    const QImage fresh = viewport.grab(corner).toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(!shown.isNull());
    QCOMPARE(shown.size(), fresh.size());
    QVERIFY(shown == fresh);
}

void TestMapWindow::clickSelectsTheRowAndTheLayoutKeepsTheMap() {
    Prompt::SetScripted(true);
    auto rig = std::make_unique<Rig>();
    Rig& r = *rig;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    QVERIFY(r.Deliver("06115900.012", FixRecord(12, kInA, MinutesAgo(1), MinutesAgo(1))));
    QVERIFY(r.Deliver("06115900.007", FixRecord(7, kInB, MinutesAgo(1), MinutesAgo(1))));
    // Until the map has been opened, the layout has no map section.
    QVERIFY(!r.Saved("Interface.ini").contains("[MapDlg]"));

    QAction* item = r.W().CommandAction(CMainDialog::kCmdMap);
    QVERIFY(item != nullptr);
    QCOMPARE(item->text(), QStringLiteral("Карта..."));
    item->trigger();
    CMapWindow* window = r.W().MapWindow()->Window();
    QVERIFY(window != nullptr);
    QCOMPARE(window->windowTitle(), QStringLiteral("Карта"));
    QVERIFY(window->isVisible());
    CMapView& view = *window->View();
    // Live with the refresh worker.
    QTRY_COMPARE(view.ObjectCount(), 2);
    QTRY_COMPARE(view.ObjectItem(7)->pos(), view.ScenePoint(kInB.latitude, kInB.longitude));
    QCOMPARE(view.ZoneCount(), 3);

    // A click on the bus selects its row, and only that one.
    r.Select({12, 5});
    const QPoint onBus = view.mapFromScene(view.ObjectItem(7)->pos()) + QPoint(20, 0);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, onBus);
    QCOMPARE(r.W().SelectedObjectNumbers(), std::vector<int32_t>{7});
    // A click on empty ground changes nothing.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    QCOMPARE(r.W().SelectedObjectNumbers(), std::vector<int32_t>{7});

    // Open: its rectangle and state 1 after everything the layout held before.
    window->move(window->pos() + QPoint(30, 20));
    window->resize(500, 380);
    const LayoutRect placed = window->CurrentRect();
    QTRY_VERIFY(r.Saved("Interface.ini").endsWith(MapSection(placed, 1)));
    QByteArray bytes = r.Saved("Interface.ini");
    QByteArray old;
    {
        auto lock = r.C().Lock();
        WindowLayout without = r.C().layout;
        without.mapPlacement = MapPlacement{};
        old = QByteArray::fromStdString(without.BuildLayoutFile());
    }
    QCOMPARE(bytes, old + MapSection(placed, 1));

    // Closed by the dispatcher: state -1, the rectangle kept; reopened at that rectangle.
    window->reject();
    QTRY_VERIFY(r.W().MapWindow()->Window() == nullptr);
    QVERIFY(r.Saved("Interface.ini").endsWith(MapSection(placed, -1)));
    r.W().RunCommand(CMainDialog::kCmdMap);
    window = r.W().MapWindow()->Window();
    QVERIFY(window != nullptr);
    QTRY_COMPARE(window->CurrentRect(), placed);
    QTRY_VERIFY(r.Saved("Interface.ini").endsWith(MapSection(placed, 1)));

    // Open at exit: open again at the next start, at its rectangle.
    r.W().Exit();
    QVERIFY(r.W().IsEnded());
    QVERIFY(r.Saved("Interface.ini").endsWith(MapSection(placed, 1)));
    r.window.reset();
    QVERIFY(r.Start());
    window = r.W().MapWindow()->Window();
    QVERIFY(window != nullptr);
    QVERIFY(window->isVisible());
    QTRY_COMPARE(window->CurrentRect(), placed);
    QTRY_COMPARE(window->View()->ObjectCount(), 2);

    // The map goes to the tray with the main window and comes back with it.
    r.W().SetTrayAvailableOverride(true);
    r.W().AddTrayIcon();
    QVERIFY(!window->isVisible());
    r.W().RestoreFromTray();
    QTRY_VERIFY(window->isVisible());
    rig.reset();
    Prompt::SetScripted(false);
}

namespace {

// Tiles answered only when the test says so; what was asked is recorded.
class HeldTiles : public TileSource {
public:
    struct Asked {
        int z;
        int x;
        int y;
    };
    std::vector<Asked> asked;
    int cancels = 0;

    void Request(int z, int x, int y) override { asked.push_back({z, x, y}); }
    void CancelPending() override { ++cancels; }
    QString Attribution() const override { return QStringLiteral("© Проба"); }
    int MinZoom() const override { return 0; }
    int MaxZoom() const override { return 18; }
    void Answer(const Asked& a, QRgb colour) {
        QImage image(256, 256, QImage::Format_RGB32);
        image.fill(colour);
        emit tileReady(a.z, a.x, a.y, image);
    }
    bool WasAsked(int z, int x, int y, std::size_t from = 0) const {
        for (std::size_t i = from; i < asked.size(); ++i) {
            if (asked[i].z == z && asked[i].x == x && asked[i].y == y) {
                return true;
            }
        }
        return false;
    }
};

// A tile server on 127.0.0.1: every GET is answered with the same tile.
class OneTileServer : public QObject {
public:
    explicit OneTileServer(QRgb colour) {
        QImage image(256, 256, QImage::Format_RGB32);
        image.fill(colour);
        QBuffer buffer(&png_);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    request_[socket] += socket->readAll();
                    if (!request_[socket].contains("\r\n\r\n")) {
                        return;
                    }
                    ++hits;
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " +
                                  QByteArray::number(png_.size()) +
                                  "\r\nCache-Control: max-age=3600\r\nConnection: close\r\n\r\n" +
                                  png_);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        server_.listen(QHostAddress::LocalHost, 0);
    }
    QString Template() const {
        return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(server_.serverPort());
    }
    int hits = 0;

private:
    QTcpServer server_;
    QByteArray png_;
    QHash<QTcpSocket*, QByteArray> request_;
};

QRgb PixelAt(QWidget* viewport, QPoint at) {
    return viewport->grab().toImage().pixel(at);
}

}  // namespace

void TestMapWindow::baseLayerFromAnMbTilesFile() {
    fixture::ConsoleRig rig;
    rig.AddZone("Склад", Circle, 56.84, 60.60, 200, 125000);
    const int truck = rig.AddObject("12", "Truck");
    rig.Place(truck, 56.845, 60.615, 0);

    // Zoom 14 only, 6 × 6 tiles around the zone. Every pixel tells where it is: red its
    // column in the tile, green its row, blue the tile (20 + 10 per column + 1 per row of
    // the block); no blue above 75, so neither the background nor a zone's fill.
    const int z = 14;
    const QPoint middle = WebMercator::TileAt(56.84, 60.60, z);
    auto tileBlue = [&](QPoint tile) {
        return 20 + 10 * (tile.x() - middle.x() + 3) + (tile.y() - middle.y() + 3);
    };
    const QString path = QDir(rig.dir.path()).filePath(QStringLiteral("ekb.mbtiles"));
    {
        MbTilesWriter file(path);
        file.Meta("format", QStringLiteral("png"));
        file.Meta("minzoom", QStringLiteral("14"));
        file.Meta("maxzoom", QStringLiteral("14"));
        // As MBTiles files often give it: HTML with a link, shown as its text.
        file.Meta("attribution",
                  QStringLiteral("<a href=\"https://example.org/\">© Проба</a>  подложки"));
        for (int dx = -3; dx < 3; ++dx) {
            for (int dy = -3; dy < 3; ++dy) {
                const QPoint tile = middle + QPoint(dx, dy);
                QImage image(256, 256, QImage::Format_RGB32);
                for (int j = 0; j < 256; ++j) {
                    for (int i = 0; i < 256; ++i) {
                        image.setPixel(i, j, qRgb(i, j, tileBlue(tile)));
                    }
                }
                file.Tile(z, tile.x(), tile.y(), image);
            }
        }
        QVERIFY(file.Ok());
    }
    // The file wins over a server's address set beside it (nothing is fetched).
    rig.console->settings.baseMapFile = path.toStdString();
    rig.console->settings.baseMapUrl = "http://127.0.0.1:9/{z}/{x}/{y}.png";

    CMapWindow window(*rig.console);
    window.resize(640, 480);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.ApplyRows(*rig.console->RefreshView());
    CMapView& view = *window.View();
    QVERIFY(view.UsesWebMercator());
    QCOMPARE(view.CornerText(), QStringLiteral("© Проба подложки"));

    CMapObjectItem* item = view.ObjectItem(12);
    QVERIFY(item != nullptr);

    QTRY_VERIFY(view.TileLayer()->CachedCount() >= 4 && view.TileLayer()->PendingCount() == 0);
    // Under the truck (hidden for the picture): the tile's own pixel for its position.
    item->hide();
    const QImage shot = view.viewport()->grab().toImage();
    const QPoint at = view.mapFromScene(item->pos());
    QVERIFY(view.viewport()->rect().contains(at));
    const QRgb under = shot.pixel(at);
    const QPointF pixel = WebMercator::ToPixel(56.845, 60.615, z);
    const QPoint tile = WebMercator::TileAt(56.845, 60.615, z);
    QCOMPARE(qBlue(under), tileBlue(tile));
    QVERIFY2(std::abs(qRed(under) - (pixel.x() - 256 * tile.x())) <= 2,
             qPrintable(QString::number(qRed(under))));
    QVERIFY2(std::abs(qGreen(under) - (pixel.y() - 256 * tile.y())) <= 2,
             qPrintable(QString::number(qGreen(under))));

    // The attribution in the bottom right corner: a pale box over the tiles, dark text.
    const QRect corner = view.CornerTextArea();
    QVERIFY(!corner.isEmpty());
    QVERIFY(view.viewport()->rect().contains(corner));
    QCOMPARE(corner.right(), view.viewport()->width() - 3);
    int pale = 0;
    int dark = 0;
    for (int y = corner.top(); y <= corner.bottom(); ++y) {
        for (int x = corner.left(); x <= corner.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            pale += std::min({c.red(), c.green(), c.blue()}) >= 195 ? 1 : 0;
            dark += std::max({c.red(), c.green(), c.blue()}) < 120 ? 1 : 0;
        }
    }
    QVERIFY(pale > corner.width() * corner.height() / 2);
    QVERIFY(dark > 0);
    item->show();

    // No base layer: the map is exactly the map of a window that never had one.
    rig.console->settings.baseMapFile.clear();
    rig.console->settings.baseMapUrl.clear();
    window.RebuildZones();
    QVERIFY(!view.UsesWebMercator());
    QVERIFY(view.CornerText().isEmpty());
    CMapWindow plain(*rig.console);
    plain.ApplyRows(*rig.console->RefreshView());
    QCOMPARE(item->pos(), plain.View()->ObjectItem(12)->pos());
    const ProjectedPoint flat = view.Projection().ToPlane(56.845, 60.615);
    QCOMPARE(item->pos(), QPointF(flat.x, -flat.y));

    // A file that cannot be read: no base layer, and why in the corner.
    rig.console->settings.baseMapFile = (path + QStringLiteral(".missing")).toStdString();
    window.RebuildZones();
    QVERIFY(!view.UsesWebMercator());
    QVERIFY2(view.CornerText().contains(QStringLiteral("не открывается")),
             qPrintable(view.CornerText()));
    QCOMPARE(item->pos(), QPointF(flat.x, -flat.y));
}

void TestMapWindow::tilesAskedFromTheMiddleAndDrawnAsTheyCome() {
    CMapView view;
    view.resize(600, 500);
    ZoneRecord zone;
    zone.name = W("Склад");
    zone.kind = Circle;
    zone.latitude = 56.84;
    zone.longitude = 60.60;
    zone.radiusMetres = 20;
    view.SetZones({zone});
    auto* tiles = new HeldTiles;
    view.SetBaseLayer(tiles);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QWidget* viewport = view.viewport();
    QTRY_VERIFY(!tiles->asked.empty());

    // The zoom whose pixels come nearest the screen's; the tile in the middle first, and
    // no tile twice.
    const double pixelsPerWorld0 = view.transform().m11() * WebMercator::MetresPerPixel(56.84, 0);
    const HeldTiles::Asked first = tiles->asked.front();
    QCOMPARE(first.z, int(std::round(std::log2(pixelsPerWorld0))));
    const QPoint centre = viewport->rect().center();
    const WebMercator::LatLon mid = view.ScenePosition(view.mapToScene(centre));
    QCOMPARE(QPoint(first.x, first.y), WebMercator::TileAt(mid.latitude, mid.longitude, first.z));
    for (std::size_t i = 0; i < tiles->asked.size(); ++i) {
        const auto& a = tiles->asked[i];
        QVERIFY(!tiles->WasAsked(a.z, a.x, a.y, i + 1));
    }

    // A point inside the first tile, away from the zone and the bars at the bottom.
    const WebMercator::LatLon tileMiddle =
        WebMercator::ToLatLon(QPointF((first.x + 0.5) * 256, (first.y + 0.5) * 256), first.z);
    const QPoint tileAt =
        view.mapFromScene(view.ScenePoint(tileMiddle.latitude, tileMiddle.longitude));
    QPoint sample;
    for (const QPoint step : {QPoint(60, 60), QPoint(-60, 60), QPoint(60, -60), QPoint(-60, -60)}) {
        const QPoint p = tileAt + step;
        if (viewport->rect().adjusted(0, 0, 0, -60).contains(p) &&
            (sample.isNull() || QLineF(p, centre).length() > QLineF(sample, centre).length())) {
            sample = p;
        }
    }
    QVERIFY(!sample.isNull());
    QCOMPARE(PixelAt(viewport, sample), qRgb(226, 232, 236));  // the background, for now

    // The tile comes: that part of the viewport is painted again, with it.
    PaintLog log(viewport);
    log.Settle();
    tiles->Answer(first, qRgb(200, 30, 30));
    QTRY_VERIFY(log.painted.contains(sample));
    QCOMPARE(PixelAt(viewport, sample), qRgb(200, 30, 30));

    // Zoomed in twice over around that point: the finer tiles are asked for, and until
    // they come the coarser one kept stands in for them, scaled up.
    const std::size_t coarse = tiles->asked.size();
    Wheel(viewport, sample, 463);  // 1.0015^463 ≈ 2
    QTRY_VERIFY(tiles->asked.size() > coarse);
    QCOMPARE(tiles->asked[coarse].z, first.z + 1);
    QCOMPARE(PixelAt(viewport, sample), qRgb(200, 30, 30));
    Wheel(viewport, sample, -463);
    QTRY_COMPARE(tiles->asked.back().z, first.z);

    // A move: what was not started is forgotten, the new middle comes first, and the
    // tile kept is not asked for again.
    const int cancels = tiles->cancels;
    const std::size_t before = tiles->asked.size();
    Drag(viewport, QPoint(500, 400), QPoint(100, 100));
    QTRY_VERIFY(tiles->asked.size() > before);
    QVERIFY(tiles->cancels > cancels);
    const HeldTiles::Asked next = tiles->asked[before];
    const WebMercator::LatLon moved = view.ScenePosition(view.mapToScene(centre));
    QCOMPARE(QPoint(next.x, next.y), WebMercator::TileAt(moved.latitude, moved.longitude, next.z));
    QVERIFY(!tiles->WasAsked(first.z, first.x, first.y, before));

    // A tile that failed is not asked for again when the view comes back to it (it is
    // retried a minute later).
    emit tiles->failed(next.z, next.x, next.y, QStringLiteral("Нет плитки"));
    const std::size_t after = tiles->asked.size();
    Drag(viewport, QPoint(100, 100), QPoint(500, 400));
    QTRY_VERIFY(tiles->asked.size() > after);
    const std::size_t back = tiles->asked.size();
    Drag(viewport, QPoint(500, 400), QPoint(100, 100));
    QTRY_VERIFY(tiles->asked.size() > back);
    QVERIFY(!tiles->WasAsked(next.z, next.x, next.y, after));
    QCOMPARE(view.CornerText(), QStringLiteral("© Проба"));
}

void TestMapWindow::baseLayerFromATileServer() {
    fixture::ConsoleRig rig;
    rig.AddZone("Склад", Circle, 56.84, 60.60, 100, 31400);
    OneTileServer server(qRgb(30, 160, 60));
    rig.console->settings.baseMapUrl = server.Template().toStdString();
    CMapWindow window(*rig.console);
    window.resize(640, 480);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CMapView& view = *window.View();
    QVERIFY(view.UsesWebMercator());
    QCOMPARE(view.CornerText(), QStringLiteral("Плитки: 127.0.0.1"));
    QTRY_VERIFY(view.TileLayer()->CachedCount() > 0 && view.TileLayer()->PendingCount() == 0);
    QVERIFY(server.hits > 0);
    // Away from the zone, the server's tile; its pictures kept in the program folder.
    QTRY_COMPARE(PixelAt(view.viewport(), QPoint(20, 20)), qRgb(30, 160, 60));
    const QDir cache(QDir(rig.dir.path()).filePath(QStringLiteral("TileCache")));
    QTRY_VERIFY(cache.exists() &&
                !cache.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());

    // An address that is no tile template: no base layer, and why in the corner.
    rig.console->settings.baseMapUrl = "ftp://127.0.0.1/tiles.png";
    window.RebuildZones();
    QVERIFY(!view.UsesWebMercator());
    QVERIFY2(view.CornerText().startsWith(QStringLiteral("Адрес сервера плиток")),
             qPrintable(view.CornerText()));
}

QTEST_MAIN(TestMapWindow)
#include "tst_mapwindow.moc"
