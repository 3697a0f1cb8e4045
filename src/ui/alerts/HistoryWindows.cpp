#include "alerts/HistoryWindows.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include "alerts/HistoryDialog.h"
#include "console/ConsoleQueries.h"
#include "console/LayoutEdits.h"

namespace {

// A modal dialog of the main window keeps the input when one of our windows goes away.
void ReturnActivationToModal() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

bool IsZero(const LayoutRect& r) {
    return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0;
}

}  // namespace

CHistoryWindows::CHistoryWindows(CConsole& console, QWidget* owner)
    : QObject(owner), console_(console) {
    // Qt closes every window before the program quits; those closes are not the
    // dispatcher's, and the windows must come back at the next start.
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installEventFilter(this);
    }
}

CHistoryWindows::~CHistoryWindows() {
    shuttingDown_ = true;
    for (const auto& window : windows_) {
        delete window.data();
    }
}

bool CHistoryWindows::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) {
        shuttingDown_ = true;
    }
    return QObject::eventFilter(watched, event);
}

void CHistoryWindows::OpenHistoryWindows(const std::vector<int32_t>& objectNumbers) {
    for (const int32_t number : objectNumbers) {
        if (WindowFor(number) != nullptr) {
            continue;  // one window per object
        }
        const CConsoleQueries::HistoryWindowStart start =
            CConsoleQueries(console_).HistoryWindowStartOf(number);
        if (start.objectIndex < 0) {
            continue;
        }
        // A record marked open without a window (its object was not in the store when
        // the program started) is opened like a closed one rather than never again.
        CHistoryDialog* window = MakeWindow(start.objectIndex, start.placement);
        window->show();
        windows_.emplace_back(window);
        CLayoutEdits(console_).MarkHistoryWindowOpen(number, window->CurrentPlacement().rect);
    }
}

void CHistoryWindows::RestoreAtStart(bool show) {
    const std::vector<std::pair<int, WindowPlacement>> entries =
        CConsoleQueries(console_).OpenHistoryWindows(kMaxRestored);
    for (const auto& [objectIndex, placement] : entries) {
        CHistoryDialog* window = MakeWindow(objectIndex, placement);
        windows_.emplace_back(window);
        if (show) {
            window->show();
        }
    }
}

void CHistoryWindows::HistoryChanged() {
    for (const auto& window : windows_) {
        if (window) {
            window->Refresh();
        }
    }
}

void CHistoryWindows::HideAll() {
    for (const auto& window : windows_) {
        if (window) {
            window->hide();
        }
    }
}

void CHistoryWindows::ShowAll() {
    for (const auto& window : windows_) {
        if (window) {
            window->show();
        }
    }
}

void CHistoryWindows::Shutdown() {
    shuttingDown_ = true;
}

CHistoryDialog* CHistoryWindows::Window(int i) const {
    if (i < 0 || i >= Count()) {
        return nullptr;
    }
    return windows_[static_cast<std::size_t>(i)].data();
}

CHistoryDialog* CHistoryWindows::WindowFor(int32_t objectNumber) const {
    for (const auto& window : windows_) {
        if (window && window->ObjectNumber() == objectNumber) {
            return window.data();
        }
    }
    return nullptr;
}

CHistoryDialog* CHistoryWindows::MakeWindow(int objectIndex, const WindowPlacement& placement) {
    auto* window = new CHistoryDialog(console_, objectIndex, placement.widths, nullptr);
    if (!IsZero(placement.rect) && placement.rect.Width() > 0 && placement.rect.Height() > 0) {
        window->PlaceAt(placement.rect);
    }
    connect(window, &CHistoryDialog::closing, this, &CHistoryWindows::OnWindowClosing);
    connect(window, &CHistoryDialog::layoutReport, this, &CHistoryWindows::OnLayoutReport);
    connect(window, &CHistoryDialog::exportRequested, this, &CHistoryWindows::exportRequested);
    return window;
}

void CHistoryWindows::OnWindowClosing(CHistoryDialog* window) {
    if (shuttingDown_) {
        return;
    }
    for (auto it = windows_.begin(); it != windows_.end(); ++it) {
        if (it->data() == window) {
            windows_.erase(it);
            break;
        }
    }
    CLayoutEdits(console_).MarkHistoryWindowClosed(window->ObjectNumber());
    window->deleteLater();
    ReturnActivationToModal();
}

void CHistoryWindows::OnLayoutReport(int32_t objectNumber, const WindowPlacement& placement) {
    if (shuttingDown_) {
        return;
    }
    CLayoutEdits(console_).SetHistoryPlacement(objectNumber, placement);
}
