#include <gtest/gtest.h>

#include "model/DataStore.h"
#include "platform/Platform.h"

namespace {

// Adds accepted objects the way the address-book loader does.
void AddObject(CDataStore& store, const std::string& id, bool selected = false) {
    store.AppendObject();
    ObjectRecord& o = store.Object(store.objectCount);
    o.id = id;
    o.name = "obj" + id;
    o.selected = selected ? 1 : 0;
    ++store.objectCount;
}

}  // namespace

TEST(DataStoreTest, LookupsByIdAndNumber) {
    CDataStore store("/data");
    EXPECT_EQ(store.FindObjectByNumber(0), -1);
    EXPECT_EQ(store.FindObjectByNumber(7), -1);
    EXPECT_EQ(store.FindObjectById(""), -1);

    AddObject(store, "12");
    AddObject(store, "0007");
    AddObject(store, "7abc");
    AddObject(store, "abc");
    EXPECT_EQ(store.FindObjectByNumber(7), 1);  // the first with the value 7 wins
    EXPECT_EQ(store.FindObjectByNumber(12), 0);
    EXPECT_EQ(store.FindObjectByNumber(0), 3);  // no digits count as 0
    EXPECT_EQ(store.FindObjectByNumber(8), -1);
    EXPECT_EQ(store.FindObjectById("7abc"), 2);
    EXPECT_EQ(store.FindObjectById("7"), -1);  // byte for byte, not by value
    EXPECT_EQ(store.FindObjectById("0007"), 1);

    // An appended but not yet accepted object is invisible to the lookups.
    store.AppendObject();
    store.Object(store.objectCount).id = "99";
    EXPECT_EQ(store.FindObjectByNumber(99), -1);
    EXPECT_EQ(store.FindObjectById("99"), -1);
}

TEST(DataStoreTest, ClearKeepsSelectionOffsetAndFolder) {
    CDataStore store("/data");
    store.selectedIdsText = "|1|";
    store.timeOffsetMinutes = 60;
    AddObject(store, "1", true);
    store.ClearObjects();
    EXPECT_EQ(store.objectCount, 0);
    EXPECT_EQ(store.FindObjectById("1"), -1);
    EXPECT_EQ(store.selectedIdsText, "|1|");
    EXPECT_EQ(store.timeOffsetMinutes, 60);
    EXPECT_EQ(store.FilePath(CDataStore::kMessagesFile),
              std::string("/data") + Platform::kSeparator + "SntQMXMSG.dat");
}

TEST(DataStoreTest, SelectedIdsTextFollowsIndexOrder) {
    CDataStore store("/data");
    EXPECT_EQ(store.BuildSelectedIdsText(), "");
    AddObject(store, "12", true);
    AddObject(store, "5", false);
    AddObject(store, "7", true);
    EXPECT_EQ(store.BuildSelectedIdsText(), "|12||7|");
    store.Object(0).selected = 0;
    store.Object(2).selected = 0;
    EXPECT_EQ(store.BuildSelectedIdsText(), "");
    // A not yet accepted object does not count either.
    store.AppendObject();
    store.Object(3).id = "9";
    store.Object(3).selected = 1;
    EXPECT_EQ(store.BuildSelectedIdsText(), "");
}

TEST(DataStoreTest, TimeOffsetModes) {
    CDataStore store("/data");
    AddObject(store, "1");
    AddObject(store, "2");
    const DateTime threeHours = DateTime::FromTimeOfDay(3, 0, 0);

    store.SetTimeOffset(-1, threeHours, -120);
    EXPECT_EQ(store.timeOffsetMinutes, -180);
    EXPECT_EQ(store.Object(0).history.displayOffsetMinutes, -180);
    EXPECT_EQ(store.Object(1).history.displayOffsetMinutes, -180);

    store.SetTimeOffset(1, threeHours, -120);
    EXPECT_EQ(store.timeOffsetMinutes, 180);
    // Seconds do not count; the date part of the span does not either.
    store.SetTimeOffset(1, DateTime::FromCalendar(2024, 5, 1, 2, 30, 59), std::nullopt);
    EXPECT_EQ(store.timeOffsetMinutes, 150);

    store.SetTimeOffset(3, threeHours, -120);
    EXPECT_EQ(store.timeOffsetMinutes, 0);
    EXPECT_EQ(store.Object(1).history.displayOffsetMinutes, 0);

    store.SetTimeOffset(2, threeHours, -180);
    EXPECT_EQ(store.timeOffsetMinutes, -180);
    store.SetTimeOffset(-2, threeHours, 300);
    EXPECT_EQ(store.timeOffsetMinutes, 300);
    store.SetTimeOffset(2, threeHours, std::nullopt);  // the system could not tell
    EXPECT_EQ(store.timeOffsetMinutes, 0);

    // Other modes keep the offset but still hand it to the histories.
    store.SetTimeOffset(1, threeHours, std::nullopt);
    store.Object(0).history.displayOffsetMinutes = 0;
    store.SetTimeOffset(0, DateTime::FromTimeOfDay(5, 0, 0), -60);
    EXPECT_EQ(store.timeOffsetMinutes, 180);
    EXPECT_EQ(store.Object(0).history.displayOffsetMinutes, 180);
    store.SetTimeOffset(4, DateTime::FromTimeOfDay(5, 0, 0), -60);
    EXPECT_EQ(store.timeOffsetMinutes, 180);
}

TEST(DataStoreTest, ObjectsAddedLaterShowHistoryWithTheOffset) {
    // The offset is set at start, before the address book; objects come after it, also
    // when the book is reloaded, and without a history file to load.
    CDataStore store("/data");
    store.SetTimeOffset(-1, DateTime::FromTimeOfDay(3, 0, 0), std::nullopt);
    AddObject(store, "1");
    EXPECT_EQ(store.Object(0).history.displayOffsetMinutes, -180);
    store.ClearObjects();
    AddObject(store, "2");
    VisitHistory& h = store.Object(0).history;
    EXPECT_EQ(h.displayOffsetMinutes, -180);
    const DateTime arrival = DateTime::FromCalendar(2024, 5, 1, 10, 0, 0);
    h.StartVisit("Depot", 0, arrival, arrival);
    EXPECT_EQ(h.ArrivalTimeShown(0).ToCalendar().hour, 13);
}
