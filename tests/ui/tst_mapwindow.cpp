// The map window: zones and objects drawn from the refresh passes, zoom, drag and fit,
// a click that selects the object's row, and its record in Interface.ini.
#include <QGraphicsEllipseItem>
#include <QPushButton>
#include <QWheelEvent>
#include <cmath>

#include "tst_mainwindow_rig.h"
#include "zones/MapObjectItem.h"
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
    QWheelEvent event(local, viewport->mapToGlobal(local), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
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
    void clickSelectsTheRowAndTheLayoutKeepsTheMap();

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
    QVERIFY2(std::abs(moved.y() + 0.01 * kMetresPerDegree) < 0.5, qPrintable(QString::number(moved.y())));
    const double east = 0.01 * kMetresPerDegree * std::cos(view.Projection().OriginLatitude() *
                                                           3.14159265358979323846 / 180);
    QVERIFY2(std::abs(moved.x() - east) < 0.5, qPrintable(QString::number(moved.x())));
    QVERIFY(moved.x() > 600 && moved.x() < 660);
    QCOMPARE(item->Colours().back, kWhite);
    QCOMPARE(item->Colours().text, kBlack);
    QVERIFY(item->Colours().italicZone);
    QCOMPARE(view.ObjectCount(), 2);
    QCOMPARE(view.ObjectItem(7)->pos(), first);

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
    QVERIFY(!InView(view, view.ScenePoint(55.1, 37.2)) || !InView(view, view.ScenePoint(55.0, 37.0)));
    QTest::keyClick(&window, Qt::Key_Home);
    QVERIFY(InView(view, view.ScenePoint(55.0, 37.0)));
    QVERIFY(InView(view, view.ScenePoint(55.1, 37.2)));
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

QTEST_MAIN(TestMapWindow)
#include "tst_mapwindow.moc"
