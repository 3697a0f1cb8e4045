#pragma once

#include <QObject>
#include <QPointer>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "settings/WindowLayout.h"

class CConsole;
class CHistoryDialog;
class QWidget;

// The main window's side of the history windows: it opens them (one per object), keeps
// each object's record in the window layout (place, column widths, open or closed) and
// saves the layout whenever a window opens, moves, changes a column or closes.
//
// Everything runs on the GUI thread. The calls take the console lock themselves: never
// call them while holding it.
class CHistoryWindows : public QObject {
    Q_OBJECT
public:
    // Owned by `owner` (the main window). The history windows are windows of their own,
    // without a parent: a dialog that is modal to the main window must not block them.
    // They are deleted here.
    CHistoryWindows(CConsole& console, QWidget* owner);
    ~CHistoryWindows() override;

    // "История..." for the objects of the selected rows, by object number, in list order
    // (the password check is the caller's). An object without a record opens at the
    // default place and gets a record; one with a closed record opens at the record's
    // rectangle (the default place when that is all zero); one whose window is open is
    // left alone.
    void OpenHistoryWindows(const std::vector<int32_t>& objectNumbers);

    // Reopens, for the objects in the store in store order, the window their record
    // marks open, at the recorded rectangle and widths; shown unless `show` is false (the
    // main window starts in the tray). One window per object number and at most
    // kMaxRestored; the records of the others stay as they are, and "История..." opens
    // them as usual.
    void RestoreAtStart(bool show);

    // The same bound as the distance windows': more windows than a dispatcher can read,
    // each a window of its own, while a damaged Interface.ini could ask for thousands.
    static constexpr std::size_t kMaxRestored = 32;

    // A zone visit started or ended: every window copies its object's visits again.
    void HistoryChanged();
    // The main window went to the tray / is back in view.
    void HideAll();
    void ShowAll();
    // The program is ending: windows that close from now on stay recorded as open.
    void Shutdown();

    int Count() const { return static_cast<int>(windows_.size()); }
    CHistoryDialog* Window(int i) const;
    CHistoryDialog* WindowFor(int32_t objectNumber) const;

signals:
    // "Экспорт в CSV..." in the history window of the object.
    void exportRequested(int32_t objectNumber);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CHistoryDialog* MakeWindow(int objectIndex, const WindowPlacement& placement);
    void OnWindowClosing(CHistoryDialog* window);
    void OnLayoutReport(int32_t objectNumber, const WindowPlacement& placement);

    CConsole& console_;
    std::vector<QPointer<CHistoryDialog>> windows_;
    bool shuttingDown_ = false;
};
