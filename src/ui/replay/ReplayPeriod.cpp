#include "replay/ReplayPeriod.h"

namespace {

DateTime Midnight(const DateTime& t) {
    const CalendarFields f = t.ToCalendar();
    return DateTime::FromCalendar(f.year, f.month, f.day);
}

}  // namespace

ReplayPeriod ReplayPeriod::LastHour(const DateTime& shownNow) {
    return {shownNow.AddMinutes(-60), shownNow};
}

ReplayPeriod ReplayPeriod::Today(const DateTime& shownNow) {
    return {Midnight(shownNow), shownNow};
}

ReplayPeriod ReplayPeriod::Yesterday(const DateTime& shownNow) {
    const DateTime today = Midnight(shownNow);
    return {Midnight(today.AddDays(-0.5)), today};
}
