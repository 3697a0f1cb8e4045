#include "base/DateTime.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "base/ByteIO.h"

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
constexpr long long DaysFromCivil(long long y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

constexpr long long kOleEpochDays = DaysFromCivil(1899, 12, 30);
static_assert(kOleEpochDays == -25569);

long long FloorDiv(long long a, long long b) {
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

const char* const kMonthAbbrev[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

DateTime DateTime::FromCalendar(int year, int month, int day, int hour, int minute, int second) {
    const long long days = DaysFromCivil(year, month, day) - kOleEpochDays;
    const double frac = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    const double d = static_cast<double>(days);
    return DateTime(days >= 0 ? d + frac : d - frac, 0);
}

DateTime DateTime::FromTimeOfDay(int hour, int minute, int second) {
    return FromCalendar(1899, 12, 30, hour, minute, second);
}

double DateTime::Linear() const {
    if (date >= 0)
        return date;
    const double t = std::ceil(date);
    return t - (date - t);
}

DateTime DateTime::FromLinear(double days) {
    if (days >= 0)
        return DateTime(days, 0);
    const double whole = std::floor(days);
    const double frac = days - whole;
    return DateTime(whole - frac, 0);
}

bool DateTime::IsNever() const {
    // Year 100 spans the linear days -657434 .. -657069; anything far from them is
    // answered without the calendar (the list asks this for every row every second).
    if (date == kNeverDate)
        return true;
    const double linear = Linear();
    if (linear > -657000.0 || linear < -657500.0)
        return false;
    return ToCalendar().year == 100;
}

CalendarFields DateTime::ToCalendar() const {
    CalendarFields f;
    if (!std::isfinite(date))
        return f;
    const long long totalSeconds = std::llround(Linear() * 86400.0);
    const long long days = FloorDiv(totalSeconds, 86400);
    const long long sod = totalSeconds - days * 86400;
    CivilFromDays(days + kOleEpochDays, f.year, f.month, f.day);
    f.hour = static_cast<int>(sod / 3600);
    f.minute = static_cast<int>(sod / 60 % 60);
    f.second = static_cast<int>(sod % 60);
    return f;
}

double DateTime::TimeOfDaySpan() const {
    const CalendarFields f = ToCalendar();
    return (f.hour * 3600.0 + f.minute * 60.0 + f.second) / 86400.0;
}

void DateTime::Encode(uint8_t* out12) const {
    ByteIO::PutF64(out12, date);
    ByteIO::PutI32(out12 + 8, status);
}

DateTime DateTime::Decode(const uint8_t* in12) {
    return DateTime(ByteIO::GetF64(in12), ByteIO::GetI32(in12 + 8));
}

double operator-(const DateTime& a, const DateTime& b) {
    return a.Linear() - b.Linear();
}
bool operator<(const DateTime& a, const DateTime& b) {
    return a.Linear() < b.Linear();
}
bool operator<=(const DateTime& a, const DateTime& b) {
    return a.Linear() <= b.Linear();
}
bool operator>(const DateTime& a, const DateTime& b) {
    return a.Linear() > b.Linear();
}
bool operator>=(const DateTime& a, const DateTime& b) {
    return a.Linear() >= b.Linear();
}
bool operator==(const DateTime& a, const DateTime& b) {
    return a.date == b.date && a.status == b.status;
}

SpanFields SplitSpan(double spanDays) {
    SpanFields s;
    if (!std::isfinite(spanDays))
        return s;
    const long long total = std::llround(spanDays * 86400.0);
    s.days = total / 86400;
    const long long rem = total % 86400;
    s.hours = static_cast<int>(rem / 3600);
    s.minutes = static_cast<int>(rem / 60 % 60);
    s.seconds = static_cast<int>(rem % 60);
    return s;
}

std::string FormatStamp(const DateTime& t) {
    const CalendarFields f = t.ToCalendar();
    char buf[64];
    const int m = (f.month >= 1 && f.month <= 12) ? f.month - 1 : 0;
    std::snprintf(buf, sizeof buf, "%02d.%s.%04d - %02d:%02d:%02d", f.day, kMonthAbbrev[m], f.year,
                  f.hour, f.minute, f.second);
    return buf;
}

std::string FormatLogTime(const DateTime& t) {
    const CalendarFields f = t.ToCalendar();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d/%d/%02d %d:%02d:%02d", f.month, f.day,
                  ((f.year % 100) + 100) % 100, f.hour, f.minute, f.second);
    return buf;
}

std::string FormatLocaleDateTime(const DateTime& t) {
    const CalendarFields f = t.ToCalendar();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %d:%02d:%02d", f.day, f.month, f.year, f.hour,
                  f.minute, f.second);
    return buf;
}

std::string FormatLocaleTime(const DateTime& t) {
    const CalendarFields f = t.ToCalendar();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", f.hour, f.minute, f.second);
    return buf;
}

std::string FormatHms(const DateTime& t) {
    const CalendarFields f = t.ToCalendar();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", f.hour, f.minute, f.second);
    return buf;
}

std::string FormatSpanHms(double spanDays) {
    const SpanFields s = SplitSpan(spanDays);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", std::abs(s.hours) % 24, std::abs(s.minutes),
                  std::abs(s.seconds));
    return buf;
}

std::optional<DateTime> ParseTimeOfDay(std::string_view text) {
    std::size_t pos = 0;
    auto skipBlanks = [&] {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
    };
    auto number = [&](int& out) {
        skipBlanks();
        const std::size_t start = pos;
        long v = 0;
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
            v = v * 10 + (text[pos] - '0');
            if (v > 1000)
                return false;
            ++pos;
        }
        out = static_cast<int>(v);
        return pos > start;
    };
    auto colon = [&] {
        skipBlanks();
        if (pos < text.size() && text[pos] == ':') {
            ++pos;
            return true;
        }
        return false;
    };
    int h = 0, m = 0, s = 0;
    if (!number(h) || !colon() || !number(m))
        return std::nullopt;
    const std::size_t afterMinutes = pos;
    if (colon()) {
        if (!number(s))
            return std::nullopt;
    } else {
        pos = afterMinutes;
    }
    skipBlanks();
    if (pos != text.size())
        return std::nullopt;
    if (h > 23 || m > 59 || s > 59)
        return std::nullopt;
    return DateTime::FromTimeOfDay(h, m, s);
}
