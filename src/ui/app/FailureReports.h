#pragma once

#include <QString>
#include <QStringList>

class CConsole;
class CMainDialog;

// The boxes that tell the dispatcher of a failure: a file that could not be read or
// written, settings not saved, the data files failing to save, a sound that could not
// be played. A failure is told once while it lasts: a box still open is never stacked
// by the same failure coming again.
class CFailureReports {
public:
    CFailureReports(CMainDialog& window, CConsole& console);

    // A stop box under the dispatcher's caption about a file that could not be read or
    // written.
    void ShowFileError(const QString& text);
    // "Ошибка записи на жесткий диск, ..." (a settings file could not be written).
    void ReportWriteFailure();
    // After a settings save that failed: the write failure, or, while the unreadable
    // file is kept, that the settings were not saved.
    void ReportSettingsNotSaved();
    // The data files could not be saved (`failing`), or can be again.
    void SaveFailureChanged(bool failing);
    // A sound could not be played.
    void SoundFailed();
    // Something about the inbox the dispatcher must know (a file set aside unread, files
    // that cannot be deleted). Each is told in a box of its own, one box at a time.
    void IntakeNotice(const QString& text);

private:
    CMainDialog& window_;
    CConsole& console_;
    // The dispatcher is told once per episode of failed saves.
    bool saveFailureReported_ = false;
    // The box telling of a failed save is open: a failure that ends and comes back
    // meanwhile is the one it tells of, not a reason for another box.
    bool saveFailureBoxOpen_ = false;
    bool soundErrorShown_ = false;
    // Notices waiting for the box open before them to be closed.
    QStringList pendingNotices_;
    bool noticeBoxOpen_ = false;
};
