#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "base/DateTime.h"
#include "persist/JournalAlert.h"

// The operator's "Сбросить оповещения" as the alert journal keeps it: it covers every
// alert of these vehicles that is not acknowledged yet when it is written — the alerts
// written before it, in earlier commits, earlier runs or earlier in the same commit.
struct JournalAck {
    DateTime timeUtc;
    std::string account;  // the operating-system account, Windows-1251
    std::vector<int32_t> objects;
};

// One step of the alert journal, in the order it happened: an alert raised, or an
// acknowledgement. The order is what decides which alerts an acknowledgement covers.
using JournalEntry = std::variant<JournalAlert, JournalAck>;
