#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

class CConsole;
class CDistanceWindows;
class CHistoryWindows;
class CMapWindowKeeper;
class CReplayWindows;

// The windows that live beside the main window and go where it goes: the distance
// windows, the history windows, the map window and the replay windows. They read the console until
// they are destroyed, so they are destroyed before it.
class CSecondaryWindows {
public:
    CSecondaryWindows(CConsole& console, QWidget* mainWindow);
    ~CSecondaryWindows();
    CSecondaryWindows(const CSecondaryWindows&) = delete;
    CSecondaryWindows& operator=(const CSecondaryWindows&) = delete;

    CDistanceWindows& Distances() const { return *distances_; }
    CHistoryWindows& Histories() const { return *histories_; }
    CMapWindowKeeper& Map() const { return *map_; }
    CReplayWindows& Replays() const { return *replays_; }
    // The journal window while it is open: it goes to the tray and back with the others.
    void SetJournal(QWidget* journal) { journal_ = journal; }

    // Reopens the windows recorded in the layout.
    void RestoreAtStart(bool show);
    // With the main window to and from the tray.
    void HideAll();
    void ShowAll();
    // The list was rebuilt: their rows and zones are built again.
    void RebuildAll();
    // The program ends: windows closed by it stay recorded as open for the next start
    // (the replay windows are not recorded: they are closed).
    void Shutdown();

private:
    std::unique_ptr<CDistanceWindows> distances_;
    std::unique_ptr<CHistoryWindows> histories_;
    std::unique_ptr<CMapWindowKeeper> map_;
    std::unique_ptr<CReplayWindows> replays_;
    QPointer<QWidget> journal_;
    bool journalHidden_ = false;
};
