// The main window on a live console: start-up with its prompts, the list as the refresh
// passes colour it, sorting, the status bar, the pop-up, the tray and the layout flags.
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>

#include "alerts/AlertPopupDialog.h"
#include "alerts/HistoryDialog.h"
#include "alerts/HistoryWindows.h"
#include "app/StatusBar.h"
#include "app/WindowFrame.h"
#include "objectlist/CellStyle.h"
#include "objectlist/ObjectListModel.h"
#include "tst_mainwindow_rig.h"
#include "zones/DistanceListWindow.h"
#include "zones/DistanceWindows.h"
#include "zones/MapWindow.h"
#include "zones/MapWindowKeeper.h"
#include "zones/ZoneDistanceDialog.h"

using namespace rig;

namespace {

QString ShotsDir() {
    return qEnvironmentVariable("SENTREL_SHOTS_DIR");
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startupFillsTheRowsFromTheWorkers();
    void rowsAreColouredByTheirStateBits();
    void selectionIsWhiteOnNavy();
    void headerClicksSortAndToggle();
    void selectionFollowsItsObjectsThroughASort();
    void placementsSurviveTwentyRestarts();
    void aFailingDiskIsReportedByOneBoxAtATime();
    void aFileTooLargeForTheInboxIsToldInABox();
    void statusBarEdgesAndCountersArea();
    void popupKeepsItsHistoryUntilClosed();
    void alertBringsTheWindowBackFromTheTray();
    void alertsLeaveTheKeyboardToTheDialogInUse();
    void trayWithAndWithoutATray();
    void layoutFlagsFollowTheWindowState();
    void missingAddressBookCancelledEndsStartup();
    void wrongFilesEndStartupWithTheirOwnError();
    void chosenFileIsUsedButNotSaved();
    void windowsRecordedOpenComeBack();
    void snapshotsOfAnOlderGenerationAreDropped();

private:
    std::unique_ptr<Rig> rig_;
    QTemporaryDir lockDir_;
};

void TestMainWindow::initTestCase() {
    // An instance-lock folder of our own: a running Sentrel must not stop the tests.
    QVERIFY(lockDir_.isValid());
    qputenv("SENTREL_LOCK_FOLDER", lockDir_.path().toUtf8());
}

void TestMainWindow::init() {
    Prompt::SetScripted(true);
    rig_ = std::make_unique<Rig>();
}

void TestMainWindow::cleanup() {
    rig_.reset();
    Prompt::SetScripted(false);
    WindowFrame::SetMarginsForTests({});
}

void TestMainWindow::startupFillsTheRowsFromTheWorkers() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    QVERIFY(r.W().initDone);
    QVERIFY(Prompt::ShownPrompts().empty());
    // Shown objects in store order; the hidden one has no row.
    QCOMPARE(r.List().RowCount(), 5);
    QTRY_COMPARE(r.List().CellText(0, r.Column(kColObject)), QStringLiteral("12 - Truck"));
    QCOMPARE(r.Cell(9, kColObject), QStringLiteral("9 - Jeep"));
    QCOMPARE(r.RowOf(4), -1);
    QCOMPARE(r.Cell(9, kColLastMessage), QStringLiteral("---"));
    QCOMPARE(r.Cell(9, kColZone), QStringLiteral("---"));
    QTRY_COMPARE(r.W().StatusBar()->PartText(1), QStringLiteral("0 (0)"));

    // A message taken by the inbox worker reaches the row and the status bar.
    QVERIFY(r.Deliver("06115900.012", FixRecord(12, kInA, MinutesAgo(1), MinutesAgo(1))));
    QTRY_COMPARE(r.Cell(12, kColZone), QStringLiteral("A"));
    QTRY_COMPARE(r.W().StatusBar()->PartText(1), QStringLiteral("1 (1)"));
    QVERIFY(r.W().StatusBar()->PartText(0).contains(
        QStringLiteral("последнее сообщение от 12 - Truck")));
    QCOMPARE(r.Cell(12, kColSpeed), QStringLiteral("40 (0)"));
    // The row's tooltip is its object's.
    std::string tooltip;
    {
        auto lock = r.C().Lock();
        tooltip = r.C().store.BuildTooltip(r.C().store.FindObjectByNumber(12));
    }
    QVERIFY(!tooltip.empty());
    const QModelIndex cell = r.List().Model()->index(r.RowOf(12), r.Column(kColSpeed));
    QCOMPARE(cell.data(Qt::ToolTipRole).toString(),
             QString::fromStdString(Cp1251::ToUtf8(tooltip)));
}

void TestMainWindow::rowsAreColouredByTheirStateBits() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    // Truck: in zone, fresh. Bus: silent for 20 minutes (first threshold 11 min). Van: its
    // stamp is 30 minutes old (second threshold 5 min). Car: fresh but in no zone.
    // Jeep: never heard from.
    QVERIFY(r.Deliver("06115900.012", FixRecord(12, kInA, MinutesAgo(1), MinutesAgo(1))));
    QVERIFY(r.Deliver("06114000.007", FixRecord(7, kInB, MinutesAgo(1), MinutesAgo(20))));
    QVERIFY(r.Deliver("06113000.005", FixRecord(5, kInC, MinutesAgo(30), MinutesAgo(1))));
    QVERIFY(r.Deliver("06115900.003", FixRecord(3, kOutside, MinutesAgo(1), MinutesAgo(1))));
    QVERIFY(r.Deliver("06115901.003", InputsRecord(3, MinutesAgo(1), "1 0 1 1 0")));
    r.W().RefreshNow();
    r.List().FlushChanges();

    struct Expected {
        int32_t number;
        uint32_t back;
        uint32_t text;
        bool italicZone;
    };
    const Expected expected[] = {
        {12, kWhite, kBlack, false}, {7, kYellow, kBlack, false},  {5, kWhite, kDarkRed, false},
        {3, kWhite, kBlack, true},   {9, kYellow, kDarkRed, true},
    };
    for (const Expected& e : expected) {
        const int row = r.RowOf(e.number);
        QVERIFY(row >= 0);
        for (int id : {kColObject, kColZone, kColZoneTime, kColLastMessage, kColSpeed, kColPath}) {
            const ResolvedCellStyle style = r.List().PaintStyle(row, r.Column(id));
            QCOMPARE(style.backColour, e.back);
            QCOMPARE(style.textColour, e.text);
            QCOMPARE(style.font.italic, id == kColZone && e.italicZone);
        }
        // The icon columns never take the state colours.
        for (int id = kColEvent; id <= kColSensor5; ++id) {
            const ResolvedCellStyle style = r.List().PaintStyle(row, r.Column(id));
            QCOMPARE(style.backColour, kWhite);
            QCOMPARE(style.textColour, kBlack);
        }
    }
    QCOMPARE(r.Cell(3, kColZone), QStringLiteral("---"));
    // Sensors of Car: 1 0 1 1 0.
    QCOMPARE(r.Image(3, 1), 7);
    QCOMPARE(r.Image(3, 2), 8);
    QCOMPARE(r.Image(3, 3), 7);
    QCOMPARE(r.Image(3, 4), 7);
    QCOMPARE(r.Image(3, 5), 8);
    QCOMPARE(r.Image(12, 0), 0);

    // Car reaches A: upright again. Eleven minutes on, Truck has been silent too long.
    QVERIFY(r.Deliver("06115930.003", FixRecord(3, kInA, MinutesAgo(0.5), MinutesAgo(0.5))));
    r.W().RefreshNow();
    QVERIFY(!r.List().PaintStyle(r.RowOf(3), r.Column(kColZone)).font.italic);
    QCOMPARE(r.Cell(3, kColZone), QStringLiteral("A"));
    r.clock.AdvanceSeconds(11 * 60);
    r.W().RefreshNow();
    QCOMPARE(r.List().PaintStyle(r.RowOf(12), r.Column(kColObject)).backColour, kYellow);
    QCOMPARE(r.List().PaintStyle(r.RowOf(12), r.Column(kColZone)).backColour, kYellow);

    // Without the zone column the other columns are coloured as before.
    {
        auto lock = r.C().Lock();
        r.C().layout.columnIds = {6, 9, 0};
        r.C().layout.columnWidths = {100, 100, 20};
    }
    r.W().BuildListColumns();
    r.W().RefreshNow();
    QCOMPARE(r.List().ColumnCount(), 3);
    QCOMPARE(r.Cell(7, kColObject), QStringLiteral("7 - Bus"));
    QCOMPARE(r.List().PaintStyle(r.RowOf(7), 0).backColour, kYellow);
    QCOMPARE(r.List().PaintStyle(r.RowOf(5), 1).textColour, kDarkRed);
    QCOMPARE(r.List().PaintStyle(r.RowOf(5), 2).textColour, kBlack);
}

void TestMainWindow::selectionIsWhiteOnNavy() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    QVERIFY(QTest::qWaitForWindowExposed(&r.W()));
    r.W().resize(900, 300);
    r.W().RefreshNow();
    r.List().FlushChanges();
    const int row = r.RowOf(9);  // never heard from: yellow
    auto pixel = [&](int column) {
        const QImage image = r.List().viewport()->grab().toImage();
        const QRect cell = r.List().visualRect(r.List().Model()->index(row, column));
        return image.pixelColor(cell.right() - 3, cell.center().y());
    };
    QCOMPARE(pixel(r.Column(kColObject)), QColor(240, 240, 170));
    r.Select({9});
    QCOMPARE(pixel(r.Column(kColObject)), QColor(0, 0, 128));
    QCOMPARE(pixel(r.Column(kColZone)), QColor(0, 0, 128));
    r.List().ClearSelection();
    QCOMPARE(pixel(r.Column(kColObject)), QColor(240, 240, 170));
}

void TestMainWindow::headerClicksSortAndToggle() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    QVERIFY(QTest::qWaitForWindowExposed(&r.W()));
    // Truck is the only object heard from: white among yellow rows.
    QVERIFY(r.Deliver("06115900.012", FixRecord(12, kInA, MinutesAgo(1), MinutesAgo(1))));
    r.W().RefreshNow();
    auto order = [&] { return r.RowOrder(); };
    auto clickHeader = [&](int id) {
        QHeaderView* header = r.List().horizontalHeader();
        const int column = r.Column(id);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, 5));
    };
    auto back = [&](int row) { return r.List().PaintStyle(row, r.Column(kColObject)).backColour; };
    QCOMPARE(order(), (std::vector<int32_t>{12, 7, 5, 3, 9}));
    clickHeader(kColObject);
    QCOMPARE(order(), (std::vector<int32_t>{3, 5, 7, 9, 12}));
    // The rows were rewritten at once, texts and colours with their objects.
    QCOMPARE(r.List().CellText(0, r.Column(kColObject)), QStringLiteral("3 - Car"));
    QCOMPARE(r.List().CellText(4, r.Column(kColObject)), QStringLiteral("12 - Truck"));
    QCOMPARE(r.List().CellText(4, r.Column(kColZone)), QStringLiteral("A"));
    QCOMPARE(back(4), kWhite);
    QCOMPARE(back(0), kYellow);
    clickHeader(kColObject);
    QCOMPARE(order(), (std::vector<int32_t>{12, 9, 7, 5, 3}));
    QCOMPARE(r.List().CellText(0, r.Column(kColObject)), QStringLiteral("12 - Truck"));
    QCOMPARE(back(0), kWhite);
    QCOMPARE(back(4), kYellow);
    // Another column starts ascending.
    QVERIFY(r.Deliver("06115900.005", FixRecord(5, kInA, MinutesAgo(1), MinutesAgo(1), "x", 90)));
    QVERIFY(r.Deliver("06115900.003", FixRecord(3, kInA, MinutesAgo(1), MinutesAgo(1), "x", 20)));
    clickHeader(kColSpeed);
    QList<int> speeds;
    for (int row = 0; row < r.List().RowCount(); ++row) {
        speeds << r.List().CellText(row, r.Column(kColSpeed)).section(' ', 0, 0).toInt();
    }
    QCOMPARE(speeds, (QList<int>{0, 0, 20, 40, 90}));
    {
        auto lock = r.C().Lock();
        QCOMPARE(r.C().store.sortKey, int(kColSpeed));
        QCOMPARE(r.C().store.sortDescending, 0);
    }
}

void TestMainWindow::selectionFollowsItsObjectsThroughASort() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    QVERIFY(QTest::qWaitForWindowExposed(&r.W()));
    QVERIFY(r.Deliver("06115900.012", FixRecord(12, kInA, MinutesAgo(1), MinutesAgo(1))));
    r.W().RefreshNow();
    auto order = [&] { return r.RowOrder(); };
    auto currentObject = [&] { return r.W().RowObjectNumber(r.List().currentIndex().row()); };
    QCOMPARE(order(), (std::vector<int32_t>{12, 7, 5, 3, 9}));
    // The dispatcher clicks Truck (row 0), then adds Car (row 3) with Ctrl.
    const int objectColumn = r.Column(kColObject);
    auto clickRow = [&](int row, Qt::KeyboardModifiers modifiers) {
        const QRect cell = r.List().visualRect(r.List().model()->index(row, objectColumn));
        QTest::mouseClick(r.List().viewport(), Qt::LeftButton, modifiers, cell.center());
    };
    clickRow(0, {});
    clickRow(3, Qt::ControlModifier);
    QCOMPARE(r.W().SelectedObjectNumbers(), (std::vector<int32_t>{12, 3}));
    QCOMPARE(currentObject(), 3);

    r.W().Commands().SortByColumn(kColObject);
    QCOMPARE(order(), (std::vector<int32_t>{3, 5, 7, 9, 12}));
    // Still Truck and Car, now in rows 4 and 0; Car is still the current row.
    QCOMPARE(r.List().SelectedRows(), (std::vector<int>{0, 4}));
    QCOMPARE(r.W().SelectedObjectNumbers(), (std::vector<int32_t>{3, 12}));
    QCOMPARE(currentObject(), 3);
    // The other way round as well, and the commands act on those objects.
    r.W().Commands().SortByColumn(kColObject);
    QCOMPARE(order(), (std::vector<int32_t>{12, 9, 7, 5, 3}));
    QCOMPARE(r.W().SelectedObjectNumbers(), (std::vector<int32_t>{12, 3}));
    QCOMPARE(currentObject(), 3);
    // Shift-click extends from Car, where it is now (row 4), not from its old row.
    clickRow(2, Qt::ShiftModifier);
    QCOMPARE(r.W().SelectedObjectNumbers(), (std::vector<int32_t>{12, 7, 5, 3}));
}

void TestMainWindow::placementsSurviveTwentyRestarts() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    {
        // The main window, a distance window, a history window and the map, each where
        // the dispatcher left it.
        WindowLayout layout(r.paths.layoutPath);
        layout.mainRect = {120, 80, 820, 670};
        layout.smallWindowNames = {"B"};
        WindowPlacement distance;
        distance.rect = {300, 200, 640, 460};
        distance.widths = {120, 75, 80, 65};
        layout.smallWindowPlacements = {distance};
        layout.historyWindowNumbers = {"0007"};
        HistoryPlacement history;
        history.placement.rect = {200, 300, 900, 580};
        history.placement.widths = {250, 140, 140, 140};
        history.state = 1;
        layout.historyWindowPlacements = {history};
        layout.mapPlacement.rect = {50, 60, 650, 560};
        layout.mapPlacement.state = 1;
        QVERIFY(layout.SaveLayout());
    }
    // A window manager that tells each window's frame (borders of 4, a title bar of 25)
    // only some time after the window is on screen, with a move of the window.
    bool frameKnown = false;
    WindowFrame::SetMarginsForTests([&](const QWidget&) -> std::optional<QMargins> {
        return frameKnown ? QMargins(4, 25, 4, 4) : QMargins();
    });
    auto tellFrame = [&](QWidget* window) {
        QVERIFY(window != nullptr);
        QVERIFY(window->isVisible());
        QMoveEvent moved(window->pos(), window->pos());
        QCoreApplication::sendEvent(window, &moved);
    };
    auto run = [&] {
        frameKnown = false;
        QVERIFY(r.Start());
        QVERIFY(QTest::qWaitForWindowExposed(&r.W()));
        QTest::qWait(20);
        frameKnown = true;
        tellFrame(&r.W());
        tellFrame(r.W().DistanceWindows()->Window(0));
        tellFrame(r.W().HistoryWindows()->Window(0));
        tellFrame(r.W().MapWindow()->Window());
        QTest::qWait(20);
        // The main window took its place again, frame included.
        QVERIFY(WindowFrame::OuterRect(r.W()) == (LayoutRect{120, 80, 820, 670}));
        r.W().RunCommand(CMainDialog::kCmdExit);
        QVERIFY(r.W().IsEnded());
        r.window.reset();
    };
    // The first run adds what the file lacked (the columns) and changes nothing else.
    run();
    const QByteArray before = Rig::Read(r.InFolder("Interface.ini"));
    QVERIFY(before.contains("[GlobalSize]\r\npos=120,820,80,670\r\n"));
    QVERIFY(before.contains("[SmallDlg=B]\r\npos=300,640,200,460\r\n"));
    QVERIFY(before.contains("[HistoryDlg=0007|1]\r\npos=200,900,300,580\r\n"));
    QVERIFY(before.contains("[MapDlg]\r\npos=50,650,60,560\r\nstate=1\r\n"));
    for (int restart = 0; restart < 20; ++restart) {
        run();
        const QByteArray after = Rig::Read(r.InFolder("Interface.ini"));
        QVERIFY2(after == before, qPrintable(QStringLiteral("run %1:\n%2\n---\n%3")
                                                 .arg(restart)
                                                 .arg(QString::fromLatin1(before))
                                                 .arg(QString::fromLatin1(after))));
    }
    WindowFrame::SetMarginsForTests({});
}

void TestMainWindow::aFailingDiskIsReportedByOneBoxAtATime() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    QVERIFY(QTest::qWaitForWindowExposed(&r.W()));
    // Real boxes from here on: the first one stays open while the disk fills and frees.
    Prompt::SetScripted(false);
    auto openBoxes = [] {
        int count = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMessageBox*>(w) != nullptr && w->isVisible()) {
                ++count;
            }
        }
        return count;
    };
    int boxesMeanwhile = -1;
    bool closed = false;
    QTimer::singleShot(100, [&] {
        // The disk is freed and fills again seven more times while the box is open.
        for (int i = 0; i < 7; ++i) {
            r.W().Bridge().ReportSaveFailure(false);
            r.W().Bridge().ReportSaveFailure(true);
        }
        QTimer::singleShot(100, [&] {
            boxesMeanwhile = openBoxes();
            // Close whatever is open, innermost first.
            while (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                box->done(QMessageBox::Ok);
                QCoreApplication::processEvents();
            }
            closed = true;
        });
    });
    r.W().Bridge().ReportSaveFailure(true);
    QTRY_VERIFY(closed);
    QTRY_COMPARE(openBoxes(), 0);
    QCOMPARE(boxesMeanwhile, 1);
    // Told once while it lasted; a failure after the box was closed and the disk was
    // writable again is told again.
    r.W().Bridge().ReportSaveFailure(false);
    QTimer::singleShot(100, [&] {
        boxesMeanwhile = openBoxes();
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->done(QMessageBox::Ok);
        }
    });
    r.W().Bridge().ReportSaveFailure(true);
    QTRY_COMPARE(openBoxes(), 0);
    QCOMPARE(boxesMeanwhile, 1);
}

void TestMainWindow::aFileTooLargeForTheInboxIsToldInABox() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    // 17 MiB, sparse: no message file is that large; the worker sets it aside unread.
    QFile big(QDir(r.inbox).filePath(QStringLiteral("06115900.007")));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(17 * 1024 * 1024));
    big.close();
    QTRY_VERIFY_WITH_TIMEOUT(
        Prompt::ShownTexts().filter(QStringLiteral("не обработан и оставлен в папке")).size() == 1,
        15000);
    QVERIFY(QFile::exists(big.fileName()));
}

void TestMainWindow::statusBarEdgesAndCountersArea() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    QVERIFY(QTest::qWaitForWindowExposed(&r.W()));
    const int frame = r.W().frameGeometry().width() - r.W().width();
    r.W().resize(281 - frame, 200);
    QCOMPARE(r.W().StatusBar()->PartEdges(), (std::array<int, 3>{1, 121, 281}));
    r.W().resize(280 - frame, 200);
    QCOMPARE(r.W().StatusBar()->PartEdges(), (std::array<int, 3>{280, 280, 280}));
    // Exactly 280 wide still offers the counters menu; the area is (right-270, right-150).
    CStatusBar* bar = r.W().StatusBar();
    r.W().resize(280, 200);  // the bar is as wide as the inside of the window
    const int left = bar->mapToGlobal(QPoint(0, 0)).x();
    const int right = left + bar->width();
    const int y = bar->mapToGlobal(QPoint(0, 4)).y();
    QCOMPARE(bar->width(), 280);
    emit bar->contextMenuAt(QPoint(right - 270, y));
    QVERIFY(!r.W().CountersMenu()->isVisible());
    emit bar->contextMenuAt(QPoint(right - 150, y));
    QVERIFY(!r.W().CountersMenu()->isVisible());
    emit bar->contextMenuAt(QPoint(right - 269, y));
    QVERIFY(r.W().CountersMenu()->isVisible());
    r.W().CountersMenu()->hide();
    r.W().resize(279, 200);
    emit bar->contextMenuAt(QPoint(left + 50, y));
    QVERIFY(!r.W().CountersMenu()->isVisible());

    // The counters: each message counts in both; the resets rewrite the bar at once and
    // keep the total in Interface.ini.
    r.W().resize(700, 250);
    QVERIFY(r.Deliver("06115900.012", FixRecord(12, kInA, MinutesAgo(1), MinutesAgo(1))));
    QVERIFY(r.Deliver("06115901.012", FixRecord(12, kInA, MinutesAgo(1), MinutesAgo(1))));
    QTRY_COMPARE(bar->PartText(1), QStringLiteral("2 (2)"));
    r.W().RunCommand(CMainDialog::kCmdResetRunCounter);
    QCOMPARE(bar->PartText(1), QStringLiteral("0 (2)"));
    QVERIFY(r.Saved("Interface.ini").contains("[Count]\r\n2\r\n"));
    r.W().RunCommand(CMainDialog::kCmdResetTotalCounter);
    QCOMPARE(bar->PartText(1), QStringLiteral("0 (0)"));
    QCOMPARE(bar->PartText(2), QStringLiteral("06.12.2026 12:00:00"));
    QVERIFY(r.Saved("Interface.ini").contains("[Count]\r\n0\r\n"));
}

void TestMainWindow::popupKeepsItsHistoryUntilClosed() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    r.WithObject(7, [](ObjectRecord& o) {
        o.alertSettings[3] = 1;  // alarmAlert
        o.alertSettings[4] = 1;  // alarmSound
        o.alertSettings[5] = 1;  // alarmPopup
    });
    QVERIFY(r.W().Popup() == nullptr);
    QVERIFY(r.Deliver("06115900.007", AlarmRecord(7, MinutesAgo(1), "first")));
    QTRY_VERIFY(r.W().Popup() != nullptr);
    CAlertPopupDialog* popup = r.W().Popup();
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->windowTitle(), QStringLiteral("Sentrel - сообщение"));
    QVERIFY(popup->CurrentText().startsWith(QStringLiteral("Тревога на объекте Bus-7\r\n")));
    QVERIFY(popup->CurrentText().contains(QStringLiteral("\r\nfirst\r\n")));
    QVERIFY(!popup->HistoryButtonEnabled());
    QCOMPARE(popup->HistoryButtonText(), QStringLiteral("Показать историю (0)..."));
    // While it is open the window does not close.
    QVERIFY(r.W().modalOpen);
    r.W().Exit();
    QVERIFY(!r.W().IsEnded());
    // The alarm sound plays.
    QTRY_VERIFY(!r.sound.plays().empty());
    QCOMPARE(r.sound.plays().front(), std::string("alarm.wav"));

    QVERIFY(r.Deliver("06115901.007", AlarmRecord(7, MinutesAgo(1), "second")));
    QTRY_COMPARE(popup->HistoryCount(), 1);
    QCOMPARE(r.W().Popup(), popup);  // the same window
    QVERIFY(popup->HistoryButtonEnabled());
    QCOMPARE(popup->HistoryButtonText(), QStringLiteral("Показать историю (1)..."));
    QCOMPARE(popup->PositionText(), QStringLiteral("1/1"));
    QCOMPARE(popup->HistoryEntryColour(), QColor(200, 150, 150));
    QVERIFY(popup->HistoryEntryText().contains(QStringLiteral("\nfirst\n")));
    QVERIFY(popup->CurrentText().contains(QStringLiteral("\r\nsecond\r\n")));
    popup->ShowPrevious();
    popup->ShowNext();
    QCOMPARE(popup->Position(), 0);
    QCOMPARE(popup->PositionText(), QStringLiteral("1/1"));
    popup->ToggleHistory();
    QVERIFY(popup->PanelOpen());
    if (!ShotsDir().isEmpty()) {
        QDir().mkpath(ShotsDir());
        QTest::qWait(50);
        popup->grab().save(ShotsDir() + "/popup-history.png");
    }

    // Closed, it is gone; the next alert opens a new one with no history.
    popup->close();
    QTRY_VERIFY(r.W().Popup() == nullptr);
    QVERIFY(!r.W().modalOpen);
    QVERIFY(r.Deliver("06115902.007", AlarmRecord(7, MinutesAgo(1), "third")));
    QTRY_VERIFY(r.W().Popup() != nullptr);
    QCOMPARE(r.W().Popup()->HistoryCount(), 0);
    QVERIFY(r.W().Popup()->CurrentText().contains(QStringLiteral("\r\nthird\r\n")));

    // "Сбросить оповещения" on the row: the sound stops and the icon is 0 at the next pass.
    r.W().RefreshNow();
    const int icon = r.Image(7, kColEvent);
    QVERIFY2(icon >= 3 && icon <= 6, QByteArray::number(icon));
    r.Select({7});
    QVERIFY(r.W().Commands().AnySelectedPending());
    r.W().PrepareObjectMenu();
    QVERIFY(r.W().CommandAction(CMainDialog::kCmdAcknowledge)->isEnabled());
    r.W().CommandAction(CMainDialog::kCmdAcknowledge)->trigger();
    QVERIFY(Prompt::ShownPrompts().empty());  // no password asked
    QCOMPARE(r.C().soundKind(), -1);
    QVERIFY(r.C().soundStopEvent.IsSet());
    r.W().RefreshNow();
    QCOMPARE(r.Image(7, kColEvent), 0);
    r.W().PrepareObjectMenu();
    QVERIFY(!r.W().CommandAction(CMainDialog::kCmdAcknowledge)->isEnabled());
    r.W().Popup()->close();
}

void TestMainWindow::alertBringsTheWindowBackFromTheTray() {
    Rig& r = *rig_;
    r.settings.minimyzeTray = true;
    r.trayAvailable = true;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    r.WithObject(12, [](ObjectRecord& o) {
        o.alertSettings[3] = 1;
        o.alertSettings[5] = 1;
    });
    r.W().AddTrayIcon();
    QVERIFY(!r.W().isVisible());
    QVERIFY(r.C().trayIconShown);
    QVERIFY(r.Deliver("06115900.012", AlarmRecord(12, MinutesAgo(1))));
    QTRY_VERIFY(r.W().Popup() != nullptr);
    QVERIFY(r.W().isVisible());
    QVERIFY(!r.W().TrayIconShown());
    QVERIFY(!r.C().trayIconShown);
    r.W().Popup()->close();
    QTRY_VERIFY(!r.W().modalOpen);
}

void TestMainWindow::alertsLeaveTheKeyboardToTheDialogInUse() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    QVERIFY(QTest::qWaitForWindowExposed(&r.W()));
    // The dispatcher types a password into a dialog of the window, slowly, while alerts
    // keep arriving: every keystroke lands in the dialog.
    QDialog dialog(&r.W());
    auto* edit = new QLineEdit(&dialog);
    dialog.show();
    dialog.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &dialog);
    edit->setFocus();
    const QString typed = QStringLiteral("parol-123456");
    for (int k = 0; k < typed.size(); ++k) {
        r.W().Bridge().ShowPopup(W("Тревога на объекте Bus-7\r\n"), PopupKind::Alarm);
        QTRY_VERIFY(r.W().Popup() != nullptr);
        QTest::qWait(30);
        QWindow* focus = QGuiApplication::focusWindow();
        QVERIFY(focus != nullptr);
        QTest::keyClick(focus, typed.at(k).toLatin1());
    }
    QCOMPARE(edit->text(), typed);
    QCOMPARE(QApplication::activeWindow(), &dialog);
    // The pop-up is there to be seen, with every alert.
    QVERIFY(r.W().Popup()->isVisible());
    QCOMPARE(r.W().Popup()->HistoryCount(), typed.size() - 1);
    dialog.close();
    r.W().Popup()->close();
}

void TestMainWindow::trayWithAndWithoutATray() {
    {
        Rig& r = *rig_;
        r.settings.minimyzeTray = true;
        r.trayAvailable = true;
        r.SaveSettingsFile();
        {
            WindowLayout layout(r.paths.layoutPath);
            layout.historyWindowNumbers = {"0012"};
            HistoryPlacement open;
            open.state = 1;
            open.placement.rect = {300, 300, 700, 500};
            layout.historyWindowPlacements = {open};
            layout.SaveLayout();
        }
        QVERIFY(r.Start());
        QVERIFY(QTest::qWaitForWindowExposed(&r.W()));
        QCOMPARE(r.W().HistoryWindows()->Count(), 1);
        QWidget* history = r.W().HistoryWindows()->Window(0);
        QVERIFY(history->isVisible());

        r.W().showMinimized();
        QTRY_VERIFY(r.W().TrayIconShown());
        QTRY_VERIFY(!r.W().isVisible());
        QVERIFY(!history->isVisible());
        QVERIFY(r.C().trayIconShown);
        QTRY_VERIFY(r.W().Console().layout.minimised);
        QCOMPARE(r.W().TrayTip(), QStringLiteral("Sentrel"));
        // Each message rewrites the tip.
        QVERIFY(r.Deliver("06115900.012", FixRecord(12, kInA, MinutesAgo(1), MinutesAgo(1))));
        QTRY_COMPARE(r.W().TrayTip(),
                     QStringLiteral("06.12.2026 12:00:00: последнее сообщение от 12 - Truck"));

        const QString lastTip = r.W().TrayTip();
        r.W().RunCommand(CMainDialog::kCmdTrayShow);
        QVERIFY(r.W().isVisible());
        QVERIFY(!r.W().TrayIconShown());
        QVERIFY(!r.C().trayIconShown);
        QVERIFY(history->isVisible());
        QVERIFY(!r.W().Console().layout.minimised);
        // No icon, no tip.
        QVERIFY(r.Deliver("06115901.012", FixRecord(12, kInA, MinutesAgo(1), MinutesAgo(1))));
        QTest::qWait(50);
        QCOMPARE(r.W().TrayTip(), lastTip);
    }
    rig_ = std::make_unique<Rig>();
    {
        // No tray on this desktop: minimising with MinimyzeTray on keeps the window in the
        // task bar instead of hiding it for good.
        Rig& r = *rig_;
        r.settings.minimyzeTray = true;
        r.trayAvailable = false;
        r.SaveSettingsFile();
        QVERIFY(r.Start());
        QVERIFY(QTest::qWaitForWindowExposed(&r.W()));
        r.W().showMinimized();
        QTRY_VERIFY(r.W().Console().layout.minimised);
        QVERIFY(r.W().isVisible());
        QVERIFY(!r.W().TrayIconShown());
        QVERIFY(!r.C().trayIconShown);
    }
}

void TestMainWindow::layoutFlagsFollowTheWindowState() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    QVERIFY(QTest::qWaitForWindowExposed(&r.W()));
    auto flags = [&] {
        auto lock = r.C().Lock();
        return std::make_pair(r.C().layout.maximised, r.C().layout.minimised);
    };
    const QString layoutFile = r.InFolder("Interface.ini");
    r.W().showMaximized();
    QTRY_COMPARE(flags(), std::make_pair(true, false));
    QVERIFY(r.Saved("Interface.ini").contains("maxMin=1\r\n"));
    r.W().showMinimized();
    QTRY_COMPARE(flags(), std::make_pair(true, true));
    QVERIFY(r.Saved("Interface.ini").contains("maxMin=3\r\n"));
    // Restored from minimised-maximised: maximised again.
    r.W().showNormal();
    QTRY_COMPARE(flags(), std::make_pair(true, false));
    QTRY_VERIFY(r.W().isMaximized());
    r.W().showNormal();
    QTRY_COMPARE(flags(), std::make_pair(false, false));
    r.W().setGeometry(50, 60, 640, 280);
    QTRY_VERIFY(r.Saved("Interface.ini").contains("maxMin=0\r\n"));
    const QRect frame = r.W().frameGeometry();
    QTRY_COMPARE(r.W().Console().layout.mainRect,
                 (LayoutRect{frame.x(), frame.y(), frame.right() + 1, frame.bottom() + 1}));
}

void TestMainWindow::missingAddressBookCancelledEndsStartup() {
    Rig& r = *rig_;
    r.settings.channelObj = r.InFolder("nowhere/AddrBook.txt").toStdString();
    r.SaveSettingsFile();
    QVERIFY(!r.Start());
    QVERIFY(!r.W().initDone);
    const std::vector<Prompt::Shown>& shown = Prompt::ShownPrompts();
    QCOMPARE(shown.size(), size_t(3));
    QCOMPARE(shown[0].kind, Prompt::Shown::Kind::Message);
    QCOMPARE(shown[0].text, QStringLiteral("Не удается найти файл с адресной книгой!\nУкажите "
                                           "путь к файлу AddrBook.txt"));
    QCOMPARE(shown[0].icon, Prompt::Icon::None);
    QCOMPARE(shown[1].kind, Prompt::Shown::Kind::OpenFile);
    QCOMPARE(shown[1].defaultName, QStringLiteral("AddrBook.txt"));
    QCOMPARE(shown[1].filter,
             QStringLiteral("Файл с адресной книгой (AddrBook.txt);;All Files (*)"));
    QCOMPARE(shown[2].text, QStringLiteral("Необходимо выбрать файл с адресной книгой!"));
    QCOMPARE(shown[2].icon, Prompt::Icon::Stop);
    QVERIFY(!r.W().modalOpen);
    // Nothing started: no workers, no rows.
    QCOMPARE(r.List().RowCount(), 0);

    // The zone file goes the same way, with its own texts.
    rig_ = std::make_unique<Rig>();
    Rig& z = *rig_;
    z.settings.qmxInfoFile = z.InFolder("missing.mrk").toStdString();
    z.SaveSettingsFile();
    Prompt::SetScripted(true);
    QVERIFY(!z.Start());
    QCOMPARE(Prompt::ShownTexts(),
             (QStringList{QStringLiteral("Не удается найти файл с описанием контрольных "
                                         "районов!\nУкажите путь к файлу maps.mrk"),
                          QString(),
                          QStringLiteral("Необходимо выбрать файл с описанием контрольных "
                                         "районов!")}));
    QCOMPARE(Prompt::ShownPrompts()[1].filter,
             QStringLiteral("Файл с описанием контрольных районов (maps.mrk);;All Files (*)"));
    QCOMPARE(Prompt::ShownPrompts()[1].defaultName, QStringLiteral("maps.mrk"));
}

void TestMainWindow::wrongFilesEndStartupWithTheirOwnError() {
    Rig& r = *rig_;
    r.settings.channelObj = r.InFolder("missing.txt").toStdString();
    r.SaveSettingsFile();
    // The zone file is no address book.
    Prompt::SetNextAnswers(
        {Prompt::Answer::Pressed(Prompt::kOk), Prompt::Answer::Path(r.zoneFile)});
    QVERIFY(!r.Start());
    QCOMPARE(Prompt::ShownTexts().last(),
             QStringLiteral("Выбранный файл не является адресной книгой!"));
    QCOMPARE(Prompt::ShownPrompts().back().icon, Prompt::Icon::Stop);

    rig_ = std::make_unique<Rig>();
    Rig& z = *rig_;
    z.settings.qmxInfoFile = z.InFolder("missing.mrk").toStdString();
    z.SaveSettingsFile();
    Prompt::SetScripted(true);
    Prompt::SetNextAnswers(
        {Prompt::Answer::Pressed(Prompt::kOk), Prompt::Answer::Path(z.addressBook)});
    QVERIFY(!z.Start());
    QCOMPARE(Prompt::ShownTexts().last(),
             QStringLiteral("Выбранный файл не является файлом с описанием контрольных районов!"));
}

void TestMainWindow::chosenFileIsUsedButNotSaved() {
    Rig& r = *rig_;
    r.settings.channelObj = r.InFolder("missing.txt").toStdString();
    r.SaveSettingsFile();
    const QByteArray settingsBefore = Rig::Read(QString::fromStdString(r.paths.settingsPath));
    Prompt::SetNextAnswers(
        {Prompt::Answer::Pressed(Prompt::kOk), Prompt::Answer::Path(r.addressBook)});
    QVERIFY(r.Start());
    QCOMPARE(Prompt::ShownPrompts().size(), size_t(2));
    QCOMPARE(r.W().Console().settings.channelObj, r.addressBook.toStdString());
    QCOMPARE(r.List().RowCount(), 5);
    // Start-up itself does not write the chosen path.
    QCOMPARE(Rig::Read(QString::fromStdString(r.paths.settingsPath)), settingsBefore);
}

void TestMainWindow::windowsRecordedOpenComeBack() {
    Rig& r = *rig_;
    r.settings.minimyzeTray = true;
    r.trayAvailable = true;
    r.SaveSettingsFile();
    {
        WindowLayout layout(r.paths.layoutPath);
        layout.minimised = true;
        layout.smallWindowNames = {"B", "Gone"};
        WindowPlacement placement;
        placement.rect = {100, 100, 400, 300};
        layout.smallWindowPlacements = {placement, placement};
        layout.historyWindowNumbers = {"0007", "0003"};
        HistoryPlacement open;
        open.state = 1;
        HistoryPlacement closed;
        closed.state = -1;
        layout.historyWindowPlacements = {open, closed};
        layout.SaveLayout();
    }
    QVERIFY(r.Start());
    // Started in the tray: the windows are there, hidden.
    QVERIFY(r.W().StartsHidden());
    QVERIFY(!r.W().isVisible());
    QCOMPARE(r.W().DistanceWindows()->Count(), 1);
    QCOMPARE(r.W().HistoryWindows()->Count(), 1);
    QVERIFY(r.W().HistoryWindows()->WindowFor(7) != nullptr);
    QWidget* distance = r.W().DistanceWindows()->Window(0);
    QVERIFY(!distance->isVisible());
    QVERIFY(!r.W().HistoryWindows()->WindowFor(7)->isVisible());
    // Back from the tray, they are shown with it.
    r.W().RestoreFromTray();
    QVERIFY(r.W().isVisible());
    QVERIFY(distance->isVisible());
    QVERIFY(r.W().HistoryWindows()->WindowFor(7)->isVisible());
}

void TestMainWindow::snapshotsOfAnOlderGenerationAreDropped() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    r.W().RefreshNow();
    // A pass taken before a re-sort describes rows in the old order.
    r.C().StopWorkers();
    r.C().WaitForWorkers();
    const std::shared_ptr<RefreshSnapshot> old = r.C().RefreshView();
    QVERIFY(r.C().SortByKey(kColObject));
    r.W().ApplySnapshot(*old);
    QCOMPARE(r.List().CellText(0, r.Column(kColObject)), QStringLiteral("12 - Truck"));
    r.W().RefreshNow();
    QCOMPARE(r.List().CellText(0, r.Column(kColObject)), QStringLiteral("3 - Car"));
    // The row map follows: the first row is Car's now.
    QCOMPARE(r.W().RowObjectNumber(0), 3);
    // A status text of a dropped pass is not shown either.
    RefreshSnapshot stale = *old;
    stale.statusTexts[1] = "stale";
    r.W().ApplySnapshot(stale);
    QVERIFY(r.W().StatusBar()->PartText(1) != QStringLiteral("stale"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
