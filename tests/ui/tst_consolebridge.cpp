#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <thread>

#include "app/ConsoleBridge.h"
#include "base/Cp1251.h"

// The bridge from the console's workers to the GUI thread.
class TestConsoleBridge : public QObject {
    Q_OBJECT
private slots:
    void aFloodOfTrayTipsAndHistoryChangesReachesTheWindowCoalesced();
    void popupsAndNoticesArriveEachAndInOrder();
};

void TestConsoleBridge::aFloodOfTrayTipsAndHistoryChangesReachesTheWindowCoalesced() {
    CConsoleBridge bridge;
    QSignalSpy tips(&bridge, &CConsoleBridge::trayTipChanged);
    QSignalSpy histories(&bridge, &CConsoleBridge::historyChanged);
    // A worker applying records as fast as it can: a tray tip and a history change each.
    constexpr int kRecords = 20000;
    std::atomic<bool> done{false};
    std::thread worker([&bridge, &done] {
        for (int k = 0; k < kRecords; ++k) {
            bridge.SetTrayTip("tip " + std::to_string(k));
            bridge.HistoryChanged();
        }
        done = true;
    });
    // Meanwhile the GUI thread turns its loop, as a busy window does.
    while (!done) {
        QCoreApplication::processEvents();
    }
    worker.join();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    // The window sees the newest tip last, and far fewer updates than records.
    QVERIFY2(tips.count() < kRecords / 10, QByteArray::number(tips.count()));
    QCOMPARE(tips.last().at(0).toString(), QStringLiteral("tip %1").arg(kRecords - 1));
    QVERIFY(histories.count() >= 1);
    QVERIFY2(histories.count() < kRecords / 10, QByteArray::number(histories.count()));
    // Nothing is left behind: a later change comes through again.
    const int before = histories.count();
    bridge.HistoryChanged();
    QTRY_COMPARE(histories.count(), before + 1);
}

void TestConsoleBridge::popupsAndNoticesArriveEachAndInOrder() {
    CConsoleBridge bridge;
    QStringList popups;
    int handOvers = 0;
    QStringList reports;
    connect(&bridge, &CConsoleBridge::popupsRequested, this,
            [&](const QList<QPair<QString, int>>& texts) {
                ++handOvers;
                for (const auto& [text, kind] : texts) {
                    popups << QStringLiteral("%1/%2").arg(text).arg(kind);
                }
            });
    connect(&bridge, &CConsoleBridge::intakeNotice, this,
            [&](const QString& text) { reports << "notice " + text; });
    connect(&bridge, &CConsoleBridge::saveFailureChanged, this,
            [&](bool failing) { reports << (failing ? "failing" : "saved"); });
    constexpr int kAlerts = 500;
    std::thread worker([&bridge] {
        bridge.ReportSaveFailure(true);
        for (int k = 0; k < kAlerts; ++k) {
            bridge.ShowPopup(W("Тревога ") + std::to_string(k),
                             k % 2 == 0 ? PopupKind::Alarm : PopupKind::PowerOn);
            if (k == kAlerts / 2) {
                bridge.ReportIntakeNotice(W("Файл не обработан"));
            }
        }
        bridge.ReportSaveFailure(false);
    });
    worker.join();
    QTRY_COMPARE(popups.size(), kAlerts);
    QTRY_COMPARE(reports.size(), 3);
    // Every text, each with its kind, in the order told; handed over in few batches.
    for (int k = 0; k < kAlerts; ++k) {
        QCOMPARE(popups[k], QStringLiteral("Тревога %1/%2").arg(k).arg(k % 2 == 0 ? 3 : 2));
    }
    QVERIFY2(handOvers < kAlerts / 10, QByteArray::number(handOvers));
    QCOMPARE(reports,
             (QStringList{"failing", QStringLiteral("notice Файл не обработан"), "saved"}));
}

QTEST_MAIN(TestConsoleBridge)
#include "tst_consolebridge.moc"
