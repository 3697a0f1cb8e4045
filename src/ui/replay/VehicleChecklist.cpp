#include "replay/VehicleChecklist.h"

#include <algorithm>

#include "app/QtText.h"

CVehicleChecklist::CVehicleChecklist(const std::vector<AddressBookEntry>& entries,
                                     const std::vector<int32_t>& chosen, QWidget* parent)
    : QListWidget(parent) {
    for (const AddressBookEntry& entry : entries) {
        auto* item = new QListWidgetItem(FromCp(entry.id + " " + entry.name), this);
        item->setData(Qt::UserRole, entry.number);
        const bool ticked = std::find(chosen.begin(), chosen.end(), entry.number) != chosen.end();
        item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
}

std::vector<int32_t> CVehicleChecklist::ChosenNumbers() const {
    std::vector<int32_t> numbers;
    for (int i = 0; i < count(); ++i) {
        const QListWidgetItem* row = item(i);
        if (row->checkState() == Qt::Checked) {
            numbers.push_back(row->data(Qt::UserRole).toInt());
        }
    }
    return numbers;
}
