// Texts built from an object's state: list cells, the list's tool tip and the labels used
// by pop-ups, alerts and the log. None of them changes the store.
#include <charconv>
#include <cstdlib>

#include "base/Cp1251.h"
#include "model/DataStore.h"
#include "base/TextUtil.h"

namespace {

void AppendTwoDigits(std::string& s, int v) {
    s.push_back(static_cast<char>('0' + v / 10));
    s.push_back(static_cast<char>('0' + v % 10));
}

}  // namespace

std::string FormatAge(DateTime t, DateTime reference) {
    // A stamp from the future (clock skew between the terminal and this computer) reads
    // as no age at all rather than as a negative one.
    if (reference < t)
        return "00:00:00";
    const SpanFields d = SplitSpan(reference - t);
    if (d.days == 0) {
        // Formatted for every row every second: digits by hand, no format string.
        std::string s;
        s.reserve(8);
        AppendTwoDigits(s, d.hours);
        s.push_back(':');
        AppendTwoDigits(s, d.minutes);
        s.push_back(':');
        AppendTwoDigits(s, d.seconds);
        return s;
    }
    const long long hours = d.days * 24 + d.hours;
    static const std::string kHours = W("час.");
    return TextUtil::Format(">%lld ", hours) + kHours;
}

std::string IdAndNameText(const std::string& id, const std::string& name) {
    return id + " - " + name;
}

// A number as to_chars writes it, which is how printf's C locale writes it (for doubles
// with a precision: "%.<precision>f"), without parsing a format.
template <typename... Precision>
std::string_view NumberText(char (&buf)[320], auto value, Precision... precision) {
    // The longest fixed double: 309 digits, a sign, a point and the decimals.
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, precision...);
    return ec == std::errc() ? std::string_view(buf, static_cast<std::size_t>(end - buf))
                             : std::string_view("?");
}

// "a (b)".
template <typename... Precision>
std::string PairText(auto a, auto b, Precision... precision) {
    char first[320];
    char second[320];
    const std::string_view x = NumberText(first, a, precision...);
    const std::string_view y = NumberText(second, b, precision...);
    std::string s;
    s.reserve(x.size() + y.size() + 3);
    s.append(x).append(" (").append(y).push_back(')');
    return s;
}

std::string SpeedText(int32_t speedKmh, int32_t computedSpeedKmh) {
    return PairText(speedKmh, computedSpeedKmh);
}

std::string PathText(double pathMetres, double dayPathMetres) {
    return PairText(pathMetres * 0.001, dayPathMetres * 0.001, std::chars_format::fixed, 2);
}

std::string ZoneCellText(int32_t currentZone, const std::string& currentZoneName,
                         const std::string& lastZoneName, const std::string* previousZoneName) {
    if (currentZone == -1) {
        if (lastZoneName != "---")
            return "--- (" + lastZoneName + ")";
        return "---";
    }
    if (previousZoneName != nullptr)
        return currentZoneName + " (" + *previousZoneName + ")";
    return currentZoneName;
}

std::string LastMessageAgeText(DateTime receivedAt, DateTime messageTime, DateTime now,
                               int32_t offsetMinutes) {
    return FormatAge(receivedAt, now) + " (" +
           FormatAge(messageTime, now.AddMinutes(offsetMinutes)) + ")";
}

std::string ZoneTimeText(DateTime zoneEntryTime, DateTime now, int32_t offsetMinutes) {
    if (zoneEntryTime.IsNever())
        return "---";
    return FormatAge(zoneEntryTime, now.AddMinutes(offsetMinutes));
}

const std::string* PreviousZoneName(const ObjectRecord& o) {
    // The zone the object came from, when the history knows one.
    return o.history.visitCount > 1 ? &o.history.ZoneNameRef(1) : nullptr;
}

int DayKey(DateTime t) {
    const CalendarFields f = t.ToCalendar();
    return f.month * 32 + f.day;
}

std::string CDataStore::FormatIdAndName(int i) const {
    const ObjectRecord& o = Object(i);
    return IdAndNameText(o.id, o.name);
}

std::string CDataStore::FormatSpeed(int i) const {
    const ObjectRecord& o = Object(i);
    return SpeedText(o.speedKmh, o.computedSpeedKmh);
}

std::string CDataStore::FormatPath(int i) const {
    const ObjectRecord& o = Object(i);
    return PathText(o.pathMetres, o.dayPathMetres);
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
    return LastMessageAgeText(o.lastReceivedAt, o.lastMessageTime, now, timeOffsetMinutes);
}

std::string CDataStore::FormatZoneTime(int i, DateTime now) const {
    return ZoneTimeText(Object(i).zoneEntryTime, now, timeOffsetMinutes);
}

bool CDataStore::IsLastMessageFromAnotherDay(int i, DateTime now) const {
    // Month and day only: the day path is a "today" counter and the check runs every
    // second, so the year never matters in practice.
    return ShownMessageDay(i) != DayKey(now);
}

int CDataStore::ShownMessageDay(int i) const {
    return DayKey(Object(i).lastMessageTime.AddMinutes(-timeOffsetMinutes));
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
    return ZoneCellText(o.currentZone, o.currentZoneName, o.lastZoneName, PreviousZoneName(o));
}
