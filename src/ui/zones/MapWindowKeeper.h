#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>

#include "settings/WindowLayout.h"

class CConsole;
class CMapWindow;
struct RefreshSnapshot;
class QWidget;

// The main window's side of the map window: opens it (at most one), keeps its record in
// the window layout (rectangle, open or closed) and saves the layout whenever it opens,
// moves, resizes or closes; reopens it at start when it was open at the last exit.
//
// Everything runs on the GUI thread. The calls take the console lock themselves: never
// call them while holding it.
class CMapWindowKeeper : public QObject {
    Q_OBJECT
public:
    // `owner` (the main window) becomes the parent of the map window.
    CMapWindowKeeper(CConsole& console, QWidget* owner);
    ~CMapWindowKeeper() override;

    // "Карта...": opens the window at its recorded rectangle (the default place when
    // there is none), or brings the open one forward.
    CMapWindow* Open();
    // Reopens the window when the layout records it open; shown unless `show` is false
    // (the main window starts in the tray).
    void RestoreAtStart(bool show);

    // After each refresh pass.
    void ApplyRows(const RefreshSnapshot& snapshot);
    // The zone map may have been replaced (the rows were reset).
    void RebuildZones();
    // The main window went to the tray / is back in view.
    void HideAll();
    void ShowAll();
    // The program is ending: a window that closes from now on stays recorded as open.
    void Shutdown();

    // The map window while it is open (shown or hidden with the main window), else null.
    CMapWindow* Window() const;

signals:
    void objectClicked(int32_t objectNumber);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CMapWindow* MakeWindow(const LayoutRect& rect);
    void OnClosing(CMapWindow* window);
    void OnLayoutReport(const LayoutRect& rect);

    CConsole& console_;
    QPointer<QWidget> owner_;
    QPointer<CMapWindow> window_;
    bool shuttingDown_ = false;
};
