#include "app/MainPlacement.h"

#include <QTimer>
#include <QWidget>

#include "console/ConsoleQueries.h"
#include "console/LayoutEdits.h"

CMainPlacement::CMainPlacement(QWidget& window, CConsole& console)
    : window_(window), console_(console) {}

void CMainPlacement::PlaceAtStart() {
    WindowFrame::Place(window_, CConsoleQueries(console_).Layout().mainRect, placed_);
}

CMainPlacement::ShowState CMainPlacement::StartState(bool* toTray) const {
    const CConsoleQueries queries(console_);
    const WindowLayout layout = queries.Layout();
    *toTray = false;
    if (layout.maximised && !layout.minimised) {
        return ShowState::Maximised;
    }
    if (layout.minimised) {
        *toTray = queries.CurrentSettings().minimyzeTray;
        return ShowState::Minimised;
    }
    return ShowState::Normal;
}

void CMainPlacement::ShowAtStart() {
    const bool maximised = CConsoleQueries(console_).Layout().maximised;
    switch (startState_) {
        case ShowState::Maximised:
            window_.showMaximized();
            break;
        case ShowState::Minimised:
            // From a minimised maximised state the window keeps its maximised flag, so
            // that restoring it maximises it again.
            if (maximised) {
                window_.setWindowState(Qt::WindowMinimized | Qt::WindowMaximized);
                window_.show();
            } else {
                window_.showMinimized();
            }
            break;
        case ShowState::Normal:
            window_.show();
            break;
    }
}

void CMainPlacement::ShowUnminimised() {
    if (CConsoleQueries(console_).Layout().maximised) {
        window_.showMaximized();
    } else {
        window_.showNormal();
    }
}

CMainPlacement::ShowState CMainPlacement::Current() const {
    if (window_.isMinimized()) {
        return ShowState::Minimised;
    }
    if (window_.isMaximized()) {
        return ShowState::Maximised;
    }
    return ShowState::Normal;
}

CMainPlacement::Follow CMainPlacement::Record(ShowState state, bool sizeChanged, bool inTray) {
    Follow follow;
    // Window calls below may come straight back here: none is made under the lock.
    switch (state) {
        case ShowState::Normal: {
            follow.secondaryWindows = true;
            // A frame told after the placement: the window first takes its place again.
            WindowFrame::FollowFrame(window_, placed_);
            const bool maximiseAgain =
                CLayoutEdits(console_).MainWindowNormal(WindowFrame::StoredRect(window_, placed_));
            if (maximiseAgain) {
                window_.showMaximized();
            }
            break;
        }
        case ShowState::Maximised:
            follow.secondaryWindows = true;
            CLayoutEdits(console_).MainWindowMaximised();
            break;
        case ShowState::Minimised: {
            const bool toTray = CConsoleQueries(console_).CurrentSettings().minimyzeTray;
            follow.toTray = sizeChanged && toTray && !inTray;
            CLayoutEdits(console_).MainWindowMinimised();
            break;
        }
    }
    return follow;
}

void CMainPlacement::Shown() {
    if (frameCorrected_) {
        return;
    }
    frameCorrected_ = true;
    // The frame's size is known only once the window is on screen: correct the first
    // placement so that the outer rectangle is the stored one.
    QTimer::singleShot(0, &window_, [this] {
        if (Current() == ShowState::Normal) {
            WindowFrame::Correct(window_, placed_);
        }
    });
}
