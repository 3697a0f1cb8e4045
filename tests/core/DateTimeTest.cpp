#include <gtest/gtest.h>

#include <cstring>

#include "base/DateTime.h"

namespace {

void ExpectFields(const DateTime& t, int y, int mo, int d, int h, int mi, int s) {
    const CalendarFields f = t.ToCalendar();
    EXPECT_EQ(f.year, y);
    EXPECT_EQ(f.month, mo);
    EXPECT_EQ(f.day, d);
    EXPECT_EQ(f.hour, h);
    EXPECT_EQ(f.minute, mi);
    EXPECT_EQ(f.second, s);
}

TEST(DateTime, KnownOleDates) {
    ExpectFields(DateTime(0.0), 1899, 12, 30, 0, 0, 0);
    ExpectFields(DateTime(2.5), 1900, 1, 1, 12, 0, 0);
    ExpectFields(DateTime(1.0), 1899, 12, 31, 0, 0, 0);
    // 1 January 2000 is day 36526 of the OLE calendar.
    ExpectFields(DateTime(36526.0), 2000, 1, 1, 0, 0, 0);
    EXPECT_DOUBLE_EQ(DateTime::FromCalendar(2000, 1, 1).date, 36526.0);
    // 29 February 2024, 18:00 = 45351.75.
    EXPECT_DOUBLE_EQ(DateTime::FromCalendar(2024, 2, 29, 18, 0, 0).date, 45351.75);
    ExpectFields(DateTime(45351.75), 2024, 2, 29, 18, 0, 0);
}

TEST(DateTime, DatesBeforeTheEpochKeepAPositiveTimeOfDay) {
    // -1.25 is 29 December 1899, 06:00; linearly it lies 0.75 days before the epoch.
    ExpectFields(DateTime(-1.25), 1899, 12, 29, 6, 0, 0);
    EXPECT_DOUBLE_EQ(DateTime::FromCalendar(1899, 12, 29, 6, 0, 0).date, -1.25);
    EXPECT_DOUBLE_EQ(DateTime(-1.25).Linear(), -0.75);
    EXPECT_NEAR(DateTime(0.25) - DateTime(-1.25), 1.0, 1e-12);
    // 1 January 1800.
    ExpectFields(DateTime::FromCalendar(1800, 1, 1, 23, 59, 59), 1800, 1, 1, 23, 59, 59);
    EXPECT_DOUBLE_EQ(DateTime::FromCalendar(1800, 1, 1).date, -36522.0);
}

TEST(DateTime, NeverValue) {
    EXPECT_DOUBLE_EQ(DateTime::FromCalendar(100, 1, 1).date, -657434.0);
    EXPECT_TRUE(DateTime::Never().IsNever());
    EXPECT_TRUE(DateTime().IsNever());
    EXPECT_FALSE(DateTime(0.0).IsNever());
    ExpectFields(DateTime::Never(), 100, 1, 1, 0, 0, 0);
}

TEST(DateTime, RoundTripOfCalendarFields) {
    for (int y : {1601, 1899, 1900, 1970, 2000, 2026, 9999}) {
        for (int m : {1, 2, 6, 12}) {
            const DateTime t = DateTime::FromCalendar(y, m, 28, 23, 59, 59);
            ExpectFields(t, y, m, 28, 23, 59, 59);
        }
    }
}

TEST(DateTime, TwelveByteEncoding) {
    uint8_t buf[12];
    DateTime(2.5, 0).Encode(buf);
    const uint8_t expected[12] = {0, 0, 0, 0, 0, 0, 0x04, 0x40, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(buf, expected, 12), 0);
    DateTime(1.0, -1).Encode(buf);
    const uint8_t expected2[12] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(buf, expected2, 12), 0);
    const DateTime back = DateTime::Decode(expected2);
    EXPECT_EQ(back.date, 1.0);
    EXPECT_EQ(back.status, -1);
}

TEST(DateTime, FixedFormats) {
    const DateTime t = DateTime::FromCalendar(2026, 12, 6, 9, 5, 7);
    EXPECT_EQ(FormatStamp(t), "06.Dec.2026 - 09:05:07");
    EXPECT_EQ(FormatLogTime(t), "12/6/26 9:05:07");
    EXPECT_EQ(FormatLocaleDateTime(t), "06.12.2026 9:05:07");
    EXPECT_EQ(FormatLocaleTime(t), "9:05:07");
    EXPECT_EQ(FormatHms(t), "09:05:07");
    EXPECT_EQ(FormatLogTime(DateTime::FromCalendar(2005, 1, 2, 23, 0, 0)), "1/2/05 23:00:00");
}

TEST(DateTime, SpansAndTimeOfDay) {
    const DateTime a = DateTime::FromCalendar(2026, 12, 6, 12, 0, 0);
    const DateTime b = DateTime::FromCalendar(2026, 12, 5, 9, 30, 0);
    const SpanFields s = SplitSpan(a - b);
    EXPECT_EQ(s.days, 1);
    EXPECT_EQ(s.hours, 2);
    EXPECT_EQ(s.minutes, 30);
    EXPECT_EQ(s.seconds, 0);
    EXPECT_NEAR(a.TimeOfDaySpan(), 0.5, 1e-12);
    EXPECT_EQ(FormatSpanHms(DateTime::FromTimeOfDay(23, 59, 59).TimeOfDaySpan()), "23:59:59");
    EXPECT_TRUE(b < a);
    EXPECT_TRUE(a.AddMinutes(-180) < a);
    ExpectFields(a.AddMinutes(-180), 2026, 12, 6, 9, 0, 0);
}

TEST(DateTime, ParsesTimeOfDayTexts) {
    auto t = ParseTimeOfDay("0:11:00");
    ASSERT_TRUE(t);
    EXPECT_EQ(FormatHms(*t), "00:11:00");
    t = ParseTimeOfDay(" 03 : 00 ");
    ASSERT_TRUE(t);
    EXPECT_EQ(FormatHms(*t), "03:00:00");
    t = ParseTimeOfDay("23:59:59");
    ASSERT_TRUE(t);
    EXPECT_EQ(FormatHms(*t), "23:59:59");
    EXPECT_FALSE(ParseTimeOfDay("abc"));
    EXPECT_FALSE(ParseTimeOfDay(""));
    EXPECT_FALSE(ParseTimeOfDay("24:00:00"));
    EXPECT_FALSE(ParseTimeOfDay("12:60"));
    EXPECT_FALSE(ParseTimeOfDay("12"));
    EXPECT_FALSE(ParseTimeOfDay("12:30:xx"));
}

}  // namespace
