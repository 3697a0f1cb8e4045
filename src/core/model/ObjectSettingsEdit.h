#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "alerts/AlertSettings.h"
#include "base/DateTime.h"

struct ObjectRecord;

// What the per-object settings dialog edits for one or several objects at once: the two
// no-message thresholds, the sixteen alert flags and the path reset. A flag of value
// kMixed stands for objects that disagree; applying it keeps each object's own value.
struct ObjectSettingsEdit {
    static constexpr int32_t kMixed = 2;

    DateTime firstTimeout;
    DateTime secondTimeout;
    bool firstTimeoutChanged = false;
    bool secondTimeoutChanged = false;
    AlertSettings flags;
    bool resetPath = false;
    // True when the objects disagreed in a threshold or a flag.
    bool mixed = false;

    // Start values for `objects` (in list order, none null). Each object is compared
    // with the one before it; where they disagree the selection is mixed, the pickers
    // start with the global thresholds and every flag that differs becomes kMixed.
    // Otherwise the first object's values stand.
    static ObjectSettingsEdit ForSelection(const std::vector<const ObjectRecord*>& objects,
                                           DateTime globalFirstTimeout,
                                           DateTime globalSecondTimeout);

    // "Панель управления - 12-Truck, 7-Bus" (Windows-1251).
    static std::string BuildCaption(const std::vector<const ObjectRecord*>& objects);

    // Writes into `object` only what the operator changed: a threshold only when its
    // picker was touched, a flag only when it is 0 or 1. With the path reset, the three
    // path counters become 0. Returns true when the paths were reset (the caller then
    // saves the store's state).
    bool ApplyTo(ObjectRecord& object) const;
};
