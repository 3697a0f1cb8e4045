#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Calendar fields of a date-time value, as the terminal system and the files use them.
struct CalendarFields {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// A date-time as the terminal system writes it: an OLE Automation date (days since
// 30 December 1899 00:00, the fraction being the time of day) and a status word
// (0 = valid). Twelve bytes wherever it is stored.
//
// OLE dates before the epoch keep a positive time-of-day fraction: -1.25 is
// 29 December 1899 06:00. Arithmetic therefore goes through the "linear" day count
// (-0.75 for that value), never through the raw double.
struct DateTime {
    static constexpr double kNeverDate = -657434.0;  // 1 January 100, 00:00:00
    static constexpr std::size_t kEncodedSize = 12;

    double date = kNeverDate;
    int32_t status = 0;

    constexpr DateTime() = default;
    constexpr DateTime(double oleDate, int32_t st = 0) : date(oleDate), status(st) {}

    static DateTime Never() { return DateTime(kNeverDate, 0); }
    // Exact conversion from calendar fields (proleptic Gregorian calendar).
    static DateTime FromCalendar(int year, int month, int day, int hour = 0, int minute = 0,
                                 int second = 0);
    // A time of day (date part 30 December 1899): what thresholds and offsets use.
    static DateTime FromTimeOfDay(int hour, int minute, int second);
    // Value from a linear day count (see above).
    static DateTime FromLinear(double days);

    // Calendar fields, rounded to the nearest second.
    CalendarFields ToCalendar() const;
    // The value "never" is recognised by its year, as the files expect.
    bool IsNever() const;
    bool IsValid() const { return status == 0; }

    double Linear() const;
    // Span of the time of day (hours, minutes, seconds) in days; the date is ignored.
    double TimeOfDaySpan() const;
    DateTime AddDays(double days) const { return FromLinear(Linear() + days); }
    DateTime AddMinutes(double minutes) const { return AddDays(minutes / 1440.0); }

    // Encoding as stored in every file: little-endian double, then little-endian int32.
    void Encode(uint8_t* out12) const;
    static DateTime Decode(const uint8_t* in12);
};

// Span between two values in days (a - b).
double operator-(const DateTime& a, const DateTime& b);
bool operator<(const DateTime& a, const DateTime& b);
bool operator<=(const DateTime& a, const DateTime& b);
bool operator>(const DateTime& a, const DateTime& b);
bool operator>=(const DateTime& a, const DateTime& b);
bool operator==(const DateTime& a, const DateTime& b);

// A span in days split into whole days, hours, minutes and seconds (rounded to the
// nearest second). Negative spans give negative fields.
struct SpanFields {
    long long days = 0;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
};
SpanFields SplitSpan(double spanDays);

// Fixed text forms. None of them depends on the platform locale.
// "%d.%b.%Y - %H:%M:%S" with English month abbreviations, e.g. "06.Dec.2026 - 09:05:07".
std::string FormatStamp(const DateTime& t);
// The log's "%c" form, M/d/yy H:mm:ss, e.g. "12/6/26 9:05:07".
std::string FormatLogTime(const DateTime& t);
// The Russian default date-and-time form, dd.MM.yyyy H:mm:ss, e.g. "06.12.2026 9:05:07".
std::string FormatLocaleDateTime(const DateTime& t);
// The time-only form H:mm:ss, e.g. "9:05:07".
std::string FormatLocaleTime(const DateTime& t);
// "%H:%M:%S" of the time of day, e.g. "00:11:00".
std::string FormatHms(const DateTime& t);
// "%H:%M:%S" of a span shorter than a day (hours taken modulo 24).
std::string FormatSpanHms(double spanDays);

// Parses a time of day: "H:MM:SS", "HH:MM", "H:M", blanks around the parts allowed.
// Hours 0..23, minutes and seconds 0..59. Returns the time of day or nothing.
std::optional<DateTime> ParseTimeOfDay(std::string_view text);
