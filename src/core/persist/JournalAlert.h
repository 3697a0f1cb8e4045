#pragma once

#include <cstdint>
#include <string>

#include "base/DateTime.h"

// What raised an alert, as the alert journal keeps it (docs/tracks.md, "The alert
// journal"). The numbers are stored: never renumber them.
enum class JournalKind : int32_t {
    Alarm = 1,
    PowerOn = 2,
    DestinationArrival = 3,
    DestinationDeparture = 4,
    ForbiddenArrival = 5,
    ForbiddenDeparture = 6,
};
constexpr int kJournalKindCount = 6;
// A set of kinds for a filter: bit (1 << kind).
constexpr uint32_t JournalKindBit(JournalKind kind) {
    return 1u << static_cast<uint32_t>(kind);
}
constexpr uint32_t kAllJournalKinds = 0x7Eu;

// One alert of the journal: raised by the rules while a record was applied, and the
// operator's acknowledgement that covered it, if any. Texts in Windows-1251, as
// everywhere in the core.
struct JournalAlert {
    int64_t id = 0;            // the row's number once stored; 0 before
    int32_t objectNumber = 0;  // as in the address book
    std::string objectName;    // the address book's name when the alert was raised
    DateTime messageTime;      // UTC: the terminal's stamp of the record that raised it
    DateTime receiveTime;      // local receipt time the record carries
    DateTime raisedUtc;        // UTC: when the program raised it (its clock)
    JournalKind kind = JournalKind::Alarm;
    std::string zoneName;  // the zone arrived in or left; empty for the others
    std::string text;      // the pop-up's text (also when the pop-up is switched off)

    // Read back only.
    bool acknowledged = false;
    DateTime acknowledgedUtc;         // UTC, when "Сбросить оповещения" covered it
    std::string acknowledgedAccount;  // the operating-system account that pressed it
};
