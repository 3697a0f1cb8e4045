#pragma once

#include <cstdint>
#include <string>

#include "alerts/AlertSettings.h"
#include "base/DateTime.h"

struct ObjectRecord;

// One object of the address book as its dialog shows and edits it: a copy taken out of
// the store, changed by the dialog and handed back to be applied to the object it was
// taken from. Texts are Windows-1251 bytes.
struct AddressBookEntry {
    int32_t objectIndex = -1;  // where the object stood in the store
    int32_t number = 0;
    std::string id;
    std::string name;
    std::string alarmMark;
    bool shown = false;
    DateTime firstTimeout;   // time of day
    DateTime secondTimeout;  // time of day
    // Shown for orientation only, never written back.
    AlertSettings alertSettings;
    // The operator confirmed new thresholds for this object.
    bool thresholdsEdited = false;

    static AddressBookEntry Of(const ObjectRecord& object, int32_t objectIndex);

    // Whether `object` is still the one this entry was taken from (same id and number).
    bool Describes(const ObjectRecord& object) const;
    // Writes into `object` what the operator changed: whether it is shown, and the two
    // thresholds when they were edited. True when thresholds were written.
    bool ApplyTo(ObjectRecord& object) const;
};
