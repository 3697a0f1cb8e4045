#include "platform/Clock.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <ctime>

#include "platform/Platform.h"

DateTime SystemClock::Now() const {
#ifdef _WIN32
    // The system's local time, the same zone GetTimeZoneInformation describes (the C
    // library's localtime would follow a TZ variable instead).
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    return DateTime::FromCalendar(local.wYear, local.wMonth, local.wDay, local.wHour,
                                  local.wMinute, local.wSecond);
#else
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr) {
        return DateTime::Never();
    }
    return DateTime::FromCalendar(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                  local.tm_hour, local.tm_min,
                                  // a leap second shows as :60; the calendar has no such second
                                  local.tm_sec > 59 ? 59 : local.tm_sec);
#endif
}

std::optional<int> SystemClock::TimeZoneBiasMinutes() const {
    return Platform::CurrentTimeZoneBiasMinutes();
}
