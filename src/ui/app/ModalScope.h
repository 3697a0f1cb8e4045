#pragma once

class CMainDialog;
class QDialog;

// Runs a dialog modally for its own window chain only (the window it belongs to and that
// window's owners), not for the whole program: the distance windows, history windows and
// the alert pop-up, which are windows of their own, stay usable meanwhile. A dialog
// without a parent blocks the whole program, as it has no window to be modal to.
int ExecWindowModal(QDialog& dialog);

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
