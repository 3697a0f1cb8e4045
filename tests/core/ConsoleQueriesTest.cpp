// What the windows read of the console (copies by value) and what they change through it.

#include "ConsoleTestSupport.h"
#include "console/ConsoleEdits.h"
#include "console/ConsoleQueries.h"
#include "console/LayoutEdits.h"

using namespace consoletest;

namespace {

using ConsoleQueriesTest = ConsoleFixture;

}  // namespace

TEST_F(ConsoleQueriesTest, DistancesAreCopiedForTheSelectedObjects) {
    Start();
    Process(Last(Fix(12, kInA, At(11, 59), W("Свежее"), 40.0)));
    const CConsoleQueries queries(*console);

    // Truck and Bus are selected; Bus has no position yet.
    const auto rows = queries.DistanceRows(0);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].title, W("12 - Truck"));
    EXPECT_EQ(rows[0].distance, W("0.00 км"));
    EXPECT_EQ(rows[0].zoneName, "A");
    EXPECT_TRUE(rows[0].inZone);
    EXPECT_EQ(rows[1].title, W("7 - Bus"));
    EXPECT_EQ(rows[1].distance, "---");
    EXPECT_EQ(rows[1].speed, "---");
    EXPECT_FALSE(rows[1].inZone);
    // A zone the map does not have measures nothing.
    const auto unknown = queries.DistanceRows(7);
    ASSERT_EQ(unknown.size(), 2u);
    EXPECT_EQ(unknown[0].distance, "---");
    EXPECT_FALSE(unknown[0].inZone);

    // A window finds its zone by name: the hint only while the zone there has it.
    const auto byName = queries.DistanceRowsOf("B", 0);
    EXPECT_EQ(byName.zone, 1);
    ASSERT_EQ(byName.rows.size(), 2u);
    EXPECT_FALSE(byName.rows[0].inZone);
    EXPECT_EQ(queries.DistanceRowsOf("A", 0).zone, 0);
    const auto gone = queries.DistanceRowsOf("Gone", 1);
    EXPECT_EQ(gone.zone, -1);
    ASSERT_EQ(gone.rows.size(), 2u);
    EXPECT_EQ(gone.rows[0].distance, "---");

    // Every zone, and nothing again while the object stands still.
    auto all = queries.ObjectZoneDistances(12, std::nullopt);
    ASSERT_TRUE(all.has_value());
    EXPECT_EQ(all->zoneNames, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(all->zoneNames, queries.ZoneNames());
    ASSERT_EQ(all->distances.size(), 3u);
    EXPECT_EQ(all->distances[0], W("0.00 км"));
    EXPECT_TRUE(all->key.hasPosition);
    const auto same = queries.ObjectZoneDistances(12, all->key);
    ASSERT_TRUE(same.has_value());
    EXPECT_EQ(same->key, all->key);
    EXPECT_TRUE(same->distances.empty());
    // Moved: measured anew.
    Process(Last(Fix(12, kInB, At(11, 59, 30), W("Дальше"), 40.0)));
    const auto moved = queries.ObjectZoneDistances(12, all->key);
    ASSERT_TRUE(moved.has_value());
    EXPECT_NE(moved->key, all->key);
    EXPECT_EQ(moved->distances[1], W("0.00 км"));
    EXPECT_FALSE(queries.ObjectZoneDistances(999, std::nullopt).has_value());
}

TEST_F(ConsoleQueriesTest, SelectionEditsNeedEveryObjectAndApplyToThoseStillThere) {
    Start();
    const CConsoleQueries queries(*console);
    std::string caption;
    EXPECT_TRUE(queries.ObjectSettingsOf({12, 7}, &caption).has_value());
    EXPECT_FALSE(caption.empty());
    // A row without an object, an object no longer in the store, no rows at all.
    EXPECT_FALSE(queries.ObjectSettingsOf({12, -1}).has_value());
    EXPECT_FALSE(queries.ObjectSettingsOf({12, 999}).has_value());
    EXPECT_FALSE(queries.ObjectSettingsOf({}).has_value());
    EXPECT_FALSE(queries.ZoneAssignmentOf({999}).has_value());
    const auto zones = queries.ZoneAssignmentOf({7});
    ASSERT_TRUE(zones.has_value());
    // The map's names come with it, so that the dialog needs nothing of the map.
    EXPECT_EQ(zones->zones.Names(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(zones->zones.FindFirst("C"), 2);

    ZoneAssignment assignment;
    assignment.Append(2, Destination);
    CConsoleEdits(*console).AssignZones({12, 999}, assignment);
    EXPECT_EQ(Object(12).zoneAssignment, assignment);
    EXPECT_FALSE(Object(7).zoneAssignment == assignment);
}

TEST_F(ConsoleQueriesTest, AddressBookIsEditedOnACopyAndAppliedToTheObjectsStillThere) {
    Start();
    Object(7).alarmMark = "y";
    Object(7).alertSettings[AlertSettings::kAlarmPopup] = 1;
    const DateTime oldFirst = Object(7).firstTimeout;
    const DateTime oldSecond = Object(7).secondTimeout;
    const std::vector<AddressBookEntry> entries = CConsoleQueries(*console).AddressBookEntries();

    // Store order: Truck and Bus shown, Van not.
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].id, "12");
    EXPECT_TRUE(entries[0].shown);
    EXPECT_EQ(entries[1].number, 7);
    EXPECT_EQ(entries[1].objectIndex, 1);
    EXPECT_EQ(entries[1].alarmMark, "y");
    EXPECT_EQ(entries[1].alertSettings, Object(7).alertSettings);
    EXPECT_EQ(entries[2].id, "5");
    EXPECT_FALSE(entries[2].shown);

    std::vector<AddressBookEntry> edited = entries;
    edited[1].shown = false;  // Bus hidden
    edited[2].shown = true;   // Van shown
    edited[0].firstTimeout = DateTime::FromTimeOfDay(1, 0, 0);
    edited[0].secondTimeout = DateTime::FromTimeOfDay(2, 0, 0);
    edited[0].thresholdsEdited = true;
    // Entries whose object is not where it was are left out: past the end, and a place
    // that another object holds now.
    AddressBookEntry gone = entries[1];
    gone.objectIndex = 3;
    gone.thresholdsEdited = true;
    AddressBookEntry moved = entries[2];
    moved.objectIndex = 0;
    moved.shown = false;
    moved.firstTimeout = DateTime::FromTimeOfDay(5, 0, 0);
    moved.thresholdsEdited = true;
    edited.insert(edited.end(), {gone, moved});
    // The copy is the window's own: the store has not changed.
    EXPECT_EQ(Object(7).selected, 1);

    const std::string statePath = console->store.FilePath(CDataStore::kSettingsFile);
    ASSERT_TRUE(console->FlushSaves());
    std::filesystem::remove(statePath);
    EXPECT_TRUE(CConsoleEdits(*console).ApplyAddressBook(edited));
    EXPECT_EQ(Object(12).selected, 1);
    EXPECT_EQ(Object(7).selected, 0);
    EXPECT_EQ(Object(5).selected, 1);
    EXPECT_EQ(Object(12).firstTimeout, DateTime::FromTimeOfDay(1, 0, 0));
    EXPECT_EQ(Object(12).secondTimeout, DateTime::FromTimeOfDay(2, 0, 0));
    EXPECT_EQ(Object(7).firstTimeout, oldFirst);
    EXPECT_EQ(Object(7).secondTimeout, oldSecond);
    EXPECT_EQ(console->store.selectedIdsText, "|12||5|");
    EXPECT_NE(ReadFile(folder.paths.settingsPath).find("SelectedIDs|12||5|\r\n"),
              std::string::npos);

    // New thresholds are saved with the state.
    ASSERT_TRUE(console->FlushSaves());
    ASSERT_TRUE(Exists(statePath));
    CDataStore reloaded(folder.dir.path());
    ASSERT_TRUE(reloaded.LoadAddressBook(folder.addressBook));
    reloaded.LoadState();
    const ObjectRecord& truck = reloaded.Object(reloaded.FindObjectByNumber(12));
    EXPECT_EQ(truck.firstTimeout, DateTime::FromTimeOfDay(1, 0, 0));
    EXPECT_EQ(truck.secondTimeout, DateTime::FromTimeOfDay(2, 0, 0));

    // Shown flags alone save the settings but do not write the state.
    std::filesystem::remove(statePath);
    std::vector<AddressBookEntry> again = CConsoleQueries(*console).AddressBookEntries();
    ASSERT_EQ(again.size(), 3u);
    EXPECT_FALSE(again[1].shown);
    again[1].shown = true;
    EXPECT_TRUE(CConsoleEdits(*console).ApplyAddressBook(again));
    ASSERT_TRUE(console->FlushSaves());
    EXPECT_FALSE(Exists(statePath));
    EXPECT_NE(ReadFile(folder.paths.settingsPath).find("SelectedIDs|12||7||5|\r\n"),
              std::string::npos);
}

TEST_F(ConsoleQueriesTest, LayoutEditsKeepNamesAndPlacementsInStep) {
    Start();
    CLayoutEdits edits(*console);
    WindowPlacement first;
    first.rect = {1, 2, 301, 202};
    WindowPlacement second;
    second.rect = {5, 6, 405, 306};
    {
        auto lock = console->Lock();
        console->layout.smallWindowNames = {"B", "Gone", "A"};
        console->layout.smallWindowPlacements = {first, second, second};
        console->layout.columnIds = {kColObject, 99, kColZone, -1};
        console->layout.columnWidths = {10, 20, 30};
    }
    // Distance windows of zones the map no longer has are dropped, names and places
    // alike.
    const auto kept = edits.KeepKnownSmallWindows(10);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].zone, 1);
    EXPECT_EQ(kept[0].placement, first);
    EXPECT_EQ(kept[1].zone, 0);
    edits.RemoveSmallWindow(0);
    edits.SetSmallWindowPlacement(3, first);  // no such window: nothing changes
    const WindowLayout layout = CConsoleQueries(*console).Layout();
    EXPECT_EQ(layout.smallWindowNames, (std::vector<std::string>{"A"}));
    EXPECT_EQ(layout.smallWindowPlacements, (std::vector<WindowPlacement>{second}));

    // Unknown column ids go with their widths.
    const auto [ids, widths] = edits.KeepKnownColumns();
    EXPECT_EQ(ids, (std::vector<int32_t>{kColObject, kColZone}));
    EXPECT_EQ(widths, (std::vector<int32_t>{10, 30}));

    // History records: "%04i" numbers; a closed window forgets its place.
    edits.MarkHistoryWindowOpen(7, first.rect);
    edits.MarkHistoryWindowOpen(7, second.rect);  // the record is there: only marked open
    edits.SetHistoryPlacement(9, second);         // no record: none is made
    WindowLayout now = CConsoleQueries(*console).Layout();
    ASSERT_EQ(now.historyWindowNumbers, (std::vector<std::string>{"0007"}));
    EXPECT_EQ(now.historyWindowPlacements[0].placement.rect, first.rect);
    EXPECT_EQ(now.historyWindowPlacements[0].state, 1);
    edits.MarkHistoryWindowClosed(7);
    now = CConsoleQueries(*console).Layout();
    EXPECT_EQ(now.historyWindowPlacements[0].state, -1);
    EXPECT_EQ(now.historyWindowPlacements[0].placement, WindowPlacement{});

    // The map's place follows its moves only while it is open.
    edits.SetMapPlacement(first.rect, -1);
    edits.SetMapRectIfOpen(second.rect);
    EXPECT_EQ(CConsoleQueries(*console).Layout().mapPlacement.rect, first.rect);
    edits.SetMapPlacement(first.rect, 1);
    edits.SetMapRectIfOpen(second.rect);
    EXPECT_EQ(CConsoleQueries(*console).Layout().mapPlacement.rect, second.rect);
}
