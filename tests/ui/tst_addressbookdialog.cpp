#include <QtTest>

#include <QHeaderView>
#include <QMenu>
#include <QTableWidget>
#include <QTimeEdit>

#include "alerts/ObjectSettingsDialog.h"
#include "app/AddressBookDialog.h"
#include "app/Icons.h"
#include "base/Cp1251.h"
#include "model/AddressBookEntry.h"
#include "model/DataStore.h"

namespace {

void AddObject(CDataStore& store, const char* id, const char* name, const char* alarm,
               bool selected) {
    store.AppendObject();
    ObjectRecord& o = store.Object(store.objectCount);
    o.id = id;
    o.name = W(name);
    o.alarmMark = W(alarm);
    o.selected = selected ? 1 : 0;
    o.firstTimeout = DateTime::FromTimeOfDay(0, 20, 0);
    o.secondTimeout = DateTime::FromTimeOfDay(0, 40, 0);
    o.alertSettings[AlertSettings::kAlarmAlert] = 1;
    ++store.objectCount;
}

QImage ImageOf(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage();
}

struct Fixture {
    Fixture() : store(dir.path().toStdString()) {
        AddObject(store, "12", "Грузовик", "да", true);
        AddObject(store, "7", "Автобус, 5", "", false);
        AddObject(store, "30", "Такси", "нет", true);
        std::vector<AddressBookEntry> entries;
        for (int i = 0; i < store.objectCount; ++i) {
            entries.push_back(AddressBookEntry::Of(store.Object(i), i));
        }
        dialog = std::make_unique<CAddressBookDialog>(std::move(entries));
        dialog->show();
        list = dialog->findChild<QTableWidget*>("addressList");
    }
    void select(std::initializer_list<int> rows) {
        list->clearSelection();
        for (int row : rows) {
            list->selectionModel()->select(list->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    const AddressBookEntry& entry(int row) const {
        return dialog->entries().at(static_cast<std::size_t>(row));
    }
    // The dialog's entries given to the store, as the console does once it is closed.
    void applyToStore() {
        for (const AddressBookEntry& e : dialog->entries()) {
            e.ApplyTo(store.Object(e.objectIndex));
        }
    }
    bool shownIcon(int row) const {
        return ImageOf(list->item(row, 0)->icon()) == ImageOf(Icons::ObjectShownIcon());
    }

    QTemporaryDir dir;
    CDataStore store;
    std::unique_ptr<CAddressBookDialog> dialog;
    QTableWidget* list = nullptr;
};

}  // namespace

class TestAddressBookDialog : public QObject {
    Q_OBJECT
private slots:
    void listsEveryObjectWithItsState();
    void columnWidthsFollowTheListWidth();
    void doubleClickShowsOrHidesTheSelectedObjects();
    void settingsCommandEditsEachSelectedObjectsThresholds();
    void screenshot();
};

void TestAddressBookDialog::listsEveryObjectWithItsState() {
    Fixture f;
    QCOMPARE(f.dialog->windowTitle(), QStringLiteral("Адресная книга"));
    QCOMPARE(f.list->rowCount(), 3);
    QCOMPARE(f.list->columnCount(), 4);
    QStringList headers;
    for (int c = 0; c < 4; ++c) {
        headers << f.list->horizontalHeaderItem(c)->text();
    }
    QCOMPARE(headers, (QStringList{"", "Номер объекта", "Имя объекта", "Тревога"}));
    QCOMPARE(f.list->item(1, 1)->text(), QStringLiteral("7"));
    QCOMPARE(f.list->item(1, 2)->text(), QStringLiteral("Автобус, 5"));
    QCOMPARE(f.list->item(0, 3)->text(), QStringLiteral("да"));
    QVERIFY(f.shownIcon(0));
    QVERIFY(!f.shownIcon(1));
    QVERIFY(ImageOf(f.list->item(1, 0)->icon()) == ImageOf(Icons::ObjectHiddenIcon()));
    QVERIFY(f.shownIcon(2));
}

void TestAddressBookDialog::columnWidthsFollowTheListWidth() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowExposed(f.dialog.get()));
    const int w = f.list->viewport()->width();
    QVERIFY(w > 100);
    QCOMPARE(f.list->columnWidth(0), 18);
    QCOMPARE(f.list->columnWidth(1), w / 5 + 5);
    QCOMPARE(f.list->columnWidth(2), 2 * w / 5 + 17);
    QCOMPARE(f.list->columnWidth(3), w / 5 + 5);
    // The list fills the dialog as it is resized.
    f.dialog->resize(f.dialog->width() + 100, f.dialog->height() + 50);
    QTRY_COMPARE(f.list->geometry(), f.dialog->rect());
}

void TestAddressBookDialog::doubleClickShowsOrHidesTheSelectedObjects() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowExposed(f.dialog.get()));
    // A double click on a row selects just that row and inverts it.
    const QRect cell = f.list->visualItemRect(f.list->item(1, 2));
    QTest::mouseClick(f.list->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(f.list->viewport(), Qt::LeftButton, {}, cell.center());
    QVERIFY(f.entry(1).shown);
    QVERIFY(f.shownIcon(1));
    QVERIFY(f.entry(0).shown);
    QVERIFY(f.entry(2).shown);
    // The dialog works on its copy: the store is left alone until the entries are applied.
    QCOMPARE(int(f.store.Object(1).selected), 0);

    // Every selected row is inverted, each on its own.
    f.select({0, 1, 2});
    f.dialog->ToggleSelectedRows();
    QVERIFY(!f.entry(0).shown && !f.entry(1).shown && !f.entry(2).shown);
    QVERIFY(!f.shownIcon(0) && !f.shownIcon(1) && !f.shownIcon(2));
    QCOMPARE(f.store.BuildSelectedIdsText(), std::string("|12||30|"));
    QVERIFY(!f.dialog->thresholdsChanged());
    f.applyToStore();
    QCOMPARE(int(f.store.Object(0).selected), 0);
    QCOMPARE(int(f.store.Object(1).selected), 0);
    QCOMPARE(int(f.store.Object(2).selected), 0);
    QCOMPARE(f.store.BuildSelectedIdsText(), std::string());
}

void TestAddressBookDialog::settingsCommandEditsEachSelectedObjectsThresholds() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowExposed(f.dialog.get()));
    const QList<QAction*> actions = f.dialog->contextMenu()->actions();
    QCOMPARE(actions.size(), 1);
    QCOMPARE(actions[0]->text(), QStringLiteral("Настройки..."));

    QVERIFY(!f.dialog->thresholdsChanged());
    f.select({2, 0});
    QStringList captions;
    QList<bool> alertBoxesEnabled;
    int handled = 0;
    QTimer driver;
    driver.setInterval(20);
    connect(&driver, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CObjectSettingsDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        captions << dialog->windowTitle();
        alertBoxesEnabled << dialog->findChild<QWidget*>("alarmAlertCheck")->isEnabled();
        dialog->findChild<QTimeEdit*>("firstTimeoutEdit")->setTime(QTime(1, 0, 0));
        dialog->findChild<QTimeEdit*>("secondTimeoutEdit")->setTime(QTime(2, 0, 0));
        // The first (row 0) is confirmed, the second (row 2) cancelled.
        if (handled++ == 0) {
            dialog->accept();
        } else {
            dialog->reject();
        }
    });
    driver.start();
    actions[0]->trigger();
    driver.stop();

    QCOMPARE(handled, 2);
    QVERIFY(f.dialog->thresholdsChanged());
    QCOMPARE(captions, (QStringList{"Настройки - 12-Грузовик", "Настройки - 30-Такси"}));
    QCOMPARE(alertBoxesEnabled, (QList<bool>{false, false}));
    QVERIFY(f.entry(0).thresholdsEdited);
    QVERIFY(f.entry(0).firstTimeout == DateTime::FromTimeOfDay(1, 0, 0));
    QVERIFY(f.entry(0).secondTimeout == DateTime::FromTimeOfDay(2, 0, 0));
    QVERIFY(!f.entry(2).thresholdsEdited);
    QVERIFY(f.entry(2).firstTimeout == DateTime::FromTimeOfDay(0, 20, 0));
    QVERIFY(f.entry(2).secondTimeout == DateTime::FromTimeOfDay(0, 40, 0));
    QVERIFY(!f.entry(1).thresholdsEdited);
    // Nothing reached the store yet.
    QVERIFY(f.store.Object(0).firstTimeout == DateTime::FromTimeOfDay(0, 20, 0));

    f.applyToStore();
    QVERIFY(f.store.Object(0).firstTimeout == DateTime::FromTimeOfDay(1, 0, 0));
    QVERIFY(f.store.Object(0).secondTimeout == DateTime::FromTimeOfDay(2, 0, 0));
    QCOMPARE(f.store.Object(0).alertSettings[AlertSettings::kAlarmAlert], 1);
    QVERIFY(f.store.Object(2).firstTimeout == DateTime::FromTimeOfDay(0, 20, 0));
    QVERIFY(f.store.Object(2).secondTimeout == DateTime::FromTimeOfDay(0, 40, 0));
    QVERIFY(f.store.Object(1).firstTimeout == DateTime::FromTimeOfDay(0, 20, 0));
    // Shown flags were not touched by the thresholds.
    QCOMPARE(f.store.BuildSelectedIdsText(), std::string("|12||30|"));
}

void TestAddressBookDialog::screenshot() {
    const QString folder = qEnvironmentVariable("SENTREL_SHOTS_DIR");
    if (folder.isEmpty()) {
        QSKIP("set SENTREL_SHOTS_DIR to write screenshots");
    }
    QDir().mkpath(folder);
    Fixture f;
    QVERIFY(QTest::qWaitForWindowExposed(f.dialog.get()));
    f.select({1});
    QVERIFY(f.dialog->grab().save(folder + "/address-book.png"));
}

QTEST_MAIN(TestAddressBookDialog)
#include "tst_addressbookdialog.moc"
