#include "replay/ReplayWindows.h"

#include "replay/ReplayWindow.h"

CReplayWindows::~CReplayWindows() {
    for (const QPointer<CReplayWindow>& window : windows_) {
        delete window.data();
    }
}

void CReplayWindows::Add(CReplayWindow* window) {
    std::erase_if(windows_, [](const QPointer<CReplayWindow>& p) { return p.isNull(); });
    windows_.emplace_back(window);
}

std::vector<CReplayWindow*> CReplayWindows::Open() const {
    std::vector<CReplayWindow*> open;
    for (const QPointer<CReplayWindow>& window : windows_) {
        if (window) {
            open.push_back(window.data());
        }
    }
    return open;
}

void CReplayWindows::HideAll() {
    for (CReplayWindow* window : Open()) {
        if (window->isVisible()) {
            window->hide();
            hidden_.emplace_back(window);
        }
    }
}

void CReplayWindows::ShowAll() {
    for (const QPointer<CReplayWindow>& window : hidden_) {
        if (window) {
            window->show();
        }
    }
    hidden_.clear();
}

void CReplayWindows::CloseAll() {
    hidden_.clear();
    for (CReplayWindow* window : Open()) {
        window->close();
    }
}
