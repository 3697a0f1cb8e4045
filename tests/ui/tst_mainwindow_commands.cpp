// The dispatcher's commands on a live console: the password guard, the control panel
// with the zone assignment, the address book, the settings dialog, opening other files,
// the history and distance windows, and the sound error box.
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "MbTilesWriter.h"
#include "alerts/AlertPopupDialog.h"
#include "alerts/HistoryDialog.h"
#include "alerts/HistoryWindows.h"
#include "alerts/PasswordDialog.h"
#include "app/AddressBookDialog.h"
#include "objectlist/ObjectListModel.h"
#include "tst_mainwindow_rig.h"
#include "zones/DistanceListWindow.h"
#include "zones/DistanceWindows.h"
#include "zones/MapView.h"
#include "zones/MapWindow.h"
#include "zones/MapWindowKeeper.h"
#include "zones/ZoneDistanceDialog.h"
#include "zones/ZonesDialog.h"

using namespace rig;

namespace {

// Clicks a child button of a dialog once the current event has been handled (a button
// that opens another modal window must not open it inside the answerer's tick).
void ClickLater(QWidget* dialog, const char* buttonName) {
    auto* button = dialog->findChild<QPushButton*>(QString::fromLatin1(buttonName));
    QVERIFY2(button != nullptr, buttonName);
    QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
}

void AnswerPassword(ModalAnswerer& answerer, const QString& password) {
    answerer.On("CPasswordDialog", [password](QWidget* w) {
        auto* dialog = static_cast<CPasswordDialog*>(w);
        dialog->SetPassword(password);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
}

}  // namespace

class TestMainWindowCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void passwordGuardsTheProtectedCommands();
    void unguardedCommandsAskNothing();
    void controlPanelWritesTheSelectedObjects();
    void zoneAssignmentFromTheControlPanel();
    void addressBookDialogChangesTheShownObjects();
    void settingsDialogAppliesItsChanges();
    void settingsDialogWithAZoneFileThatFails();
    void settingsDialogGivesTheOpenMapItsBaseLayer();
    void openZoneFileCommand();
    void openAddressBookFileKeepsTheBookInUseOnAWrongFile();
    void historyWindowsOpenOncePerObject();
    void zoneListAndZoneDistanceDialog();
    void soundErrorIsReportedOnce();
    void secondaryWindowsStayUsableBesideAModalDialog();

private:
    std::unique_ptr<Rig> rig_;
    QTemporaryDir lockDir_;
};

void TestMainWindowCommands::initTestCase() {
    QVERIFY(lockDir_.isValid());
    qputenv("SENTREL_LOCK_FOLDER", lockDir_.path().toUtf8());
}

void TestMainWindowCommands::init() {
    Prompt::SetScripted(true);
    rig_ = std::make_unique<Rig>();
}

void TestMainWindowCommands::cleanup() {
    rig_.reset();
    Prompt::SetScripted(false);
}

void TestMainWindowCommands::passwordGuardsTheProtectedCommands() {
    Rig& r = *rig_;
    r.settings.settingsPassword = "secret";
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    QVERIFY(r.Deliver("06115900.012", FixRecord(12, kInA, MinutesAgo(1), MinutesAgo(1))));
    r.W().RefreshNow();
    // With no row selected these would do nothing, so nothing is asked.
    for (const int command : {CMainDialog::kCmdControlPanel, CMainDialog::kCmdHistory}) {
        ModalAnswerer answerer;
        r.W().RunCommand(command);
        QVERIFY(answerer.seen.isEmpty());
    }
    r.Select({12});

    const int guarded[] = {CMainDialog::kCmdControlPanel,      CMainDialog::kCmdHistory,
                           CMainDialog::kCmdResetTotalCounter, CMainDialog::kCmdResetRunCounter,
                           CMainDialog::kCmdOpenZoneFile,      CMainDialog::kCmdOpenAddressBookFile,
                           CMainDialog::kCmdAddressBook,       CMainDialog::kCmdSettings};
    for (const int command : guarded) {
        Prompt::ClearShown();
        ModalAnswerer answerer;
        bool modalWhileAsked = false;
        answerer.On("CPasswordDialog", [&](QWidget* w) {
            modalWhileAsked = r.W().modalOpen;
            static_cast<CPasswordDialog*>(w)->SetPassword(QStringLiteral("Secret"));
            QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
        });
        r.W().RunCommand(command);
        // Only the prompt came up, then the refusal; the command did nothing.
        QCOMPARE(answerer.seen, QStringList{QStringLiteral("CPasswordDialog")});
        QCOMPARE(Prompt::ShownTexts(), QStringList{QStringLiteral("Неверный пароль!")});
        QCOMPARE(Prompt::ShownPrompts().front().icon, Prompt::Icon::Stop);
        QVERIFY(modalWhileAsked);
        QVERIFY(!r.W().modalOpen);
    }
    QCOMPARE(r.W().HistoryWindows()->Count(), 0);
    {
        auto lock = r.C().Lock();
        QCOMPARE(r.C().runMessageCount, 1);
        QCOMPARE(r.C().layout.totalMessageCount, 1);
    }

    // Cancel refuses silently; the right password lets the command through.
    {
        Prompt::ClearShown();
        ModalAnswerer answerer;
        answerer.On("CPasswordDialog", [](QWidget* w) {
            QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
        });
        r.W().RunCommand(CMainDialog::kCmdResetRunCounter);
        QVERIFY(Prompt::ShownPrompts().empty());
        auto lock = r.C().Lock();
        QCOMPARE(r.C().runMessageCount, 1);
    }
    {
        ModalAnswerer answerer;
        AnswerPassword(answerer, QStringLiteral("secret"));
        r.W().RunCommand(CMainDialog::kCmdResetRunCounter);
        QVERIFY(Prompt::ShownPrompts().empty());
        auto lock = r.C().Lock();
        QCOMPARE(r.C().runMessageCount, 0);
    }
    {
        ModalAnswerer answerer;
        AnswerPassword(answerer, QStringLiteral("secret"));
        r.W().RunCommand(CMainDialog::kCmdHistory);
        QCOMPARE(r.W().HistoryWindows()->Count(), 1);
    }
}

void TestMainWindowCommands::unguardedCommandsAskNothing() {
    Rig& r = *rig_;
    r.settings.settingsPassword = "secret";
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    r.W().RefreshNow();
    r.Select({12});
    const std::pair<int, const char*> commands[] = {
        {CMainDialog::kCmdZones, "CZonesDialog"},
        {CMainDialog::kCmdZoneDistances, "CZoneDistanceDialog"},
        {CMainDialog::kCmdObjectDistances, "CObjectDistanceDialog"},
        {CMainDialog::kCmdAbout, "CAboutDialog"},
    };
    for (const auto& [command, dialog] : commands) {
        ModalAnswerer answerer;
        bool modal = false;
        answerer.On(dialog, [&](QWidget* w) {
            modal = r.W().modalOpen;
            QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
        });
        r.W().RunCommand(command);
        QCOMPARE(answerer.seen, QStringList{QString::fromLatin1(dialog)});
        QVERIFY(modal);
        QVERIFY(!r.W().modalOpen);
    }
    ModalAnswerer answerer;
    r.W().RunCommand(CMainDialog::kCmdAcknowledge);
    QVERIFY(answerer.seen.isEmpty());
    QVERIFY(Prompt::ShownPrompts().empty());
}

void TestMainWindowCommands::controlPanelWritesTheSelectedObjects() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    r.W().RefreshNow();
    const QString stateFile = r.InFolder("SntSettings.dat");
    QFile::remove(stateFile);

    // Nothing selected: nothing opens.
    {
        ModalAnswerer answerer;
        r.W().RunCommand(CMainDialog::kCmdControlPanel);
        QVERIFY(answerer.seen.isEmpty());
    }

    r.Select({12, 7});
    QString title;
    ModalAnswerer answerer;
    answerer.On("CObjectSettingsDialog", [&](QWidget* w) {
        title = w->windowTitle();
        w->findChild<QCheckBox*>(QStringLiteral("alarmAlertCheck"))->click();
        w->findChild<QCheckBox*>(QStringLiteral("alarmPopupCheck"))->click();
        ClickLater(w, "okButton");
    });
    // A double click on a row opens it as the menu item does.
    emit r.List().doubleClicked(r.List().Model()->index(r.RowOf(7), 0));
    QCOMPARE(answerer.seen, QStringList{QStringLiteral("CObjectSettingsDialog")});
    QCOMPARE(title, QStringLiteral("Панель управления - 12-Truck, 7-Bus"));
    for (const int32_t number : {12, 7}) {
        r.WithObject(number, [](ObjectRecord& o) {
            QCOMPARE(o.alertSettings[3], 1);
            QCOMPARE(o.alertSettings[5], 1);
            QCOMPARE(o.alertSettings[4], 0);
        });
    }
    r.WithObject(5, [](ObjectRecord& o) { QCOMPARE(o.alertSettings[3], 0); });
    r.window->Console().FlushSaves();
    QVERIFY(QFile::exists(stateFile));

    // The flags take effect: an alarm of Bus shows the pop-up.
    QVERIFY(r.Deliver("06115900.007", AlarmRecord(7, MinutesAgo(1))));
    QTRY_VERIFY(r.W().Popup() != nullptr);
    r.W().Popup()->close();
}

void TestMainWindowCommands::zoneAssignmentFromTheControlPanel() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    r.W().RefreshNow();
    r.Select({12, 7});
    int panels = 0;
    QString assignTitle;
    bool modal = false;
    ModalAnswerer answerer;
    answerer.On("CObjectSettingsDialog", [&](QWidget* w) {
        // First the zones, then the panel is cancelled: the assignment stays saved.
        ClickLater(w, ++panels == 1 ? "zonesButton" : "cancelButton");
    });
    answerer.On("CZoneAssignDialog", [&](QWidget* w) {
        assignTitle = w->windowTitle();
        modal = r.W().modalOpen;
        auto* all = w->findChild<QTableWidget*>(QStringLiteral("allZonesList"));
        QCOMPARE(all->rowCount(), 3);
        all->selectRow(1);  // "B"
        w->findChild<QPushButton*>(QStringLiteral("addDestinationButton"))->click();
        all->clearSelection();
        all->selectRow(2);  // "C"
        w->findChild<QPushButton*>(QStringLiteral("addForbiddenButton"))->click();
        ClickLater(w, "saveButton");
    });
    r.W().RunCommand(CMainDialog::kCmdControlPanel);
    QCOMPARE(answerer.seen, (QStringList{QStringLiteral("CObjectSettingsDialog"),
                                         QStringLiteral("CZoneAssignDialog"),
                                         QStringLiteral("CObjectSettingsDialog")}));
    QCOMPARE(assignTitle, QStringLiteral("Контрольные районы - 12-Truck, 7-Bus"));
    QVERIFY(modal);
    QVERIFY(!r.W().modalOpen);
    for (const int32_t number : {12, 7}) {
        r.WithObject(number, [](ObjectRecord& o) {
            QCOMPARE(o.zoneAssignment.count, 2);
            QCOMPARE(o.zoneAssignment.CheckZone(1, Destination), 1);
            QCOMPARE(o.zoneAssignment.CheckZone(2, Forbidden), 1);
        });
    }
    r.WithObject(5, [](ObjectRecord& o) { QCOMPARE(o.zoneAssignment.count, 0); });
    const QByteArray assignments = r.Saved("SntSpec.dat");
    QVERIFY(assignments.contains("B"));
    QVERIFY(assignments.contains("C"));

    // The assignment works: Truck arriving in B is a destination arrival.
    r.WithObject(12, [](ObjectRecord& o) {
        for (int f : {6, 8, 10}) {  // destinationArrival, destinationAlert, destinationPopup
            o.alertSettings[f] = 1;
        }
    });
    QVERIFY(r.Deliver("06115900.012", FixRecord(12, kInB, MinutesAgo(1), MinutesAgo(1))));
    QTRY_VERIFY(r.W().Popup() != nullptr);
    QVERIFY(r.W().Popup()->CurrentText().contains(QStringLiteral("12")));
    r.W().Popup()->close();
}

void TestMainWindowCommands::addressBookDialogChangesTheShownObjects() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    QCOMPARE(r.List().RowCount(), 5);
    ModalAnswerer answerer;
    answerer.On("CAddressBookDialog", [&](QWidget* w) {
        auto* dialog = static_cast<CAddressBookDialog*>(w);
        auto* list = w->findChild<QTableWidget*>(QStringLiteral("addressList"));
        // Van (row 2) hidden, Lada (row 5) shown.
        list->clearSelection();
        list->setSelectionMode(QAbstractItemView::MultiSelection);
        list->selectRow(2);
        list->selectRow(5);
        dialog->ToggleSelectedRows();
        QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
    });
    r.W().RunCommand(CMainDialog::kCmdAddressBook);
    QCOMPARE(answerer.seen, QStringList{QStringLiteral("CAddressBookDialog")});
    QVERIFY(Rig::Read(QString::fromStdString(r.paths.settingsPath))
                .contains("SelectedIDs|12||7||3||9||4|\r\n"));
    // The list was rebuilt and the workers run again, now for Lada too.
    QCOMPARE(r.List().RowCount(), 5);
    QTRY_COMPARE(r.Cell(4, kColObject), QStringLiteral("4 - Lada"));
    QCOMPARE(r.RowOf(5), -1);
    QVERIFY(r.Deliver("06115900.004", FixRecord(4, kInC, MinutesAgo(1), MinutesAgo(1))));
    QTRY_COMPARE(r.Cell(4, kColZone), QStringLiteral("C"));
}

void TestMainWindowCommands::settingsDialogAppliesItsChanges() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    {
        WindowLayout layout(r.paths.layoutPath);
        layout.columnIds = {6, 7, 9};
        layout.columnWidths = {120, 80, 120};
        layout.SaveLayout();
    }
    QVERIFY(r.Start());
    QCOMPARE(r.List().ColumnCount(), 3);
    QVERIFY(r.Deliver("06115900.003", FixRecord(3, kOutside, MinutesAgo(1), MinutesAgo(1))));
    r.W().RefreshNow();
    QCOMPARE(r.Cell(3, kColZone), QStringLiteral("---"));

    // Cancel changes nothing, and the workers run again.
    {
        ModalAnswerer answerer;
        answerer.On("CSettingsDialog", [&](QWidget* w) {
            QVERIFY(r.C().stopPollingEvent.IsSet());
            QVERIFY(r.C().soundStopEvent.IsSet());
            ClickLater(w, "cancelButton");
        });
        r.W().RunCommand(CMainDialog::kCmdSettings);
        QCOMPARE(answerer.seen, QStringList{QStringLiteral("CSettingsDialog")});
        QCOMPARE(r.List().ColumnCount(), 3);
        QVERIFY(r.Deliver("06115901.003", FixRecord(3, kOutside, MinutesAgo(1), MinutesAgo(1))));
    }

    // Another zone file and the default column set.
    Prompt::SetNextAnswers({Prompt::Answer::Path(r.otherZoneFile)});
    ModalAnswerer answerer;
    answerer.On("CSettingsDialog", [&](QWidget* w) {
        w->findChild<QPushButton*>(QStringLiteral("zoneFileButton"))->click();
        w->findChild<QPushButton*>(QStringLiteral("defaultsButton"))->click();
        ClickLater(w, "saveButton");
    });
    r.W().RunCommand(CMainDialog::kCmdSettings);
    QCOMPARE(answerer.seen, QStringList{QStringLiteral("CSettingsDialog")});
    {
        auto lock = r.C().Lock();
        QCOMPARE(r.C().zoneMap->ZoneCount(), 1);
        QCOMPARE(r.C().settings.qmxInfoFile, r.otherZoneFile.toStdString());
        QCOMPARE(r.C().layout.columnIds.size(), size_t(12));
    }
    QVERIFY(Rig::Read(QString::fromStdString(r.paths.settingsPath))
                .contains("QMXInfoFile" + r.otherZoneFile.toUtf8() + "\r\n"));
    QCOMPARE(r.List().ColumnCount(), 12);
    QVERIFY(r.Saved("Interface.ini").contains("11="));
    // The state was recomputed against the new map: Car is in "Middle" now.
    QTRY_COMPARE(r.Cell(3, kColZone), QStringLiteral("Middle"));
    QVERIFY(r.Deliver("06115902.012", FixRecord(12, kOutside, MinutesAgo(1), MinutesAgo(1))));
}

void TestMainWindowCommands::settingsDialogWithAZoneFileThatFails() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    // The address book is no zone file; asked for another, the dispatcher cancels.
    Prompt::SetNextAnswers({Prompt::Answer::Path(r.addressBook)});
    ModalAnswerer answerer;
    answerer.On("CSettingsDialog", [&](QWidget* w) {
        w->findChild<QPushButton*>(QStringLiteral("zoneFileButton"))->click();
        ClickLater(w, "saveButton");
    });
    r.W().RunCommand(CMainDialog::kCmdSettings);
    QCOMPARE(Prompt::ShownTexts().mid(1),
             (QStringList{QStringLiteral("Не удается найти файл с описанием контрольных "
                                         "районов!\nУкажите путь к файлу maps.mrk"),
                          QString(),
                          QStringLiteral("Необходимо выбрать файл с описанием контрольных "
                                         "районов!")}));
    {
        auto lock = r.C().Lock();
        // The map in use stays, and so does the path naming it.
        QCOMPARE(r.C().zoneMap->ZoneCount(), 3);
        QCOMPARE(r.C().settings.qmxInfoFile, r.zoneFile.toStdString());
    }
    QVERIFY(Rig::Read(QString::fromStdString(r.paths.settingsPath))
                .contains("QMXInfoFile" + r.zoneFile.toUtf8() + "\r\n"));
    QVERIFY(r.Deliver("06115900.012", FixRecord(12, kInA, MinutesAgo(1), MinutesAgo(1))));
}

void TestMainWindowCommands::settingsDialogGivesTheOpenMapItsBaseLayer() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    const QString tiles = r.InFolder("city.mbtiles");
    {
        MbTilesWriter file(tiles);
        file.Meta("attribution", QStringLiteral("© Город"));
        QImage image(256, 256, QImage::Format_RGB32);
        image.fill(Qt::gray);
        file.Tile(0, 0, 0, image);
        QVERIFY(file.Ok());
    }
    QVERIFY(r.Start());
    r.W().RunCommand(CMainDialog::kCmdMap);
    CMapWindow* map = r.W().MapWindow()->Window();
    QVERIFY(map != nullptr);
    QVERIFY(!map->View()->UsesWebMercator());

    ModalAnswerer answerer;
    answerer.On("CSettingsDialog", [&](QWidget* w) {
        w->findChild<QLineEdit*>(QStringLiteral("baseMapFileEdit"))->setText(tiles);
        ClickLater(w, "saveButton");
    });
    r.W().RunCommand(CMainDialog::kCmdSettings);
    QCOMPARE(answerer.seen, QStringList{QStringLiteral("CSettingsDialog")});
    // The open map takes it at once; Sentrel.ini names it after the other keys.
    QVERIFY(map->View()->UsesWebMercator());
    QCOMPARE(map->View()->CornerText(), QStringLiteral("© Город"));
    QVERIFY(Rig::Read(QString::fromStdString(r.paths.settingsPath))
                .endsWith("\r\nBaseMapFile" + tiles.toUtf8() + "\r\nBaseMapUrl\r\n"));
}

void TestMainWindowCommands::openZoneFileCommand() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    const QByteArray settingsBefore = Rig::Read(QString::fromStdString(r.paths.settingsPath));

    Prompt::SetNextAnswers({Prompt::Answer::Path(r.addressBook)});
    r.W().RunCommand(CMainDialog::kCmdOpenZoneFile);
    QCOMPARE(Prompt::ShownPrompts().size(), size_t(2));
    QCOMPARE(Prompt::ShownPrompts()[0].defaultName, QStringLiteral("maps.mrk"));
    QCOMPARE(Prompt::ShownTexts()[1],
             QStringLiteral("Выбранный файл не является файлом с описанием контрольных районов!"));
    {
        auto lock = r.C().Lock();
        QCOMPARE(r.C().zoneMap->ZoneCount(), 3);
        QCOMPARE(r.C().settings.qmxInfoFile, r.zoneFile.toStdString());
    }
    QCOMPARE(Rig::Read(QString::fromStdString(r.paths.settingsPath)), settingsBefore);
    QVERIFY(r.Deliver("06115900.012", FixRecord(12, kOutside, MinutesAgo(1), MinutesAgo(1))));

    Prompt::ClearShown();
    Prompt::SetNextAnswers({Prompt::Answer::Path(r.otherZoneFile)});
    r.W().RunCommand(CMainDialog::kCmdOpenZoneFile);
    QCOMPARE(Prompt::ShownPrompts().size(), size_t(1));
    {
        auto lock = r.C().Lock();
        QCOMPARE(r.C().zoneMap->ZoneCount(), 1);
    }
    QVERIFY(Rig::Read(QString::fromStdString(r.paths.settingsPath))
                .contains("QMXInfoFile" + r.otherZoneFile.toUtf8() + "\r\n"));
    QTRY_COMPARE(r.Cell(12, kColZone), QStringLiteral("Middle"));

    // Cancelled: nothing changes, the workers run again.
    Prompt::ClearShown();
    r.W().RunCommand(CMainDialog::kCmdOpenZoneFile);
    QCOMPARE(Prompt::ShownPrompts().size(), size_t(1));
    QVERIFY(r.Deliver("06115901.012", FixRecord(12, kOutside, MinutesAgo(1), MinutesAgo(1))));
}

void TestMainWindowCommands::openAddressBookFileKeepsTheBookInUseOnAWrongFile() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    QVERIFY(r.Deliver("06115900.012", FixRecord(12, kInA, MinutesAgo(1), MinutesAgo(1))));

    Prompt::SetNextAnswers({Prompt::Answer::Path(r.zoneFile)});
    r.W().RunCommand(CMainDialog::kCmdOpenAddressBookFile);
    QCOMPARE(Prompt::ShownTexts().last(),
             QStringLiteral("Выбранный файл не является адресной книгой!"));
    {
        auto lock = r.C().Lock();
        QCOMPARE(r.C().store.objectCount, 6);
        QCOMPARE(r.C().settings.channelObj, r.addressBook.toStdString());
        // The objects came back with their stored state.
        const int truck = r.C().store.FindObjectByNumber(12);
        QCOMPARE(r.C().store.Object(truck).currentZoneName, std::string("A"));
    }
    QCOMPARE(r.List().RowCount(), 5);

    const QString other = r.InFolder("Other.txt");
    Rig::Write(other, "12,Truck,x,\r\n40,New,x,\r\n");
    Prompt::ClearShown();
    Prompt::SetNextAnswers({Prompt::Answer::Path(other)});
    r.W().RunCommand(CMainDialog::kCmdOpenAddressBookFile);
    QCOMPARE(Prompt::ShownPrompts().size(), size_t(1));
    {
        auto lock = r.C().Lock();
        QCOMPARE(r.C().store.objectCount, 2);
    }
    QCOMPARE(r.List().RowCount(), 1);  // only Truck is among the shown ids
    QVERIFY(Rig::Read(QString::fromStdString(r.paths.settingsPath))
                .contains("ChannelObj" + other.toUtf8() + "\r\n"));
    QTRY_COMPARE(r.Cell(12, kColZone), QStringLiteral("A"));
}

void TestMainWindowCommands::historyWindowsOpenOncePerObject() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    r.W().RefreshNow();
    r.W().RunCommand(CMainDialog::kCmdHistory);  // nothing selected
    QCOMPARE(r.W().HistoryWindows()->Count(), 0);
    r.Select({12, 7});
    r.W().RunCommand(CMainDialog::kCmdHistory);
    QCOMPARE(r.W().HistoryWindows()->Count(), 2);
    r.W().RunCommand(CMainDialog::kCmdHistory);
    QCOMPARE(r.W().HistoryWindows()->Count(), 2);
    const QByteArray layout = r.Saved("Interface.ini");
    QVERIFY(layout.contains("[HistoryDlg=0012|1]"));
    QVERIFY(layout.contains("[HistoryDlg=0007|1]"));

    // A visit reaches the open window.
    CHistoryDialog* truck = r.W().HistoryWindows()->WindowFor(12);
    QVERIFY(truck != nullptr);
    QCOMPARE(truck->History().visitCount, 0);
    QVERIFY(r.Deliver("06115900.012", FixRecord(12, kInA, MinutesAgo(1), MinutesAgo(1))));
    QTRY_COMPARE(truck->History().visitCount, 1);
}

void TestMainWindowCommands::zoneListAndZoneDistanceDialog() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    QVERIFY(r.Deliver("06115900.012", FixRecord(12, kInC, MinutesAgo(1), MinutesAgo(1))));
    QVERIFY(r.Deliver("06115900.007", FixRecord(7, kInA, MinutesAgo(1), MinutesAgo(1))));
    r.W().RefreshNow();

    // A double click in the zone list opens the zone's distance window.
    {
        ModalAnswerer answerer;
        answerer.On("CZonesDialog", [&](QWidget* w) {
            auto* dialog = static_cast<CZonesDialog*>(w);
            dialog->List()->SelectRow(1);
            dialog->OpenSelectedZone();
            QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
        });
        r.W().RunCommand(CMainDialog::kCmdZones);
    }
    QCOMPARE(r.W().DistanceWindows()->Count(), 1);
    QCOMPARE(r.W().DistanceWindows()->Window(0)->windowTitle(), QStringLiteral("Расстояние до: B"));
    QVERIFY(r.Saved("Interface.ini").contains("[SmallDlg=B]"));

    // The zone-distance dialog is kept current while it is open; its header sorts.
    bool registered = false;
    ModalAnswerer answerer;
    answerer.On("CZoneDistanceDialog", [&](QWidget* w) {
        auto* dialog = static_cast<CZoneDistanceDialog*>(w);
        registered = r.W().DistanceWindows()->ZoneDistanceDialog() == dialog;
        dialog->ColumnClicked(0);  // "Объект": by number
        QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
    });
    r.W().RunCommand(CMainDialog::kCmdZoneDistances);
    QVERIFY(registered);
    QVERIFY(r.W().DistanceWindows()->ZoneDistanceDialog() == nullptr);
    QCOMPARE(r.W().RowObjectNumber(0), 3);
    QCOMPARE(r.List().CellText(0, r.Column(kColObject)), QStringLiteral("3 - Car"));
}

void TestMainWindowCommands::soundErrorIsReportedOnce() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    r.sound.SetFailing("alarm.wav");
    QVERIFY(r.Start());
    r.WithObject(7, [](ObjectRecord& o) {
        o.alertSettings[3] = 1;
        o.alertSettings[4] = 1;
    });
    QVERIFY(r.Deliver("06115900.007", AlarmRecord(7, MinutesAgo(1))));
    QTRY_COMPARE(Prompt::ShownPrompts().size(), size_t(1));
    QCOMPARE(Prompt::ShownTexts().front(),
             QStringLiteral("Произошла ошибка проигрывания файла!\nalarm.wav"));
    QCOMPARE(Prompt::ShownPrompts().front().icon, Prompt::Icon::Stop);
    QVERIFY(r.Deliver("06115901.007", AlarmRecord(7, MinutesAgo(1))));
    QTest::qWait(300);
    QCOMPARE(Prompt::ShownPrompts().size(), size_t(1));
}

void TestMainWindowCommands::secondaryWindowsStayUsableBesideAModalDialog() {
    Rig& r = *rig_;
    r.SaveSettingsFile();
    QVERIFY(r.Start());
    r.W().RefreshNow();
    r.Select({12});
    r.W().RunCommand(CMainDialog::kCmdHistory);
    QCOMPARE(r.W().HistoryWindows()->Count(), 1);
    CDistanceListWindow* distance = r.W().DistanceWindows()->OpenWindowAt(0, QPoint(20, 20));
    QVERIFY(distance != nullptr);
    r.W().ShowPopupText(QStringLiteral("Тревога"), 3);
    CAlertPopupDialog* popup = r.W().Popup();
    QVERIFY(popup != nullptr);
    for (QWidget* w :
         {static_cast<QWidget*>(distance), static_cast<QWidget*>(r.W().HistoryWindows()->Window(0)),
          static_cast<QWidget*>(popup)}) {
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }

    // While a dialog of the main window is open, input reaches the other windows the
    // way the system delivers it (through their own windows): each of them closes.
    bool checked = false;
    ModalAnswerer answerer;
    answerer.On("CAboutDialog", [&](QWidget* w) {
        QTest::keyClick(distance->windowHandle(), Qt::Key_Escape);
        QTest::keyClick(r.W().HistoryWindows()->Window(0)->windowHandle(), Qt::Key_Escape);
        // Enter does not press "Закрыть"; a click on it does.
        QTest::keyClick(popup->windowHandle(), Qt::Key_Return);
        QVERIFY(popup->isVisible());
        auto* close = popup->findChild<QPushButton*>(QStringLiteral("closeButton"));
        QTest::mouseClick(popup->windowHandle(), Qt::LeftButton, {},
                          close->mapTo(popup, close->rect().center()));
        // Still modal to the main window itself.
        QCOMPARE(w->windowModality(), Qt::WindowModal);
        checked = true;
        QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
    });
    r.W().RunCommand(CMainDialog::kCmdAbout);
    QVERIFY(checked);
    QCOMPARE(r.W().DistanceWindows()->Count(), 0);
    QCOMPARE(r.W().HistoryWindows()->Count(), 0);
    QVERIFY(r.W().Popup() == nullptr);
}

QTEST_MAIN(TestMainWindowCommands)
#include "tst_mainwindow_commands.moc"
