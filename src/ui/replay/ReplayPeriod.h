#pragma once

#include "base/DateTime.h"

// The period a replay shows, in the program's display time (the terminal's UTC stamps
// shifted by the display offset, as the history windows show them), and its quick
// choices. The track store is asked in UTC: stamp = shown + offset minutes.
struct ReplayPeriod {
    DateTime fromShown;
    DateTime toShown;

    // "последний час": the hour up to now.
    static ReplayPeriod LastHour(const DateTime& shownNow);
    // "сегодня": from midnight up to now.
    static ReplayPeriod Today(const DateTime& shownNow);
    // "вчера": the whole day before today, midnight to midnight.
    static ReplayPeriod Yesterday(const DateTime& shownNow);

    DateTime FromUtc(int offsetMinutes) const { return fromShown.AddMinutes(offsetMinutes); }
    DateTime ToUtc(int offsetMinutes) const { return toShown.AddMinutes(offsetMinutes); }
};
