#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <vector>

#include "base/DateTime.h"

class CConsole;
class CMainDialog;
class CJournalHandOver;
class CJournalWindow;
class CReplayWindow;
class CReportTask;
class Clock;
class SoundOutput;

// The dispatcher's commands from the menus and the list, with the dialogs they open: the
// data files, the zones, the address book, the settings, the distance views and the map,
// the control panel and zone assignment, acknowledgement, history and the counters.
// Each asks for the settings password where the program protects it, and stops the
// workers while a dialog changes what they use.
//
// The methods are virtual so that tests of the window can put recorders in their place.
class CMainCommands : public QObject {
    Q_OBJECT
public:
    CMainCommands(CMainDialog& window, CConsole& console, const Clock& clock, SoundOutput& sound);
    ~CMainCommands() override;

    // Runs the command of a menu item (CMainDialog::Command); ids of the window's own
    // commands (exit, the tray's items) and unknown ids do nothing.
    void Run(int commandId);

    virtual void OpenZoneFile();
    virtual void OpenAddressBookFile();
    virtual void ShowZonesDialog();
    virtual void EditAddressBook();
    virtual void EditSettings();
    virtual void ShowZoneDistances();
    virtual void ShowObjectDistances();
    // "Карта...": opens the map window or brings it forward.
    virtual void ShowMap();
    // "История движения...": a new replay window for the selected objects (none chosen
    // when nothing is selected).
    virtual void ShowReplay();
    // The replay windows open now.
    std::vector<CReplayWindow*> ReplayWindows() const;
    virtual void ShowAbout();
    // "Журнал оповещений...": opens the journal window or brings it forward.
    virtual void ShowJournal();
    // The same with "только неподтверждённые" set (the hand-over's "Открыть журнал").
    void OpenJournal(bool onlyUnacknowledged);
    // The journal window while it is open, else null.
    CJournalWindow* JournalWindow() const;
    // The hand-over at start: the alerts of earlier runs still unacknowledged, told in a box.
    void OfferJournalHandOver();
    CJournalHandOver* HandOver() const { return handOver_; }
    // The start of this run (UTC): the hand-over counts the alerts raised before it.
    DateTime RunStartUtc() const;
    // "Экспорт в CSV..." of a history window: the object's zone visits over a period asked
    // for, from the track store.
    virtual void ExportVisitHistory(int32_t objectNumber);
    // Where that export is written (tests wait for it).
    CReportTask* VisitExport() const { return visitExport_; }
    virtual void EditObjectSettings();
    virtual void EditZoneAssignment();
    virtual void AcknowledgeAlerts();
    virtual void OpenHistoryWindows();
    virtual void ResetTotalCounter();
    virtual void ResetRunCounter();
    // Whether any selected row's object has an event waiting for acknowledgement.
    virtual bool AnySelectedPending() const;
    // A click on a column header: the column id shown there is the sort key.
    virtual void SortByColumn(int columnId);
    // The settings password guard; "Неверный пароль!" on a wrong one.
    bool CheckPassword();

private:
    void OpenDataFileWithPrompts(bool zones);
    // Saves Sentrel.ini; a failure is reported.
    void SaveSettingsOrReport();
    // Writes the counters into the status bar at once.
    void ShowStatusTexts();

    CMainDialog& window_;
    CConsole& console_;
    const Clock& clock_;
    SoundOutput& sound_;
    QPointer<CJournalWindow> journal_;
    CJournalHandOver* handOver_;
    CReportTask* visitExport_;
};
