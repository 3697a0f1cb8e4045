#pragma once

#include <string>
#include <vector>

#include "alerts/AlertSettings.h"
#include "persist/JournalAlert.h"

// What the rules decided a record asks of the world outside the store, in the order they
// decided it: notices for the pop-up, sounds to start, the alerts raised for the alert
// journal, and whether a visit history changed. Whoever applies the record hands them on while it
// still holds the store lock, so that an acknowledgement never overtakes the alert it acknowledges.
struct RuleEffects {
    struct Notice {
        std::string text;  // Windows-1251, already cut to what the pop-up holds
        PopupKind kind;
    };
    std::vector<Notice> notices;
    std::vector<AlertKind> sounds;
    // Every alert raised with the alert switched on for the object (and, for the zones,
    // the event): also when its pop-up or sound is off. raisedUtc is left to whoever
    // applies the record (it owns the clock).
    std::vector<JournalAlert> alerts;
    bool historyChanged = false;
};
