#pragma once

#include "base/DateTime.h"
#include "rules/RuleEffects.h"

class CDataStore;
class CZoneMap;

// Arrival at and departure from control zones: the object's zone state, its visit
// history, its pending event and the four notices with their sounds.
class CZoneTransition {
public:
    CZoneTransition(CDataStore& store, const CZoneMap& map) : store_(store), map_(map) {}

    // The object moved from `previousZone` into `newZone` (-1: none) at the message time
    // `time`; `now` is the local time a started visit is registered at.
    void Apply(int objectIndex, int previousZone, int newZone, DateTime time, DateTime now,
               RuleEffects& effects);
    // Which notices and sounds the change from `previousZone` to the object's current
    // zone asks for; the event kind of the last check that applied (0 for none).
    int Evaluate(int objectIndex, int previousZone, RuleEffects& effects) const;

private:
    CDataStore& store_;
    const CZoneMap& map_;
};
