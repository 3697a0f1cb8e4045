#include "zones/DistanceWindows.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QWidget>

#include "app/WindowFrame.h"
#include "console/Console.h"
#include "console/ConsoleQueries.h"
#include "console/LayoutEdits.h"
#include "zones/DistanceListWindow.h"
#include "zones/ZoneDistanceDialog.h"

namespace {

// A modal dialog of the main window keeps the input when one of our windows goes away.
void ReturnActivationToModal() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

}  // namespace

CDistanceWindows::CDistanceWindows(CConsole& console, QWidget* owner)
    : QObject(owner), console_(console) {
    // Qt closes every window before the program quits; those closes are not the
    // dispatcher's, and the windows must come back at the next start.
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installEventFilter(this);
    }
}

CDistanceWindows::~CDistanceWindows() {
    shuttingDown_ = true;
    for (const auto& window : windows_) {
        delete window.data();
    }
}

bool CDistanceWindows::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) {
        shuttingDown_ = true;
    }
    return QObject::eventFilter(watched, event);
}

CDistanceListWindow* CDistanceWindows::OpenWindow(int zoneIndex) {
    return OpenWindowAt(zoneIndex, QCursor::pos() + QPoint(1, 1));
}

CDistanceListWindow* CDistanceWindows::OpenWindowAt(int zoneIndex, const QPoint& topLeft) {
    const std::optional<std::string> zoneName = CConsoleQueries(console_).ZoneName(zoneIndex);
    if (!zoneName) {
        return nullptr;
    }
    const std::string& name = *zoneName;
    CDistanceListWindow* window = MakeWindow(zoneIndex, name, {0, 0, 0, 0});
    window->move(topLeft);
    window->show();
    windows_.emplace_back(window);
    WindowPlacement placement;
    placement.rect = WindowFrame::OuterRect(*window);
    CLayoutEdits(console_).AddSmallWindow(name, placement);
    return window;
}

void CDistanceWindows::RestoreAtStart(bool show) {
    const std::vector<CLayoutEdits::SmallWindow> entries =
        CLayoutEdits(console_).KeepKnownSmallWindows(kMaxRestored);
    for (const CLayoutEdits::SmallWindow& entry : entries) {
        CDistanceListWindow* window = MakeWindow(entry.zone, entry.name, entry.placement.widths);
        const LayoutRect& r = entry.placement.rect;
        if (r.Width() > 0 && r.Height() > 0) {
            window->PlaceAt(r);
        }
        windows_.emplace_back(window);
        if (show) {
            window->show();
        }
    }
}

void CDistanceWindows::RefreshAll() {
    for (const auto& window : windows_) {
        if (window) {
            window->RefreshRows();
        }
    }
    if (zoneDistanceDialog_) {
        zoneDistanceDialog_->RefreshRows();
    }
}

void CDistanceWindows::RebuildAll() {
    for (const auto& window : windows_) {
        if (window) {
            window->RebuildRows();
        }
    }
    if (zoneDistanceDialog_) {
        zoneDistanceDialog_->RebuildRows();
    }
}

void CDistanceWindows::ShowAll() {
    for (const auto& window : windows_) {
        if (window) {
            window->show();
        }
    }
}

void CDistanceWindows::HideAll() {
    for (const auto& window : windows_) {
        if (window) {
            window->hide();
        }
    }
}

void CDistanceWindows::Shutdown() {
    shuttingDown_ = true;
}

std::unique_ptr<CZoneDistanceDialog> CDistanceWindows::NewZoneDistanceDialog(QWidget* parent) {
    const WindowPlacement stored = CConsoleQueries(console_).Layout().zoneDistancePlacement;
    auto dialog = std::make_unique<CZoneDistanceDialog>(console_, stored, parent);
    AttachZoneDistanceDialog(dialog.get());
    return dialog;
}

void CDistanceWindows::AttachZoneDistanceDialog(CZoneDistanceDialog* dialog) {
    zoneDistanceDialog_ = dialog;
    connect(dialog, &CZoneDistanceDialog::openDistanceWindow, this,
            [this](int zone) { OpenWindow(zone); });
    connect(dialog, &CZoneDistanceDialog::sortRequested, this, &CDistanceWindows::sortRequested);
    connect(dialog, &CZoneDistanceDialog::layoutReport, this,
            &CDistanceWindows::OnZoneDistanceLayout);
    connect(dialog, &QDialog::finished, this, [this, dialog] {
        if (zoneDistanceDialog_ == dialog) {
            zoneDistanceDialog_ = nullptr;
        }
    });
}

CDistanceListWindow* CDistanceWindows::Window(int i) const {
    if (i < 0 || i >= Count()) {
        return nullptr;
    }
    return windows_[static_cast<std::size_t>(i)].data();
}

int CDistanceWindows::IndexOf(const CDistanceListWindow* window) const {
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        if (windows_[i].data() == window) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

CDistanceListWindow* CDistanceWindows::MakeWindow(int zoneIndex, const std::string& zoneName,
                                                  const std::array<int32_t, 4>& widths) {
    auto* window = new CDistanceListWindow(console_, zoneIndex, zoneName, widths, nullptr);
    connect(window, &CDistanceListWindow::closing, this, &CDistanceWindows::OnWindowClosing);
    connect(window, &CDistanceListWindow::layoutReport, this, &CDistanceWindows::OnLayoutReport);
    connect(window, &CDistanceListWindow::sortRequested, this, &CDistanceWindows::sortRequested);
    return window;
}

void CDistanceWindows::OnWindowClosing(CDistanceListWindow* window) {
    if (shuttingDown_) {
        return;
    }
    const int index = IndexOf(window);
    if (index < 0) {
        return;
    }
    windows_.erase(windows_.begin() + index);
    CLayoutEdits(console_).RemoveSmallWindow(index);
    window->deleteLater();
    ReturnActivationToModal();
}

void CDistanceWindows::OnLayoutReport(CDistanceListWindow* window,
                                      const WindowPlacement& placement) {
    if (shuttingDown_) {
        return;
    }
    const int index = IndexOf(window);
    if (index < 0) {
        return;
    }
    CLayoutEdits(console_).SetSmallWindowPlacement(index, placement);
}

void CDistanceWindows::OnZoneDistanceLayout(const WindowPlacement& placement) {
    if (shuttingDown_) {
        return;
    }
    CLayoutEdits(console_).SetZoneDistancePlacement(placement);
}
