#pragma once

#include <QPointer>
#include <vector>

class CReplayWindow;

// The replay windows open beside the main window. They go where it goes: hidden when it
// goes to the tray, shown again when it comes back, closed when the program ends. Each
// closes on its own as well (it deletes itself then); the ones still open are deleted
// with the keeper.
class CReplayWindows {
public:
    CReplayWindows() = default;
    ~CReplayWindows();
    CReplayWindows(const CReplayWindows&) = delete;
    CReplayWindows& operator=(const CReplayWindows&) = delete;

    // Keeps a window just opened (one that deletes itself on close).
    void Add(CReplayWindow* window);
    // The windows open now, in the order they were opened.
    std::vector<CReplayWindow*> Open() const;

    // With the main window to and from the tray: only the windows hidden by HideAll are
    // shown again.
    void HideAll();
    void ShowAll();
    // The program ends: every window is closed.
    void CloseAll();

private:
    std::vector<QPointer<CReplayWindow>> windows_;
    std::vector<QPointer<CReplayWindow>> hidden_;
};
