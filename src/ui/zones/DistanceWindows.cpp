#include "zones/DistanceWindows.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QWidget>

#include "app/WindowFrame.h"
#include "console/Console.h"
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
    std::string name;
    {
        auto lock = console_.Lock();
        if (zoneIndex < 0 || zoneIndex >= console_.zoneMap->ZoneCount()) {
            return nullptr;
        }
        name = console_.zoneMap->Zone(zoneIndex).name;
    }
    CDistanceListWindow* window = MakeWindow(zoneIndex, name, {0, 0, 0, 0});
    window->move(topLeft);
    window->show();
    windows_.emplace_back(window);
    {
        auto lock = console_.Lock();
        WindowLayout& layout = console_.layout;
        WindowPlacement placement;
        placement.rect = WindowFrame::OuterRect(*window);
        layout.smallWindowNames.push_back(name);
        layout.smallWindowPlacements.push_back(placement);
        console_.SaveLayout();
    }
    return window;
}

void CDistanceWindows::RestoreAtStart(bool show) {
    struct Entry {
        int zone;
        std::string name;
        WindowPlacement placement;
    };
    std::vector<Entry> entries;
    {
        auto lock = console_.Lock();
        WindowLayout& layout = console_.layout;
        const std::size_t count =
            std::min(layout.smallWindowNames.size(), layout.smallWindowPlacements.size());
        std::vector<std::string> keptNames;
        std::vector<WindowPlacement> keptPlacements;
        for (std::size_t i = 0; i < count; ++i) {
            const int zone = console_.zoneMap->FindZoneByName(layout.smallWindowNames[i]);
            if (zone < 0) {
                // The zone file no longer has this zone: nothing to measure against, and
                // the entry would otherwise wait in the layout for ever.
                continue;
            }
            entries.push_back({zone, layout.smallWindowNames[i], layout.smallWindowPlacements[i]});
            keptNames.push_back(layout.smallWindowNames[i]);
            keptPlacements.push_back(layout.smallWindowPlacements[i]);
        }
        const bool dropped = keptNames.size() != layout.smallWindowNames.size() ||
                             keptPlacements.size() != layout.smallWindowPlacements.size();
        layout.smallWindowNames = std::move(keptNames);
        layout.smallWindowPlacements = std::move(keptPlacements);
        if (dropped) {
            console_.SaveLayout();
        }
    }
    for (const Entry& entry : entries) {
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
    WindowPlacement stored;
    {
        auto lock = console_.Lock();
        stored = console_.layout.zoneDistancePlacement;
    }
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
    {
        auto lock = console_.Lock();
        WindowLayout& layout = console_.layout;
        const auto i = static_cast<std::size_t>(index);
        if (i < layout.smallWindowNames.size()) {
            layout.smallWindowNames.erase(layout.smallWindowNames.begin() + index);
        }
        if (i < layout.smallWindowPlacements.size()) {
            layout.smallWindowPlacements.erase(layout.smallWindowPlacements.begin() + index);
        }
        console_.SaveLayout();
    }
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
    auto lock = console_.Lock();
    WindowLayout& layout = console_.layout;
    if (static_cast<std::size_t>(index) >= layout.smallWindowPlacements.size()) {
        return;
    }
    layout.smallWindowPlacements[static_cast<std::size_t>(index)] = placement;
    console_.SaveLayout();
}

void CDistanceWindows::OnZoneDistanceLayout(const WindowPlacement& placement) {
    if (shuttingDown_) {
        return;
    }
    auto lock = console_.Lock();
    console_.layout.zoneDistancePlacement = placement;
    console_.SaveLayout();
}
