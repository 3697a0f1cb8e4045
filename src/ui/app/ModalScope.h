#pragma once

class CMainDialog;

// Marks the main window modal for as long as it lives (a dialog, file dialog or message
// box opened from it), so that the window refuses an ordinary close meanwhile. Nestable;
// the alert pop-up keeps the mark on by itself while it is open.
class ModalScope {
public:
    explicit ModalScope(CMainDialog& dialog);
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

private:
    CMainDialog& dialog_;
};
