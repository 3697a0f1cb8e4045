#include "rules/ZoneTransition.h"

#include "base/Cp1251.h"
#include "base/TextUtil.h"
#include "model/DataStore.h"
#include "rules/AlertRules.h"
#include "zones/ZoneMap.h"

void CZoneTransition::Apply(int objectIndex, int previousZone, int newZone, DateTime time,
                            DateTime now, RuleEffects& effects) {
    ObjectRecord& o = store_.Object(objectIndex);
    if (newZone == -1) {
        o.currentZone = -1;
        o.currentZoneName = "---";
    } else {
        o.currentZone = newZone;
        o.currentZoneName = map_.NameOf(newZone);
        o.lastZoneName = o.currentZoneName;
    }
    if (newZone == previousZone)
        return;

    if (newZone == -1) {
        o.history.EndVisit(time, true);
    } else if (previousZone == -1) {
        o.history.StartVisit(map_.NameOf(newZone), newZone, time, now);
    } else {
        o.history.EndVisit(time, true);
        o.history.StartVisit(map_.NameOf(newZone), newZone, time, now);
    }
    effects.historyChanged = true;

    if (newZone != -1) {
        o.zoneEntryTime = time;
        o.zonePathMetres = 0;
    }

    const int r = Evaluate(objectIndex, previousZone, effects);
    // A pending event of a higher kind (an alarm) is not replaced; an acknowledged one,
    // stored negative, always is.
    if (r != 0 && o.lastEventKind <= r) {
        o.lastEventKind = r;
        o.lastEventTime = time;
        o.lastEventText = (r == kEventArrivedDestination || r == kEventArrivedForbidden)
                              ? map_.NameOf(newZone)
                              : map_.NameOf(previousZone);
    }
}

int CZoneTransition::Evaluate(int objectIndex, int previousZone, RuleEffects& effects) const {
    const ObjectRecord& o = store_.Object(objectIndex);
    const AlertSettings& a = o.alertSettings;
    const ZoneAssignment& l = o.zoneAssignment;
    if (!a.destinationAlert() && !a.forbiddenAlert())
        return 0;

    const CAlertRules alerts(store_);
    auto notice = [&](const char* utf8Format, const std::string& zoneName) {
        return TextUtil::Format(W(utf8Format).c_str(),
                                store_.FormatMessageTime(objectIndex).c_str(), o.id.c_str(),
                                o.name.c_str(), zoneName.c_str());
    };
    // Each check runs on its own; the last that applies decides the result. The notice
    // comes before the sound. The journal keeps every alert raised, pop-up or not.
    auto check = [&](bool alertOn, bool popupOn, bool eventOn, const char* utf8Format,
                     const std::string& zoneName, PopupKind popupKind, AlertKind alertKind,
                     JournalKind journalKind) {
        if (!alertOn || !eventOn)
            return;
        const std::string text = notice(utf8Format, zoneName);
        if (popupOn)
            CAlertRules::ShowPopup(text, popupKind, effects);
        alerts.RaiseAlert(objectIndex, alertKind, effects);
        alerts.Journal(objectIndex, journalKind, zoneName, text, effects);
    };

    int result = 0;
    if (l.CheckZone(previousZone, Destination) == 1) {
        check(a.destinationAlert(), a.destinationPopup(), a.destinationDeparture(),
              "Внимание!\r\n%s\r\nОбъект %s - %s выбыл из района назначения:\r\n%s",
              map_.NameOf(previousZone), PopupKind::DestinationZone, AlertKind::DestinationZone,
              JournalKind::DestinationDeparture);
        result = kEventLeftDestination;
    }
    if (l.CheckZone(previousZone, Forbidden) == 1) {
        check(a.forbiddenAlert(), a.forbiddenPopup(), a.forbiddenDeparture(),
              "Внимание!\r\n%s\r\nОбъект %s - %s выбыл из запрещенного района:\r\n%s",
              map_.NameOf(previousZone), PopupKind::ForbiddenZone, AlertKind::ForbiddenZone,
              JournalKind::ForbiddenDeparture);
        result = kEventLeftForbidden;
    }
    if (l.CheckZone(o.currentZone, Destination) == 1) {
        check(a.destinationAlert(), a.destinationPopup(), a.destinationArrival(),
              "Внимание!\r\n%s\r\nОбъект %s - %s прибыл в район назначения:\r\n%s",
              o.currentZoneName, PopupKind::DestinationZone, AlertKind::DestinationZone,
              JournalKind::DestinationArrival);
        result = kEventArrivedDestination;
    }
    if (l.CheckZone(o.currentZone, Forbidden) == 1) {
        check(a.forbiddenAlert(), a.forbiddenPopup(), a.forbiddenArrival(),
              "Внимание!\r\n%s\r\nОбъект %s - %s прибыл в запрещенный район:\r\n%s",
              o.currentZoneName, PopupKind::ForbiddenZone, AlertKind::ForbiddenZone,
              JournalKind::ForbiddenArrival);
        result = kEventArrivedForbidden;
    }
    return result;
}
