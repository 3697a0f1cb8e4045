// The journal window ("Журнал оповещений") on a journal kept in memory: the table reads
// pages, never every row; a header click and the filters become the store's order and
// filter; the cells and the marking of unacknowledged alerts; the menu item; the
// hand-over box at start; the reports written from the window and from a history window.
// With SENTREL_SHOTS_DIR set, also its picture for docs/screenshots:
//
//   SENTREL_SHOTS_DIR=/tmp/shots QT_QPA_PLATFORM=offscreen build/tests/ui/tst_journal shot
#include <QAbstractButton>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

#include "../core/FakeAlertJournal.h"
#include "alerts/HistoryDialog.h"
#include "alerts/HistoryWindows.h"
#include "app/MainCommands.h"
#include "app/QtText.h"
#include "console/ConsoleQueries.h"
#include "journal/JournalHandOver.h"
#include "journal/JournalModel.h"
#include "journal/JournalWindow.h"
#include "journal/ReportTask.h"
#include "tst_mainwindow_rig.h"
#ifdef SENTREL_WITH_TRACKS
#include "SqliteJournalReader.h"
#include "SqliteTrackStore.h"
#endif

using consoletest::FakeAlertJournal;
using Order = AlertJournalSource::Order;

namespace {

// The day of the tests, in UTC.
DateTime Utc(int day, int hour, int minute, int second = 0) {
    return DateTime::FromCalendar(2026, 12, day, hour, minute, second);
}

JournalAlert Alert(int64_t id, int32_t object, DateTime raised, JournalKind kind,
                   const char* name = "Truck") {
    JournalAlert a;
    a.id = id;
    a.objectNumber = object;
    a.objectName = W(name);
    a.raisedUtc = raised;
    a.messageTime = raised;
    a.receiveTime = raised;
    a.kind = kind;
    a.text = W("Тревога на объекте");
    return a;
}

// `n` alerts a minute apart from 6 December 00:00 UTC, every other one acknowledged.
std::shared_ptr<FakeAlertJournal> Journal(int n) {
    auto journal = std::make_shared<FakeAlertJournal>();
    for (int i = 1; i <= n; ++i) {
        JournalAlert a = Alert(i, i % 5 + 1, Utc(6, 0, 0).AddMinutes(i), JournalKind::Alarm);
        if (i % 2 == 0) {
            a.acknowledged = true;
            a.acknowledgedUtc = a.raisedUtc.AddDays(195.0 / 86400);
            a.acknowledgedAccount = "ivanov";
        }
        journal->rows.push_back(a);
    }
    return journal;
}

class FakeTracks : public TrackSource {
public:
    Read Points(int32_t object, DateTime fromUtc, DateTime toUtc) override {
        std::lock_guard<std::mutex> lock(mutex_);
        Read read;
        for (const TrackPoint& p : routes[object]) {
            if (fromUtc <= p.messageTime && p.messageTime < toUtc) {
                read.points.push_back(p);
            }
        }
        return read;
    }
    std::map<int32_t, std::vector<TrackPoint>> routes;

private:
    std::mutex mutex_;
};

TrackPoint Fix(int32_t object, DateTime t, double latitude, const char* zone = "") {
    TrackPoint p;
    p.objectNumber = object;
    p.messageTime = t;
    p.receiveTime = t;
    p.latitude = latitude;
    p.longitude = 60.6;
    p.zoneName = zone;
    return p;
}

AddressBookEntry Entry(int32_t number, const char* name) {
    AddressBookEntry e;
    e.number = number;
    e.id = std::to_string(number);
    e.name = name;
    return e;
}

CJournalWindow::Input Vehicles(int offsetMinutes = 0) {
    CJournalWindow::Input input;
    input.objects = {Entry(12, "Truck"), Entry(7, "Bus"), Entry(5, "Van")};
    input.offsetMinutes = offsetMinutes;
    return input;
}

bool WaitSettled(CJournalWindow& window) {
    return QTest::qWaitFor([&] { return window.Model()->Settled(); }, 5000);
}

QString Cell(CJournalWindow& window, int row, int column) {
    return window.Model()->index(row, column).data().toString();
}

}  // namespace

class TestJournal : public QObject {
    Q_OBJECT
private slots:
    // The tests count the store's calls: no window looks for changes by itself.
    void initTestCase() { CJournalWindow::SetLookInterval(0); }
    void init() { Prompt::SetScripted(true), Prompt::ClearShown(); }
    void cleanup() { Prompt::SetScripted(false); }

    void tableReadsPagesNeverEveryRow();
    void headerClickSortsByTheStoresOrder();
    void filtersBecomeTheStoresFilter();
    void cellsReactionAndUnacknowledgedMarking();
    void unreadableJournalIsToldInRussian();
    void changesShowAtTheTopAndWaitElsewhere();
    void reportsFromTheWindow();
    void menuItemOpensTheJournalAndItFollowsToTheTray();
    void handOverBoxOpensTheUnacknowledged();
    void historyWindowExportsItsVisits();
    void shot();
};

void TestJournal::tableReadsPagesNeverEveryRow() {
    FixedClock clock;
    auto journal = Journal(5000);
    CJournalWindow window(Vehicles(), journal, nullptr, clock);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(WaitSettled(window));
    // Counted once; only the pages on the screen read, each of at most a page's rows.
    QCOMPARE(window.Model()->rowCount(), 5000);
    QCOMPARE(journal->counts.load(), 1);
    QCOMPARE(window.Model()->CachedPages(), (std::vector<int64_t>{0}));
    // Newest first.
    QCOMPARE(window.Model()->AlertAt(0)->id, int64_t(5000));
    QCOMPARE(window.StatusLabel()->text(), QStringLiteral("Оповещений: 5000"));

    // Scrolled to the end: the last page is read, the ones between are not.
    window.Table()->scrollToBottom();
    QTRY_VERIFY(window.Model()->AlertAt(4999) != nullptr);
    QCOMPARE(window.Model()->AlertAt(4999)->id, int64_t(1));
    QVERIFY(window.Model()->AlertAt(2500) == nullptr);
    // Through the whole table: no more than a few pages are kept.
    for (int row = 0; row < 5000; row += 150) {
        window.Table()->scrollTo(window.Model()->index(row, 0));
        QTRY_VERIFY(window.Model()->AlertAt(row) != nullptr);
    }
    QVERIFY(window.Model()->CachedPages().size() <= std::size_t(CJournalModel::kCachedPages));
    for (const auto& asked : journal->asked) {
        QCOMPARE(asked.limit, CJournalModel::kPageRows);
        QCOMPARE(asked.offset % CJournalModel::kPageRows, int64_t(0));
    }
    // Each page once while kept: 25 pages in all, a handful more for the edges.
    QVERIFY2(journal->pages.load() <= 30, QByteArray::number(journal->pages.load()));
    QCOMPARE(journal->counts.load(), 1);
}

void TestJournal::headerClickSortsByTheStoresOrder() {
    FixedClock clock;
    auto journal = Journal(300);
    CJournalWindow window(Vehicles(), journal, nullptr, clock);
    QVERIFY(WaitSettled(window));
    QCOMPARE(journal->lastOrder, Order::Raised);
    QVERIFY(journal->lastDescending);

    QHeaderView* header = window.Table()->horizontalHeader();
    const std::pair<int, Order> columns[] = {{CJournalModel::kObject, Order::Object},
                                             {CJournalModel::kKind, Order::Kind},
                                             {CJournalModel::kZone, Order::Zone},
                                             {CJournalModel::kAcknowledged, Order::Acknowledged},
                                             {CJournalModel::kReaction, Order::Reaction},
                                             {CJournalModel::kTime, Order::Raised}};
    for (const auto& [column, order] : columns) {
        header->setSortIndicator(column, Qt::AscendingOrder);
        QVERIFY(WaitSettled(window));
        QCOMPARE(journal->lastOrder, order);
        QVERIFY(!journal->lastDescending);
        header->setSortIndicator(column, Qt::DescendingOrder);
        QVERIFY(WaitSettled(window));
        QCOMPARE(journal->lastOrder, order);
        QVERIFY(journal->lastDescending);
    }
    // The rows follow: by reaction, unacknowledged last when ascending.
    header->setSortIndicator(CJournalModel::kReaction, Qt::AscendingOrder);
    QVERIFY(WaitSettled(window));
    QVERIFY(window.Model()->AlertAt(0)->acknowledged);
    QCOMPARE(window.Model()->CurrentOrder(), Order::Reaction);

    // "Кто" has no order: nothing is asked, the indicator stays where it was.
    const int pages = journal->pages.load();
    header->setSortIndicator(CJournalModel::kAccount, Qt::AscendingOrder);
    QCOMPARE(header->sortIndicatorSection(), int(CJournalModel::kReaction));
    QTest::qWait(50);
    QCOMPARE(journal->pages.load(), pages);
    QCOMPARE(window.Model()->CurrentOrder(), Order::Reaction);
}

void TestJournal::filtersBecomeTheStoresFilter() {
    // Display time three hours ahead of UTC; now is 6 December 12:34:56 on that clock.
    FixedClock clock(DateTime::FromCalendar(2026, 12, 6, 12, 34, 56), -180);
    auto journal = Journal(10);
    CJournalWindow window(Vehicles(-180), journal, nullptr, clock);
    QVERIFY(WaitSettled(window));
    // At first: every time, vehicle and kind, acknowledged or not.
    AlertJournalSource::Filter f = journal->lastFilter;
    QVERIFY(f.fromUtc.IsNever() && f.toUtc.IsNever());
    QVERIFY(f.objects.empty());
    QCOMPARE(f.kinds, kAllJournalKinds);
    QVERIFY(!f.onlyUnacknowledged);

    // "вчера" in display time is 4 December 21:00 to 5 December 21:00 UTC.
    window.YesterdayButton()->click();
    QVERIFY(window.PeriodBox()->isChecked());
    QVERIFY(WaitSettled(window));
    f = journal->lastFilter;
    QCOMPARE(f.fromUtc, Utc(4, 21, 0));
    QCOMPARE(f.toUtc, Utc(5, 21, 0));
    // The pickers as typed: 6 December 08:00 to 09:30 display time.
    window.FromEdit()->setDateTime(QDateTime(QDate(2026, 12, 6), QTime(8, 0), Qt::UTC));
    window.ToEdit()->setDateTime(QDateTime(QDate(2026, 12, 6), QTime(9, 30), Qt::UTC));
    QVERIFY(WaitSettled(window));
    QCOMPARE(journal->lastFilter.fromUtc, Utc(6, 5, 0));
    QCOMPARE(journal->lastFilter.toUtc, Utc(6, 6, 30));
    window.PeriodBox()->setChecked(false);
    QVERIFY(WaitSettled(window));
    QVERIFY(journal->lastFilter.fromUtc.IsNever());

    // Two vehicles chosen, power-ons and forbidden departures left out, only unacknowledged.
    window.Vehicles()->item(2)->setCheckState(Qt::Checked);
    window.Vehicles()->item(0)->setCheckState(Qt::Checked);
    window.KindBox(JournalKind::PowerOn)->setChecked(false);
    window.KindBox(JournalKind::ForbiddenDeparture)->setChecked(false);
    window.UnacknowledgedBox()->setChecked(true);
    QVERIFY(WaitSettled(window));
    f = journal->lastFilter;
    QCOMPARE(f.objects, (std::vector<int32_t>{12, 5}));
    QCOMPARE(f.kinds, kAllJournalKinds & ~JournalKindBit(JournalKind::PowerOn) &
                          ~JournalKindBit(JournalKind::ForbiddenDeparture));
    QVERIFY(f.onlyUnacknowledged);
    // The table shows what the filter leaves: vehicle 5's unacknowledged alarms.
    QCOMPARE(window.Model()->rowCount(), 1);
    QCOMPARE(window.Model()->AlertAt(0)->id, int64_t(9));
}

void TestJournal::cellsReactionAndUnacknowledgedMarking() {
    FixedClock clock;
    auto journal = std::make_shared<FakeAlertJournal>();
    JournalAlert acked = Alert(1, 12, Utc(6, 6, 0, 5), JournalKind::ForbiddenArrival, "Газель");
    acked.zoneName = W("Склад №1");
    acked.acknowledged = true;
    acked.acknowledgedUtc = Utc(7, 7, 3, 20);  // a day, an hour and 3:15 later
    acked.acknowledgedAccount = W("Иванов");
    JournalAlert open = Alert(2, 7, Utc(6, 9, 0), JournalKind::PowerOn, "Бус");
    journal->rows = {acked, open};
    CJournalWindow window(Vehicles(-180), journal, nullptr, clock);
    QVERIFY(WaitSettled(window));
    QCOMPARE(window.Model()->rowCount(), 2);
    // Newest first, in display time.
    QCOMPARE(Cell(window, 0, CJournalModel::kTime), QStringLiteral("06.12.2026 12:00:00"));
    QCOMPARE(Cell(window, 0, CJournalModel::kObject), QStringLiteral("7 Бус"));
    QCOMPARE(Cell(window, 0, CJournalModel::kKind), QStringLiteral("Включение контроллера"));
    QCOMPARE(Cell(window, 0, CJournalModel::kAcknowledged), QStringLiteral("нет"));
    QCOMPARE(Cell(window, 0, CJournalModel::kAccount), QString());
    QCOMPARE(Cell(window, 0, CJournalModel::kReaction), QString());
    QCOMPARE(Cell(window, 1, CJournalModel::kTime), QStringLiteral("06.12.2026 09:00:05"));
    QCOMPARE(Cell(window, 1, CJournalModel::kKind), QStringLiteral("Прибытие в запрещенный район"));
    QCOMPARE(Cell(window, 1, CJournalModel::kZone), QStringLiteral("Склад №1"));
    QCOMPARE(Cell(window, 1, CJournalModel::kAcknowledged), QStringLiteral("07.12.2026 10:03:20"));
    QCOMPARE(Cell(window, 1, CJournalModel::kAccount), QStringLiteral("Иванов"));
    QCOMPARE(Cell(window, 1, CJournalModel::kReaction), QStringLiteral("25:03:15"));
    QCOMPARE(window.Model()->index(1, 0).data(Qt::ToolTipRole).toString(),
             QStringLiteral("Тревога на объекте"));

    // The unacknowledged row stands out on every cell; the acknowledged one does not.
    for (int c = 0; c < CJournalModel::kColumnCount; ++c) {
        const QModelIndex open = window.Model()->index(0, c);
        QCOMPARE(open.data(Qt::BackgroundRole).value<QBrush>().color(),
                 QColor::fromRgb(CJournalModel::kUnacknowledgedBack));
        QVERIFY(open.data(Qt::FontRole).value<QFont>().bold());
        const QModelIndex done = window.Model()->index(1, c);
        QVERIFY(!done.data(Qt::BackgroundRole).isValid());
        QVERIFY(!done.data(Qt::FontRole).isValid());
    }
}

void TestJournal::unreadableJournalIsToldInRussian() {
    FixedClock clock;
    auto journal = Journal(3);
    journal->problem = W("База повреждена");
    CJournalWindow window(Vehicles(), journal, nullptr, clock);
    QVERIFY(WaitSettled(window));
    QCOMPARE(window.Model()->rowCount(), 0);
    // One box for the filter, however many of its queries failed.
    QCOMPARE(Prompt::ShownTexts().size(), 1);
    QCOMPARE(Prompt::ShownTexts()[0],
             QStringLiteral("Журнал оповещений не прочитан.\nБаза повреждена"));
    QCOMPARE(Prompt::ShownPrompts()[0].icon, Prompt::Icon::Warning);

    // No journal at all: an empty table that says so.
    CJournalWindow none(Vehicles(), nullptr, nullptr, clock);
    QVERIFY(WaitSettled(none));
    QCOMPARE(none.StatusLabel()->text(),
             QStringLiteral("Журнал оповещений в этой программе не ведется."));
}

void TestJournal::reportsFromTheWindow() {
    FixedClock clock(Utc(6, 12, 0), 0);
    auto journal = Journal(450);
    auto tracks = std::make_shared<FakeTracks>();
    tracks->routes[12] = {Fix(12, Utc(6, 9, 0), 56.80), Fix(12, Utc(6, 9, 1), 56.81, "Depot"),
                          Fix(12, Utc(6, 9, 5), 56.81, "Depot"), Fix(12, Utc(6, 9, 6), 56.82)};
    tracks->routes[7] = {Fix(7, Utc(6, 10, 0), 56.5)};
    CJournalWindow window(Vehicles(), journal, tracks, clock);
    QVERIFY(WaitSettled(window));
    QTemporaryDir dir;

    // The alerts the filter leaves: only the unacknowledged ones, 225 of them.
    window.UnacknowledgedBox()->setChecked(true);
    QVERIFY(WaitSettled(window));
    const QString alerts = dir.filePath(QStringLiteral("журнал.csv"));
    QSignalSpy finished(&window, &CJournalWindow::reportFinished);
    Prompt::SetNextAnswers({Prompt::Answer::Path(alerts)});
    window.ExportButton()->click();
    QCOMPARE(Prompt::ShownPrompts().back().kind, Prompt::Shown::Kind::SaveFile);
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.last().at(0).toString(), QString());
    QByteArray bytes = rig::Rig::Read(alerts);
    QVERIFY(
        bytes.startsWith("\xEF\xBB\xBF"
                         "Время;Объект;Название;Событие;Район;Текст;Подтверждено;"
                         "Кто подтвердил;Время реакции\r\n"));
    QCOMPARE(bytes.count("\r\n"), 226);
    QVERIFY(bytes.contains("06.12.2026 00:01:00;2;Truck;Тревога;;Тревога на объекте;;;\r\n"));
    QVERIFY(window.StatusLabel()->text().startsWith(QStringLiteral("Отчет записан: ")));

    // The route reports need a period.
    Prompt::ClearShown();
    window.VisitsButton()->click();
    QCOMPARE(
        Prompt::ShownTexts(),
        QStringList{QStringLiteral("Выберите период: отчет строится по маршрутам за период.")});
    window.TodayButton()->click();
    // No vehicle chosen: every one of the address book.
    const QString visits = dir.filePath(QStringLiteral("visits.csv"));
    Prompt::SetNextAnswers({Prompt::Answer::Path(visits)});
    window.VisitsButton()->click();
    QVERIFY(finished.wait(5000));
    QCOMPARE(rig::Rig::Read(visits),
             QByteArray("\xEF\xBB\xBF"
                        "Объект;Название;Район;Прибытие;Убытие;Длительность\r\n"
                        "12;Truck;Depot;06.12.2026 09:01:00;06.12.2026 09:06:00;00:05:00\r\n"));
    // The chosen vehicle only.
    window.Vehicles()->item(1)->setCheckState(Qt::Checked);
    const QString mileage = dir.filePath(QStringLiteral("mileage.csv"));
    Prompt::SetNextAnswers({Prompt::Answer::Path(mileage)});
    window.MileageButton()->click();
    QVERIFY(finished.wait(5000));
    QCOMPARE(rig::Rig::Read(mileage), QByteArray("\xEF\xBB\xBF"
                                                 "Объект;Название;Дата;Пробег, км;Точек\r\n"
                                                 "7;Bus;06.12.2026;0,00;1\r\n"));

    // A file that cannot be written: a Russian box naming it, and no file.
    const QString nowhere = dir.filePath(QStringLiteral("missing/journal.csv"));
    Prompt::ClearShown();
    Prompt::SetNextAnswers({Prompt::Answer::Path(nowhere)});
    window.ExportButton()->click();
    QVERIFY(finished.wait(5000));
    QCOMPARE(Prompt::ShownPrompts().back().icon, Prompt::Icon::Stop);
    QVERIFY(Prompt::ShownTexts().back().startsWith(QStringLiteral("Не удалось записать файл")));
    QVERIFY(!QFile::exists(nowhere));
}

void TestJournal::changesShowAtTheTopAndWaitElsewhere() {
    FixedClock clock;
    auto journal = Journal(500);
    CJournalWindow window(Vehicles(), journal, nullptr, clock);
    window.resize(1200, 500);
    window.show();
    QVERIFY(WaitSettled(window));
    QSignalSpy waiting(window.Model(), &CJournalModel::changesWaiting);

    // Nothing changed: the table is left as it is.
    window.LookForChanges();
    QTest::qWait(100);
    QCOMPARE(waiting.count(), 0);

    // A new alert, the dispatcher at the top with nothing selected: shown at once, the
    // first page already there (no row waiting for its page).
    journal->rows.push_back(Alert(501, 12, Utc(6, 11, 0), JournalKind::Alarm));
    window.LookForChanges();
    QTRY_COMPARE(window.Model()->rowCount(), 501);
    QVERIFY(window.Model()->AlertAt(0) != nullptr);
    QCOMPARE(window.Model()->AlertAt(0)->id, int64_t(501));
    QCOMPARE(window.StatusLabel()->text(), QStringLiteral("Оповещений: 501"));

    // An acknowledgement changes no count but is looked for on the first page too.
    journal->rows.back().acknowledged = true;
    window.LookForChanges();
    QTRY_VERIFY(window.Model()->AlertAt(0) != nullptr && window.Model()->AlertAt(0)->acknowledged);

    // A row selected: the table keeps still, the status line says what waits.
    window.Table()->selectRow(3);
    const int64_t selectedId = window.Model()->AlertAt(3)->id;
    journal->rows.push_back(Alert(502, 7, Utc(6, 11, 1), JournalKind::PowerOn));
    window.LookForChanges();
    QTRY_COMPARE(waiting.count(), 3);
    QCOMPARE(window.Model()->rowCount(), 501);
    QCOMPARE(window.Model()->AlertAt(3)->id, selectedId);
    QCOMPARE(window.StatusLabel()->text(),
             QStringLiteral("Оповещений: 502. Есть новые записи: «Обновить» покажет их."));
    window.RefreshButton()->click();
    QVERIFY(WaitSettled(window));
    QCOMPARE(window.Model()->rowCount(), 502);

    // Scrolled down, nothing selected: the same.
    window.Table()->clearSelection();
    window.Table()->scrollToBottom();
    QVERIFY(window.Table()->verticalScrollBar()->value() > 0);
    journal->rows.push_back(Alert(503, 7, Utc(6, 11, 2), JournalKind::PowerOn));
    window.LookForChanges();
    QTRY_COMPARE(waiting.count(), 4);
    QCOMPARE(window.Model()->rowCount(), 502);

    // A failed look changes nothing and asks nothing of the dispatcher.
    journal->problem = W("База повреждена");
    window.LookForChanges();
    QTest::qWait(100);
    QCOMPARE(waiting.count(), 4);
    QCOMPARE(window.Model()->rowCount(), 502);
    QVERIFY(Prompt::ShownTexts().isEmpty());
}

void TestJournal::menuItemOpensTheJournalAndItFollowsToTheTray() {
    rig::Rig r;
    r.settings.minimyzeTray = true;
    r.trayAvailable = true;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    auto journal = Journal(20);
    r.W().SetAlertJournal(journal);
    QAction* item = r.W().CommandAction(CMainDialog::kCmdJournal);
    QVERIFY(item != nullptr);
    QCOMPARE(item->text(), QStringLiteral("Журнал оповещений..."));
    item->trigger();
    CJournalWindow* window = r.W().Commands().JournalWindow();
    QVERIFY(window != nullptr);
    QVERIFY(window->isVisible());
    QVERIFY(WaitSettled(*window));
    QCOMPARE(window->Model()->rowCount(), 20);
    // The address book's objects to choose from.
    QCOMPARE(window->Vehicles()->count(), 6);
    QCOMPARE(window->Vehicles()->item(0)->text(), QStringLiteral("12 Truck"));
    // A second time: the same window.
    r.W().Commands().Run(CMainDialog::kCmdJournal);
    QCOMPARE(r.W().Commands().JournalWindow(), window);
    // Alerts raised since are shown when asked for.
    journal->rows.push_back(Alert(21, 12, Utc(6, 11, 0), JournalKind::Alarm));
    window->RefreshButton()->click();
    QVERIFY(WaitSettled(*window));
    QCOMPARE(window->Model()->rowCount(), 21);
    QCOMPARE(window->Model()->AlertAt(0)->id, int64_t(21));

    // To the tray and back with the main window.
    r.W().AddTrayIcon();
    QVERIFY(!window->isVisible());
    r.W().RestoreFromTray();
    QVERIFY(window->isVisible());

    // Closed, it goes.
    window->close();
    QTRY_VERIFY(r.W().Commands().JournalWindow() == nullptr);
}

void TestJournal::handOverBoxOpensTheUnacknowledged() {
    rig::Rig r;
    r.SaveSettingsFile();
    // The run starts at the rig's noon (UTC: no bias). Two alerts of earlier runs are
    // still open, one was acknowledged; one raised after the start does not count.
    auto journal = std::make_shared<FakeAlertJournal>();
    JournalAlert acked = Alert(2, 12, Utc(6, 9, 0), JournalKind::Alarm);
    acked.acknowledged = true;
    journal->rows = {Alert(1, 12, Utc(5, 9, 0), JournalKind::Alarm), acked,
                     Alert(3, 7, Utc(6, 11, 59), JournalKind::PowerOn),
                     Alert(4, 7, Utc(6, 12, 0, 1), JournalKind::Alarm)};
    r.window = std::make_unique<CMainDialog>(r.paths, r.clock, r.sound);
    r.window->SetTrayAvailableOverride(false);
    r.W().SetAlertJournal(journal);
    QVERIFY(r.W().Initialise());
    r.W().ShowAtStart();
    QCOMPARE(r.W().Commands().RunStartUtc(), Utc(6, 12, 0));

    CJournalHandOver* handOver = r.W().Commands().HandOver();
    QTRY_VERIFY(handOver->Done());
    QMessageBox* box = handOver->Box();
    QVERIFY(box != nullptr);
    QVERIFY(box->isVisible());
    QVERIFY(!box->isModal());
    QCOMPARE(box->text(),
             QStringLiteral("С прошлого запуска остались неподтверждённые оповещения: 2."));
    QCOMPARE(journal->lastFilter.toUtc, Utc(6, 12, 0));
    QVERIFY(journal->lastFilter.onlyUnacknowledged);
    QAbstractButton* open = nullptr;
    for (QAbstractButton* b : box->buttons()) {
        if (b->text() == QStringLiteral("Открыть журнал")) {
            open = b;
        }
        QVERIFY(b->text() == QStringLiteral("Открыть журнал") ||
                b->text() == QStringLiteral("Закрыть"));
    }
    QVERIFY(open != nullptr);
    open->click();
    CJournalWindow* window = r.W().Commands().JournalWindow();
    QVERIFY(window != nullptr);
    QVERIFY(window->UnacknowledgedBox()->isChecked());
    QVERIFY(WaitSettled(*window));
    QVERIFY(journal->lastFilter.onlyUnacknowledged);
    QCOMPARE(window->Model()->rowCount(), 3);  // those of this run too
    QTRY_VERIFY(handOver->Box() == nullptr);
    r.window.reset();  // the next start takes the single-instance lock

    // Nothing left open from before: no box.
    rig::Rig quiet;
    quiet.SaveSettingsFile();
    auto clean = std::make_shared<FakeAlertJournal>();
    clean->rows = {acked};
    quiet.window = std::make_unique<CMainDialog>(quiet.paths, quiet.clock, quiet.sound);
    quiet.W().SetAlertJournal(clean);
    QVERIFY(quiet.W().Initialise());
    QTRY_VERIFY(quiet.W().Commands().HandOver()->Done());
    QVERIFY(quiet.W().Commands().HandOver()->Box() == nullptr);
}

void TestJournal::historyWindowExportsItsVisits() {
    rig::Rig r;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    auto tracks = std::make_shared<FakeTracks>();
    // The rig's day (display offset 0): the truck in the depot from 09:00 to 10:30.
    tracks->routes[12] = {Fix(12, Utc(6, 8, 50), 55.0), Fix(12, Utc(6, 9, 0), 55.1, "Depot"),
                          Fix(12, Utc(6, 10, 30), 55.2)};
    r.W().SetTrackSource(tracks);
    r.W().HistoryWindows()->OpenHistoryWindows({12});
    CHistoryDialog* history = r.W().HistoryWindows()->WindowFor(12);
    QVERIFY(history != nullptr);
    QList<QAction*> items = history->ContextMenu()->actions();
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0]->text(), QStringLiteral("Экспорт в CSV..."));

    // The period dialog is answered with "сегодня" (its start); then the file.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("visits.csv"));
    Prompt::SetNextAnswers({Prompt::Answer::Path(path)});
    QSignalSpy finished(r.W().Commands().VisitExport(), &CReportTask::finished);
    {
        rig::ModalAnswerer answerer;
        answerer.On("CPeriodDialog", [](QWidget* w) {
            QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
        });
        items[0]->trigger();
        QCOMPARE(answerer.seen, QStringList{QStringLiteral("CPeriodDialog")});
    }
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.last().at(0).toString(), QString());
    QCOMPARE(rig::Rig::Read(path),
             QByteArray("\xEF\xBB\xBF"
                        "Объект;Название;Район;Прибытие;Убытие;Длительность\r\n"
                        "12;Truck;Depot;06.12.2026 09:00:00;06.12.2026 10:30:00;01:30:00\r\n"));

    // Cancelled period: no file asked for.
    Prompt::ClearShown();
    rig::ModalAnswerer cancel;
    items[0]->trigger();
    QVERIFY(Prompt::ShownPrompts().empty());
}

// GCC 12 takes a moved JournalAck inside the variant for uninitialised (a false alarm).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
void TestJournal::shot() {
    const QString shots = qEnvironmentVariable("SENTREL_SHOTS_DIR");
    if (shots.isEmpty()) {
        QSKIP("SENTREL_SHOTS_DIR not set");
    }
#ifndef SENTREL_WITH_TRACKS
    QSKIP("built without the track store");
#else
    // The demo's vehicles and zones; the alerts of a morning in a real store, those of
    // three vehicles acknowledged, the later ones not yet.
    fixture::ConsoleRig rig;
    const QString demo = QStringLiteral(SENTREL_SOURCE_DIR "/demo/");
    QVERIFY(rig.console->zoneMap->Load((demo + "maps.mrk").toStdString()));
    QVERIFY(rig.console->store.LoadAddressBook((demo + "AddrBook.txt").toStdString()));
    CJournalWindow::Input input;
    {
        const CConsoleQueries queries(*rig.console);
        input.objects = queries.AddressBookEntries();
        input.offsetMinutes = -300;  // Yekaterinburg: UTC + 5
    }
    auto nameOf = [&](int32_t number) {
        for (const AddressBookEntry& e : input.objects) {
            if (e.number == number) {
                return e.id + "-" + e.name;
            }
        }
        return std::to_string(number);
    };
    struct Raised {
        int32_t number;
        int minute;
        JournalKind kind;
        const char* zone;
    };
    const Raised morning[] = {
        {12, 3, JournalKind::DestinationDeparture, "Автобаза №1 Уралмаш"},
        {17, 9, JournalKind::PowerOn, ""},
        {23, 14, JournalKind::ForbiddenArrival, "Нефтебаза Шарташ"},
        {12, 26, JournalKind::DestinationArrival, "Гараж Центр"},
        {38, 31, JournalKind::Alarm, ""},
        {23, 40, JournalKind::ForbiddenDeparture, "Нефтебаза Шарташ"},
        {45, 47, JournalKind::DestinationArrival, "Автобаза №2 Вторчермет"},
    };
    const Raised later[] = {
        {58, 63, JournalKind::Alarm, ""},
        {12, 71, JournalKind::DestinationDeparture, "Гараж Центр"},
        {31, 78, JournalKind::ForbiddenArrival, "АЗС на Бебеля"},
        {17, 84, JournalKind::PowerOn, ""},
    };
    const DateTime start = Utc(6, 3, 0);  // 08:00 in Yekaterinburg
    auto alert = [&](int64_t id, const Raised& r) {
        JournalAlert a = Alert(id, r.number, start.AddMinutes(r.minute), r.kind);
        a.objectName = nameOf(r.number).substr(nameOf(r.number).find('-') + 1);
        a.zoneName = W(r.zone);
        a.text = CShiftReports::KindText(r.kind) + W(" на объекте ") + nameOf(r.number);
        return a;
    };
    const QString db = QDir(rig.dir.path()).filePath(QStringLiteral("SntTracks.db"));
    {
        CSqliteTrackStore store(ToCp(db));
        std::vector<JournalEntry> entries;
        int64_t id = 0;
        for (const Raised& r : morning) {
            entries.push_back(alert(++id, r));
        }
        auto acknowledge = [&entries](DateTime when, std::vector<int32_t> objects) {
            JournalAck ack;
            ack.timeUtc = when;
            ack.account = W("Диспетчер Петрова");
            ack.objects = std::move(objects);
            entries.emplace_back(std::in_place_type<JournalAck>, std::move(ack));
        };
        acknowledge(start.AddMinutes(33), {12, 17, 38});
        acknowledge(start.AddMinutes(55), {23, 45});
        for (const Raised& r : later) {
            entries.push_back(alert(++id, r));
        }
        QVERIFY(store.Append({}, entries).ok);
    }
    FixedClock clock(start.AddMinutes(90 + 300), -300);
    CJournalWindow window(std::move(input), std::make_shared<CSqliteJournalReader>(ToCp(db)),
                          nullptr, clock);
    window.resize(1320, 520);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(WaitSettled(window));
    QCOMPARE(window.Model()->rowCount(), 11);
    window.TodayButton()->click();
    QVERIFY(WaitSettled(window));
    window.Table()->selectRow(4);
    QTest::qWait(200);
    QDir().mkpath(shots);
    QVERIFY(window.grab().save(QDir(shots).filePath(QStringLiteral("journal.png"))));
#endif
}
#pragma GCC diagnostic pop

QTEST_MAIN(TestJournal)
#include "tst_journal.moc"
