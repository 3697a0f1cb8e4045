#include "app/StartupSequence.h"

#include "app/DataFilePrompts.h"
#include "app/FailureReports.h"
#include "app/MainDialog.h"
#include "app/ModalScope.h"
#include "app/Prompt.h"
#include "app/QtText.h"
#include "app/ShowRequestChannel.h"
#include "console/Console.h"
#include "console/ConsoleEdits.h"
#include "console/ConsoleQueries.h"

namespace {

const QString kCaption = QStringLiteral("Sentrel");

}  // namespace

CStartupSequence::CStartupSequence(CMainDialog& window, CConsole& console)
    : window_(window), console_(console), showChannelName_(CShowRequestChannel::DefaultName()) {}

bool CStartupSequence::Run() {
    if (!CConsoleEdits(console_).LoadSettingsAtStart()) {
        window_.Reports().ReportWriteFailure();
    }
    window_.BuildListColumns();
    window_.Placement().PlaceAtStart();
    window_.FitStatusParts();
    window_.SetStatusTexts(QString(), QString(), QString());

    // A second copy ends here: nothing loaded, nothing written, no window of its own.
    if (!instanceLock_.Acquire()) {
        TellAboutRunningCopy();
        return false;
    }
    // The folder is ours from here on; defaults for a missing Sentrel.ini are written now.
    if (!CConsoleEdits(console_).ClaimProgramFolder()) {
        window_.Reports().ReportWriteFailure();
    }
    if (showChannel_ == nullptr) {
        showChannel_ = new CShowRequestChannel(&window_);
        QObject::connect(showChannel_, &CShowRequestChannel::showRequested, &window_,
                         &CMainDialog::BringToFront);
        // Without it a later copy says the program runs; this one works on regardless.
        showChannel_->Listen(showChannelName_);
    }
    if (CConsoleQueries(console_).SettingsFileUnreadable()) {
        window_.Reports().ShowFileError(
            QStringLiteral("Не удается прочитать файл настроек Sentrel.ini!\n"
                           "Действуют настройки по умолчанию. Чтобы не затереть "
                           "файл, измененные настройки в него записываться не будут."));
    }
    // A close request from outside may have ended the window during the loads.
    if (!window_.LoadAtStart() || window_.IsEnded()) {
        return false;
    }
    window_.initDone = true;

    bool toTray = false;
    const CMainPlacement::ShowState state = window_.Placement().StartState(&toTray);
    window_.Placement().SetStartState(state);
    if (toTray) {
        window_.AddTrayIcon();
    }
    window_.RestoreWindowsAtStart(!window_.StartsHidden());
    // The data is loaded and the workers run: the alerts left unacknowledged by the runs
    // before are told now.
    window_.Commands().OfferJournalHandOver();
    return true;
}

bool CStartupSequence::LoadDataAndStart() {
    if (!LoadDataFileWithPrompts(false) || window_.IsEnded()) {
        return false;
    }
    if (!LoadDataFileWithPrompts(true) || window_.IsEnded()) {
        return false;
    }
    console_.ReloadState();
    // Rebuilds the rows (RowsReset) before the workers start.
    console_.StartWorkers();
    return true;
}

bool CStartupSequence::LoadDataFile(CConsole& console, bool zones) {
    return zones ? console.LoadZones() : console.LoadAddressBook();
}

bool CStartupSequence::LoadDataFileWithPrompts(bool zones) {
    const DataFilePrompts& prompts = DataFilePrompts::For(zones);
    if (LoadDataFile(console_, zones)) {
        return true;
    }
    QString chosen;
    {
        ModalScope modal(window_);
        Prompt::Message(&window_, prompts.missing, kCaption);
        // The program may have been told to end while the box was open.
        if (window_.IsEnded()) {
            return false;
        }
        const std::string current = CConsoleQueries(console_).DataFilePath(zones);
        chosen = Prompt::OpenFile(&window_, prompts.filter, prompts.defaultName, FromCp(current));
        if (window_.IsEnded()) {
            return false;
        }
        if (chosen.isEmpty()) {
            Prompt::Message(&window_, prompts.cancelled, kCaption, Prompt::Icon::Stop);
            return false;
        }
    }
    CConsoleEdits(console_).SetDataFilePath(zones, ToCp(chosen));
    if (LoadDataFile(console_, zones)) {
        return true;
    }
    ModalScope modal(window_);
    Prompt::Message(&window_, prompts.wrongFile, kCaption, Prompt::Icon::Stop);
    return false;
}

void CStartupSequence::TellAboutRunningCopy() {
    QString text;
    switch (CShowRequestChannel::AskToShow(showChannelName_)) {
        case CShowRequestChannel::Answer::Shown:
            // The running window comes to the front: that is the answer.
            return;
        case CShowRequestChannel::Answer::NoAnswer:
            text = QStringLiteral("Программа Sentrel уже запущена на этом компьютере.");
            break;
        case CShowRequestChannel::Answer::NoListener:
            text = QStringLiteral(
                "Программа Sentrel уже запущена на этом компьютере другим пользователем.");
            break;
    }
    ModalScope modal(window_);
    Prompt::Message(nullptr, text, kCaption, Prompt::Icon::Information);
}
