#pragma once

#include <QListWidget>
#include <cstdint>
#include <vector>

#include "model/AddressBookEntry.h"

// The address book's vehicles to tick, "<id> <name>" each, as the replay and the journal
// window offer them; the number of each is kept with its row.
class CVehicleChecklist : public QListWidget {
    Q_OBJECT
public:
    // `chosen`: the numbers ticked at the start.
    CVehicleChecklist(const std::vector<AddressBookEntry>& entries,
                      const std::vector<int32_t>& chosen, QWidget* parent = nullptr);

    // The numbers of the vehicles ticked, in the list's order.
    std::vector<int32_t> ChosenNumbers() const;
};
