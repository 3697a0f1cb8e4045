#include "app/MainCommands.h"

#include <QApplication>

#include <map>

#include "alerts/HistoryWindows.h"
#include "alerts/ObjectSettingsDialog.h"
#include "alerts/PasswordDialog.h"
#include "app/AboutDialog.h"
#include "app/AddressBookDialog.h"
#include "app/DataFilePrompts.h"
#include "app/FailureReports.h"
#include "app/MainDialog.h"
#include "app/ModalScope.h"
#include "app/Prompt.h"
#include "app/QtText.h"
#include "app/StartupSequence.h"
#include "console/Console.h"
#include "console/ConsoleEdits.h"
#include "console/ConsoleQueries.h"
#include "console/LayoutEdits.h"
#include "journal/JournalHandOver.h"
#include "journal/JournalWindow.h"
#include "journal/PeriodDialog.h"
#include "journal/ReportTask.h"
#include "model/ObjectSettingsEdit.h"
#include "model/ZoneAssignmentEdit.h"
#include "persist/ShiftReports.h"
#include "platform/Clock.h"
#include "replay/ReplayWindow.h"
#include "replay/ReplayWindows.h"
#include "settings/SettingsDialog.h"
#include "zones/DistanceWindows.h"
#include "zones/MapWindowKeeper.h"
#include "zones/ObjectDistanceDialog.h"
#include "zones/ZoneAssignDialog.h"
#include "zones/ZoneDistanceDialog.h"
#include "zones/ZonesDialog.h"

namespace {

const QString kCaption = QStringLiteral("Sentrel");

}  // namespace

CMainCommands::CMainCommands(CMainDialog& window, CConsole& console, const Clock& clock,
                             SoundOutput& sound)
    : QObject(&window),
      window_(window),
      console_(console),
      clock_(clock),
      sound_(sound),
      handOver_(new CJournalHandOver(this)),
      visitExport_(new CReportTask(this)) {
    connect(handOver_, &CJournalHandOver::openJournalRequested, this,
            [this] { OpenJournal(true); });
    connect(visitExport_, &CReportTask::finished, this, [this](const QString& problem) {
        if (!problem.isEmpty()) {
            ModalScope modal(window_);
            Prompt::Message(nullptr, problem, kCaption, Prompt::Icon::Stop);
        }
    });
}

CMainCommands::~CMainCommands() {
    delete journal_.data();
}

void CMainCommands::Run(int commandId) {
    using Action = void (CMainCommands::*)();
    static const std::map<int, Action> kActions = {
        {CMainDialog::kCmdOpenZoneFile, &CMainCommands::OpenZoneFile},
        {CMainDialog::kCmdOpenAddressBookFile, &CMainCommands::OpenAddressBookFile},
        {CMainDialog::kCmdZones, &CMainCommands::ShowZonesDialog},
        {CMainDialog::kCmdAddressBook, &CMainCommands::EditAddressBook},
        {CMainDialog::kCmdSettings, &CMainCommands::EditSettings},
        {CMainDialog::kCmdZoneDistances, &CMainCommands::ShowZoneDistances},
        {CMainDialog::kCmdObjectDistances, &CMainCommands::ShowObjectDistances},
        {CMainDialog::kCmdMap, &CMainCommands::ShowMap},
        {CMainDialog::kCmdReplay, &CMainCommands::ShowReplay},
        {CMainDialog::kCmdAbout, &CMainCommands::ShowAbout},
        {CMainDialog::kCmdJournal, &CMainCommands::ShowJournal},
        {CMainDialog::kCmdAcknowledge, &CMainCommands::AcknowledgeAlerts},
        {CMainDialog::kCmdControlPanel, &CMainCommands::EditObjectSettings},
        {CMainDialog::kCmdHistory, &CMainCommands::OpenHistoryWindows},
        {CMainDialog::kCmdResetTotalCounter, &CMainCommands::ResetTotalCounter},
        {CMainDialog::kCmdResetRunCounter, &CMainCommands::ResetRunCounter},
    };
    const auto found = kActions.find(commandId);
    if (found != kActions.end()) {
        (this->*found->second)();
    }
}

void CMainCommands::SaveSettingsOrReport() {
    if (!CConsoleEdits(console_).SaveSettings()) {
        window_.Reports().ReportSettingsNotSaved();
    }
}

bool CMainCommands::CheckPassword() {
    const std::string password = CConsoleQueries(console_).CurrentSettings().settingsPassword;
    ModalScope modal(window_);
    return ::CheckPassword(&window_, password, window_.modalOpen);
}

// ---- main menu ----

void CMainCommands::OpenZoneFile() {
    OpenDataFileWithPrompts(true);
}

void CMainCommands::OpenAddressBookFile() {
    OpenDataFileWithPrompts(false);
}

void CMainCommands::OpenDataFileWithPrompts(bool zones) {
    if (!CheckPassword()) {
        return;
    }
    // A worker told to stop still finishes the file it is applying; a reload that
    // replaces the store waits for that.
    console_.StopWorkersAndWait();
    const DataFilePrompts& prompts = DataFilePrompts::For(zones);
    QString chosen;
    const std::string previous = CConsoleQueries(console_).DataFilePath(zones);
    {
        ModalScope modal(window_);
        chosen = Prompt::OpenFile(&window_, prompts.filter, prompts.defaultName, FromCp(previous));
    }
    if (!chosen.isEmpty()) {
        CConsoleEdits(console_).SetDataFilePath(zones, ToCp(chosen));
        // A file that does not load is never put into use, and the settings keep naming
        // the file that is.
        if (CStartupSequence::LoadDataFile(console_, zones)) {
            SaveSettingsOrReport();
        } else {
            CConsoleEdits(console_).SetDataFilePath(zones, previous);
            if (!zones) {
                // A map that does not load leaves the one in use alone, but the objects of
                // a rejected address book are already in the store: the next save of the
                // state would write them over the data of the real ones. The book in use
                // comes back.
                console_.LoadAddressBook();
            }
            ModalScope modal(window_);
            Prompt::Message(&window_, prompts.wrongFile, kCaption, Prompt::Icon::Stop);
        }
    }
    // Zone indexes of the state and the assignments belong to the map in use.
    console_.ReloadState();
    console_.StartWorkers();
}

void CMainCommands::ShowZonesDialog() {
    ModalScope modal(window_);
    CZonesDialog dialog(console_, &window_);
    connect(&dialog, &CZonesDialog::openDistanceWindow, this,
            [this](int zone) { window_.DistanceWindows()->OpenWindow(zone); });
    ExecWindowModal(dialog);
}

void CMainCommands::EditAddressBook() {
    if (!CheckPassword()) {
        return;
    }
    // The workers stay stopped while the dialog edits its copy: nothing changes the
    // objects underneath it, and the list's rows are rebuilt when they start again.
    console_.StopWorkersAndWait();
    std::vector<AddressBookEntry> edited;
    {
        ModalScope modal(window_);
        CAddressBookDialog dialog(CConsoleQueries(console_).AddressBookEntries(), &window_);
        // The dialog has no "OK": what the operator changed stands however it is closed.
        ExecWindowModal(dialog);
        edited = dialog.entries();
    }
    if (!CConsoleEdits(console_).ApplyAddressBook(edited)) {
        window_.Reports().ReportSettingsNotSaved();
    }
    console_.StartWorkers();
}

void CMainCommands::EditSettings() {
    if (!CheckPassword()) {
        return;
    }
    // This also stops the alert sound.
    console_.StopWorkersAndWait();
    const Settings current = CConsoleQueries(console_).CurrentSettings();
    const WindowLayout layout = CConsoleQueries(console_).Layout();
    std::vector<int32_t> columnIds = layout.columnIds;
    std::vector<int32_t> columnWidths = layout.columnWidths;
    const int32_t mainWidth = layout.mainRect.Width();
    bool accepted;
    Settings edited;
    bool columnsChanged = false;
    {
        ModalScope modal(window_);
        CSettingsDialog dialog(current, columnIds, columnWidths, mainWidth, sound_, &window_);
        accepted = ExecWindowModal(dialog) == QDialog::Accepted;
        if (accepted) {
            edited = dialog.settings();
            columnsChanged = dialog.columnsChanged();
            columnIds = dialog.columnIds();
            columnWidths = dialog.columnWidths();
        }
    }
    if (accepted) {
        const bool zoneFileChanged = edited.qmxInfoFile != current.qmxInfoFile;
        CConsoleEdits edits(console_);
        edits.ApplySettings(edited);
        if (zoneFileChanged) {
            edits.SetDataFilePath(true, edited.qmxInfoFile);
            if (!window_.Startup().LoadDataFileWithPrompts(true)) {
                // The map in use stayed; so does the path that names it.
                edits.SetDataFilePath(true, current.qmxInfoFile);
            } else {
                // Zone indexes of the state and the assignments belong to the old map.
                console_.ReloadState();
            }
        }
        edits.ApplyTimeOffset(clock_.TimeZoneBiasMinutes());
        // Open history windows show their times with the new offset.
        window_.HistoryWindows()->HistoryChanged();
        if (columnsChanged) {
            CLayoutEdits(console_).SetColumns(columnIds, columnWidths);
            window_.BuildListColumns();
            console_.SaveLayout();
        }
        SaveSettingsOrReport();
        if (edited.baseMapFile != current.baseMapFile || edited.baseMapUrl != current.baseMapUrl) {
            // An open map takes the new base layer at once.
            window_.MapWindow()->RebuildZones();
        }
    }
    // Restarting rebuilds the rows and refreshes them with the new settings.
    console_.StartWorkers();
}

void CMainCommands::ShowZoneDistances() {
    ModalScope modal(window_);
    std::unique_ptr<CZoneDistanceDialog> dialog =
        window_.DistanceWindows()->NewZoneDistanceDialog(&window_);
    ExecWindowModal(*dialog);
}

void CMainCommands::ShowObjectDistances() {
    ModalScope modal(window_);
    CObjectDistanceDialog dialog(console_, &window_);
    ExecWindowModal(dialog);
}

void CMainCommands::ShowMap() {
    window_.MapWindow()->Open();
}

void CMainCommands::ShowReplay() {
    // Copies of what the window shows: it never reads the console again.
    CReplayWindow::Input input;
    {
        const CConsoleQueries queries(console_);
        input.objects = queries.AddressBookEntries();
        input.zones = queries.Zones();
        input.offsetMinutes = queries.DisplayOffsetMinutes();
        const Settings settings = queries.CurrentSettings();
        input.baseMapFile = FromCp(settings.baseMapFile);
        input.baseMapUrl = FromCp(settings.baseMapUrl);
    }
    input.tileCacheFolder = FromCp(console_.paths.tileCacheFolder);
    input.chosen = window_.SelectedObjectNumbers();
    auto* replay = new CReplayWindow(std::move(input), window_.Tracks(), clock_, &window_);
    replay->setAttribute(Qt::WA_DeleteOnClose);
    // Kept with the other windows beside the main one: to the tray and back with it.
    window_.ReplayWindows()->Add(replay);
    replay->show();
}

std::vector<CReplayWindow*> CMainCommands::ReplayWindows() const {
    return window_.ReplayWindows()->Open();
}

void CMainCommands::ShowJournal() {
    OpenJournal(false);
}

void CMainCommands::OpenJournal(bool onlyUnacknowledged) {
    if (journal_) {
        if (onlyUnacknowledged) {
            journal_->SetOnlyUnacknowledged(true);
        }
        journal_->show();
        journal_->raise();
        journal_->activateWindow();
        return;
    }
    // Copies of what the window shows: it never reads the console again.
    CJournalWindow::Input input;
    {
        const CConsoleQueries queries(console_);
        input.objects = queries.AddressBookEntries();
        input.offsetMinutes = queries.DisplayOffsetMinutes();
    }
    input.onlyUnacknowledged = onlyUnacknowledged;
    // A window of its own, as the history windows: a dialog modal to the main window does
    // not block it, and it goes to the tray with the main window.
    auto* journal =
        new CJournalWindow(std::move(input), window_.Journal(), window_.Tracks(), clock_, nullptr);
    journal->setAttribute(Qt::WA_DeleteOnClose);
    journal_ = journal;
    window_.Secondary().SetJournal(journal);
    journal->show();
}

CJournalWindow* CMainCommands::JournalWindow() const {
    return journal_.data();
}

DateTime CMainCommands::RunStartUtc() const {
    return console_.runStartUtc();
}

void CMainCommands::OfferJournalHandOver() {
    handOver_->Start(window_.Journal(), console_.runStartUtc());
}

void CMainCommands::ExportVisitHistory(int32_t objectNumber) {
    // The dialogs belong to the main window: a history window may go while they are open.
    QWidget* parent = &window_;
    const std::shared_ptr<TrackSource> tracks = window_.Tracks();
    if (!tracks) {
        ModalScope modal(window_);
        Prompt::Message(parent, QStringLiteral("Маршруты в этой программе не хранятся."), kCaption,
                        Prompt::Icon::Warning);
        return;
    }
    if (visitExport_->Running()) {
        ModalScope modal(window_);
        Prompt::Message(parent, QStringLiteral("Предыдущий отчет еще записывается."), kCaption,
                        Prompt::Icon::Warning);
        return;
    }
    CShiftReports::Vehicle vehicle{objectNumber, {}};
    int32_t offset = 0;
    {
        const CConsoleQueries queries(console_);
        offset = queries.DisplayOffsetMinutes();
        for (const AddressBookEntry& entry : queries.AddressBookEntries()) {
            if (entry.number == objectNumber) {
                vehicle.name = entry.name;
                break;
            }
        }
    }
    ReplayPeriod period;
    QString path;
    {
        ModalScope modal(window_);
        CPeriodDialog dialog(QStringLiteral("Посещения районов: период"), clock_, parent);
        if (ExecWindowModal(dialog) != QDialog::Accepted) {
            return;
        }
        period = dialog.Period();
        path = Prompt::SaveFile(parent, QStringLiteral("Файлы CSV (*.csv)|*.csv||"),
                                QStringLiteral("visits-%1.csv").arg(objectNumber), QString());
    }
    if (path.isEmpty()) {
        return;
    }
    const std::string target = ToCp(path);
    visitExport_->Start([tracks, vehicle, period, offset, target] {
        std::string problem;
        CShiftReports::WriteVisits(*tracks, {vehicle}, period.FromUtc(offset), period.ToUtc(offset),
                                   offset, target, problem);
        return problem;
    });
}

void CMainCommands::ShowAbout() {
    ModalScope modal(window_);
    CAboutDialog about(&window_);
    ExecWindowModal(about);
}

// ---- list commands ----

void CMainCommands::SortByColumn(int columnId) {
    window_.SortKeepingSelection(columnId, -1);
}

bool CMainCommands::AnySelectedPending() const {
    const std::vector<int32_t> numbers = window_.SelectedObjectNumbers();
    return !numbers.empty() && console_.AnyPending(numbers);
}

void CMainCommands::AcknowledgeAlerts() {
    const std::vector<int32_t> numbers = window_.SelectedObjectNumbers();
    if (!numbers.empty()) {
        console_.AcknowledgeAlerts(numbers);
    }
}

void CMainCommands::EditObjectSettings() {
    // The password is asked only when the panel will open: rows selected, all known.
    if (!CConsoleQueries(console_).ObjectSettingsOf(window_.SelectedRowNumbers())) {
        return;
    }
    if (!CheckPassword()) {
        return;
    }
    std::string caption;
    const std::optional<ObjectSettingsEdit> initial =
        CConsoleQueries(console_).ObjectSettingsOf(window_.SelectedRowNumbers(), &caption);
    if (!initial) {
        return;
    }
    ModalScope modal(window_);
    CObjectSettingsDialog dialog(FromCp(caption), *initial, &window_);
    connect(&dialog, &CObjectSettingsDialog::zoneAssignmentRequested, this,
            &CMainCommands::EditZoneAssignment);
    if (ExecWindowModal(dialog) != QDialog::Accepted) {
        return;
    }
    const ObjectSettingsEdit values = dialog.values();
    CConsoleEdits(console_).ApplyObjectSettings(window_.SelectedObjectNumbers(), values);
}

void CMainCommands::EditZoneAssignment() {
    const std::optional<ZoneAssignmentEdit> found =
        CConsoleQueries(console_).ZoneAssignmentOf(window_.SelectedRowNumbers());
    if (!found) {
        return;
    }
    const ZoneAssignmentEdit& edit = *found;
    ModalScope modal(window_);
    // Opened from the control panel, the dialog belongs above it.
    QWidget* parent = QApplication::activeModalWidget();
    if (parent == nullptr) {
        parent = &window_;
    }
    CZoneAssignDialog dialog(FromCp(edit.title), edit.initial, edit.zones, parent);
    if (ExecWindowModal(dialog) != QDialog::Accepted) {
        return;
    }
    CConsoleEdits(console_).AssignZones(window_.SelectedObjectNumbers(), dialog.assignment());
}

void CMainCommands::OpenHistoryWindows() {
    // No selection, nothing to open: no password prompt either.
    if (window_.SelectedObjectNumbers().empty() || !CheckPassword()) {
        return;
    }
    const std::vector<int32_t> numbers = window_.SelectedObjectNumbers();
    if (!numbers.empty()) {
        window_.HistoryWindows()->OpenHistoryWindows(numbers);
    }
}

void CMainCommands::ResetTotalCounter() {
    if (!CheckPassword()) {
        return;
    }
    console_.ResetTotalCounter();
    ShowStatusTexts();
}

void CMainCommands::ResetRunCounter() {
    if (!CheckPassword()) {
        return;
    }
    console_.ResetRunCounter();
    ShowStatusTexts();
}

void CMainCommands::ShowStatusTexts() {
    const std::array<std::string, 3> texts = console_.StatusTexts();
    window_.SetStatusTexts(FromCp(texts[0]), FromCp(texts[1]), FromCp(texts[2]));
}
