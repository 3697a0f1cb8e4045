#include "zones/ZoneAssignDialog.h"

#include <QHeaderView>
#include <algorithm>
#include <utility>

#include "app/QtText.h"
#include "model/ZoneAssignmentEdit.h"
#include "ui_ZoneAssignDialog.h"

namespace {

// Each row keeps the zone's name as the map holds it (Windows-1251 bytes), so that a
// name survives the trip through the widget unchanged, and on the right-hand lists
// also the zone index of its entry.
constexpr int kNameRole = Qt::UserRole;
constexpr int kZoneRole = Qt::UserRole + 1;

QTableWidgetItem* MakeItem(const std::string& name) {
    auto* item = new QTableWidgetItem(FromCp(name));
    item->setData(kNameRole, QByteArray::fromStdString(name));
    return item;
}

std::vector<int> SelectedRows(const QTableWidget* list) {
    std::vector<int> rows;
    for (const QModelIndex& index : list->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

}  // namespace

CZoneAssignDialog::CZoneAssignDialog(const QString& title, const ZoneAssignment& initial,
                                     ZoneNameList zones, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CZoneAssignDialog>()),
      zones_(std::move(zones)),
      assignment_(initial) {
    ui_->setupUi(this);
    setWindowTitle(title);
    for (QTableWidget* list : {ui_->allZonesList, ui_->destinationList, ui_->forbiddenList}) {
        SetUpList(list);
    }

    const std::vector<std::string> names = ZoneAssignmentEdit::SortedZoneNames(zones_);
    ui_->allZonesList->setRowCount(static_cast<int>(names.size()));
    for (int row = 0; row < static_cast<int>(names.size()); ++row) {
        ui_->allZonesList->setItem(row, 0, MakeItem(names[static_cast<std::size_t>(row)]));
    }
    RefillAssigned();

    connect(ui_->addDestinationButton, &QPushButton::clicked, this,
            [this] { AddSelected(Destination); });
    connect(ui_->addForbiddenButton, &QPushButton::clicked, this,
            [this] { AddSelected(Forbidden); });
    connect(ui_->removeDestinationButton, &QPushButton::clicked, this,
            [this] { RemoveSelected(ui_->destinationList); });
    connect(ui_->removeForbiddenButton, &QPushButton::clicked, this,
            [this] { RemoveSelected(ui_->forbiddenList); });
    connect(ui_->saveButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CZoneAssignDialog::~CZoneAssignDialog() = default;

void CZoneAssignDialog::SetUpList(QTableWidget* list) {
    list->setColumnCount(1);
    list->setHorizontalHeaderLabels({QStringLiteral("Показание")});
    list->horizontalHeader()->setStretchLastSection(true);
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setWordWrap(false);
}

void CZoneAssignDialog::RefillAssigned() {
    QTableWidget* destination = ui_->destinationList;
    QTableWidget* forbidden = ui_->forbiddenList;
    destination->setRowCount(0);
    forbidden->setRowCount(0);
    for (const ZoneAssignmentEdit::Entry& entry :
         ZoneAssignmentEdit::SortedEntries(assignment_, zones_)) {
        QTableWidget* list = entry.role == Destination ? destination : forbidden;
        const int row = list->rowCount();
        list->insertRow(row);
        QTableWidgetItem* item = MakeItem(entry.name);
        item->setData(kZoneRole, entry.zone);
        list->setItem(row, 0, item);
    }
}

void CZoneAssignDialog::AddSelected(int role) {
    const std::vector<int> rows = SelectedRows(ui_->allZonesList);
    if (rows.empty()) {
        return;
    }
    for (int row : rows) {
        const QTableWidgetItem* item = ui_->allZonesList->item(row, 0);
        // By name, so of two zones with one name only the first can be assigned: the
        // assignment file stores zones by name and could not tell them apart either.
        const int zone = zones_.FindFirst(item->data(kNameRole).toByteArray().toStdString());
        if (zone >= 0 && assignment_.CheckZone(zone, role) == 0) {
            assignment_.Append(zone, role);
        }
    }
    RefillAssigned();
    ui_->allZonesList->setFocus();
}

void CZoneAssignDialog::RemoveSelected(QTableWidget* list) {
    const std::vector<int> rows = SelectedRows(list);
    if (rows.empty()) {
        return;
    }
    // Each row knows the zone of its entry. Looking it up by name instead would miss an
    // entry for the second of two zones sharing a name, and the operator could never
    // remove it.
    for (int row : rows) {
        const int zone = list->item(row, 0)->data(kZoneRole).toInt();
        const int position = assignment_.IndexOf(zone);
        if (position >= 0) {
            assignment_.RemoveAt(position);
        }
    }
    RefillAssigned();
    ui_->allZonesList->setFocus();
}
