// Arrivals and departures: visits, event kinds, notices and sounds along a route.
#include "ConsoleTestSupport.h"

using namespace consoletest;

namespace {

using ZoneEventsTest = ConsoleFixture;

std::string Notice(const std::string& time, const std::string& what, const std::string& zone) {
    return W("Внимание!\r\n") + time + W("\r\nОбъект 12 - Truck ") + W(what) + W(":\r\n") + zone;
}

double NorthSteps(double metres) {
    return metres / (Geometry::kEarthRadiusMetres * Geometry::kDegToRad);
}

}  // namespace

TEST_F(ZoneEventsTest, RouteThroughDestinationAndForbiddenZones) {
    Start();
    EnableAll(12);
    Assign(12, 0, Destination);  // A
    Assign(12, 1, Forbidden);    // B
    const std::string fresh = W("Свежее");
    ObjectRecord& o = Object(12);

    Process(Fix(12, kOutside, At(9, 0), fresh));
    EXPECT_EQ(o.history.visitCount, 0);
    EXPECT_EQ(view.historyChanges(), 0);
    EXPECT_EQ(o.lastEventKind, 0);

    // Into the destination zone.
    Process(Fix(12, kInA, At(9, 1), fresh));
    EXPECT_EQ(o.currentZone, 0);
    EXPECT_EQ(o.lastEventKind, 4);
    EXPECT_EQ(o.lastEventText, "A");
    EXPECT_EQ(o.lastEventTime, At(9, 1));
    EXPECT_EQ(o.zoneEntryTime, At(9, 1));
    EXPECT_EQ(o.zonePathMetres, 0.0);
    ASSERT_EQ(o.history.visitCount, 1);
    EXPECT_EQ(o.history.ZoneName(0), "A");
    EXPECT_EQ(o.history.ArrivalTime(0), At(9, 1));
    EXPECT_EQ(o.history.DepartureTime(0), TestNow());  // an open visit "ends" now
    EXPECT_EQ(o.history.lastVisitClosed, 0);
    EXPECT_EQ(view.historyChanges(), 1);
    EXPECT_TRUE(Exists(folder.dir.path() + "/SntHistory.dat"));
    EXPECT_TRUE(WaitUntil([&] { return sound.lastPlay() == kDestinationWav; }));
    EXPECT_EQ(console->soundKind(), static_cast<int>(AlertKind::DestinationZone));

    // Straight on into the forbidden zone: the departure notice comes first.
    Process(Fix(12, kInB, At(9, 2), fresh));
    EXPECT_EQ(o.currentZoneName, "B");
    EXPECT_EQ(o.lastEventKind, 5);
    EXPECT_EQ(o.lastEventText, "B");
    ASSERT_EQ(o.history.visitCount, 2);
    EXPECT_EQ(o.history.ZoneName(0), "B");
    EXPECT_EQ(o.history.ZoneName(1), "A");
    EXPECT_EQ(o.history.DepartureTime(1), At(9, 2));
    EXPECT_EQ(view.historyChanges(), 2);
    EXPECT_TRUE(WaitUntil([&] { return sound.lastPlay() == kForbiddenWav; }));

    // Out into open ground: a departure of kind 3 does not replace the pending 5.
    Process(Fix(12, kOutside, At(9, 3), fresh));
    EXPECT_EQ(o.currentZone, -1);
    EXPECT_EQ(o.currentZoneName, "---");
    EXPECT_EQ(o.lastZoneName, "B");
    EXPECT_EQ(o.lastEventKind, 5);
    EXPECT_EQ(o.lastEventTime, At(9, 2));
    EXPECT_EQ(o.history.visitCount, 2);
    EXPECT_EQ(o.history.DepartureTime(0), At(9, 3));
    EXPECT_EQ(o.history.lastVisitClosed, 1);

    const std::vector<PopupCall> popups = view.popups();
    ASSERT_EQ(popups.size(), 4u);
    EXPECT_EQ(popups[0].text, Notice("06.Dec.2026 - 09:01:00", "прибыл в район назначения", "A"));
    EXPECT_EQ(popups[0].kind, PopupKind::DestinationZone);
    EXPECT_EQ(popups[1].text, Notice("06.Dec.2026 - 09:02:00", "выбыл из района назначения", "A"));
    EXPECT_EQ(popups[1].kind, PopupKind::DestinationZone);
    EXPECT_EQ(popups[2].text, Notice("06.Dec.2026 - 09:02:00", "прибыл в запрещенный район", "B"));
    EXPECT_EQ(popups[2].kind, PopupKind::ForbiddenZone);
    EXPECT_EQ(popups[3].text,
              Notice("06.Dec.2026 - 09:03:00", "выбыл из запрещенного района", "B"));
    EXPECT_EQ(popups[3].kind, PopupKind::ForbiddenZone);

    // Acknowledged, then through a zone of no role, then back into A.
    EXPECT_TRUE(console->AcknowledgeAlerts({12}));
    EXPECT_EQ(o.lastEventKind, -5);
    Process(Fix(12, kInC, At(9, 4), fresh));
    EXPECT_EQ(o.currentZoneName, "C");
    EXPECT_EQ(o.lastEventKind, -5);
    EXPECT_EQ(o.history.visitCount, 3);
    EXPECT_EQ(o.zoneEntryTime, At(9, 4));
    EXPECT_EQ(view.popups().size(), 4u);
    Process(Fix(12, kInA, At(9, 5), fresh));
    EXPECT_EQ(o.lastEventKind, 4);  // an acknowledged event is always replaced
    EXPECT_EQ(o.history.ZoneName(1), "C");
    EXPECT_EQ(o.history.DepartureTime(1), At(9, 5));
}

TEST_F(ZoneEventsTest, KindsAreRecordedEvenWithoutNoticeAndHigherEventsStay) {
    Start();
    Assign(12, 0, Destination);
    Assign(7, 0, Destination);
    // Truck: only forbidden-zone alerts. Bus: nothing at all.
    for (int f : {AlertSettings::kForbiddenAlert, AlertSettings::kForbiddenSound,
                  AlertSettings::kForbiddenPopup, AlertSettings::kForbiddenArrival})
        Object(12).alertSettings[f] = 1;

    // The first fix of an object, inside a zone, is an arrival.
    Process(Fix(12, kInA, At(9, 0), "a"));
    EXPECT_EQ(Object(12).lastEventKind, 4);
    EXPECT_EQ(Object(12).history.visitCount, 1);
    Process(Fix(7, kInA, At(9, 0), "a"));
    EXPECT_EQ(Object(7).lastEventKind, 0);
    EXPECT_EQ(Object(7).history.visitCount, 1);  // the visit is kept all the same
    EXPECT_TRUE(view.popups().empty());
    EXPECT_EQ(console->soundKind(), -1);

    // A pending alarm outranks a zone event.
    EnableAll(7);
    Object(7).lastEventKind = 6;
    Object(7).lastEventText = "alarm";
    Process(Fix(7, kOutside, At(9, 1), "b"));
    Process(Fix(7, kInA, At(9, 2), "c"));
    EXPECT_EQ(Object(7).lastEventKind, 6);
    EXPECT_EQ(Object(7).lastEventText, "alarm");
    EXPECT_EQ(view.popups().size(), 2u);  // the notices are still shown

    // Staying in the zone raises nothing, even after the assignment changed.
    Object(7).zoneAssignment = ZoneAssignment();
    Assign(7, 0, Forbidden);
    Object(7).lastEventKind = -6;
    Process(Fix(7, kInA, At(9, 3), "d"));
    EXPECT_EQ(Object(7).lastEventKind, -6);
    EXPECT_EQ(view.popups().size(), 2u);
}

TEST_F(ZoneEventsTest, ZonePathCountsFromTheEntry) {
    Start();
    const std::string fresh = W("Свежее");
    const double north = kInA.latitude + NorthSteps(100);
    Process(Fix(12, kOutside, At(9, 0), fresh));
    // Entering: the fix's distance is added, then the counter starts again at 0.
    Process(Fix(12, kInA, At(9, 5), fresh));
    EXPECT_EQ(Object(12).zonePathMetres, 0.0);
    EXPECT_GT(Object(12).pathMetres, 5000.0);
    Process(Fix(12, {north, 37.0}, At(9, 6), fresh));
    EXPECT_NEAR(Object(12).zonePathMetres, 100.0, 1e-6);
    EXPECT_EQ(Object(12).currentZone, 0);
    // Leaving keeps the counter; the fix outside adds nothing to it.
    Process(Fix(12, kOutside, At(9, 10), fresh));
    EXPECT_NEAR(Object(12).zonePathMetres, 100.0, 1e-6);
}
