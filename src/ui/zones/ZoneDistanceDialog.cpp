#include "zones/ZoneDistanceDialog.h"

#include <QComboBox>
#include <QMoveEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "app/Icons.h"
#include "app/QtText.h"
#include "app/WindowFrame.h"
#include "base/Cp1251.h"
#include "console/Console.h"
#include "console/ConsoleQueries.h"
#include "objectlist/ListWindow.h"
#include "objectlist/ObjectListCtrl.h"
#include "zones/DistanceListWindow.h"

namespace {

constexpr int kDefaultWidth = 480;
constexpr int kDefaultHeight = 300;
constexpr int kMargin = 5;

}  // namespace

CZoneDistanceDialog::CZoneDistanceDialog(CConsole& console, const WindowPlacement& stored,
                                         QWidget* parent)
    : QDialog(parent), console_(console) {
    setWindowTitle(QStringLiteral("Расстояния до районов"));
    setWindowIcon(Icons::AppIcon());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("zoneCombo"));
    openButton_ = new QPushButton(QStringLiteral("->"), this);
    openButton_->setObjectName(QStringLiteral("openButton"));
    openButton_->setAutoDefault(false);
    openButton_->resize(std::max(30, openButton_->sizeHint().width()),
                        openButton_->sizeHint().height());
    list_ = new CObjectListCtrl(this);
    list_->setObjectName(QStringLiteral("distanceList"));
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    closeButton_ = new QPushButton(QStringLiteral("Закрыть"), this);
    closeButton_->setObjectName(QStringLiteral("closeButton"));
    closeButton_->setDefault(true);
    closeButton_->resize(std::max(90, closeButton_->sizeHint().width()),
                         closeButton_->sizeHint().height());

    resize(kDefaultWidth, kDefaultHeight);
    LayOut(kDefaultWidth, kDefaultHeight);
    const LayoutRect& r = stored.rect;
    if (r.left != 0 || r.top != 0 || r.right != 0 || r.bottom != 0) {
        WindowFrame::Place(*this, r, placed_);
        LayOut(width(), height());
    }
    CDistanceListWindow::SetUpColumns(*list_, stored.widths);

    names_ = CConsoleQueries(console_).ZoneNames();
    // Exchange sort by byte order, equal names never exchanged.
    for (std::size_t j = 0; j < names_.size(); ++j) {
        for (std::size_t k = j + 1; k < names_.size(); ++k) {
            if (Cp1251::Compare(names_[k], names_[j]) < 0) {
                std::swap(names_[j], names_[k]);
            }
        }
    }
    for (const std::string& name : names_) {
        combo_->addItem(FromCp(name));
    }
    if (!names_.empty()) {
        combo_->setCurrentIndex(0);
        RebuildRows();
    }

    connect(combo_, &QComboBox::currentIndexChanged, this, [this] { RefreshRows(); });
    connect(openButton_, &QPushButton::clicked, this, &CZoneDistanceDialog::OpenSelectedZone);
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(list_, &CObjectListCtrl::headerClicked, this, &CZoneDistanceDialog::ColumnClicked);
    connect(list_, &CObjectListCtrl::columnLayoutChanged, this, &CZoneDistanceDialog::ReportLayout);
    initialised_ = true;
}

int CZoneDistanceDialog::SelectedZone() const {
    const int entry = combo_->currentIndex();
    if (entry < 0 || entry >= static_cast<int>(names_.size())) {
        return -1;
    }
    return CDistanceListWindow::ResolveZone(console_, names_[static_cast<std::size_t>(entry)], -1);
}

WindowPlacement CZoneDistanceDialog::CurrentPlacement() const {
    WindowPlacement placement = CListWindow::PlacementOf(*this, *list_);
    placement.rect = WindowFrame::StoredRect(*this, placed_);
    return placement;
}

void CZoneDistanceDialog::RebuildRows() {
    const int zone = SelectedZone();
    const auto rows = CDistanceListWindow::ReadRows(console_, zone);
    if (zone < 0) {
        // No zone to measure against: the rows are there, their texts wait for one.
        list_->DeleteAllRows();
        for (std::size_t r = 0; r < rows.size(); ++r) {
            list_->InsertRow(static_cast<int>(r));
        }
        return;
    }
    CDistanceListWindow::WriteRows(*list_, rows, true);
}

void CZoneDistanceDialog::RefreshRows() {
    const int entry = combo_->currentIndex();
    if (entry < 0 || entry >= static_cast<int>(names_.size())) {
        return;
    }
    const CConsoleQueries::ZoneRows read =
        CConsoleQueries(console_).DistanceRowsOf(names_[static_cast<std::size_t>(entry)], -1);
    if (read.zone < 0) {
        return;
    }
    CDistanceListWindow::WriteRows(*list_, read.rows, false);
}

void CZoneDistanceDialog::ReportLayout() {
    if (!initialised_) {
        return;
    }
    WindowFrame::FollowFrame(*this, placed_);
    emit layoutReport(CurrentPlacement());
}

void CZoneDistanceDialog::OpenSelectedZone() {
    const int zone = SelectedZone();
    if (zone != -1) {
        emit openDistanceWindow(zone);
    }
}

void CZoneDistanceDialog::ColumnClicked(int column) {
    const int zone = SelectedZone();
    const int key = CDistanceListWindow::SortKeyOfColumn(column);
    if (zone < 0 || key < 0) {
        return;
    }
    emit sortRequested(key, zone);
}

void CZoneDistanceDialog::LayOut(int cx, int cy) {
    const int comboHeight = combo_->sizeHint().height();
    const int arrowWidth = openButton_->width();
    closeButton_->move(cx - closeButton_->width() - kMargin, cy - closeButton_->height() - kMargin);
    openButton_->setGeometry(cx - arrowWidth - kMargin, kMargin, arrowWidth, comboHeight);
    combo_->setGeometry(kMargin, kMargin, cx - arrowWidth - 15, comboHeight);
    list_->setGeometry(kMargin, comboHeight + 10, cx - 10,
                       cy - comboHeight - closeButton_->height() - 20);
}

void CZoneDistanceDialog::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    ReportLayout();
}

void CZoneDistanceDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (!initialised_) {
        return;
    }
    LayOut(event->size().width(), event->size().height());
    ReportLayout();
}

void CZoneDistanceDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (placed_.placed) {
        WindowFrame::CorrectAfterFirstShow(*this, placed_, frameCorrected_);
    }
}
