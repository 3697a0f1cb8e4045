#include "app/FailureReports.h"

#include "app/MainDialog.h"
#include "app/ModalScope.h"
#include "app/Prompt.h"
#include "console/ConsoleQueries.h"

CFailureReports::CFailureReports(CMainDialog& window, CConsole& console)
    : window_(window), console_(console) {}

void CFailureReports::ShowFileError(const QString& text) {
    ModalScope modal(window_);
    Prompt::Message(&window_, text, QStringLiteral("Диспетчер \"VALKOR-TZ\""), Prompt::Icon::Stop);
}

void CFailureReports::ReportWriteFailure() {
    ShowFileError(
        QStringLiteral("Ошибка записи на жесткий диск, возможно недостаточно "
                       "свободного места."));
}

void CFailureReports::ReportSettingsNotSaved() {
    if (!CConsoleQueries(console_).SettingsFileUnreadable()) {
        ReportWriteFailure();
        return;
    }
    ShowFileError(
        QStringLiteral("Настройки не сохранены: файл Sentrel.ini не удалось "
                       "прочитать при запуске программы, и он не будет "
                       "перезаписан."));
}

void CFailureReports::SaveFailureChanged(bool failing) {
    if (!failing) {
        saveFailureReported_ = false;
        return;
    }
    if (saveFailureReported_ || saveFailureBoxOpen_ || window_.IsEnded()) {
        return;
    }
    saveFailureReported_ = true;
    saveFailureBoxOpen_ = true;
    ShowFileError(
        QStringLiteral("Ошибка записи на жесткий диск, возможно недостаточно "
                       "свободного места. Сообщения не потеряны: файлы остаются "
                       "во входной папке и будут обработаны, когда запись снова "
                       "станет возможной."));
    saveFailureBoxOpen_ = false;
}

void CFailureReports::SoundFailed() {
    // One box at a time: the player reports a failure once, but a box still open must
    // not be stacked by the next one.
    if (soundErrorShown_ || window_.IsEnded()) {
        return;
    }
    soundErrorShown_ = true;
    {
        ModalScope modal(window_);
        Prompt::Message(&window_, QStringLiteral("Произошла ошибка проигрывания файла!"),
                        QStringLiteral("Sentrel"), Prompt::Icon::Stop);
    }
    soundErrorShown_ = false;
}

void CFailureReports::IntakeNotice(const QString& text) {
    pendingNotices_.append(text);
    if (noticeBoxOpen_) {
        return;  // told when the box open now is closed
    }
    noticeBoxOpen_ = true;
    while (!pendingNotices_.isEmpty() && !window_.IsEnded()) {
        const QString next = pendingNotices_.takeFirst();
        ModalScope modal(window_);
        Prompt::Message(&window_, next, QStringLiteral("Sentrel"), Prompt::Icon::Warning);
    }
    noticeBoxOpen_ = false;
}
