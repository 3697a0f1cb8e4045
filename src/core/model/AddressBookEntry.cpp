#include "model/AddressBookEntry.h"

#include "model/ObjectRecord.h"

AddressBookEntry AddressBookEntry::Of(const ObjectRecord& object, int32_t objectIndex) {
    AddressBookEntry entry;
    entry.objectIndex = objectIndex;
    entry.number = object.Number();
    entry.id = object.id;
    entry.name = object.name;
    entry.alarmMark = object.alarmMark;
    entry.shown = object.selected != 0;
    entry.firstTimeout = object.firstTimeout;
    entry.secondTimeout = object.secondTimeout;
    entry.alertSettings = object.alertSettings;
    return entry;
}

bool AddressBookEntry::Describes(const ObjectRecord& object) const {
    return object.id == id && object.Number() == number;
}

bool AddressBookEntry::ApplyTo(ObjectRecord& object) const {
    // Only a change is written, so an object left alone keeps its flag as it was.
    if (shown != (object.selected != 0)) {
        object.selected = shown ? 1 : 0;
    }
    if (!thresholdsEdited) {
        return false;
    }
    object.firstTimeout = firstTimeout;
    object.secondTimeout = secondTimeout;
    return true;
}
