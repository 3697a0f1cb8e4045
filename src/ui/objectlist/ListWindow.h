#pragma once

#include <QDialog>
#include <QString>

#include "app/WindowFrame.h"
#include "settings/WindowLayout.h"

class CObjectListCtrl;

// A small modeless window that is nothing but a list of four columns: the history
// windows and the distance windows. The list fills the client area; the window reports
// its place and column widths while it is set up, and its closing once, to whoever
// owns it. A derived window fills the list and says what its reports carry.
class CListWindow : public QDialog {
    Q_OBJECT
public:
    CObjectListCtrl* List() const { return list_; }
    bool Initialised() const { return initialised_; }

    // Places the outer frame at `rect` (position and size).
    void PlaceAt(const LayoutRect& rect);
    // Outer rectangle in screen coordinates and the four column widths.
    WindowPlacement CurrentPlacement() const;
    // The same for any window with a list of four columns.
    static WindowPlacement PlacementOf(const QWidget& window, const CObjectListCtrl& list);
    void ReportLayout();

public slots:
    void reject() override;

protected:
    // A window of `width` x `height` whose list is named `listName`.
    CListWindow(const QString& listName, int width, int height, QWidget* owner);
    // The last step of the derived constructor: from now on the window reports.
    void FinishSetUp() { initialised_ = true; }

    virtual void EmitClosing() = 0;
    virtual void EmitLayoutReport(const WindowPlacement& placement) = 0;

    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    CObjectListCtrl* list_;
    bool initialised_ = false;
    bool closed_ = false;
    WindowFrame::Placed placed_;
    bool frameCorrected_ = false;
};
