#include "model/DataStore.h"

#include <cmath>
#include <cstdlib>
#include <utility>

#include "base/TextUtil.h"
#include "platform/Platform.h"

CDataStore::CDataStore(std::string folder) : dataFolder(std::move(folder)) {}

void CDataStore::AppendObject() {
    objects_.emplace_back();
    // Every history shows its times with the store's offset from the start, not only
    // after the next SetTimeOffset or history load.
    objects_.back().history.displayOffsetMinutes = timeOffsetMinutes;
}

void CDataStore::ClearObjects() {
    objects_.clear();
    objectCount = 0;
}

// The lookups stop at objectCount, not at the vector's end: while the address book is
// loaded the vector may hold the object of a line that is about to be rejected.
int CDataStore::FindObjectById(const std::string& id) const {
    for (int i = 0; i < objectCount; ++i) {
        if (Object(i).id == id) {
            return i;
        }
    }
    return -1;
}

int CDataStore::FindObjectByNumber(int32_t number) const {
    for (int i = 0; i < objectCount; ++i) {
        if (Object(i).Number() == number) {
            return i;
        }
    }
    return -1;
}

std::string CDataStore::BuildSelectedIdsText() const {
    std::string text;
    for (int i = 0; i < objectCount; ++i) {
        const ObjectRecord& object = Object(i);
        if (object.selected != 0) {
            text += '|';
            text += object.id;
            text += '|';
        }
    }
    return text;
}

void CDataStore::SetTimeOffset(int32_t mode, DateTime span, std::optional<int> biasMinutes) {
    switch (std::abs(static_cast<int64_t>(mode))) {
        case 3:
            timeOffsetMinutes = 0;
            break;
        case 2:
            timeOffsetMinutes = biasMinutes.value_or(0);
            break;
        case 1: {
            // The small addend keeps a span like 03:00:00, whose day fraction is not exact
            // in binary, from truncating to 179 minutes. Seconds fall away in the truncation.
            const int minutes =
                static_cast<int>(std::trunc(span.TimeOfDaySpan() * 1440.0 + 5.787037037037037e-6));
            timeOffsetMinutes = mode < 0 ? -minutes : minutes;
            break;
        }
        default:
            break;
    }
    for (ObjectRecord& object : objects_) {
        object.history.displayOffsetMinutes = timeOffsetMinutes;
    }
}

std::string CDataStore::FilePath(const char* fileName) const {
    return dataFolder + Platform::kSeparator + fileName;
}

int CDataStore::ResetShownRows() {
    int shown = 0;
    for (int i = 0; i < objectCount; ++i) {
        if (Object(i).selected != 0) {
            Object(i).rowState = -1;
            ++shown;
        }
    }
    return shown;
}

std::vector<int32_t> CDataStore::ShownNumbers() const {
    std::vector<int32_t> shown;
    for (int i = 0; i < objectCount; ++i) {
        if (Object(i).selected != 0)
            shown.push_back(Object(i).Number());
    }
    return shown;
}

void CDataStore::ForgetState() {
    for (int i = 0; i < objectCount; ++i) {
        ObjectRecord& o = Object(i);
        ObjectRecord fresh;
        fresh.name = std::move(o.name);
        fresh.id = std::move(o.id);
        fresh.selected = o.selected;
        fresh.alarmMark = std::move(o.alarmMark);
        fresh.history.displayOffsetMinutes = timeOffsetMinutes;
        o = std::move(fresh);
    }
}
