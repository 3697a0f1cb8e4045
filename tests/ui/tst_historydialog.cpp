#include <QHeaderView>
#include <QtTest>
#include <memory>

#include "ConsoleFixture.h"
#include "alerts/HistoryDialog.h"
#include "alerts/HistoryWindows.h"
#include "base/TextUtil.h"
#include "objectlist/ObjectListModel.h"

namespace {

using namespace fixture;

using Rig = ConsoleRig;

DateTime At(int day, int hour, int minute, int second = 0) {
    return DateTime::FromCalendar(2026, 3, day, hour, minute, second);
}

QString Cell(const CHistoryDialog& w, int row, int column) {
    return w.List()->CellText(row, column);
}

QString Header(const CHistoryDialog& w, int column) {
    return w.List()->Model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

}  // namespace

class TestHistoryDialog : public QObject {
    Q_OBJECT
private slots:
    void headersAndWidthsFollowTheStoredWidths();
    void openVisitShowsDashesWhereverSortingPutsIt();
    void sortKeysFlipAndStartDescending();
    void durationsUnderAndOverADay();
    void refreshFollowsTheObjectAndTheVisitLimit();
    void openingAndClosingKeepTheLayoutRecord();
    void reportsAndStartUpUseTheRecord();
    void startUpOpensOneWindowPerObjectAndNoMoreThanTheBound();
};

void TestHistoryDialog::headersAndWidthsFollowTheStoredWidths() {
    Rig rig;
    const int truck = rig.AddObject("12", W("Грузовик"));

    CHistoryDialog fresh(*rig.console, truck, {0, 0, 0, 0});
    QCOMPARE(fresh.windowTitle(), QStringLiteral("История (12 - Грузовик)"));
    QCOMPARE(Header(fresh, 0), QStringLiteral("Район"));
    QCOMPARE(Header(fresh, 1), QStringLiteral("Время прибытия"));
    QCOMPARE(Header(fresh, 2), QStringLiteral("Время убытия"));
    QCOMPARE(Header(fresh, 3), QStringLiteral("Время нахождения"));
    const int l = fresh.List()->width();
    QCOMPARE(fresh.List()->ColumnWidth(0), l * 4 / 10 - 33);
    for (int c = 1; c < 4; ++c) {
        QCOMPARE(fresh.List()->ColumnWidth(c), l * 2 / 10 + 5);
    }

    // One stored width is enough to take all four, and the other header wording.
    CHistoryDialog stored(*rig.console, truck, {0, 0, 90, 0});
    QCOMPARE(Header(stored, 2), QStringLiteral("Время отбытия"));
    QCOMPARE(stored.List()->ColumnWidths(), (std::vector<int>{0, 0, 90, 0}));
}

void TestHistoryDialog::openVisitShowsDashesWhereverSortingPutsIt() {
    Rig rig;
    const int truck = rig.AddObject("12", "Truck");
    VisitHistory& h = rig.console->store.Object(truck).history;
    h.StartVisit(W("Склад"), 0, At(1, 8, 0), At(1, 8, 0));
    h.EndVisit(At(1, 9, 0), true);
    h.StartVisit(W("База"), 1, At(1, 10, 0), At(1, 10, 0));
    h.EndVisit(At(1, 10, 30), true);
    // Still in the newest zone; its stored departure (the local time when it started)
    // must not be shown.
    h.StartVisit(W("Порт"), 2, At(1, 12, 0), At(1, 12, 5));

    CHistoryDialog w(*rig.console, truck, {0, 0, 0, 0});
    QCOMPARE(w.List()->RowCount(), 3);
    QCOMPARE(Cell(w, 0, 0), QStringLiteral("Порт"));
    QCOMPARE(Cell(w, 0, 1), QStringLiteral("01.03.2026 12:00:00"));
    QCOMPARE(Cell(w, 0, 2), QStringLiteral("---"));
    QCOMPARE(Cell(w, 0, 3), QStringLiteral("---"));
    QCOMPARE(Cell(w, 1, 2), QStringLiteral("01.03.2026 10:30:00"));
    QCOMPARE(Cell(w, 1, 3), QStringLiteral("00:30:00"));

    // Zone names descending: Склад, Порт, База - the open visit moves to row 1.
    w.ColumnClicked(0);
    QCOMPARE(Cell(w, 0, 0), QStringLiteral("Склад"));
    QCOMPARE(Cell(w, 1, 0), QStringLiteral("Порт"));
    QCOMPARE(w.OpenVisit(), 1);
    QCOMPARE(Cell(w, 1, 2), QStringLiteral("---"));
    QCOMPARE(Cell(w, 0, 2), QStringLiteral("01.03.2026 9:00:00"));
    QCOMPARE(Cell(w, 0, 3), QStringLiteral("01:00:00"));
    // Ascending: База, Порт, Склад.
    w.ColumnClicked(0);
    QCOMPARE(Cell(w, 0, 0), QStringLiteral("База"));
    QCOMPARE(Cell(w, 1, 2), QStringLiteral("---"));
    QCOMPARE(Cell(w, 2, 3), QStringLiteral("01:00:00"));

    // Once the visit has ended, its times show.
    rig.console->store.Object(truck).history.EndVisit(At(1, 13, 0), true);
    w.Refresh();
    for (int r = 0; r < 3; ++r) {
        QVERIFY(Cell(w, r, 2) != QStringLiteral("---"));
    }
    QCOMPARE(Cell(w, 1, 0), QStringLiteral("Порт"));
    QCOMPARE(Cell(w, 1, 3), QStringLiteral("01:00:00"));
    // Rows are never selected.
    QCOMPARE(w.List()->selectionMode(), QAbstractItemView::NoSelection);

    SaveShot(w, QStringLiteral("history.png"));
}

void TestHistoryDialog::sortKeysFlipAndStartDescending() {
    Rig rig;
    const int bus = rig.AddObject("7", "Bus");
    VisitHistory& h = rig.console->store.Object(bus).history;
    // Arrival order A(1st) < B(2nd) < C(3rd); durations B 3h > A 2h > C 1h.
    h.StartVisit("A", 0, At(2, 1, 0), At(2, 1, 0));
    h.EndVisit(At(2, 3, 0), true);
    h.StartVisit("B", 1, At(2, 4, 0), At(2, 4, 0));
    h.EndVisit(At(2, 7, 0), true);
    h.StartVisit("C", 2, At(2, 8, 0), At(2, 8, 0));
    h.EndVisit(At(2, 9, 0), true);

    CHistoryDialog w(*rig.console, bus, {0, 0, 0, 0});
    auto order = [&w] {
        QString s;
        for (int r = 0; r < w.List()->RowCount(); ++r) {
            s += Cell(w, r, 0);
        }
        return s;
    };
    QCOMPARE(order(), QStringLiteral("CBA"));
    QCOMPARE(w.Key(), CHistoryDialog::kByArrival);
    QVERIFY(w.Descending());

    // Columns 1 and 2 are the same key: a click on either flips the arrival order.
    w.ColumnClicked(2);
    QCOMPARE(order(), QStringLiteral("ABC"));
    w.ColumnClicked(1);
    QCOMPARE(order(), QStringLiteral("CBA"));
    // A new key starts descending: longest stay first.
    w.ColumnClicked(3);
    QCOMPARE(order(), QStringLiteral("BAC"));
    w.ColumnClicked(3);
    QCOMPARE(order(), QStringLiteral("CAB"));
    // The key survives a refresh.
    w.Refresh();
    QCOMPARE(order(), QStringLiteral("CAB"));
}

void TestHistoryDialog::durationsUnderAndOverADay() {
    VisitHistory h;
    h.StartVisit("a", 0, At(5, 0, 0, 0), At(5, 0, 0, 0));
    h.EndVisit(At(5, 23, 59, 59), true);
    QCOMPARE(CHistoryDialog::DurationText(h, 0), std::string("23:59:59"));
    h.StartVisit("b", 0, At(6, 0, 0, 0), At(6, 0, 0, 0));
    h.EndVisit(At(7, 0, 30, 0), true);
    QCOMPARE(CHistoryDialog::DurationText(h, 0), W(">24 час."));
    h.StartVisit("c", 0, At(8, 0, 0, 0), At(8, 0, 0, 0));
    h.EndVisit(At(9, 3, 20, 0), true);
    QCOMPARE(CHistoryDialog::DurationText(h, 0), W(">27 час."));
    // Departure before arrival: the visit has not ended.
    h.StartVisit("d", 0, At(10, 5, 0, 0), At(10, 5, 0, 0));
    h.EndVisit(At(10, 4, 0, 0), true);
    QCOMPARE(CHistoryDialog::DurationText(h, 0), std::string("---"));
}

void TestHistoryDialog::refreshFollowsTheObjectAndTheVisitLimit() {
    Rig rig;
    rig.AddObject("5", "Van");
    const int truck = rig.AddObject("12", "Truck");
    CHistoryDialog w(*rig.console, truck, {0, 0, 0, 0});
    QCOMPARE(w.List()->RowCount(), 0);

    // Sorting the store moves the truck to index 0; the window keeps to the truck.
    QVERIFY(!rig.console->SortByKey(kColObject, -1));  // ascending: 5, 12 already
    QVERIFY(rig.console->SortByKey(kColObject, -1));   // descending
    QCOMPARE(rig.console->store.Object(0).id, std::string("12"));
    VisitHistory& h = rig.console->store.Object(0).history;
    for (int k = 0; k < 100; ++k) {
        const DateTime t = DateTime::FromCalendar(2026, 1, 1).AddMinutes(10.0 * k);
        h.StartVisit(TextUtil::Format("Z%03d", k), 0, t, t);
        h.EndVisit(t.AddMinutes(5), true);
    }
    QCOMPARE(h.visitCount, 99);
    w.Refresh();
    QCOMPARE(w.List()->RowCount(), 99);
    QCOMPARE(Cell(w, 0, 0), QStringLiteral("Z099"));
    // Z000 was dropped; the oldest left is Z001.
    QCOMPARE(Cell(w, 98, 0), QStringLiteral("Z001"));
    QCOMPARE(Cell(w, 98, 3), QStringLiteral("00:05:00"));

    // A shorter history removes rows.
    rig.console->store.Object(0).history.Clear();
    w.Refresh();
    QCOMPARE(w.List()->RowCount(), 0);
}

void TestHistoryDialog::openingAndClosingKeepTheLayoutRecord() {
    Rig rig;
    rig.AddObject("12", "Truck");
    rig.AddObject("7", "Bus");
    CHistoryWindows windows(*rig.console, nullptr);

    windows.OpenHistoryWindows({12, 7, 99});  // 99 is not in the store
    QCOMPARE(windows.Count(), 2);
    const WindowLayout& layout = rig.console->layout;
    QCOMPARE(layout.historyWindowNumbers, (std::vector<std::string>{"0012", "0007"}));
    QCOMPARE(layout.historyWindowPlacements[0].state, 1);
    const LayoutRect opened = layout.historyWindowPlacements[0].placement.rect;
    QVERIFY(opened.Width() > 0 && opened.Height() > 0);
    QVERIFY(rig.LayoutBytes().contains("[HistoryDlg=0012|1]\r\npos="));

    // Open already: nothing more.
    windows.OpenHistoryWindows({12});
    QCOMPARE(windows.Count(), 2);
    QCOMPARE(layout.historyWindowNumbers.size(), std::size_t(2));

    // Closing writes the zero record, marked closed.
    CHistoryDialog* truckWindow = windows.WindowFor(12);
    QVERIFY(truckWindow != nullptr);
    truckWindow->close();
    QCOMPARE(windows.Count(), 1);
    QCOMPARE(layout.historyWindowPlacements[0], (HistoryPlacement{WindowPlacement{}, -1}));
    QVERIFY(rig.LayoutBytes().contains(
        "[HistoryDlg=0012|-1]\r\npos=0,0,0,0\r\ncols=0,0,0,0\r\n[HistoryDlg=0007|1]\r\n"));

    // Reopened from the closed record: default widths again, the record open again.
    windows.OpenHistoryWindows({12});
    QCOMPARE(windows.Count(), 2);
    QCOMPARE(layout.historyWindowPlacements[0].state, 1);
    QCOMPARE(Header(*windows.WindowFor(12), 2), QStringLiteral("Время убытия"));

    // The program ending closes windows too; those closes keep the records open.
    windows.Shutdown();
    windows.WindowFor(7)->close();
    QCOMPARE(layout.historyWindowPlacements[1].state, 1);
}

void TestHistoryDialog::reportsAndStartUpUseTheRecord() {
    Rig rig;
    const int truck = rig.AddObject("12", "Truck");
    rig.AddObject("7", "Bus");
    rig.AddObject("3", "Car");
    WindowLayout& layout = rig.console->layout;
    layout.historyWindowNumbers = {"0012", "0007"};
    layout.historyWindowPlacements = {
        HistoryPlacement{WindowPlacement{LayoutRect{40, 50, 540, 330}, {150, 110, 120, 100}}, 1},
        HistoryPlacement{WindowPlacement{LayoutRect{10, 10, 400, 200}, {0, 0, 0, 0}}, -1}};

    CHistoryWindows windows(*rig.console, nullptr);
    windows.RestoreAtStart(false);
    QCOMPARE(windows.Count(), 1);
    CHistoryDialog* w = windows.WindowFor(12);
    QVERIFY(w != nullptr);
    QVERIFY(!w->isVisible());  // the main window starts in the tray
    QCOMPARE(w->List()->ColumnWidths(), (std::vector<int>{150, 110, 120, 100}));
    QCOMPARE(Header(*w, 2), QStringLiteral("Время отбытия"));

    windows.ShowAll();
    QVERIFY(w->isVisible());
    QCoreApplication::processEvents();
    // The outer frame is where and as big as it was stored.
    QCOMPARE(w->CurrentPlacement().rect, (LayoutRect{40, 50, 540, 330}));
    // A resize is reported and stored, marked open.
    w->resize(520, 300);
    QCOMPARE(layout.historyWindowPlacements[0].placement.rect, w->CurrentPlacement().rect);
    QCOMPARE(w->CurrentPlacement().rect.Width(), 520 + w->frameGeometry().width() - w->width());
    QCOMPARE(layout.historyWindowPlacements[0].state, 1);
    // A column change too.
    w->List()->horizontalHeader()->resizeSection(0, 170);
    QCOMPARE(layout.historyWindowPlacements[0].placement.widths[0], 170);
    windows.HideAll();
    QVERIFY(!w->isVisible());

    // A visit change reaches every window.
    rig.console->store.Object(truck).history.StartVisit("X", 0, At(3, 1, 0), At(3, 1, 0));
    windows.HistoryChanged();
    QCOMPARE(w->List()->RowCount(), 1);
}

void TestHistoryDialog::startUpOpensOneWindowPerObjectAndNoMoreThanTheBound() {
    // Twice as many objects as the bound, every one with a record marked open; objects
    // 1 and 2 are in the store twice (two objects of one number share a record).
    Rig rig;
    WindowLayout& layout = rig.console->layout;
    const int objects = 2 * static_cast<int>(CHistoryWindows::kMaxRestored);
    for (int n = 1; n <= objects; ++n) {
        rig.AddObject(std::to_string(n), "Car");
        if (n <= 2) {
            rig.AddObject(std::to_string(n), "Twin");
        }
        layout.historyWindowNumbers.push_back(TextUtil::Format("%04i", n));
        layout.historyWindowPlacements.push_back(
            HistoryPlacement{WindowPlacement{LayoutRect{n, n, n + 400, n + 200}, {}}, 1});
    }
    const WindowLayout before = layout;

    CHistoryWindows windows(*rig.console, nullptr);
    windows.RestoreAtStart(false);
    QCOMPARE(windows.Count(), static_cast<int>(CHistoryWindows::kMaxRestored));
    // The first objects in store order, each once.
    for (int i = 0; i < windows.Count(); ++i) {
        QCOMPARE(windows.Window(i)->ObjectNumber(), i + 1);
    }
    // The records of the objects left out are kept as they were: "История..." opens
    // them where they were.
    QCOMPARE(layout.historyWindowNumbers, before.historyWindowNumbers);
    QCOMPARE(layout.historyWindowPlacements, before.historyWindowPlacements);
}

QTEST_MAIN(TestHistoryDialog)
#include "tst_historydialog.moc"
