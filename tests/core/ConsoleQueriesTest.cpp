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
    EXPECT_TRUE(queries.ZoneAssignmentOf({7}).has_value());

    ZoneAssignment assignment;
    assignment.Append(2, Destination);
    CConsoleEdits(*console).AssignZones({12, 999}, assignment);
    EXPECT_EQ(Object(12).zoneAssignment, assignment);
    EXPECT_FALSE(Object(7).zoneAssignment == assignment);
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
