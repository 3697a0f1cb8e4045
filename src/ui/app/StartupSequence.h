#pragma once

#include <QString>

#include "platform/Platform.h"

class CConsole;
class CMainDialog;
class CShowRequestChannel;

// The window's start-up, in its fixed order: the settings, the columns and the window's
// place, the single-instance check, the claim of the program folder, the data files
// (asking the dispatcher for a missing one), the state, the workers, and the state the
// window is shown in. Holds what start-up takes for the program's whole run: the
// single-instance lock and the channel later copies ask through.
class CStartupSequence {
public:
    CStartupSequence(CMainDialog& window, CConsole& console);
    CStartupSequence(const CStartupSequence&) = delete;
    CStartupSequence& operator=(const CStartupSequence&) = delete;

    // False when the program must end at once (a second copy, or a load the dispatcher
    // could not complete); the window has then never been shown. A second copy writes
    // nothing into the program folder: it brings the running window of its account to
    // the front, or says that another account runs the program.
    bool Run();
    // The address book, the zones, the state; then the workers start. False ends the
    // program.
    bool LoadDataAndStart();
    // Loads maps.mrk (`zones`) or AddrBook.txt; when it cannot be loaded, the
    // dispatcher is asked for the file. False when no usable file was given.
    bool LoadDataFileWithPrompts(bool zones);
    // Loads maps.mrk (`zones`) or AddrBook.txt as the settings name it, without asking.
    static bool LoadDataFile(CConsole& console, bool zones);

    void SetShowChannelName(const QString& name) { showChannelName_ = name; }
    CShowRequestChannel* ShowChannel() const { return showChannel_; }

private:
    // A second copy: asks the running copy to come to the front; when no copy of this
    // account answers, says that the program runs already.
    void TellAboutRunningCopy();

    CMainDialog& window_;
    CConsole& console_;
    CInstanceLock instanceLock_;
    CShowRequestChannel* showChannel_ = nullptr;
    QString showChannelName_;
};
