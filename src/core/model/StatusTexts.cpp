// Texts built from an object's state: list cells, the list's tool tip and the labels used
// by pop-ups, alerts and the log. None of them changes the store.
#include <cstdlib>

#include "model/Cp1251.h"
#include "model/DataStore.h"
#include "model/TextUtil.h"

std::string FormatAge(DateTime t, DateTime reference) {
    // A stamp from the future (clock skew between the terminal and this computer) reads
    // as no age at all rather than as a negative one.
    if (reference < t)
        return "00:00:00";
    const SpanFields d = SplitSpan(reference - t);
    if (d.days == 0)
        return TextUtil::Format("%02d:%02d:%02d", d.hours, d.minutes, d.seconds);
    const long long hours = d.days * 24 + d.hours;
    static const std::string kHours = W("час.");  // formatted for many cells every second
    return TextUtil::Format(">%lld ", hours) + kHours;
}

std::string CDataStore::FormatIdAndName(int i) const {
    const ObjectRecord& o = Object(i);
    return o.id + " - " + o.name;
}

std::string CDataStore::FormatSpeed(int i) const {
    const ObjectRecord& o = Object(i);
    return TextUtil::Format("%i (%i)", o.speedKmh, o.computedSpeedKmh);
}

std::string CDataStore::FormatPath(int i) const {
    const ObjectRecord& o = Object(i);
    return TextUtil::Format("%.02f (%.02f)", o.pathMetres * 0.001, o.dayPathMetres * 0.001);
}

std::string CDataStore::FormatReceivedAt(int i) const {
    // The receipt time is already on the local base: no shift.
    return FormatStamp(Object(i).lastReceivedAt);
}

std::string CDataStore::FormatMessageTime(int i) const {
    return FormatStamp(Object(i).lastMessageTime.AddMinutes(-timeOffsetMinutes));
}

std::string CDataStore::FormatEventTime(int i) const {
    return FormatStamp(Object(i).lastEventTime.AddMinutes(-timeOffsetMinutes));
}

std::string CDataStore::FormatLastMessageAge(int i, DateTime now) const {
    const ObjectRecord& o = Object(i);
    const DateTime shiftedNow = now.AddMinutes(timeOffsetMinutes);
    return FormatAge(o.lastReceivedAt, now) + " (" + FormatAge(o.lastMessageTime, shiftedNow) + ")";
}

std::string CDataStore::FormatZoneTime(int i, DateTime now) const {
    const ObjectRecord& o = Object(i);
    if (o.zoneEntryTime.IsNever())
        return "---";
    return FormatAge(o.zoneEntryTime, now.AddMinutes(timeOffsetMinutes));
}

bool CDataStore::IsLastMessageFromAnotherDay(int i, DateTime now) const {
    // Month and day only: the day path is a "today" counter and the check runs every
    // second, so the year never matters in practice.
    const CalendarFields shown =
        Object(i).lastMessageTime.AddMinutes(-timeOffsetMinutes).ToCalendar();
    const CalendarFields today = now.ToCalendar();
    return shown.month != today.month || shown.day != today.day;
}

bool CDataStore::ResetDayPathIfNewDay(int i, DateTime now) {
    if (!IsLastMessageFromAnotherDay(i, now))
        return false;
    Object(i).dayPathMetres = 0;
    return true;
}

std::string CDataStore::BuildTooltip(int i) const {
    const ObjectRecord& o = Object(i);
    if (o.lastReceivedAt.IsNever())
        return W("Нет полученных сообщений");

    std::string s = W("Последнее сообщение получено:\n") + FormatReceivedAt(i) + " (" +
                    FormatMessageTime(i) + ")";
    if (o.lastEventText.empty())
        return s;

    const std::string& text = o.lastEventText;
    // Widened first: the absolute value of the most negative int32 does not fit an int32.
    const long long kind = std::llabs(static_cast<long long>(o.lastEventKind));
    switch (kind) {
        case kEventPowerOn:
            s += W("\nВключение:\n") + FormatEventTime(i) + "\n" + text;
            break;
        case kEventLeftDestination:
            s += W("\r\nОбъект покинул район назначения\r\n") + text + "\n" + FormatEventTime(i);
            break;
        case kEventLeftForbidden:
            s += W("\r\nОбъект покинул запрещенный район\r\n") + text + "\n" + FormatEventTime(i);
            break;
        case kEventArrivedDestination:
            s += W("\r\nОбъект прибыл в район назначения\r\n") + text + "\n" + FormatEventTime(i);
            break;
        case kEventArrivedForbidden:
            s += W("\r\nОбъект прибыл в запрещенный район\r\n") + text + "\n" + FormatEventTime(i);
            break;
        case kEventAlarm:
            s += W("\nТревога:\n") + FormatEventTime(i) + "\n" + text + "\n" + o.alarmText;
            break;
        default:
            break;
    }
    return s;
}

std::string CDataStore::FormatZoneCell(int i) const {
    const ObjectRecord& o = Object(i);
    if (o.currentZone == -1) {
        if (o.lastZoneName != "---")
            return "--- (" + o.lastZoneName + ")";
        return "---";
    }
    // The zone the object came from, when the history knows one.
    if (o.history.visitCount > 1)
        return o.currentZoneName + " (" + o.history.ZoneName(1) + ")";
    return o.currentZoneName;
}
