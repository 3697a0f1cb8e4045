#include <QtTest>

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "FindChild.h"
#include "app/QtText.h"
#include "base/Cp1251.h"
#include "zones/ZoneAssignDialog.h"
#include "zones/ZoneNameList.h"

namespace {

// Map order (the zone index): 0 "Склад", 1 "Depot", 2 "Base", 3 "Depot" (a second zone of
// the same name), 4 "Аэропорт".
ZoneNameList MakeZones() {
    std::vector<std::string> names;
    for (const char* name : {"Склад", "Depot", "Base", "Depot", "Аэропорт"}) {
        names.push_back(W(name));
    }
    return ZoneNameList(std::move(names));
}

QStringList Texts(const QTableWidget* list) {
    QStringList texts;
    for (int row = 0; row < list->rowCount(); ++row) {
        texts << list->item(row, 0)->text();
    }
    return texts;
}

void SelectRows(QTableWidget* list, std::initializer_list<int> rows) {
    list->clearSelection();
    for (int row : rows) {
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

std::vector<std::pair<int, int>> Entries(const ZoneAssignment& a) {
    std::vector<std::pair<int, int>> entries;
    for (int i = 0; i < a.count; ++i) {
        entries.emplace_back(a.zones[static_cast<std::size_t>(i)],
                             a.roles[static_cast<std::size_t>(i)]);
    }
    return entries;
}

using EntryList = std::vector<std::pair<int, int>>;

struct Fixture {
    explicit Fixture(const ZoneAssignment& initial = {})
        : dialog(QStringLiteral("Контрольные районы - 12-Truck"), initial, MakeZones()) {
        dialog.show();
        all = Child<QTableWidget>(&dialog, "allZonesList");
        destination = Child<QTableWidget>(&dialog, "destinationList");
        forbidden = Child<QTableWidget>(&dialog, "forbiddenList");
    }
    void click(const char* button) { Child<QPushButton>(&dialog, button)->click(); }

    CZoneAssignDialog dialog;
    QTableWidget* all;
    QTableWidget* destination;
    QTableWidget* forbidden;
};

}  // namespace

class TestZoneAssign : public QObject {
    Q_OBJECT
private slots:
    void opensWithSortedNamesAndTheAssignment();
    void addsEverySelectedZoneInListOrder();
    void zoneAlreadyAssignedInEitherRoleIsNotAddedAgain();
    void duplicateNamesAssignTheFirstZone();
    void removesSelectedEntries();
    void entryOfASecondZoneWithTheSameNameCanBeRemoved();
    void buttonsWithoutSelectionDoNothing();
    void cancelAndSave();
    void screenshot();
};

void TestZoneAssign::opensWithSortedNamesAndTheAssignment() {
    ZoneAssignment initial;
    initial.Append(0, Destination);
    initial.Append(4, Forbidden);
    initial.Append(2, Destination);
    Fixture f(initial);
    QCOMPARE(f.dialog.windowTitle(), QStringLiteral("Контрольные районы - 12-Truck"));
    // Byte order of Windows-1251: Latin before Cyrillic; both "Depot" rows stay.
    QCOMPARE(Texts(f.all), (QStringList{"Base", "Depot", "Depot", "Аэропорт", "Склад"}));
    QCOMPARE(Texts(f.destination), (QStringList{"Base", "Склад"}));
    QCOMPARE(Texts(f.forbidden), QStringList{"Аэропорт"});
    for (QTableWidget* list : {f.all, f.destination, f.forbidden}) {
        QCOMPARE(list->columnCount(), 1);
        QCOMPARE(list->horizontalHeaderItem(0)->text(), QStringLiteral("Показание"));
        QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    }
    QCOMPARE(Child<QLabel>(&f.dialog, "destinationLabel")->text(),
             QStringLiteral("Районы назначения:"));
    QCOMPARE(Child<QLabel>(&f.dialog, "forbiddenLabel")->text(),
             QStringLiteral("Запрещенные районы:"));
}

void TestZoneAssign::addsEverySelectedZoneInListOrder() {
    Fixture f;
    SelectRows(f.all, {4, 0});  // "Склад" and "Base"
    f.destination->setFocus();
    f.click("addDestinationButton");
    QCOMPARE(Entries(f.dialog.assignment()), (EntryList{{2, Destination}, {0, Destination}}));
    QCOMPARE(Texts(f.destination), (QStringList{"Base", "Склад"}));
    QVERIFY(f.forbidden->rowCount() == 0);
    QTRY_VERIFY(f.all->hasFocus());

    SelectRows(f.all, {3});  // "Аэропорт"
    f.click("addForbiddenButton");
    QCOMPARE(Entries(f.dialog.assignment()),
             (EntryList{{2, Destination}, {0, Destination}, {4, Forbidden}}));
    QCOMPARE(Texts(f.forbidden), QStringList{"Аэропорт"});
}

void TestZoneAssign::zoneAlreadyAssignedInEitherRoleIsNotAddedAgain() {
    ZoneAssignment initial;
    initial.Append(4, Forbidden);
    Fixture f(initial);
    SelectRows(f.all, {3});  // "Аэропорт", already forbidden
    f.click("addDestinationButton");
    QCOMPARE(Entries(f.dialog.assignment()), (EntryList{{4, Forbidden}}));
    QCOMPARE(f.destination->rowCount(), 0);
    f.click("addForbiddenButton");
    QCOMPARE(Entries(f.dialog.assignment()), (EntryList{{4, Forbidden}}));
}

void TestZoneAssign::duplicateNamesAssignTheFirstZone() {
    Fixture f;
    SelectRows(f.all, {2});  // the second "Depot" row
    f.click("addDestinationButton");
    QCOMPARE(Entries(f.dialog.assignment()), (EntryList{{1, Destination}}));
    SelectRows(f.all, {1});  // the first "Depot" row: the same zone
    f.click("addForbiddenButton");
    QCOMPARE(Entries(f.dialog.assignment()), (EntryList{{1, Destination}}));
    QCOMPARE(Texts(f.destination), QStringList{"Depot"});
}

void TestZoneAssign::removesSelectedEntries() {
    ZoneAssignment initial;
    initial.Append(0, Destination);
    initial.Append(4, Forbidden);
    initial.Append(2, Destination);
    initial.Append(1, Destination);
    Fixture f(initial);
    QCOMPARE(Texts(f.destination), (QStringList{"Base", "Depot", "Склад"}));
    SelectRows(f.destination, {0, 2});
    f.click("removeDestinationButton");
    // The others keep their order of insertion.
    QCOMPARE(Entries(f.dialog.assignment()), (EntryList{{4, Forbidden}, {1, Destination}}));
    QCOMPARE(Texts(f.destination), QStringList{"Depot"});
    QTRY_VERIFY(f.all->hasFocus());
    SelectRows(f.forbidden, {0});
    f.click("removeForbiddenButton");
    QCOMPARE(Entries(f.dialog.assignment()), (EntryList{{1, Destination}}));
    QCOMPARE(f.forbidden->rowCount(), 0);
}

void TestZoneAssign::entryOfASecondZoneWithTheSameNameCanBeRemoved() {
    ZoneAssignment initial;
    initial.Append(3, Forbidden);  // the second "Depot"
    initial.Append(1, Destination);
    Fixture f(initial);
    QCOMPARE(Texts(f.forbidden), QStringList{"Depot"});
    SelectRows(f.forbidden, {0});
    f.click("removeForbiddenButton");
    QCOMPARE(Entries(f.dialog.assignment()), (EntryList{{1, Destination}}));
    QCOMPARE(f.forbidden->rowCount(), 0);
    QCOMPARE(Texts(f.destination), QStringList{"Depot"});
}

void TestZoneAssign::buttonsWithoutSelectionDoNothing() {
    ZoneAssignment initial;
    initial.Append(0, Destination);
    initial.Append(4, Forbidden);
    Fixture f(initial);
    for (const char* button : {"addDestinationButton", "removeDestinationButton",
                               "addForbiddenButton", "removeForbiddenButton"}) {
        f.click(button);
    }
    QCOMPARE(Entries(f.dialog.assignment()), (EntryList{{0, Destination}, {4, Forbidden}}));
}

void TestZoneAssign::cancelAndSave() {
    {
        Fixture f;
        SelectRows(f.all, {0});
        f.click("addDestinationButton");
        f.click("cancelButton");
        QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
    }
    {
        Fixture f;
        SelectRows(f.all, {0});
        f.click("addDestinationButton");
        f.click("saveButton");
        QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(Entries(f.dialog.assignment()), (EntryList{{2, Destination}}));
    }
}

void TestZoneAssign::screenshot() {
    const QString folder = qEnvironmentVariable("SENTREL_SHOTS_DIR");
    if (folder.isEmpty()) {
        QSKIP("set SENTREL_SHOTS_DIR to write screenshots");
    }
    QDir().mkpath(folder);
    ZoneAssignment initial;
    initial.Append(0, Destination);
    initial.Append(4, Forbidden);
    Fixture f(initial);
    QVERIFY(QTest::qWaitForWindowExposed(&f.dialog));
    QVERIFY(f.dialog.grab().save(folder + "/zone-assign.png"));
}

QTEST_MAIN(TestZoneAssign)
#include "tst_zoneassign.moc"
