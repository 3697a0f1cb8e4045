#include <QPushButton>
#include <QtTest>

#include "alerts/AlertPopupDialog.h"
#include "alerts/AlertSettings.h"

namespace {

constexpr int kDestination = static_cast<int>(PopupKind::DestinationZone);
constexpr int kForbidden = static_cast<int>(PopupKind::ForbiddenZone);
constexpr int kPowerOn = static_cast<int>(PopupKind::PowerOn);
constexpr int kAlarm = static_cast<int>(PopupKind::Alarm);

QString ShotsDir() {
    return qEnvironmentVariable("SENTREL_SHOTS_DIR");
}

}  // namespace

class TestPopup : public QObject {
    Q_OBJECT
private slots:
    void startsFoldedWithDisabledHistory();
    void firstAlertKeepsHistoryEmpty();
    void secondAlertMovesFirstIntoHistory();
    void openPanelCountsButDoesNotMove();
    void textsAddedTogetherAreTextsAddedOneByOne();
    void pagingStopsAtTheEnds();
    void foldingKeepsPositionAndResizesByPanel();
    void unknownKindKeepsPreviousColour();
    void closingReportsOnce();
    void screenshotWithHistoryOpen();
};

void TestPopup::startsFoldedWithDisabledHistory() {
    CAlertPopupDialog popup;
    QCOMPARE(popup.windowTitle(), QStringLiteral("Sentrel - сообщение"));
    QCOMPARE(popup.HistoryButtonText(), QStringLiteral("Показать историю (0)..."));
    QVERIFY(!popup.HistoryButtonEnabled());
    QVERIFY(!popup.findChild<QWidget*>("historyText")->isVisibleTo(&popup));
    QVERIFY(!popup.findChild<QWidget*>("nextButton")->isVisibleTo(&popup));
    QVERIFY(popup.findChild<QWidget*>("closeButton")->isVisibleTo(&popup));
    QCOMPARE(popup.findChild<QPushButton*>("closeButton")->text(), QStringLiteral("Закрыть"));
    QCOMPARE(popup.Position(), -1);
}

void TestPopup::firstAlertKeepsHistoryEmpty() {
    CAlertPopupDialog popup;
    popup.AddText(QStringLiteral("Тревога на объекте Truck-12\r\nвторая строка"), kAlarm);
    QCOMPARE(popup.CurrentText(), QStringLiteral("Тревога на объекте Truck-12\r\nвторая строка"));
    QCOMPARE(popup.CurrentKind(), kAlarm);
    QCOMPARE(popup.HistoryCount(), 0);
    QVERIFY(!popup.HistoryButtonEnabled());
    QCOMPARE(popup.HistoryButtonText(), QStringLiteral("Показать историю (0)..."));
    QCOMPARE(popup.Position(), -1);
}

void TestPopup::secondAlertMovesFirstIntoHistory() {
    CAlertPopupDialog popup;
    popup.AddText(QStringLiteral("первое"), kPowerOn);
    popup.AddText(QStringLiteral("второе"), kForbidden);
    QCOMPARE(popup.CurrentText(), QStringLiteral("второе"));
    QVERIFY(popup.HistoryButtonEnabled());
    QCOMPARE(popup.HistoryButtonText(), QStringLiteral("Показать историю (1)..."));
    QCOMPARE(popup.PositionText(), QStringLiteral("1/1"));
    QCOMPARE(popup.HistoryEntryText(), QStringLiteral("первое"));
    // The entry is shown on the colour of its own kind, not of the new text.
    QCOMPARE(popup.HistoryEntryColour(), QColor(200, 200, 200));

    popup.AddText(QStringLiteral("третье"), kDestination);
    QCOMPARE(popup.HistoryButtonText(), QStringLiteral("Показать историю (2)..."));
    QCOMPARE(popup.PositionText(), QStringLiteral("1/2"));
    QCOMPARE(popup.HistoryEntryText(), QStringLiteral("первое"));
    popup.ShowNext();
    QCOMPARE(popup.HistoryEntryText(), QStringLiteral("второе"));
    QCOMPARE(popup.HistoryEntryColour(), QColor(200, 200, 150));
}

void TestPopup::textsAddedTogetherAreTextsAddedOneByOne() {
    const QList<QPair<QString, int>> texts = {{QStringLiteral("первое"), kPowerOn},
                                              {QStringLiteral("второе"), kForbidden},
                                              {QStringLiteral("третье"), kDestination},
                                              {QStringLiteral("четвёртое"), kAlarm}};
    // Into a fresh pop-up and into one that already shows a text, with the panel folded
    // and unfolded.
    for (const bool earlier : {false, true}) {
        for (const bool panel : {false, true}) {
            CAlertPopupDialog oneByOne;
            CAlertPopupDialog together;
            if (earlier) {
                oneByOne.AddText(QStringLiteral("раньше"), kAlarm);
                together.AddText(QStringLiteral("раньше"), kAlarm);
                if (panel) {
                    oneByOne.ToggleHistory();
                    together.ToggleHistory();
                }
            }
            for (const auto& [text, kind] : texts) {
                oneByOne.AddText(text, kind);
            }
            together.AddTexts(texts);
            QCOMPARE(together.CurrentText(), oneByOne.CurrentText());
            QCOMPARE(together.CurrentKind(), oneByOne.CurrentKind());
            QCOMPARE(together.HistoryCount(), oneByOne.HistoryCount());
            QCOMPARE(together.HistoryButtonText(), oneByOne.HistoryButtonText());
            QCOMPARE(together.PositionText(), oneByOne.PositionText());
            for (int k = 0; k < oneByOne.HistoryCount(); ++k) {
                QCOMPARE(together.HistoryEntryText(), oneByOne.HistoryEntryText());
                QCOMPARE(together.HistoryEntryColour(), oneByOne.HistoryEntryColour());
                together.ShowNext();
                oneByOne.ShowNext();
            }
        }
    }
}

void TestPopup::openPanelCountsButDoesNotMove() {
    CAlertPopupDialog popup;
    popup.AddText(QStringLiteral("a"), kAlarm);
    popup.AddText(QStringLiteral("b"), kDestination);
    popup.ToggleHistory();
    QVERIFY(popup.PanelOpen());
    QCOMPARE(popup.HistoryButtonText(), QStringLiteral("Убрать историю..."));
    QCOMPARE(popup.HistoryEntryColour(), QColor(200, 150, 150));

    popup.AddText(QStringLiteral("c"), kPowerOn);
    popup.AddText(QStringLiteral("d"), kForbidden);
    QCOMPARE(popup.PositionText(), QStringLiteral("1/3"));
    QCOMPARE(popup.HistoryEntryText(), QStringLiteral("a"));
    // While open the button keeps its label.
    QCOMPARE(popup.HistoryButtonText(), QStringLiteral("Убрать историю..."));
    QCOMPARE(popup.CurrentText(), QStringLiteral("d"));
}

void TestPopup::pagingStopsAtTheEnds() {
    CAlertPopupDialog popup;
    // Paging with no history at all changes nothing.
    popup.ShowPrevious();
    popup.ShowNext();
    QCOMPARE(popup.Position(), -1);

    for (const char* text : {"1", "2", "3", "4"}) {
        popup.AddText(QString::fromLatin1(text), kAlarm);
    }
    popup.ToggleHistory();
    popup.ShowPrevious();
    QCOMPARE(popup.Position(), 0);
    QCOMPARE(popup.PositionText(), QStringLiteral("1/3"));

    auto* next = popup.findChild<QPushButton*>("nextButton");
    QTest::mouseClick(next, Qt::LeftButton);
    QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(popup.PositionText(), QStringLiteral("3/3"));
    QCOMPARE(popup.HistoryEntryText(), QStringLiteral("3"));
    QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(popup.Position(), 2);
    QCOMPARE(popup.HistoryEntryText(), QStringLiteral("3"));

    QTest::mouseClick(popup.findChild<QPushButton*>("previousButton"), Qt::LeftButton);
    QCOMPARE(popup.PositionText(), QStringLiteral("2/3"));
}

void TestPopup::foldingKeepsPositionAndResizesByPanel() {
    CAlertPopupDialog popup;
    const int folded = popup.height();
    for (const char* text : {"1", "2", "3", "4"}) {
        popup.AddText(QString::fromLatin1(text), kDestination);
    }
    QTest::mouseClick(popup.findChild<QPushButton*>("historyButton"), Qt::LeftButton);
    QCOMPARE(popup.height(), folded + popup.PanelHeight());
    QVERIFY(popup.findChild<QWidget*>("historyText")->isVisibleTo(&popup));
    popup.ShowNext();
    popup.ShowNext();
    popup.ToggleHistory();
    QCOMPARE(popup.height(), folded);
    QVERIFY(!popup.PanelOpen());
    QCOMPARE(popup.HistoryButtonText(), QStringLiteral("Показать историю (3)..."));
    QVERIFY(!popup.findChild<QWidget*>("positionText")->isVisibleTo(&popup));

    popup.AddText(QStringLiteral("5"), kAlarm);
    QCOMPARE(popup.HistoryButtonText(), QStringLiteral("Показать историю (4)..."));
    popup.ToggleHistory();
    QCOMPARE(popup.Position(), 2);
    QCOMPARE(popup.PositionText(), QStringLiteral("3/4"));
    QCOMPARE(popup.HistoryEntryText(), QStringLiteral("3"));
}

void TestPopup::unknownKindKeepsPreviousColour() {
    CAlertPopupDialog popup;
    popup.AddText(QStringLiteral("a"), kAlarm);
    popup.AddText(QStringLiteral("b"), 17);
    popup.AddText(QStringLiteral("c"), kAlarm);
    QCOMPARE(popup.HistoryEntryColour(), QColor(200, 150, 150));
    popup.ShowNext();
    QCOMPARE(popup.HistoryEntryText(), QStringLiteral("b"));
    QCOMPARE(popup.HistoryEntryColour(), QColor(200, 150, 150));
}

void TestPopup::closingReportsOnce() {
    CAlertPopupDialog popup;
    QSignalSpy closed(&popup, &CAlertPopupDialog::closed);
    popup.show();
    QVERIFY(QTest::qWaitForWindowExposed(&popup));
    QTest::mouseClick(popup.findChild<QPushButton*>("closeButton"), Qt::LeftButton);
    QCOMPARE(closed.count(), 1);
    QVERIFY(!popup.isVisible());
    popup.close();
    QCOMPARE(closed.count(), 1);

    CAlertPopupDialog other;
    QSignalSpy otherClosed(&other, &CAlertPopupDialog::closed);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QTest::keyClick(&other, Qt::Key_Escape);
    QCOMPARE(otherClosed.count(), 1);
}

void TestPopup::screenshotWithHistoryOpen() {
    if (ShotsDir().isEmpty()) {
        QSKIP("SENTREL_SHOTS_DIR not set");
    }
    CAlertPopupDialog popup;
    popup.AddText(QStringLiteral("Тревога на объекте Truck-12\r\n07.Dec.2024 - 10:00:00\r\n"
                                 "Нажата тревожная кнопка\r\n---"),
                  kAlarm);
    popup.AddText(QStringLiteral("Включение контроллера на объекте 0007-Bus\r\n"
                                 "07.Dec.2024 - 10:01:00\r\nСклад"),
                  kPowerOn);
    popup.AddText(QStringLiteral("Объект 0012-Truck прибыл в район назначения Склад"),
                  kDestination);
    popup.ToggleHistory();
    popup.show();
    QVERIFY(QTest::qWaitForWindowExposed(&popup));
    QDir().mkpath(ShotsDir());
    QVERIFY(popup.grab().save(ShotsDir() + "/popup.png"));
}

QTEST_MAIN(TestPopup)
#include "tst_popup.moc"
