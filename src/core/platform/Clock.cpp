#include "platform/Clock.h"

#include <ctime>

#include "platform/Platform.h"

DateTime SystemClock::Now() const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr) {
        return DateTime::Never();
    }
    return DateTime::FromCalendar(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                  local.tm_hour, local.tm_min,
                                  // a leap second shows as :60; the calendar has no such second
                                  local.tm_sec > 59 ? 59 : local.tm_sec);
}

std::optional<int> SystemClock::TimeZoneBiasMinutes() const {
    return Platform::CurrentTimeZoneBiasMinutes();
}
