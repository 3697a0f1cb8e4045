// The refresh pass: status texts, row texts and icons, blinking and row states.
#include "ConsoleTestSupport.h"

using namespace consoletest;

namespace {

class RefreshTest : public ConsoleFixture {
protected:
    // Row of an object number in a snapshot.
    static const RowSnapshot& RowOf(const RefreshSnapshot& s, int32_t number) {
        for (const RowSnapshot& r : s.rows) {
            if (r.objectNumber == number)
                return r;
        }
        static const RowSnapshot none;
        ADD_FAILURE() << "no row for " << number;
        return none;
    }
    int EventIcon(int32_t number) { return RowOf(*console->RefreshView(), number).icons[0]; }
};

}  // namespace

TEST_F(RefreshTest, StatusTextsAndTheCellsOfShownRows) {
    Start();
    Process(Fix(12, kInA, At(9, 0), "x", 57.0));
    Object(12).inputs[9] = 1;  // "Датчик 2"

    const auto s = console->RefreshView();
    EXPECT_EQ(s->statusTexts[0], console->layout.lastMessageText);
    EXPECT_EQ(s->statusTexts[1], "1 (1)");
    EXPECT_EQ(s->statusTexts[2], "06.12.2026 12:00:00");
    EXPECT_EQ(console->StatusTexts(), s->statusTexts);
    EXPECT_FALSE(s->stoppedEarly);

    // Shown objects only, in store order.
    ASSERT_EQ(s->rows.size(), 2u);
    EXPECT_EQ(s->rows[0].objectNumber, 12);
    EXPECT_EQ(s->rows[0].objectIndex, IndexOf(12));
    EXPECT_EQ(s->rows[1].objectNumber, 7);

    const RowSnapshot& truck = s->rows[0];
    EXPECT_EQ(truck.texts[kColObject], "12 - Truck");
    EXPECT_EQ(truck.texts[kColZone], "A");
    EXPECT_EQ(truck.texts[kColZoneTime], "03:00:00");
    EXPECT_EQ(truck.texts[kColLastMessage], "00:00:00 (03:00:00)");
    EXPECT_EQ(truck.texts[kColSpeed], "57 (0)");
    EXPECT_EQ(truck.texts[kColPath], "0.00 (0.00)");
    EXPECT_EQ((std::vector<int>(truck.icons.begin(), truck.icons.end())),
              (std::vector<int>{0, 8, 7, 8, 8, 8}));
    EXPECT_EQ(truck.state, kRowStaleStamp);  // stamped 3 hours ago, heard just now
    EXPECT_TRUE(truck.recolour);

    // Never heard from: "---" for the message, silent and stale, in no zone.
    const RowSnapshot& bus = s->rows[1];
    EXPECT_EQ(bus.texts[kColLastMessage], "---");
    EXPECT_EQ(bus.texts[kColZone], "---");
    EXPECT_EQ(bus.texts[kColZoneTime], "---");
    EXPECT_EQ(bus.state, kRowSilent | kRowStaleStamp | kRowNoZone);

    // Recoloured only when the state changes.
    const auto again = console->RefreshView();
    EXPECT_FALSE(again->rows[0].recolour);
    EXPECT_FALSE(again->rows[1].recolour);
    EXPECT_EQ(Object(7).rowState, kRowSilent | kRowStaleStamp | kRowNoZone);

    console->ResetRunCounter();
    EXPECT_EQ(console->StatusTexts()[1], "0 (1)");
    console->ResetTotalCounter();
    EXPECT_EQ(console->StatusTexts()[1], "0 (0)");
    EXPECT_TRUE(console->FlushSaves());
    EXPECT_NE(ReadFile(folder.paths.layoutPath).find("[Count]\r\n0\r\n"), std::string::npos);
}

TEST_F(RefreshTest, EventIconsBlinkAndFollowTheKind) {
    Start();
    Object(12).lastEventKind = 6;
    Object(7).lastEventKind = 1;
    std::vector<int> alarm;
    std::vector<int> powerOn;
    for (int pass = 0; pass < 5; ++pass) {
        const auto s = console->RefreshView();
        alarm.push_back(RowOf(*s, 12).icons[0]);
        powerOn.push_back(RowOf(*s, 7).icons[0]);
    }
    EXPECT_EQ(alarm, (std::vector<int>{3, 4, 5, 6, 3}));
    EXPECT_EQ(powerOn, (std::vector<int>{1, 2, 1, 2, 1}));

    console->AcknowledgeAlerts({12});
    EXPECT_EQ(EventIcon(12), 0);
    const std::vector<std::pair<int, int>> fixed = {{5, 9},  {3, 10}, {4, 11}, {2, 12},
                                                    {-1, 0}, {-5, 0}, {0, 0}};
    for (const auto& [kind, icon] : fixed) {
        Object(12).lastEventKind = kind;
        EXPECT_EQ(EventIcon(12), icon) << "kind " << kind;
    }
}

TEST_F(RefreshTest, ThresholdsDecideTheRowState) {
    Start();
    ObjectRecord& o = Object(12);
    EXPECT_EQ(FormatHms(o.firstTimeout), "00:11:00");  // the default threshold
    o.secondTimeout = DateTime::FromTimeOfDay(0, 4, 0);
    o.currentZone = 2;
    o.currentZoneName = "C";
    o.lastReceivedAt = At(11, 50);  // 10 minutes ago
    o.lastMessageTime = At(11, 57);
    EXPECT_EQ(RowOf(*console->RefreshView(), 12).state, 0);

    clock.Set(At(12, 1));  // 11 minutes
    auto row = RowOf(*console->RefreshView(), 12);
    EXPECT_EQ(row.state, kRowSilent | kRowStaleStamp);
    EXPECT_TRUE(row.recolour);

    // Stamps three hours behind the local clock: a stamp of 08:57 is 3 minutes old at
    // 12:00, within a 4-minute threshold and at a 3-minute one.
    clock.Set(At(12, 0));
    console->store.timeOffsetMinutes = -180;
    o.lastReceivedAt = At(12, 0);
    o.lastMessageTime = At(8, 57);
    EXPECT_EQ(RowOf(*console->RefreshView(), 12).state, 0);
    o.secondTimeout = DateTime::FromTimeOfDay(0, 3, 0);
    EXPECT_EQ(RowOf(*console->RefreshView(), 12).state, kRowStaleStamp);

    // A threshold of 00:00:00 sets its bit for good.
    o.firstTimeout = DateTime::FromTimeOfDay(0, 0, 0);
    EXPECT_EQ(RowOf(*console->RefreshView(), 12).state, kRowSilent | kRowStaleStamp);
}

TEST_F(RefreshTest, ZoneCellNamesTheLastAndThePreviousZone) {
    Start();
    Process(Fix(12, kInA, At(9, 0), "a"));
    Process(Fix(12, kOutside, At(9, 1), "b"));
    EXPECT_EQ(RowOf(*console->RefreshView(), 12).texts[kColZone], "--- (A)");
    Process(Fix(12, kInB, At(9, 2), "c"));
    EXPECT_EQ(RowOf(*console->RefreshView(), 12).texts[kColZone], "B (A)");
}

TEST_F(RefreshTest, KeptTextsFollowEveryChangeOfTheirInputs) {
    Start();
    Process(Fix(12, kInA, At(9, 0), "a"));
    Process(Fix(12, kInB, At(9, 2), "b"));
    const auto texts = [&] {
        const RowSnapshot row = RowOf(*console->RefreshView(), 12);
        return std::vector<std::string>{row.texts[kColObject], row.texts[kColSpeed],
                                        row.texts[kColPath], row.texts[kColZone]};
    };
    using Texts = std::vector<std::string>;
    EXPECT_EQ(texts(), (Texts{"12 - Truck", "40 (0)", "0.00 (0.00)", "B (A)"}));

    // Changed in place between passes, one field at a time.
    const auto change = [&](const std::function<void(ObjectRecord&)>& edit) {
        auto lock = console->Lock();
        edit(Object(12));
    };
    change([](ObjectRecord& o) { o.name = "Tanker"; });
    EXPECT_EQ(texts()[0], "12 - Tanker");
    change([](ObjectRecord& o) { o.computedSpeedKmh = 3; });
    EXPECT_EQ(texts()[1], "40 (3)");
    change([](ObjectRecord& o) { o.dayPathMetres = -0.0; });
    EXPECT_EQ(texts()[2], "0.00 (-0.00)");
    change([](ObjectRecord& o) { o.history.zoneNames[1] = "C"; });
    EXPECT_EQ(texts()[3], "B (C)");
    change([](ObjectRecord& o) { o.history.visitCount = 1; });
    EXPECT_EQ(texts()[3], "B");
}

TEST_F(RefreshTest, DayPathIsClearedOnANewDay) {
    Start();
    Object(12).dayPathMetres = 5000;
    Object(12).lastMessageTime = At(1, 0);
    console->RefreshView();
    EXPECT_EQ(Object(12).dayPathMetres, 5000.0);
    Object(12).lastMessageTime = DateTime::FromCalendar(2026, 12, 5, 23, 59, 0);
    console->RefreshView();
    EXPECT_EQ(Object(12).dayPathMetres, 0.0);
}

TEST_F(RefreshTest, StopEndsThePassAfterTheRowInHand) {
    Start();
    Object(12).lastEventKind = 6;
    console->stopRefreshEvent.Set();
    const auto s = console->RefreshView();
    EXPECT_TRUE(s->stoppedEarly);
    ASSERT_EQ(s->rows.size(), 1u);
    EXPECT_EQ(s->rows[0].texts[kColObject], "12 - Truck");
    EXPECT_FALSE(s->rows[0].recolour);  // its colour waits for the next pass
    EXPECT_EQ(Object(12).rowState, -1);
    console->stopRefreshEvent.Reset();
    // The blink phase moved on all the same.
    EXPECT_EQ(EventIcon(12), 4);
}

TEST_F(RefreshTest, RowGenerationsMarkRebuiltAndReorderedRows) {
    Start();
    const uint64_t first = console->RefreshView()->rowsGeneration;
    console->ResetListRows();
    EXPECT_EQ(view.rowsResets(), std::vector<int>{2});
    EXPECT_EQ(Object(12).rowState, -1);
    const uint64_t rebuilt = console->RefreshView()->rowsGeneration;
    EXPECT_GT(rebuilt, first);

    // Header clicks: a new key sorts ascending, the same key again descending.
    EXPECT_TRUE(console->SortByKey(6));
    EXPECT_EQ(console->store.sortDescending, 0);
    EXPECT_EQ(console->store.Object(0).Number(), 5);
    auto s = console->RefreshView();
    EXPECT_GT(s->rowsGeneration, rebuilt);
    EXPECT_EQ(s->rows[0].objectNumber, 7);
    EXPECT_TRUE(s->rows[0].recolour);

    EXPECT_TRUE(console->SortByKey(6));
    EXPECT_EQ(console->store.sortDescending, 1);
    EXPECT_EQ(console->store.Object(0).Number(), 12);
    const uint64_t sorted = console->RefreshView()->rowsGeneration;

    EXPECT_FALSE(console->SortByKey(10));  // all speeds 0: nothing moves
    EXPECT_EQ(console->store.sortDescending, 0);
    EXPECT_EQ(console->RefreshView()->rowsGeneration, sorted);
}
