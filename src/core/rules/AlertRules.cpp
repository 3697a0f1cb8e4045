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
            {
                // The alarm notice names the object before its number.
                const std::string text = TextUtil::Format(
                    W("Тревога на объекте %s-%s\r\n%s\r\n%s\r\n%s").c_str(), o.name.c_str(),
                    o.id.c_str(), store_.FormatEventTime(objectIndex).c_str(), o.alarmText.c_str(),
                    o.lastEventText.c_str());
                if (a.alarmPopup())
                    ShowPopup(text, PopupKind::Alarm, effects);
                Journal(objectIndex, JournalKind::Alarm, std::string(), text, effects);
            }
            return;
        case AlertKind::PowerOn:
            if (!a.powerOnAlert())
                return;
            if (a.powerOnSound())
                effects.sounds.push_back(AlertKind::PowerOn);
            {
                const std::string zone = o.currentZone == -1 ? "---" : o.currentZoneName;
                const std::string text = TextUtil::Format(
                    W("Включение контроллера на объекте %s-%s\r\n%s\r\n%s").c_str(), o.id.c_str(),
                    o.name.c_str(), store_.FormatMessageTime(objectIndex).c_str(), zone.c_str());
                if (a.powerOnPopup())
                    ShowPopup(text, PopupKind::PowerOn, effects);
                Journal(objectIndex, JournalKind::PowerOn, std::string(), text, effects);
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

void CAlertRules::Journal(int objectIndex, JournalKind kind, const std::string& zoneName,
                          const std::string& text, RuleEffects& effects) const {
    const ObjectRecord& o = store_.Object(objectIndex);
    JournalAlert alert;
    alert.objectNumber = o.Number();
    alert.objectName = o.name;
    // The record that raised it has just set both.
    alert.messageTime = o.lastMessageTime;
    alert.receiveTime = o.lastReceivedAt;
    alert.kind = kind;
    alert.zoneName = zoneName;
    alert.text = text.size() > kMaxNoticeLength ? text.substr(0, kMaxNoticeLength) : text;
    effects.alerts.push_back(std::move(alert));
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
