#pragma once

#include <cstddef>
#include <string>

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

private:
    const CDataStore& store_;
};
