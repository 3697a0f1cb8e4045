#pragma once

#include <string>

#include "base/DateTime.h"
#include "rules/RuleEffects.h"

class CDataStore;
class CZoneMap;
struct InboxRecord;
struct Settings;

// One inbox record applied to its object: position, speeds, path counters, time stamps,
// sensor inputs, alarm and power-on, with the zone transition the new position makes.
// What the record asks of everything else (its log entry, the files it changed, the
// counters, notices and sounds) comes back in the Outcome for the caller to hand on.
class CRecordProcessor {
public:
    struct Outcome {
        // The log's entry: the header line and the outcome text, never split.
        std::string logEntry;
        // The record's object is in the address book (false: only the log entry), and
        // where it stands in the store.
        bool knownObject = false;
        int objectIndex = -1;
        // A position was taken: it counts as a message, `lastMessageText` is the status
        // bar's new text and `trayTip` the tray's (empty unless asked for).
        bool counted = false;
        std::string lastMessageText;
        std::string trayTip;
        RuleEffects effects;
    };

    CRecordProcessor(CDataStore& store, const CZoneMap& map) : store_(store), map_(map) {}

    // `path` is the inbox file the record came from (for the log), `now` the local time;
    // `wantTrayTip` when the tray icon is shown.
    Outcome Process(const InboxRecord& record, const std::string& path, DateTime now,
                    bool wantTrayTip);
    // Speed, position and zone of every object from its stored last message; default
    // thresholds and cleared alert flags for objects without stored settings.
    void RecomputeFromLastMessages(const Settings& settings);

private:
    CDataStore& store_;
    const CZoneMap& map_;
};
