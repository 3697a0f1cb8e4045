#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "ConsoleFixture.h"
#include "objectlist/ObjectListModel.h"
#include "zones/DistanceListWindow.h"
#include "zones/DistanceWindows.h"
#include "zones/ZoneDistanceDialog.h"

namespace {

using namespace fixture;

// Zones on one meridian (0.01 degree of latitude = 1111.97 m):
//   0 "Центр" circle 55.75, 37.6 r 2000;  1 "Порт" circle 55.80, 37.6 r 1000.
// Objects: 1 Alpha at 55.75 (in "Центр"), 2 Beta never reported, 3 Gamma at 55.80 (in
// "Порт"), 4 Delta at 55.77 (between).
struct Rig : ConsoleRig {
    Rig() {
        AddZone(*console->zoneMap, "Центр", 55.75, 2000);
        AddZone(*console->zoneMap, "Порт", 55.80, 1000);
        Place(AddObject("1", "Alpha"), 55.75);
        AddObject("2", "Beta");
        Place(AddObject("3", "Gamma"), 55.80);
        Place(AddObject("4", "Delta"), 55.77);
    }
    static void AddZone(CZoneMap& map, const char* nameUtf8, double lat, int radius) {
        fixture::AddZone(map, nameUtf8, Circle, lat, 37.6, radius, 1000000);
    }
    void Place(int i, double lat) { ConsoleRig::Place(i, lat, 37.6, 0); }
};

}  // namespace

class TestDistanceWindows : public QObject {
    Q_OBJECT
private slots:
    void windowsOpenRecordAndForgetTheirEntries();
    void reportsGoIntoTheirOwnEntry();
    void restoredWindowsHaveTheSavedPlaceSizeAndWidths();
    void restoreOpensOneWindowPerZoneUpToTheBound();
    void everyColumnFitsAtTheDefaultSize();
    void sortRequestsSortByDistanceToTheWindowsZone();
    void zoneDistanceDialogIsKeptCurrentAndPlaced();
    void windowsFindTheirZoneAfterAZoneFileReload();
};

void TestDistanceWindows::windowsOpenRecordAndForgetTheirEntries() {
    Rig rig;
    CDistanceWindows windows(*rig.console, nullptr);
    QVERIFY(windows.OpenWindowAt(5, QPoint(10, 10)) == nullptr);  // no such zone
    QCOMPARE(windows.Count(), 0);

    CDistanceListWindow* first = windows.OpenWindowAt(0, QPoint(50, 60));
    CDistanceListWindow* second = windows.OpenWindowAt(0, QPoint(300, 200));
    QVERIFY(first != nullptr && second != nullptr && first != second);
    QCOMPARE(first->windowTitle(), QStringLiteral("Расстояние до: Центр"));
    QVERIFY(first->isVisible());

    // Two windows for one zone: two entries, in opening order, with zero widths.
    const WindowLayout& layout = rig.console->layout;
    QCOMPARE(layout.smallWindowNames, (std::vector<std::string>{W("Центр"), W("Центр")}));
    QCOMPARE(layout.smallWindowPlacements[0].rect.left, 50);
    QCOMPARE(layout.smallWindowPlacements[0].rect.top, 60);
    QCOMPARE(layout.smallWindowPlacements[1].rect.left, 300);
    QCOMPARE(layout.smallWindowPlacements[1].widths, (std::array<int32_t, 4>{0, 0, 0, 0}));
    QCOMPARE(rig.LayoutBytes().count(Cp("[SmallDlg=Центр]\r\npos=")), 2);

    // Texts: the centre is 0.00 km away; an object never heard from has "---" in
    // every column but its own name.
    CObjectListCtrl* list = first->List();
    QCOMPARE(Column(list, 0), (QStringList{"1 - Alpha", "2 - Beta", "3 - Gamma", "4 - Delta"}));
    QCOMPARE(Column(list, 1), (QStringList{"0.00 км", "---", "5.56 км", "2.22 км"}));
    QCOMPARE(Column(list, 2), (QStringList{"Центр", "---", "Порт", "---"}));
    QCOMPARE(Column(list, 3), (QStringList{"0 (0)", "---", "0 (0)", "0 (0)"}));
    QVERIFY(list->PaintStyle(0, 0).font.bold);
    QVERIFY(!list->PaintStyle(2, 0).font.bold);
    QCOMPARE(list->selectionMode(), QAbstractItemView::NoSelection);

    SaveShot(*first, QStringLiteral("distance-window-1.png"));

    // Closing the first removes the first entry; the second keeps its own.
    const WindowPlacement kept = layout.smallWindowPlacements[1];
    first->close();
    QCOMPARE(windows.Count(), 1);
    QCOMPARE(windows.Window(0), second);
    QCOMPARE(layout.smallWindowPlacements.size(), std::size_t(1));
    QCOMPARE(layout.smallWindowPlacements[0], kept);
    QCOMPARE(rig.LayoutBytes().count(Cp("[SmallDlg=")), 1);

    // Hidden with the main window, shown again when it comes back.
    windows.HideAll();
    QVERIFY(!second->isVisible());
    windows.ShowAll();
    QVERIFY(second->isVisible());

    // Closes while the program ends are not the dispatcher's: the entry stays.
    windows.Shutdown();
    second->close();
    QCOMPARE(layout.smallWindowNames.size(), std::size_t(1));
}

void TestDistanceWindows::reportsGoIntoTheirOwnEntry() {
    Rig rig;
    CDistanceWindows windows(*rig.console, nullptr);
    windows.OpenWindowAt(0, QPoint(20, 20));
    CDistanceListWindow* port = windows.OpenWindowAt(1, QPoint(400, 20));
    const WindowPlacement first = rig.console->layout.smallWindowPlacements[0];

    port->resize(500, 260);
    port->move(420, 40);
    port->List()->horizontalHeader()->resizeSection(0, 150);
    const WindowPlacement& stored = rig.console->layout.smallWindowPlacements[1];
    QCOMPARE(stored, port->CurrentPlacement());
    QCOMPARE(stored.rect.left, 420);
    QCOMPARE(stored.widths[0], 150);
    QCOMPARE(rig.console->layout.smallWindowPlacements[0], first);
    QVERIFY(rig.LayoutBytes().contains(Cp("[SmallDlg=Порт]\r\npos=420,")));
}

void TestDistanceWindows::restoredWindowsHaveTheSavedPlaceSizeAndWidths() {
    Rig rig;
    WindowLayout& layout = rig.console->layout;
    layout.smallWindowNames = {W("Порт"), W("Снесён"), W("Центр")};
    layout.smallWindowPlacements = {
        WindowPlacement{LayoutRect{30, 40, 530, 300}, {120, 90, 110, 60}},
        WindowPlacement{LayoutRect{1, 2, 3, 4}, {1, 2, 3, 4}},
        WindowPlacement{LayoutRect{600, 40, 900, 240}, {0, 0, 0, 0}}};

    CDistanceWindows windows(*rig.console, nullptr);
    windows.RestoreAtStart(false);
    // The zone that left the zone file takes its entry with it.
    QCOMPARE(windows.Count(), 2);
    QCOMPARE(layout.smallWindowNames, (std::vector<std::string>{W("Порт"), W("Центр")}));
    QVERIFY(!rig.LayoutBytes().contains(Cp("Снесён")));
    QVERIFY(rig.LayoutBytes().contains(Cp("[SmallDlg=Порт]\r\npos=30,530,40,300\r\n")));

    CDistanceListWindow* port = windows.Window(0);
    QCOMPARE(port->ZoneIndex(), 1);
    QVERIFY(!port->isVisible());  // the main window starts in the tray
    QCOMPARE(port->List()->ColumnWidths(), (std::vector<int>{120, 90, 110, 60}));
    windows.ShowAll();
    QCoreApplication::processEvents();
    QCOMPARE(port->CurrentPlacement().rect, (LayoutRect{30, 40, 530, 300}));
    QCOMPARE(layout.smallWindowPlacements[0], port->CurrentPlacement());
    // Default widths for an entry without any (fitted to the window as it was made;
    // "Расстояние" and "Скорость" wider than 75 and 65 only where their headers need it).
    const std::vector<int> widths = windows.Window(1)->List()->ColumnWidths();
    QVERIFY(widths[1] >= 75 && widths[1] <= 90);
    QCOMPARE(widths[2], widths[0] - 1);
    QVERIFY(widths[3] >= 65 && widths[3] <= 80);
    QCOMPARE(windows.Window(1)->CurrentPlacement().rect, (LayoutRect{600, 40, 900, 240}));

    SaveShot(*port, QStringLiteral("distance-window-2.png"));
}

// An Interface.ini with 2,000 distance-window records: the first is for "Район 1", the
// second repeats it, the third names a zone the map lacks, the fourth is "Район 2",
// and then the records go round and round the forty zones "Район 1" .. "Район 40".
// Record k stands at left = k, top = 2k, 300 x 150; the odd ones carry column widths.
void TestDistanceWindows::restoreOpensOneWindowPerZoneUpToTheBound() {
    Rig rig;
    for (int z = 1; z <= 40; ++z) {
        const QByteArray name = QStringLiteral("Район %1").arg(z).toUtf8();
        fixture::AddZone(*rig.console->zoneMap, name.constData(), Circle, 55.0 + z * 0.01, 37.6,
                         300, 282743);
    }
    auto zoneName = [](int k) -> QByteArray {
        if (k == 0 || k == 1) {
            return Cp("Район 1");
        }
        if (k == 2) {
            return Cp("Снесён");
        }
        if (k == 3) {
            return Cp("Район 2");
        }
        return Cp("Район ") + QByteArray::number((k - 4) % 40 + 1);
    };
    auto section = [](const QByteArray& name, int k) {
        return "[SmallDlg=" + name + "]\r\npos=" + QByteArray::number(k) + "," +
               QByteArray::number(k + 300) + "," + QByteArray::number(2 * k) + "," +
               QByteArray::number(2 * k + 150) +
               "\r\ncols=" + (k % 2 == 0 ? "0,0,0,0" : "100,80,90,70") + "\r\n";
    };
    QByteArray file = "[GlobalSize]\r\npos=0,700,0,300\r\nmaxMin=0\r\n";
    for (int k = 0; k < 2000; ++k) {
        file += section(zoneName(k), k);
    }
    const QByteArray tail =
        "[AddDlgInfo]\r\npos=0,0,0,0\r\ncols=0,0,0,0\r\n[Cols]\r\n6=150\r\n7=80\r\n"
        "[Count]\r\n17\r\n[Lastmsg]\r\n\r\n";
    file += tail;
    {
        QFile out(QDir(rig.dir.path()).filePath(QStringLiteral("Interface.ini")));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file);
    }
    rig.console->layout.LoadLayout();
    QCOMPARE(rig.console->layout.smallWindowNames.size(), std::size_t(2000));

    QElapsedTimer clock;
    clock.start();
    {
        CDistanceWindows windows(*rig.console, nullptr);
        windows.RestoreAtStart(false);

        // One window per zone, the zone's first record, and no more than the bound: the
        // first 32 zones.
        QCOMPARE(CDistanceWindows::kMaxRestored, std::size_t(32));
        QCOMPARE(std::size_t(windows.Count()), CDistanceWindows::kMaxRestored);
        QCOMPARE(windows.Window(0)->windowTitle(), QStringLiteral("Расстояние до: Район 1"));
        QCOMPARE(windows.Window(1)->windowTitle(), QStringLiteral("Расстояние до: Район 2"));
        QCOMPARE(windows.Window(2)->ZoneIndex(), 4);  // "Район 3", after "Центр" and "Порт"
        QCOMPARE(windows.Window(3)->List()->ColumnWidths(), (std::vector<int>{100, 80, 90, 70}));
        QCOMPARE(windows.Window(31)->windowTitle(), QStringLiteral("Расстояние до: Район 32"));

        // The layout written back holds those windows' records alone, in the file's
        // format, and the rest of the file as it was.
        QByteArray expected = "[GlobalSize]\r\npos=0,700,0,300\r\nmaxMin=0\r\n";
        expected += section(Cp("Район 1"), 0);
        expected += section(Cp("Район 2"), 3);
        for (int z = 3; z <= 32; ++z) {
            expected += section(Cp("Район ") + QByteArray::number(z), z + 3);  // first in the round
        }
        expected += tail;
        QCOMPARE(rig.LayoutBytes(), expected);

        // Shown with the main window, at their records' rectangles.
        windows.ShowAll();
        QCoreApplication::processEvents();
        QCOMPARE(windows.Window(0)->CurrentPlacement().rect, (LayoutRect{0, 0, 300, 150}));
        QCOMPARE(windows.Window(1)->CurrentPlacement().rect, (LayoutRect{3, 6, 303, 156}));
        QCOMPARE(rig.console->layout.smallWindowNames.size(), CDistanceWindows::kMaxRestored);
    }
    const qint64 ms = clock.elapsed();
    qInfo("restored, shown and closed in %lld ms", ms);
    QVERIFY2(ms < 3000, qPrintable(QString::number(ms)));
}

// A new window at its default size with more rows than it can show: the vertical scroll
// bar takes its place and every column, headers included, is still wholly in view. So
// for the zone-distance dialog, which shares the columns.
void TestDistanceWindows::everyColumnFitsAtTheDefaultSize() {
    Rig rig;
    for (int n = 10; n < 40; ++n) {
        rig.Place(rig.AddObject(std::to_string(n), W("КамАЗ-65115 А412ВС")), 55.76);
    }
    CDistanceWindows windows(*rig.console, nullptr);
    CDistanceListWindow* window = windows.OpenWindowAt(0, QPoint(40, 40));
    QVERIFY(QTest::qWaitForWindowExposed(window));
    auto dialog = windows.NewZoneDistanceDialog(nullptr);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));

    for (CObjectListCtrl* list : {window->List(), dialog->List()}) {
        const QString name = list->objectName();
        QVERIFY2(list->verticalScrollBar()->isVisible(), qPrintable(name));
        QHeaderView* header = list->horizontalHeader();
        const int last = header->sectionViewportPosition(3) + header->sectionSize(3);
        QVERIFY2(
            last <= list->viewport()->width(),
            qPrintable(
                QStringLiteral("%1: %2 > %3").arg(name).arg(last).arg(list->viewport()->width())));
        QVERIFY2(!list->horizontalScrollBar()->isVisible(), qPrintable(name));
        // No header is cut short.
        const QFontMetrics metrics(header->font());
        for (int c = 0; c < 4; ++c) {
            const QString text =
                list->Model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            QVERIFY2(metrics.horizontalAdvance(text) + 8 <= header->sectionSize(c),
                     qPrintable(QStringLiteral("%1: %2 in %3")
                                    .arg(text)
                                    .arg(metrics.horizontalAdvance(text))
                                    .arg(header->sectionSize(c))));
        }
    }
    // A new window's layout entry keeps zero widths: the defaults are not stored.
    QCOMPARE(rig.console->layout.smallWindowPlacements[0].widths,
             (std::array<int32_t, 4>{0, 0, 0, 0}));
    SaveShot(*window, QStringLiteral("distance-window-default.png"));
}

void TestDistanceWindows::sortRequestsSortByDistanceToTheWindowsZone() {
    Rig rig;
    CDistanceWindows windows(*rig.console, nullptr);
    // What the main window does with a sort request.
    connect(&windows, &CDistanceWindows::sortRequested, &windows, [&](int key, int zone) {
        rig.console->SortByKey(key, zone);
        windows.RefreshAll();
    });
    CDistanceListWindow* port = windows.OpenWindowAt(1, QPoint(0, 0));
    QHeaderView* header = port->List()->horizontalHeader();
    auto names = [port] { return Column(port->List(), 0); };

    emit header->sectionClicked(1);
    QCOMPARE(names(), (QStringList{"3 - Gamma", "4 - Delta", "1 - Alpha", "2 - Beta"}));
    QCOMPARE(Column(port->List(), 1), (QStringList{"0.00 км", "3.34 км", "5.56 км", "---"}));
    emit header->sectionClicked(1);
    QCOMPARE(names(), (QStringList{"2 - Beta", "1 - Alpha", "4 - Delta", "3 - Gamma"}));
    // Another column sorts ascending.
    emit header->sectionClicked(0);
    QCOMPARE(names(), (QStringList{"1 - Alpha", "2 - Beta", "3 - Gamma", "4 - Delta"}));

    // When the list rows are reset, the rows are rebuilt for the shown objects.
    rig.console->store.Object(1).selected = 0;
    rig.console->ResetListRows();
    QCOMPARE(rig.view.resets.back(), 3);
    windows.RebuildAll();
    QCOMPARE(names(), (QStringList{"1 - Alpha", "3 - Gamma", "4 - Delta"}));
}

void TestDistanceWindows::zoneDistanceDialogIsKeptCurrentAndPlaced() {
    Rig rig;
    rig.console->layout.zoneDistancePlacement =
        WindowPlacement{LayoutRect{100, 100, 600, 420}, {100, 80, 100, 70}};
    CDistanceWindows windows(*rig.console, nullptr);
    QSignalSpy sorts(&windows, &CDistanceWindows::sortRequested);
    {
        auto dialog = windows.NewZoneDistanceDialog(nullptr);
        QCOMPARE(windows.ZoneDistanceDialog(), dialog.get());
        QCOMPARE(dialog->List()->ColumnWidths(), (std::vector<int>{100, 80, 100, 70}));
        // Combo order: "Порт" before "Центр".
        QCOMPARE(dialog->SelectedZone(), 1);

        // Kept current after each refresh pass.
        rig.Place(0, 55.80);
        windows.RefreshAll();
        QCOMPARE(dialog->List()->CellText(0, 1), QStringLiteral("0.00 км"));

        // Its requests reach the main window; "->" opens a window.
        emit dialog->List()->horizontalHeader()->sectionClicked(1);
        QCOMPARE(sorts.count(), 1);
        QCOMPARE(sorts.at(0).at(0).toInt(), 12);
        QCOMPARE(sorts.at(0).at(1).toInt(), 1);
        dialog->OpenSelectedZone();
        QCOMPARE(windows.Count(), 1);
        QCOMPARE(windows.Window(0)->ZoneIndex(), 1);

        // Its place goes into its own record.
        dialog->show();
        QCoreApplication::processEvents();
        dialog->resize(520, 350);
        QCOMPARE(rig.console->layout.zoneDistancePlacement, dialog->CurrentPlacement());
        QVERIFY(rig.LayoutBytes().contains("[AddDlgInfo]\r\npos=100,"));
        SaveShot(*dialog, QStringLiteral("zone-distance-2.png"));

        dialog->done(QDialog::Accepted);
        QVERIFY(windows.ZoneDistanceDialog() == nullptr);
    }
    windows.RefreshAll();  // nothing left to refresh but the window
}

void TestDistanceWindows::windowsFindTheirZoneAfterAZoneFileReload() {
    Rig rig;
    CDistanceWindows windows(*rig.console, nullptr);
    CDistanceListWindow* centre = windows.OpenWindowAt(0, QPoint(0, 0));
    {
        // Another zone file: the same zone now has another index.
        auto lock = rig.console->Lock();
        auto map = std::make_unique<CZoneMap>();
        Rig::AddZone(*map, "Порт", 55.80, 1000);
        Rig::AddZone(*map, "Новый", 55.70, 500);
        Rig::AddZone(*map, "Центр", 55.75, 2000);
        rig.console->zoneMap = std::move(map);
    }
    windows.RefreshAll();
    QCOMPARE(centre->ZoneIndex(), 2);
    QCOMPARE(centre->List()->CellText(0, 1), QStringLiteral("0.00 км"));
    {
        // A zone file without it: no distances, and no sort by distance.
        auto lock = rig.console->Lock();
        auto map = std::make_unique<CZoneMap>();
        Rig::AddZone(*map, "Порт", 55.80, 1000);
        rig.console->zoneMap = std::move(map);
    }
    windows.RebuildAll();
    QCOMPARE(centre->ZoneIndex(), -1);
    QCOMPARE(Column(centre->List(), 1), (QStringList{"---", "---", "---", "---"}));
}

QTEST_MAIN(TestDistanceWindows)
#include "tst_distancewindows.moc"
