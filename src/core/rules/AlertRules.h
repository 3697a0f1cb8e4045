#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "alerts/AlertSettings.h"
#include "rules/RuleEffects.h"

class CDataStore;

// Which event sounds and which shows a notice, by the object's alert settings.
class CAlertRules {
public:
    // The pop-up's text buffer holds 1024 bytes with the terminator.
    static constexpr std::size_t kMaxNoticeLength = 1023;

    explicit CAlertRules(const CDataStore& store) : store_(store) {}

    // The sound and the notice an event of `kind` on the object asks for.
    void RaiseAlert(int objectIndex, AlertKind kind, RuleEffects& effects) const;
    // A notice for the pop-up, cut to what it holds.
    static void ShowPopup(const std::string& text, PopupKind kind, RuleEffects& effects);
    // An alert for the journal: the object's number, name and record times, the zone
    // (empty for none) and the pop-up's text, cut as the pop-up would cut it.
    void Journal(int objectIndex, JournalKind kind, const std::string& zoneName,
                 const std::string& text, RuleEffects& effects) const;
    // The operator's acknowledgement: each object's pending event (a positive kind) is
    // negated. True when any was pending; then the sound is to stop.
    static bool Acknowledge(CDataStore& store, const std::vector<int32_t>& objectNumbers);
    // Any of the objects has an event pending.
    static bool AnyPending(const CDataStore& store, const std::vector<int32_t>& objectNumbers);

private:
    const CDataStore& store_;
};
