#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QtTest>
#include <memory>

#include "ConsoleFixture.h"
#include "objectlist/ObjectListModel.h"
#include "zones/ObjectDistanceDialog.h"
#include "zones/ZoneDistanceDialog.h"
#include "zones/ZonesDialog.h"

namespace {

using namespace fixture;

// Zones along one meridian, so that the distances can be written down by hand: one
// hundredth of a degree of latitude is 6371006.84 m * pi / 18000 = 1111.97 m.
//   0 "Центр"  circle at 55.75, 37.6, r = 2000
//   1 "Порт"   circle at 55.80, 37.6, r = 1000   (5.56 km from "Центр")
//   2 "Парк"   polygon, centroid 55.76, 37.6      (1.11 km from "Центр")
// Objects: 1 Alpha at the centre of "Центр"; 2 Beta never reported; 3 Gamma in
// "Порт"; 4 Hidden, not shown.
struct Rig : ConsoleRig {
    void Standard() {
        AddZone("Центр", Circle, 55.75, 37.6, 2000, 12566371);
        AddZone("Порт", Circle, 55.80, 37.6, 1000, 3141593);
        AddZone("Парк", Polygon, 55.76, 37.6, 0, 282743);
        Place(AddObject("1", "Alpha", true), 55.75, 37.6, 40);
        AddObject("2", "Beta", true);
        Place(AddObject("3", "Gamma", true), 55.80, 37.6, 15);
        Place(AddObject("4", "Hidden", false), 55.75, 37.6, 0);
    }
};

QString Header(CObjectListCtrl* list, int column) {
    return list->Model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

}  // namespace

class TestZonesDialog : public QObject {
    Q_OBJECT
private slots:
    void zoneListShowsEveryZoneInMapOrder();
    void objectDistancesAndTheirSortModes();
    void objectDistanceDialogFollowsTheObject();
    void objectDistanceDialogWithoutObjects();
    void objectDistanceDialogSortsOnlyWhenTheObjectMoves();
    void zoneDistanceDialogRowsAndColours();
    void zoneDistanceDialogRequestsAndGeometry();
};

void TestZonesDialog::zoneListShowsEveryZoneInMapOrder() {
    Rig rig;
    rig.Standard();
    CZonesDialog dialog(*rig.console);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Контрольные районы"));
    CObjectListCtrl* list = dialog.List();
    const int a = list->width() / 5;
    QCOMPARE(list->ColumnWidths(), (std::vector<int>{a + 50, a - 5, a - 25, a - 25, a - 25}));
    QCOMPARE(Header(list, 1), QStringLiteral("Площадь, кв. км"));
    QCOMPARE(Header(list, 2), QStringLiteral("Радиус, м"));

    QCOMPARE(list->RowCount(), 3);
    QCOMPARE(Column(list, 0), (QStringList{"Центр", "Порт", "Парк"}));
    QCOMPARE(Column(list, 1), (QStringList{"12.57", "3.14", "0.28"}));
    QCOMPARE(Column(list, 2), (QStringList{"2000", "1000", "-"}));
    QCOMPARE(list->CellText(2, 3), QStringLiteral("55.760000"));
    QCOMPARE(list->CellText(2, 4), QStringLiteral("37.600000"));

    // The list fills the dialog as it is resized.
    dialog.show();
    dialog.resize(700, 250);
    QCOMPARE(list->geometry(), QRect(0, 0, 700, 250));

    // A double click asks for the distance window of the row's zone.
    QSignalSpy spy(&dialog, &CZonesDialog::openDistanceWindow);
    const QRect cell = list->visualRect(list->Model()->index(1, 0));
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 1);

    dialog.resize(600, 140);
    SaveShot(dialog, QStringLiteral("zones.png"));
}

void TestZonesDialog::objectDistancesAndTheirSortModes() {
    Rig rig;
    rig.Standard();
    CObjectDistanceDialog dialog(*rig.console);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Расстояния до объектов"));
    // Shown objects only, as "id - name".
    QComboBox* combo = dialog.ObjectCombo();
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(2), QStringLiteral("3 - Gamma"));
    CObjectListCtrl* list = dialog.List();
    const int w = (list->width() - 4) / 2;
    QCOMPARE(list->ColumnWidths(), (std::vector<int>{w, w - 18}));

    // Map order until a column is clicked.
    QCOMPARE(Column(list, 0), (QStringList{"Центр", "Порт", "Парк"}));
    QCOMPARE(Column(list, 1), (QStringList{"0.00 км", "5.56 км", "1.11 км"}));

    dialog.ColumnClicked(1);
    QCOMPARE(Column(list, 0), (QStringList{"Центр", "Парк", "Порт"}));
    QCOMPARE(Column(list, 1), (QStringList{"0.00 км", "1.11 км", "5.56 км"}));
    QCOMPARE(dialog.Distances(), (std::vector<float>{0.0f, 1.11f, 5.56f}));
    dialog.ColumnClicked(1);
    QCOMPARE(Column(list, 0), (QStringList{"Порт", "Парк", "Центр"}));
    dialog.ColumnClicked(0);
    QCOMPARE(dialog.Mode(), int(CObjectDistanceDialog::kNameAscending));
    QCOMPARE(Column(list, 0), (QStringList{"Парк", "Порт", "Центр"}));
    dialog.ColumnClicked(0);
    QCOMPARE(Column(list, 0), (QStringList{"Центр", "Порт", "Парк"}));
    QCOMPARE(Column(list, 1), (QStringList{"0.00 км", "5.56 км", "1.11 км"}));

    // An object that never reported: no distance anywhere.
    combo->setCurrentIndex(1);
    QCOMPARE(list->RowCount(), 3);
    QCOMPARE(Column(list, 1), (QStringList{"---", "---", "---"}));
    QCOMPARE(list->selectionMode(), QAbstractItemView::NoSelection);
}

void TestZonesDialog::objectDistanceDialogFollowsTheObject() {
    Rig rig;
    rig.Standard();
    CObjectDistanceDialog dialog(*rig.console);
    QVERIFY(dialog.RefreshRunning());
    {
        auto lock = rig.console->Lock();
        rig.Place(0, 55.80, 37.6, 10);  // Alpha drives to the port
    }
    QTRY_COMPARE_WITH_TIMEOUT(dialog.List()->CellText(1, 1), QStringLiteral("0.00 км"), 3000);
    QCOMPARE(dialog.List()->CellText(0, 1), QStringLiteral("5.56 км"));
    dialog.done(QDialog::Accepted);
    QVERIFY(!dialog.RefreshRunning());
}

void TestZonesDialog::objectDistanceDialogWithoutObjects() {
    Rig rig;
    rig.AddZone("Центр", Circle, 55.75, 37.6, 2000, 12566371);
    CObjectDistanceDialog empty(*rig.console);
    QCOMPARE(empty.ObjectCombo()->count(), 0);
    QCOMPARE(empty.List()->RowCount(), 0);
    QVERIFY(!empty.RefreshRunning());
}

// Many zones with equal distances and equal names: every sort mode gives the order of the
// pairwise exchange procedure over the map-order lists, and the lists are sorted again
// only when the object has moved.
void TestZonesDialog::objectDistanceDialogSortsOnlyWhenTheObjectMoves() {
    Rig rig;
    const char* names[] = {"Б", "А", "В", "А", "Б"};
    for (int k = 0; k < 300; ++k)
        rig.AddZone(names[k % 5], Circle, 55.75 + 0.01 * (k % 7), 37.6, 100, 31415);
    rig.Place(rig.AddObject("1", "Alpha", true), 55.75, 37.6, 0);
    CObjectDistanceDialog dialog(*rig.console);
    QCOMPARE(dialog.SortCount(), 1);
    const std::vector<float> distances = dialog.Distances();  // map order
    const std::vector<std::string> zoneNames = dialog.Names();

    for (int click : {1, 1, 0, 0}) {
        dialog.ColumnClicked(click);
        std::vector<float> d = distances;
        std::vector<std::string> n = zoneNames;
        for (std::size_t i = 0; i < d.size(); ++i) {
            for (std::size_t j = i + 1; j < d.size(); ++j) {
                bool exchange = false;
                switch (dialog.Mode()) {
                    case CObjectDistanceDialog::kDistanceAscending:
                        exchange = d[j] < d[i];
                        break;
                    case CObjectDistanceDialog::kDistanceDescending:
                        exchange = d[j] > d[i];
                        break;
                    case CObjectDistanceDialog::kNameAscending:
                        exchange = n[j] < n[i];  // Windows-1251 bytes, all above 0x7F
                        break;
                    default:
                        exchange = n[j] > n[i];
                }
                if (exchange) {
                    std::swap(d[i], d[j]);
                    std::swap(n[i], n[j]);
                }
            }
        }
        QCOMPARE(dialog.Distances(), d);
        QVERIFY(dialog.Names() == n);
    }
    const int sorts = dialog.SortCount();
    QCOMPARE(sorts, 5);

    // The object stands still: the ticks leave the lists alone.
    dialog.Refresh();
    dialog.Refresh();
    QCOMPARE(dialog.SortCount(), sorts);
    const std::vector<float> before = dialog.Distances();
    {
        auto lock = rig.console->Lock();
        rig.Place(0, 55.80, 37.6, 10);
    }
    dialog.Refresh();
    QCOMPARE(dialog.SortCount(), sorts + 1);
    QVERIFY(dialog.Distances() != before);
}

void TestZonesDialog::zoneDistanceDialogRowsAndColours() {
    Rig rig;
    rig.Standard();
    rig.console->store.Object(2).rowState = kRowSilent | kRowStaleStamp;
    rig.console->store.Object(0).rowState = 0;
    CZoneDistanceDialog dialog(*rig.console, WindowPlacement{});
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Расстояния до районов"));

    // Zone names in byte order of their Windows-1251 texts.
    QComboBox* combo = dialog.ZoneCombo();
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), QStringLiteral("Парк"));
    QCOMPARE(combo->itemText(1), QStringLiteral("Порт"));
    QCOMPARE(combo->itemText(2), QStringLiteral("Центр"));

    CObjectListCtrl* list = dialog.List();
    // "Расстояние" and "Скорость" at least 75 and 65 pixels; the two name columns share
    // the rest, and every column shows beside the vertical scroll bar.
    const std::vector<int> widths = list->ColumnWidths();
    QCOMPARE(widths.size(), size_t{4});
    QVERIFY(widths[1] >= 75);
    QVERIFY(widths[3] >= 65);
    QCOMPARE(widths[2], widths[0] - 1);
    const int scrollBar = list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    QVERIFY(widths[0] + widths[1] + widths[2] + widths[3] <=
            list->width() - 2 * list->frameWidth() - scrollBar);
    QCOMPARE(Header(list, 3), QStringLiteral("Скорость"));
    QCOMPARE(Column(list, 0), (QStringList{"1 - Alpha", "2 - Beta", "3 - Gamma"}));
    QCOMPARE(Column(list, 1), (QStringList{"1.11 км", "---", "4.45 км"}));
    QCOMPARE(Column(list, 2), (QStringList{"Центр", "---", "Порт"}));
    QCOMPARE(Column(list, 3), (QStringList{"40 (0)", "---", "15 (0)"}));

    combo->setCurrentIndex(2);  // "Центр"
    QCOMPARE(dialog.SelectedZone(), 0);
    QCOMPARE(Column(list, 1), (QStringList{"0.00 км", "---", "5.56 км"}));
    // Only Alpha is inside: bold.
    QCOMPARE(list->GetCellStyle(0, 0).flags, 0x31u);
    QCOMPARE(list->GetCellStyle(0, 3).flags, 0x31u);
    QCOMPARE(list->GetCellStyle(2, 1).flags, 0x30u);
    QVERIFY(list->PaintStyle(0, 1).font.bold);
    QVERIFY(!list->PaintStyle(2, 1).font.bold);
    // Colours from the row state bits: 4 background, 2 text.
    QCOMPARE(list->PaintStyle(2, 2).backColour, 0xF0F0AAu);
    QCOMPARE(list->PaintStyle(2, 2).textColour, 0xC00000u);
    QCOMPARE(list->PaintStyle(0, 2).backColour, 0xFFFFFFu);
    QCOMPARE(list->PaintStyle(0, 2).textColour, 0x000000u);
    // A row not coloured since the rows were reset stays plain until the refresh pass.
    QCOMPARE(rig.console->store.Object(1).rowState, -1);
    QCOMPARE(list->PaintStyle(1, 0).backColour, 0xFFFFFFu);

    // Rebuilding follows the shown objects.
    rig.console->store.Object(3).selected = 1;
    dialog.RebuildRows();
    QCOMPARE(list->RowCount(), 4);
    QCOMPARE(list->CellText(3, 0), QStringLiteral("4 - Hidden"));
    QVERIFY(list->PaintStyle(3, 0).font.bold);

    dialog.show();
    SaveShot(dialog, QStringLiteral("zone-distance.png"));
}

void TestZonesDialog::zoneDistanceDialogRequestsAndGeometry() {
    Rig rig;
    rig.Standard();
    const WindowPlacement stored{LayoutRect{100, 120, 600, 470}, {110, 80, 100, 70}};
    CZoneDistanceDialog dialog(*rig.console, stored);
    QCOMPARE(dialog.List()->ColumnWidths(), (std::vector<int>{110, 80, 100, 70}));
    dialog.ZoneCombo()->setCurrentIndex(1);  // "Порт", zone 1

    QSignalSpy sorts(&dialog, &CZoneDistanceDialog::sortRequested);
    for (int column = 0; column < 4; ++column) {
        emit dialog.List()->horizontalHeader()->sectionClicked(column);
    }
    QCOMPARE(sorts.count(), 4);
    const int keys[4] = {6, 12, 7, 10};
    for (int k = 0; k < 4; ++k) {
        QCOMPARE(sorts.at(k).at(0).toInt(), keys[k]);
        QCOMPARE(sorts.at(k).at(1).toInt(), 1);
    }
    QSignalSpy opens(&dialog, &CZoneDistanceDialog::openDistanceWindow);
    dialog.findChild<QPushButton*>(QStringLiteral("openButton"))->click();
    QCOMPARE(opens.count(), 1);
    QCOMPARE(opens.at(0).at(0).toInt(), 1);

    // Shown at the stored outer rectangle, size included.
    QSignalSpy reports(&dialog, &CZoneDistanceDialog::layoutReport);
    dialog.show();
    QCoreApplication::processEvents();
    QCOMPARE(dialog.CurrentPlacement().rect, stored.rect);

    // Resizing lays the controls out along the edges and reports the new place.
    reports.clear();
    dialog.resize(500, 400);
    auto* combo = dialog.ZoneCombo();
    auto* open = dialog.findChild<QPushButton*>(QStringLiteral("openButton"));
    auto* close = dialog.findChild<QPushButton*>(QStringLiteral("closeButton"));
    QCOMPARE(close->geometry().bottomRight() + QPoint(1, 1), QPoint(495, 395));
    QCOMPARE(open->geometry().topRight() + QPoint(1, 0), QPoint(495, 5));
    QCOMPARE(combo->geometry().topLeft(), QPoint(5, 5));
    QCOMPARE(combo->width(), 500 - open->width() - 15);
    QCOMPARE(dialog.List()->geometry(),
             QRect(5, combo->height() + 10, 490, 400 - combo->height() - close->height() - 20));
    QVERIFY(reports.count() >= 1);
    const auto last = reports.last().at(0).value<WindowPlacement>();
    QCOMPARE(last.rect, dialog.CurrentPlacement().rect);
    QCOMPARE(last.widths, (std::array<int32_t, 4>{110, 80, 100, 70}));
}

QTEST_MAIN(TestZonesDialog)
#include "tst_zonesdialog.moc"
