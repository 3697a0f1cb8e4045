#include "objectlist/ListWindow.h"

#include <QMoveEvent>
#include <QResizeEvent>
#include <QShowEvent>
#include <QTimer>

#include "app/Icons.h"
#include "app/WindowFrame.h"
#include "objectlist/ObjectListCtrl.h"

CListWindow::CListWindow(const QString& listName, int width, int height, QWidget* owner)
    : QDialog(owner) {
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowIcon(Icons::AppIcon());

    list_ = new CObjectListCtrl(this);
    list_->setObjectName(listName);
    // Rows never stay selected: selecting one means nothing in these windows.
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    resize(width, height);
    list_->setGeometry(0, 0, width, height);

    connect(list_, &CObjectListCtrl::columnLayoutChanged, this, &CListWindow::ReportLayout);
}

void CListWindow::PlaceAt(const LayoutRect& rect) {
    WindowFrame::Place(*this, rect, placed_);
    // A hidden window gets its resize event only when shown; the list must fit now.
    list_->setGeometry(0, 0, width(), height());
}

WindowPlacement CListWindow::CurrentPlacement() const {
    WindowPlacement placement = PlacementOf(*this, *list_);
    placement.rect = WindowFrame::StoredRect(*this, placed_);
    return placement;
}

WindowPlacement CListWindow::PlacementOf(const QWidget& window, const CObjectListCtrl& list) {
    WindowPlacement placement;
    placement.rect = WindowFrame::OuterRect(window);
    for (int i = 0; i < 4; ++i) {
        placement.widths[static_cast<std::size_t>(i)] = list.ColumnWidth(i);
    }
    return placement;
}

void CListWindow::ReportLayout() {
    if (!initialised_) {
        return;
    }
    WindowFrame::FollowFrame(*this, placed_);
    EmitLayoutReport(CurrentPlacement());
}

void CListWindow::reject() {
    // The close box, Escape and the owner's requests all end here; the owner hears of
    // it once.
    if (!closed_) {
        closed_ = true;
        initialised_ = false;
        EmitClosing();
    }
    QDialog::reject();
}

void CListWindow::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    ReportLayout();
}

void CListWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    list_->setGeometry(0, 0, event->size().width(), event->size().height());
    ReportLayout();
}

void CListWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (placed_.placed) {
        WindowFrame::CorrectAfterFirstShow(*this, placed_, frameCorrected_);
    }
}
