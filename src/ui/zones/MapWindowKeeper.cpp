#include "zones/MapWindowKeeper.h"

#include <QApplication>
#include <QEvent>

#include "console/Console.h"
#include "console/ConsoleQueries.h"
#include "console/LayoutEdits.h"
#include "zones/MapWindow.h"

namespace {

bool Usable(const LayoutRect& r) {
    return r.Width() > 0 && r.Height() > 0;
}

}  // namespace

CMapWindowKeeper::CMapWindowKeeper(CConsole& console, QWidget* owner)
    : QObject(owner), console_(console), owner_(owner) {
    // Qt closes every window before the program quits; that close is not the
    // dispatcher's, and the window must come back at the next start.
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installEventFilter(this);
    }
}

CMapWindowKeeper::~CMapWindowKeeper() {
    shuttingDown_ = true;
    delete window_.data();
}

bool CMapWindowKeeper::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) {
        shuttingDown_ = true;
    }
    return QObject::eventFilter(watched, event);
}

CMapWindow* CMapWindowKeeper::Window() const {
    return window_.data();
}

CMapWindow* CMapWindowKeeper::Open() {
    if (window_ != nullptr) {
        window_->show();
        window_->raise();
        window_->activateWindow();
        return window_.data();
    }
    const LayoutRect stored = CConsoleQueries(console_).Layout().mapPlacement.rect;
    CMapWindow* window = MakeWindow(stored);
    window->show();
    CLayoutEdits(console_).SetMapPlacement(window->CurrentRect(), 1);
    return window;
}

void CMapWindowKeeper::RestoreAtStart(bool show) {
    const MapPlacement record = CConsoleQueries(console_).Layout().mapPlacement;
    if (record.state != 1 || window_ != nullptr) {
        return;
    }
    CMapWindow* window = MakeWindow(record.rect);
    if (show) {
        window->show();
    }
}

CMapWindow* CMapWindowKeeper::MakeWindow(const LayoutRect& rect) {
    auto* window = new CMapWindow(console_, owner_.data());
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    if (Usable(rect)) {
        window->PlaceAt(rect);
    }
    connect(window, &CMapWindow::closing, this, &CMapWindowKeeper::OnClosing);
    connect(window, &CMapWindow::layoutReport, this, &CMapWindowKeeper::OnLayoutReport);
    connect(window, &CMapWindow::objectClicked, this, &CMapWindowKeeper::objectClicked);
    window_ = window;
    return window;
}

void CMapWindowKeeper::ApplyRows(const RefreshSnapshot& snapshot) {
    if (window_ != nullptr) {
        window_->ApplyRows(snapshot);
    }
}

void CMapWindowKeeper::RebuildZones() {
    if (window_ != nullptr) {
        window_->RebuildZones();
    }
}

void CMapWindowKeeper::HideAll() {
    if (window_ != nullptr) {
        window_->hide();
    }
}

void CMapWindowKeeper::ShowAll() {
    if (window_ != nullptr) {
        window_->show();
    }
}

void CMapWindowKeeper::Shutdown() {
    shuttingDown_ = true;
}

void CMapWindowKeeper::OnClosing(CMapWindow* window) {
    if (shuttingDown_) {
        return;
    }
    if (window_ == window) {
        window_ = nullptr;
    }
    // The rectangle stays: the map opens again where it was.
    CLayoutEdits(console_).SetMapPlacement(window->CurrentRect(), -1);
    window->deleteLater();
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

void CMapWindowKeeper::OnLayoutReport(const LayoutRect& rect) {
    if (shuttingDown_) {
        return;
    }
    // Reports of a window being set up, before the record says it is open, are not kept.
    CLayoutEdits(console_).SetMapRectIfOpen(rect);
}
