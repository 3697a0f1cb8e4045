#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/Cp1251.h"
#include "model/DataStore.h"

namespace {

DateTime At(int year, int month, int day, int hour, int minute = 0, int second = 0) {
    return DateTime::FromCalendar(year, month, day, hour, minute, second);
}

class StatusTextsTest : public ::testing::Test {
protected:
    CDataStore store{"/nonexistent"};
    void SetUp() override {
        store.AppendObject();
        store.objectCount = 1;
    }
    ObjectRecord& o() { return store.Object(0); }
};

}  // namespace

TEST_F(StatusTextsTest, ObjectNeverHeardFrom) {
    EXPECT_EQ(store.BuildTooltip(0), W("Нет полученных сообщений"));
    EXPECT_EQ(store.FormatZoneTime(0, At(2024, 5, 1, 12)), "---");
    // Even an event text does not add to the "nothing received" tip.
    o().lastEventText = "Z";
    o().lastEventKind = 6;
    EXPECT_EQ(store.BuildTooltip(0), W("Нет полученных сообщений"));
}

TEST_F(StatusTextsTest, NumberCells) {
    o().id = "0012";
    o().name = W("Грузовик");
    o().speedKmh = 57;
    o().computedSpeedKmh = 61;
    o().pathMetres = 12345.6;
    o().dayPathMetres = 999;
    EXPECT_EQ(store.FormatIdAndName(0), "0012 - " + W("Грузовик"));
    EXPECT_EQ(store.FormatSpeed(0), "57 (61)");
    EXPECT_EQ(store.FormatPath(0), "12.35 (1.00)");
    o().speedKmh = -3;
    o().pathMetres = 0;
    o().dayPathMetres = 4.9;
    EXPECT_EQ(store.FormatSpeed(0), "-3 (61)");
    EXPECT_EQ(store.FormatPath(0), "0.00 (0.00)");

    // The extremes read as printf's "%i" and "%.02f" write them.
    EXPECT_EQ(SpeedText(INT32_MIN, INT32_MAX), "-2147483648 (2147483647)");
    EXPECT_EQ(PathText(-0.0, 2.5), "-0.00 (0.00)");
    EXPECT_EQ(PathText(1234.5, 5.0), "1.23 (0.01)");  // 1.2345 is just below, 0.005 above
    EXPECT_EQ(PathText(123456789012.0, -7.0), "123456789.01 (-0.01)");
    EXPECT_EQ(PathText(std::numeric_limits<double>::infinity(), std::nan("")), "inf (nan)");
    EXPECT_EQ(PathText(1.7e308, 0).size(), 306u + 3 + 7);
}

TEST(FormatAgeTest, HoursMinutesSecondsUnderADayThenWholeHours) {
    const DateTime t = At(2024, 5, 1, 10);
    EXPECT_EQ(FormatAge(t, t), "00:00:00");
    EXPECT_EQ(FormatAge(t, At(2024, 5, 1, 10, 7, 5)), "00:07:05");
    EXPECT_EQ(FormatAge(t, At(2024, 5, 2, 9, 59, 59)), "23:59:59");
    EXPECT_EQ(FormatAge(t, At(2024, 5, 2, 10)), W(">24 час."));
    EXPECT_EQ(FormatAge(t, At(2024, 5, 2, 12, 30)), W(">26 час."));
    EXPECT_EQ(FormatAge(t, At(2024, 5, 6, 15, 59)), W(">125 час."));
    // A stamp later than the reference.
    EXPECT_EQ(FormatAge(t, At(2024, 5, 1, 9, 59, 59)), "00:00:00");
    EXPECT_EQ(FormatAge(t, At(2023, 5, 1, 10)), "00:00:00");
}

TEST_F(StatusTextsTest, StampsShownWithTheOffset) {
    store.timeOffsetMinutes = -180;
    o().lastMessageTime = At(2024, 3, 7, 9);
    o().lastEventTime = At(2024, 12, 31, 22, 5, 7);
    o().lastReceivedAt = At(2024, 3, 7, 9, 1, 2);
    EXPECT_EQ(store.FormatMessageTime(0), "07.Mar.2024 - 12:00:00");
    EXPECT_EQ(store.FormatEventTime(0), "01.Jan.2025 - 01:05:07");
    EXPECT_EQ(store.FormatReceivedAt(0), "07.Mar.2024 - 09:01:02");  // local already

    // Ages: receipt against local now, the message stamp against the shifted now.
    const DateTime now = At(2024, 3, 7, 12, 30);  // shifted now = 09:30
    EXPECT_EQ(store.FormatLastMessageAge(0, now), "03:28:58 (00:30:00)");
}

TEST_F(StatusTextsTest, ZoneTimeAgainstTheShiftedNow) {
    store.timeOffsetMinutes = 180;
    const DateTime now = At(2024, 3, 7, 12);  // terminal's clock: 15:00
    o().zoneEntryTime = At(2024, 3, 7, 13);
    EXPECT_EQ(store.FormatZoneTime(0, now), "02:00:00");
    o().zoneEntryTime = At(2024, 3, 5, 14);
    EXPECT_EQ(store.FormatZoneTime(0, now), W(">49 час."));
    o().zoneEntryTime = At(2024, 3, 7, 16);  // entered "in the future"
    EXPECT_EQ(store.FormatZoneTime(0, now), "00:00:00");
}

TEST_F(StatusTextsTest, TooltipForEveryEventKind) {
    o().lastReceivedAt = At(2024, 6, 1, 8, 0, 1);
    o().lastMessageTime = At(2024, 6, 1, 5, 0, 0);
    o().lastEventTime = At(2024, 6, 1, 4, 30, 0);
    store.timeOffsetMinutes = -180;
    o().lastEventText = W("Склад");
    o().alarmText = W("Нападение");
    const std::string head =
        W("Последнее сообщение получено:\n") + "01.Jun.2024 - 08:00:01 (01.Jun.2024 - 08:00:00)";
    const std::string e = "01.Jun.2024 - 07:30:00";

    const std::string expected[7] = {
        head,
        head + W("\nВключение:\n") + e + "\n" + W("Склад"),
        head + W("\r\nОбъект покинул район назначения\r\nСклад\n") + e,
        head + W("\r\nОбъект покинул запрещенный район\r\nСклад\n") + e,
        head + W("\r\nОбъект прибыл в район назначения\r\nСклад\n") + e,
        head + W("\r\nОбъект прибыл в запрещенный район\r\nСклад\n") + e,
        head + W("\nТревога:\n") + e + "\n" + W("Склад\nНападение"),
    };
    for (int kind = 0; kind <= 6; ++kind) {
        o().lastEventKind = kind;
        EXPECT_EQ(store.BuildTooltip(0), expected[kind]) << kind;
        o().lastEventKind = -kind;  // acknowledged events read the same
        EXPECT_EQ(store.BuildTooltip(0), expected[kind]) << -kind;
    }
    for (int kind : {7, -7, INT32_MIN}) {
        o().lastEventKind = kind;
        EXPECT_EQ(store.BuildTooltip(0), head);
    }
    // No event text: nothing about the event.
    o().lastEventKind = 6;
    o().lastEventText.clear();
    EXPECT_EQ(store.BuildTooltip(0), head);
}

TEST_F(StatusTextsTest, AnotherDayComparesMonthAndDayOnly) {
    store.timeOffsetMinutes = 0;
    o().lastMessageTime = At(2023, 12, 6, 23, 59);
    EXPECT_FALSE(store.IsLastMessageFromAnotherDay(0, At(2024, 12, 6, 0, 1)));
    EXPECT_TRUE(store.IsLastMessageFromAnotherDay(0, At(2023, 12, 7, 0, 1)));
    EXPECT_TRUE(store.IsLastMessageFromAnotherDay(0, At(2023, 11, 6, 12)));

    // 22:00 on the terminal's clock is 01:00 the next day here.
    store.timeOffsetMinutes = -180;
    o().lastMessageTime = At(2024, 3, 5, 22);
    EXPECT_FALSE(store.IsLastMessageFromAnotherDay(0, At(2024, 3, 6, 10)));
    EXPECT_TRUE(store.IsLastMessageFromAnotherDay(0, At(2024, 3, 5, 23)));

    o().dayPathMetres = 1500;
    EXPECT_FALSE(store.ResetDayPathIfNewDay(0, At(2024, 3, 6, 10)));
    EXPECT_EQ(o().dayPathMetres, 1500);
    EXPECT_TRUE(store.ResetDayPathIfNewDay(0, At(2024, 3, 7, 0, 0, 1)));
    EXPECT_EQ(o().dayPathMetres, 0);
}

TEST_F(StatusTextsTest, ZoneCell) {
    EXPECT_EQ(store.FormatZoneCell(0), "---");
    o().lastZoneName = W("Парк");
    EXPECT_EQ(store.FormatZoneCell(0), "--- (" + W("Парк") + ")");

    o().currentZone = 2;
    o().currentZoneName = W("Склад");
    o().history.StartVisit(W("Склад"), 2, At(2024, 1, 1, 1), At(2024, 1, 1, 1));
    EXPECT_EQ(store.FormatZoneCell(0), W("Склад"));
    o().history.StartVisit(W("Склад"), 2, At(2024, 1, 2, 1), At(2024, 1, 2, 1));
    o().history.zoneNames[1] = W("Парк");
    EXPECT_EQ(store.FormatZoneCell(0), W("Склад (Парк)"));
}
