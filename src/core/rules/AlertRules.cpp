#include "rules/AlertRules.h"

#include "base/Cp1251.h"
#include "base/TextUtil.h"
#include "model/DataStore.h"

void CAlertRules::RaiseAlert(int objectIndex, AlertKind kind, RuleEffects& effects) const {
    const ObjectRecord& o = store_.Object(objectIndex);
    const AlertSettings& a = o.alertSettings;
    switch (kind) {
        case AlertKind::Alarm:
            if (!a.alarmAlert())
                return;
            if (a.alarmSound())
                effects.sounds.push_back(AlertKind::Alarm);
            if (a.alarmPopup()) {
                // The alarm notice names the object before its number.
                ShowPopup(TextUtil::Format(W("Тревога на объекте %s-%s\r\n%s\r\n%s\r\n%s").c_str(),
                                           o.name.c_str(), o.id.c_str(),
                                           store_.FormatEventTime(objectIndex).c_str(),
                                           o.alarmText.c_str(), o.lastEventText.c_str()),
                          PopupKind::Alarm, effects);
            }
            return;
        case AlertKind::PowerOn:
            if (!a.powerOnAlert())
                return;
            if (a.powerOnSound())
                effects.sounds.push_back(AlertKind::PowerOn);
            if (a.powerOnPopup()) {
                const std::string zone = o.currentZone == -1 ? "---" : o.currentZoneName;
                ShowPopup(TextUtil::Format(
                              W("Включение контроллера на объекте %s-%s\r\n%s\r\n%s").c_str(),
                              o.id.c_str(), o.name.c_str(),
                              store_.FormatMessageTime(objectIndex).c_str(), zone.c_str()),
                          PopupKind::PowerOn, effects);
            }
            return;
        case AlertKind::DestinationZone:
            if (a.destinationAlert() && a.destinationSound())
                effects.sounds.push_back(AlertKind::DestinationZone);
            return;
        case AlertKind::ForbiddenZone:
            if (a.forbiddenAlert() && a.forbiddenSound())
                effects.sounds.push_back(AlertKind::ForbiddenZone);
            return;
    }
}

void CAlertRules::ShowPopup(const std::string& text, PopupKind kind, RuleEffects& effects) {
    effects.notices.push_back(
        {text.size() > kMaxNoticeLength ? text.substr(0, kMaxNoticeLength) : text, kind});
}

bool CAlertRules::Acknowledge(CDataStore& store, const std::vector<int32_t>& objectNumbers) {
    bool changed = false;
    for (const int32_t number : objectNumbers) {
        const int i = store.FindObjectByNumber(number);
        if (i >= 0 && store.Object(i).lastEventKind > 0) {
            store.Object(i).lastEventKind = -store.Object(i).lastEventKind;
            changed = true;
        }
    }
    return changed;
}

bool CAlertRules::AnyPending(const CDataStore& store, const std::vector<int32_t>& objectNumbers) {
    for (const int32_t number : objectNumbers) {
        const int i = store.FindObjectByNumber(number);
        if (i >= 0 && store.Object(i).lastEventKind > 0)
            return true;
    }
    return false;
}
