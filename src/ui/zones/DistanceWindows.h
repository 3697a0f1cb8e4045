#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "settings/WindowLayout.h"

class CConsole;
class CDistanceListWindow;
class CZoneDistanceDialog;
class QWidget;

// The main window's side of the distance views: it opens, restores and forgets the small
// distance windows, keeps their entries in the window layout (zone name and placement,
// parallel to the open windows, in opening order) and saves the layout whenever one of
// them opens, moves, changes a column or closes. It also knows the zone-distance dialog
// while that is open, so that both are kept current by the same calls.
//
// Everything runs on the GUI thread. The calls that read the store take the console lock
// themselves: never call them while holding it.
class CDistanceWindows : public QObject {
    Q_OBJECT
public:
    // Owned by `owner` (the main window). The distance windows are windows of their own,
    // without a parent: a dialog that is modal to the main window must not block them.
    // They are deleted here.
    CDistanceWindows(CConsole& console, QWidget* owner);
    ~CDistanceWindows() override;

    // Opens a window for the zone with its top-left corner one pixel right of and below
    // the mouse cursor. Null for a zone index the map does not have.
    CDistanceListWindow* OpenWindow(int zoneIndex);
    CDistanceListWindow* OpenWindowAt(int zoneIndex, const QPoint& topLeft);

    // Reopens the windows recorded in the layout, in their order, at their rectangles and
    // with their widths; shown unless `show` is false (the main window starts in the
    // tray). One window per zone and at most kMaxRestored: the entries that do not get a
    // window (a zone no longer in the zone map, a zone's second entry, one past the
    // bound) are dropped from the layout.
    void RestoreAtStart(bool show);

    // Every window lists every shown object and rewrites its rows after each refresh
    // pass (once a second), and each is a window of its own that the desktop has to
    // manage: thirty-two already cover a large screen several times over and are more
    // than a dispatcher can read, while a damaged or runaway Interface.ini could
    // otherwise ask for thousands (which took the program many seconds to open and to
    // close).
    static constexpr std::size_t kMaxRestored = 32;

    // After each refresh pass: texts and colours of every window and of the zone-distance
    // dialog.
    void RefreshAll();
    // The list rows were reset: every view rebuilds its rows.
    void RebuildAll();
    // The main window is back in view / went to the tray.
    void ShowAll();
    void HideAll();
    // The program is ending: windows that close from now on stay recorded in the layout,
    // so that they come back at the next start.
    void Shutdown();

    // The zone-distance dialog, placed by its layout record and connected: its
    // "->" opens a window at the cursor, its sort requests come out of sortRequested, its
    // place is stored. It is kept current until it finishes or is destroyed. The caller
    // runs it (modally) and owns it.
    std::unique_ptr<CZoneDistanceDialog> NewZoneDistanceDialog(QWidget* parent);
    CZoneDistanceDialog* ZoneDistanceDialog() const { return zoneDistanceDialog_.data(); }
    // Registers a dialog made elsewhere (NewZoneDistanceDialog does this itself).
    void AttachZoneDistanceDialog(CZoneDistanceDialog* dialog);

    int Count() const { return static_cast<int>(windows_.size()); }
    CDistanceListWindow* Window(int i) const;
    // Index of a window among the open ones (and of its layout entry), -1 if unknown.
    int IndexOf(const CDistanceListWindow* window) const;

signals:
    // A view asks for all objects to be sorted by `key` (distance to `zoneIndex` for key
    // 12). The main window sorts (CConsole::SortByKey), refreshes its list and then calls
    // RefreshAll().
    void sortRequested(int key, int zoneIndex);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CDistanceListWindow* MakeWindow(int zoneIndex, const std::string& zoneName,
                                    const std::array<int32_t, 4>& widths);
    void OnWindowClosing(CDistanceListWindow* window);
    void OnLayoutReport(CDistanceListWindow* window, const WindowPlacement& placement);
    void OnZoneDistanceLayout(const WindowPlacement& placement);

    CConsole& console_;
    std::vector<QPointer<CDistanceListWindow>> windows_;
    QPointer<CZoneDistanceDialog> zoneDistanceDialog_;
    bool shuttingDown_ = false;
};
