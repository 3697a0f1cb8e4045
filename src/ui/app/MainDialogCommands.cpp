// The dispatcher's commands: the start-up loads with their prompts, the menus, the
// control panel and the other operator commands on the selected rows.
#include <QApplication>

#include "alerts/HistoryWindows.h"
#include "alerts/ObjectSettingsDialog.h"
#include "alerts/PasswordDialog.h"
#include "app/AddressBookDialog.h"
#include "app/MainDialog.h"
#include "app/ModalScope.h"
#include "app/Prompt.h"
#include "app/QtText.h"
#include "console/Console.h"
#include "console/ConsoleEdits.h"
#include "console/ConsoleQueries.h"
#include "console/LayoutEdits.h"
#include "model/ObjectSettingsEdit.h"
#include "model/ZoneAssignmentEdit.h"
#include "settings/SettingsDialog.h"
#include "zones/DistanceWindows.h"
#include "zones/MapWindowKeeper.h"
#include "zones/ObjectDistanceDialog.h"
#include "zones/ZoneAssignDialog.h"
#include "zones/ZoneDistanceDialog.h"
#include "zones/ZonesDialog.h"

namespace {

const QString kCaption = QStringLiteral("Sentrel");

// The texts of the two start-up loads and of the menu commands that open another file.
struct FilePrompts {
    QString missing;
    QString filter;
    QString defaultName;
    QString cancelled;
    QString wrongFile;
};

const FilePrompts& AddressBookPrompts() {
    static const FilePrompts prompts{
        QStringLiteral("Не удается найти файл с адресной книгой!\nУкажите путь к файлу "
                       "AddrBook.txt"),
        QStringLiteral("Файл с адресной книгой (AddrBook.txt)|AddrBook.txt|All Files "
                       "(*.*)|*.*||"),
        QStringLiteral("AddrBook.txt"),
        QStringLiteral("Необходимо выбрать файл с адресной книгой!"),
        QStringLiteral("Выбранный файл не является адресной книгой!"),
    };
    return prompts;
}

const FilePrompts& ZonePrompts() {
    static const FilePrompts prompts{
        QStringLiteral("Не удается найти файл с описанием контрольных районов!\nУкажите путь "
                       "к файлу maps.mrk"),
        QStringLiteral("Файл с описанием контрольных районов (maps.mrk)|maps.mrk|All Files "
                       "(*.*)|*.*||"),
        QStringLiteral("maps.mrk"),
        QStringLiteral("Необходимо выбрать файл с описанием контрольных районов!"),
        QStringLiteral("Выбранный файл не является файлом с описанием контрольных районов!"),
    };
    return prompts;
}

bool LoadDataFile(CConsole& console, bool zones) {
    return zones ? console.LoadZones() : console.LoadAddressBook();
}

}  // namespace

// ---- start-up ----

bool CMainDialog::LoadAtStart() {
    if (!LoadAddressBookAtStart() || ended_) {
        return false;
    }
    if (!LoadZonesAtStart() || ended_) {
        return false;
    }
    console_->ReloadState();
    StartWorkers();
    return true;
}

bool CMainDialog::LoadAddressBookAtStart() {
    return LoadAtStartWithPrompts(false);
}

bool CMainDialog::LoadZonesAtStart() {
    return LoadAtStartWithPrompts(true);
}

bool CMainDialog::LoadAtStartWithPrompts(bool zones) {
    const FilePrompts& prompts = zones ? ZonePrompts() : AddressBookPrompts();
    if (LoadDataFile(*console_, zones)) {
        return true;
    }
    QString chosen;
    {
        ModalScope modal(*this);
        Prompt::Message(this, prompts.missing, kCaption);
        // The program may have been told to end while the box was open.
        if (ended_) {
            return false;
        }
        const std::string current = CConsoleQueries(*console_).DataFilePath(zones);
        chosen = Prompt::OpenFile(this, prompts.filter, prompts.defaultName, FromCp(current));
        if (ended_) {
            return false;
        }
        if (chosen.isEmpty()) {
            Prompt::Message(this, prompts.cancelled, kCaption, Prompt::Icon::Stop);
            return false;
        }
    }
    CConsoleEdits(*console_).SetDataFilePath(zones, ToCp(chosen));
    if (LoadDataFile(*console_, zones)) {
        return true;
    }
    ModalScope modal(*this);
    Prompt::Message(this, prompts.wrongFile, kCaption, Prompt::Icon::Stop);
    return false;
}

void CMainDialog::RestoreWindowsAtStart(bool show) {
    distanceWindows_->RestoreAtStart(show);
    historyWindows_->RestoreAtStart(show);
    mapWindow_->RestoreAtStart(show);
}

// ---- workers ----

void CMainDialog::StopWorkersAndWait() {
    // A worker told to stop still finishes the file it is applying; a dialog that
    // changes the store without the lock, or a reload that replaces it, waits for that.
    console_->StopWorkersAndWait();
}

void CMainDialog::StartWorkers() {
    // Rebuilds the rows (RowsReset) before the workers start.
    console_->StartWorkers();
}

void CMainDialog::SaveSettingsOrReport() {
    bool saved;
    saved = CConsoleEdits(*console_).SaveSettings();
    if (!saved) {
        ReportSettingsNotSaved();
    }
}

bool CMainDialog::CheckPassword() {
    std::string password;
    password = CConsoleQueries(*console_).CurrentSettings().settingsPassword;
    ModalScope modal(*this);
    return ::CheckPassword(this, password, modalOpen);
}

// ---- main menu ----

void CMainDialog::OpenZoneFile() {
    OpenDataFileWithPrompts(true);
}

void CMainDialog::OpenAddressBookFile() {
    OpenDataFileWithPrompts(false);
}

void CMainDialog::OpenDataFileWithPrompts(bool zones) {
    if (!CheckPassword()) {
        return;
    }
    StopWorkersAndWait();
    const FilePrompts& prompts = zones ? ZonePrompts() : AddressBookPrompts();
    QString chosen;
    std::string previous;
    previous = CConsoleQueries(*console_).DataFilePath(zones);
    {
        ModalScope modal(*this);
        chosen = Prompt::OpenFile(this, prompts.filter, prompts.defaultName, FromCp(previous));
    }
    if (!chosen.isEmpty()) {
        CConsoleEdits(*console_).SetDataFilePath(zones, ToCp(chosen));
        // A file that does not load is never put into use, and the settings keep naming
        // the file that is.
        if (LoadDataFile(*console_, zones)) {
            SaveSettingsOrReport();
        } else {
            CConsoleEdits(*console_).SetDataFilePath(zones, previous);
            if (!zones) {
                // A map that does not load leaves the one in use alone, but the objects of
                // a rejected address book are already in the store: the next save of the
                // state would write them over the data of the real ones. The book in use
                // comes back.
                console_->LoadAddressBook();
            }
            ModalScope modal(*this);
            Prompt::Message(this, prompts.wrongFile, kCaption, Prompt::Icon::Stop);
        }
    }
    // Zone indexes of the state and the assignments belong to the map in use.
    console_->ReloadState();
    StartWorkers();
}

void CMainDialog::ShowZonesDialog() {
    ModalScope modal(*this);
    CZonesDialog dialog(*console_, this);
    connect(&dialog, &CZonesDialog::openDistanceWindow, this,
            [this](int zone) { distanceWindows_->OpenWindow(zone); });
    ExecWindowModal(dialog);
}

void CMainDialog::EditAddressBook() {
    if (!CheckPassword()) {
        return;
    }
    StopWorkersAndWait();
    bool thresholdsChanged = false;
    {
        ModalScope modal(*this);
        // The dialog changes the store directly: the workers are stopped meanwhile.
        CAddressBookDialog dialog(console_->store, this);
        ExecWindowModal(dialog);
        thresholdsChanged = dialog.thresholdsChanged();
    }
    const bool saved = CConsoleEdits(*console_).SaveAddressBookEdits(thresholdsChanged);
    if (!saved) {
        ReportSettingsNotSaved();
    }
    StartWorkers();
}

void CMainDialog::EditSettings() {
    if (!CheckPassword()) {
        return;
    }
    // This also stops the alert sound.
    StopWorkersAndWait();
    const Settings current = CConsoleQueries(*console_).CurrentSettings();
    const WindowLayout layout = CConsoleQueries(*console_).Layout();
    std::vector<int32_t> columnIds = layout.columnIds;
    std::vector<int32_t> columnWidths = layout.columnWidths;
    const int32_t mainWidth = layout.mainRect.Width();
    bool accepted;
    Settings edited;
    bool columnsChanged = false;
    {
        ModalScope modal(*this);
        CSettingsDialog dialog(current, columnIds, columnWidths, mainWidth, sound_, this);
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
        CConsoleEdits edits(*console_);
        edits.ApplySettings(edited);
        if (zoneFileChanged) {
            edits.SetDataFilePath(true, edited.qmxInfoFile);
            if (!LoadZonesAtStart()) {
                // The map in use stayed; so does the path that names it.
                edits.SetDataFilePath(true, current.qmxInfoFile);
            } else {
                // Zone indexes of the state and the assignments belong to the old map.
                console_->ReloadState();
            }
        }
        edits.ApplyTimeOffset(clock_.TimeZoneBiasMinutes());
        // Open history windows show their times with the new offset.
        historyWindows_->HistoryChanged();
        if (columnsChanged) {
            CLayoutEdits(*console_).SetColumns(columnIds, columnWidths);
            BuildListColumns();
            SaveLayout();
        }
        SaveSettingsOrReport();
    }
    // Restarting rebuilds the rows and refreshes them with the new settings.
    StartWorkers();
}

void CMainDialog::ShowZoneDistances() {
    ModalScope modal(*this);
    std::unique_ptr<CZoneDistanceDialog> dialog = distanceWindows_->NewZoneDistanceDialog(this);
    ExecWindowModal(*dialog);
}

void CMainDialog::ShowObjectDistances() {
    ModalScope modal(*this);
    CObjectDistanceDialog dialog(*console_, this);
    ExecWindowModal(dialog);
}

void CMainDialog::ShowMap() {
    mapWindow_->Open();
}

// ---- list commands ----

void CMainDialog::SortByColumn(int columnId) {
    const SelectionMemo memo = RememberSelection();
    if (console_->SortByKey(columnId)) {
        RefreshNow();
        RestoreSelection(memo);
    }
}

void CMainDialog::SortFromView(int key, int zoneIndex) {
    const SelectionMemo memo = RememberSelection();
    if (console_->SortByKey(key, zoneIndex)) {
        RefreshNow();
        RestoreSelection(memo);
    }
}

bool CMainDialog::AnySelectedPending() const {
    const std::vector<int32_t> numbers = SelectedObjectNumbers();
    return !numbers.empty() && console_->AnyPending(numbers);
}

void CMainDialog::AcknowledgeAlerts() {
    const std::vector<int32_t> numbers = SelectedObjectNumbers();
    if (!numbers.empty()) {
        console_->AcknowledgeAlerts(numbers);
    }
}

void CMainDialog::EditObjectSettings() {
    // The password is asked only when the panel will open: rows selected, all known.
    if (!CConsoleQueries(*console_).ObjectSettingsOf(SelectedRowNumbers())) {
        return;
    }
    if (!CheckPassword()) {
        return;
    }
    std::string caption;
    const std::optional<ObjectSettingsEdit> initial =
        CConsoleQueries(*console_).ObjectSettingsOf(SelectedRowNumbers(), &caption);
    if (!initial) {
        return;
    }
    ModalScope modal(*this);
    CObjectSettingsDialog dialog(FromCp(caption), *initial, this);
    connect(&dialog, &CObjectSettingsDialog::zoneAssignmentRequested, this,
            &CMainDialog::EditZoneAssignment);
    if (ExecWindowModal(dialog) != QDialog::Accepted) {
        return;
    }
    const ObjectSettingsEdit values = dialog.values();
    CConsoleEdits(*console_).ApplyObjectSettings(SelectedObjectNumbers(), values);
}

void CMainDialog::EditZoneAssignment() {
    const std::optional<ZoneAssignmentEdit> found =
        CConsoleQueries(*console_).ZoneAssignmentOf(SelectedRowNumbers());
    if (!found) {
        return;
    }
    const ZoneAssignmentEdit& edit = *found;
    ModalScope modal(*this);
    // Opened from the control panel, the dialog belongs above it.
    QWidget* parent = QApplication::activeModalWidget();
    if (parent == nullptr) {
        parent = this;
    }
    // The map is replaced only on this thread; the workers only read it.
    CZoneAssignDialog dialog(FromCp(edit.title), edit.initial, *console_->zoneMap, parent);
    if (ExecWindowModal(dialog) != QDialog::Accepted) {
        return;
    }
    CConsoleEdits(*console_).AssignZones(SelectedObjectNumbers(), dialog.assignment());
}

void CMainDialog::OpenHistoryWindows() {
    // No selection, nothing to open: no password prompt either.
    if (SelectedObjectNumbers().empty() || !CheckPassword()) {
        return;
    }
    const std::vector<int32_t> numbers = SelectedObjectNumbers();
    if (!numbers.empty()) {
        historyWindows_->OpenHistoryWindows(numbers);
    }
}

void CMainDialog::ResetTotalCounter() {
    if (!CheckPassword()) {
        return;
    }
    console_->ResetTotalCounter();
    const std::array<std::string, 3> texts = console_->StatusTexts();
    SetStatusTexts(FromCp(texts[0]), FromCp(texts[1]), FromCp(texts[2]));
}

void CMainDialog::ResetRunCounter() {
    if (!CheckPassword()) {
        return;
    }
    console_->ResetRunCounter();
    const std::array<std::string, 3> texts = console_->StatusTexts();
    SetStatusTexts(FromCp(texts[0]), FromCp(texts[1]), FromCp(texts[2]));
}
