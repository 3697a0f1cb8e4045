#pragma once

#include <memory>
#include <string>

#include "alerts/AlertSettings.h"
#include "refresh/RefreshSnapshot.h"

// Everything the console must show goes through this interface. The window implements
// it; tests implement it with a recorder.
//
// Calls marked "any thread" come from the workers as well: an implementation copies the
// arguments, hands them over to its own thread (queued) and returns at once. It must
// never wait for its own thread and never call back into the console from inside.
class ConsoleView {
public:
    virtual ~ConsoleView() = default;
    // Any thread. A notice for the pop-up (text already cut to 1023 bytes). The window
    // restores itself from the tray and brings itself forward.
    virtual void ShowPopup(const std::string& text, PopupKind kind) = 0;
    // Any thread. The result of a refresh pass by the refresh worker.
    virtual void ApplyRefresh(std::shared_ptr<const RefreshSnapshot> snapshot) = 0;
    // Any thread. The tray tooltip (called only while the tray icon is shown).
    virtual void SetTrayTip(const std::string& text) = 0;
    // Any thread. The sound file `path` (Windows-1251) could not be played: "Произошла
    // ошибка проигрывания файла!" with the file's name.
    virtual void ReportSoundError(const std::string& path) = 0;
    // Any thread. A zone visit started or ended: open history windows re-read.
    virtual void HistoryChanged() = 0;
    // Called on the caller's thread (the window's) by ResetListRows: the list must be
    // rebuilt with `rowCount` empty rows; distance views rebuild their rows.
    virtual void RowsReset(int rowCount) = 0;
    // Any thread. The data files could not be written (`failing`), or can be again:
    // nothing is lost meanwhile, the inbox files stay until their records are saved.
    virtual void ReportSaveFailure(bool failing) { (void)failing; }
    // Any thread. Something about the inbox the dispatcher must know, told once (in
    // Windows-1251): a file there is set aside unread as too large to be a message
    // file, or the processed files cannot be deleted from it.
    virtual void ReportIntakeNotice(const std::string& text) { (void)text; }
};
