// Arrival at and departure from control zones: the zone state, the visit history and
// the four notices.
#include "console/Console.h"
#include "model/Cp1251.h"
#include "model/TextUtil.h"

void CConsole::ApplyZoneTransition(int objectIndex, int previousZone, int newZone, DateTime time) {
    ObjectRecord& o = store.Object(objectIndex);
    if (newZone == -1) {
        o.currentZone = -1;
        o.currentZoneName = "---";
    } else {
        o.currentZone = newZone;
        o.currentZoneName = ZoneNameOf(newZone);
        o.lastZoneName = o.currentZoneName;
    }
    if (newZone == previousZone)
        return;

    if (newZone == -1) {
        o.history.EndVisit(time, true);
    } else if (previousZone == -1) {
        o.history.StartVisit(ZoneNameOf(newZone), newZone, time, clock_.Now());
    } else {
        o.history.EndVisit(time, true);
        o.history.StartVisit(ZoneNameOf(newZone), newZone, time, clock_.Now());
    }
    committer_->MarkDirty(CStateCommitter::kHistoryFile);
    view_.HistoryChanged();

    if (newZone != -1) {
        o.zoneEntryTime = time;
        o.zonePathMetres = 0;
    }

    const int r = EvaluateZoneChange(objectIndex, previousZone);
    // A pending event of a higher kind (an alarm) is not replaced; an acknowledged one,
    // stored negative, always is.
    if (r != 0 && o.lastEventKind <= r) {
        o.lastEventKind = r;
        o.lastEventTime = time;
        o.lastEventText = (r == kEventArrivedDestination || r == kEventArrivedForbidden)
                              ? ZoneNameOf(newZone)
                              : ZoneNameOf(previousZone);
    }
}

int CConsole::EvaluateZoneChange(int objectIndex, int previousZone) {
    const ObjectRecord& o = store.Object(objectIndex);
    const AlertSettings& a = o.alertSettings;
    const ZoneAssignment& l = o.zoneAssignment;
    if (!a.destinationAlert() && !a.forbiddenAlert())
        return 0;

    auto notice = [&](const char* utf8Format, const std::string& zoneName) {
        return TextUtil::Format(W(utf8Format).c_str(), store.FormatMessageTime(objectIndex).c_str(),
                                o.id.c_str(), o.name.c_str(), zoneName.c_str());
    };
    // Each check runs on its own; the last that applies decides the result. The pop-up
    // comes before the sound.
    auto check = [&](bool alertOn, bool popupOn, bool eventOn, const char* utf8Format,
                     const std::string& zoneName, PopupKind popupKind, AlertKind alertKind) {
        if (alertOn && popupOn && eventOn)
            ShowPopup(notice(utf8Format, zoneName), popupKind);
        if (alertOn && eventOn)
            RaiseAlert(objectIndex, alertKind);
    };

    int result = 0;
    if (l.CheckZone(previousZone, Destination) == 1) {
        check(a.destinationAlert(), a.destinationPopup(), a.destinationDeparture(),
              "Внимание!\r\n%s\r\nОбъект %s - %s выбыл из района назначения:\r\n%s",
              ZoneNameOf(previousZone), PopupKind::DestinationZone, AlertKind::DestinationZone);
        result = kEventLeftDestination;
    }
    if (l.CheckZone(previousZone, Forbidden) == 1) {
        check(a.forbiddenAlert(), a.forbiddenPopup(), a.forbiddenDeparture(),
              "Внимание!\r\n%s\r\nОбъект %s - %s выбыл из запрещенного района:\r\n%s",
              ZoneNameOf(previousZone), PopupKind::ForbiddenZone, AlertKind::ForbiddenZone);
        result = kEventLeftForbidden;
    }
    if (l.CheckZone(o.currentZone, Destination) == 1) {
        check(a.destinationAlert(), a.destinationPopup(), a.destinationArrival(),
              "Внимание!\r\n%s\r\nОбъект %s - %s прибыл в район назначения:\r\n%s",
              o.currentZoneName, PopupKind::DestinationZone, AlertKind::DestinationZone);
        result = kEventArrivedDestination;
    }
    if (l.CheckZone(o.currentZone, Forbidden) == 1) {
        check(a.forbiddenAlert(), a.forbiddenPopup(), a.forbiddenArrival(),
              "Внимание!\r\n%s\r\nОбъект %s - %s прибыл в запрещенный район:\r\n%s",
              o.currentZoneName, PopupKind::ForbiddenZone, AlertKind::ForbiddenZone);
        result = kEventArrivedForbidden;
    }
    return result;
}
