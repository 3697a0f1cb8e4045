// The rules on their own: a store and a map in memory, no console, no program folder.
// What a record asks of the rest of the program comes back as values.
#include <gtest/gtest.h>

#include "ConsoleTestSupport.h"
#include "rules/AlertRules.h"
#include "rules/RecordProcessor.h"
#include "rules/ZoneTransition.h"
#include "settings/Settings.h"
#include "zones/ZoneMap.h"

using namespace consoletest;

namespace {

class RulesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(map.LoadFromBytes(ZoneFileBytes()));
        store.AppendObject();
        store.objectCount = 1;
        ObjectRecord& o = store.Object(0);
        o.id = "12";
        o.name = "Truck";
        o.selected = 1;
    }
    ObjectRecord& Truck() { return store.Object(0); }
    CRecordProcessor::Outcome Process(const InboxRecord& record, bool wantTrayTip = false) {
        return CRecordProcessor(store, map)
            .Process(record, "/inbox/06120000.012", TestNow(), wantTrayTip);
    }

    CDataStore store{"/nowhere"};
    CZoneMap map;
    const std::string fresh = W("Свежее");
};

}  // namespace

TEST_F(RulesTest, RecordOutcomeCarriesTheLogEntryCountersAndTip) {
    // An object not in the address book changes nothing and only writes its log entry.
    CRecordProcessor::Outcome unknown = Process(Fix(99, kInA, At(9, 0), fresh));
    EXPECT_FALSE(unknown.knownObject);
    EXPECT_FALSE(unknown.counted);
    EXPECT_NE(unknown.logEntry.find(" 99 ("), std::string::npos);
    EXPECT_TRUE(unknown.logEntry.ends_with(W("Неизвестный ID\r\n")));
    EXPECT_EQ(Truck().hasMessage, 0);

    // A position counts; the tray tip is made only when asked for.
    CRecordProcessor::Outcome first = Process(Fix(12, kOutside, At(9, 0), fresh));
    EXPECT_TRUE(first.knownObject);
    EXPECT_TRUE(first.counted);
    EXPECT_TRUE(first.trayTip.empty());
    EXPECT_NE(first.lastMessageText.find(W(": последнее сообщение от 12 - Truck")),
              std::string::npos);
    EXPECT_TRUE(first.logEntry.ends_with(W("Обрабатывалось ") + FormatLogTime(At(9, 0)) +
                                         W(" (Путь-0.000000)\r\n")));
    EXPECT_FALSE(first.effects.historyChanged);

    CRecordProcessor::Outcome tipped = Process(Fix(12, kOutside, At(9, 1), fresh), true);
    EXPECT_NE(tipped.trayTip.find(W(": последнее сообщение от 12 - Truck")), std::string::npos);

    // Sensor inputs are no position: known, not counted.
    CRecordProcessor::Outcome inputs =
        Process(Record(Header(12, 0, At(9, 2), At(9, 2)), W("Входы: 1 0 1 0 1")));
    EXPECT_TRUE(inputs.knownObject);
    EXPECT_FALSE(inputs.counted);
    EXPECT_EQ(Truck().inputs[ObjectRecord::kFirstSensorInput], 1);
}

TEST_F(RulesTest, ZoneTransitionHandsBackHistoryNoticesAndSoundsInOrder) {
    EnableAllAlerts(Truck());
    Truck().zoneAssignment.Append(0, Destination);
    Truck().zoneAssignment.Append(1, Forbidden);
    Truck().currentZone = 0;
    Truck().currentZoneName = "A";

    // From the destination zone straight into the forbidden one: the departure first.
    RuleEffects effects;
    CZoneTransition(store, map).Apply(0, 0, 1, At(10, 0), TestNow(), effects);
    EXPECT_TRUE(effects.historyChanged);
    ASSERT_EQ(effects.notices.size(), 2u);
    EXPECT_NE(effects.notices[0].text.find(W("выбыл из района назначения:\r\nA")),
              std::string::npos);
    EXPECT_EQ(effects.notices[0].kind, PopupKind::DestinationZone);
    EXPECT_NE(effects.notices[1].text.find(W("прибыл в запрещенный район:\r\nB")),
              std::string::npos);
    EXPECT_EQ(effects.notices[1].kind, PopupKind::ForbiddenZone);
    EXPECT_EQ(effects.sounds,
              (std::vector<AlertKind>{AlertKind::DestinationZone, AlertKind::ForbiddenZone}));
    EXPECT_EQ(Truck().lastEventKind, kEventArrivedForbidden);
    EXPECT_EQ(Truck().history.visitCount, 1);

    // Staying in the zone changes nothing and asks for nothing.
    RuleEffects none;
    CZoneTransition(store, map).Apply(0, 1, 1, At(10, 1), TestNow(), none);
    EXPECT_FALSE(none.historyChanged);
    EXPECT_TRUE(none.notices.empty());
    EXPECT_TRUE(none.sounds.empty());
}

TEST_F(RulesTest, AlertRulesFollowTheFlagsAndCutNotices) {
    RuleEffects effects;
    const CAlertRules rules(store);
    // Every flag off: nothing at all.
    rules.RaiseAlert(0, AlertKind::Alarm, effects);
    rules.RaiseAlert(0, AlertKind::PowerOn, effects);
    EXPECT_TRUE(effects.notices.empty());
    EXPECT_TRUE(effects.sounds.empty());

    EnableAllAlerts(Truck());
    Truck().alarmText = "SOS";
    rules.RaiseAlert(0, AlertKind::Alarm, effects);
    ASSERT_EQ(effects.notices.size(), 1u);
    EXPECT_TRUE(effects.notices[0].text.starts_with(W("Тревога на объекте Truck-12\r\n")));
    EXPECT_EQ(effects.sounds, std::vector<AlertKind>{AlertKind::Alarm});

    // The pop-up holds 1023 bytes: longer notices are cut, shorter ones kept.
    RuleEffects cut;
    CAlertRules::ShowPopup(std::string(2000, 'x'), PopupKind::Alarm, cut);
    CAlertRules::ShowPopup(std::string(1023, 'y'), PopupKind::PowerOn, cut);
    ASSERT_EQ(cut.notices.size(), 2u);
    EXPECT_EQ(cut.notices[0].text, std::string(1023, 'x'));
    EXPECT_EQ(cut.notices[1].text, std::string(1023, 'y'));
}

// Every alert raised with the alert switched on (and, for the zones, the event) goes to
// the journal with the object's number and name, the record's times, the zone and the
// pop-up's text, also when the pop-up and the sound are off; nothing when it is off.
TEST_F(RulesTest, RaisedAlertsAreJournaledWithOrWithoutTheirPopup) {
    using F = AlertSettings;
    AlertSettings& a = Truck().alertSettings;
    Truck().zoneAssignment.Append(0, Destination);  // A
    Truck().zoneAssignment.Append(1, Forbidden);    // B
    const InboxRecord alarm =
        Record(Header(12, InboxRecordHeader::kAlarmFlag, At(9, 0), At(12, 0)), "SOS");

    // The alarm switched off: no alert at all.
    EXPECT_TRUE(Process(alarm).effects.alerts.empty());

    a.values[F::kAlarmAlert] = 1;  // pop-up and sound off
    CRecordProcessor::Outcome raised = Process(alarm);
    EXPECT_TRUE(raised.effects.notices.empty());
    EXPECT_TRUE(raised.effects.sounds.empty());
    ASSERT_EQ(raised.effects.alerts.size(), 1u);
    const JournalAlert& j = raised.effects.alerts[0];
    EXPECT_EQ(j.objectNumber, 12);
    EXPECT_EQ(j.objectName, "Truck");
    EXPECT_EQ(j.kind, JournalKind::Alarm);
    EXPECT_EQ(j.zoneName, "");
    EXPECT_EQ(j.messageTime, At(9, 0));
    EXPECT_EQ(j.receiveTime, At(12, 0));
    EXPECT_TRUE(j.raisedUtc.IsNever());  // the console's clock stamps it
    EXPECT_TRUE(j.text.starts_with(W("Тревога на объекте Truck-12\r\n"))) << j.text;
    EXPECT_TRUE(j.text.ends_with("SOS\r\n---")) << j.text;
    // With the pop-up on, the journal holds exactly its text, cut as the pop-up cuts it.
    a.values[F::kAlarmPopup] = 1;
    const InboxRecord longAlarm = Record(
        Header(12, InboxRecordHeader::kAlarmFlag, At(9, 1), At(12, 1)), std::string(2000, 'x'));
    raised = Process(longAlarm);
    ASSERT_EQ(raised.effects.notices.size(), 1u);
    ASSERT_EQ(raised.effects.alerts.size(), 1u);
    EXPECT_EQ(raised.effects.alerts[0].text, raised.effects.notices[0].text);
    EXPECT_EQ(raised.effects.alerts[0].text.size(), CAlertRules::kMaxNoticeLength);

    // A power-on: alert on, pop-up off.
    EXPECT_TRUE(Process(Fix(12, kOutside, At(9, 2), fresh + " PU 1")).effects.alerts.empty());
    a.values[F::kPowerOnAlert] = 1;
    raised = Process(Fix(12, kOutside, At(9, 3), fresh + " PU 1"));
    ASSERT_EQ(raised.effects.alerts.size(), 1u);
    EXPECT_EQ(raised.effects.alerts[0].kind, JournalKind::PowerOn);
    EXPECT_EQ(raised.effects.alerts[0].zoneName, "");
    EXPECT_EQ(raised.effects.alerts[0].messageTime, At(9, 3));
    EXPECT_TRUE(raised.effects.alerts[0].text.starts_with(
        W("Включение контроллера на объекте 12-Truck\r\n")));
    EXPECT_TRUE(raised.effects.notices.empty());

    // Zones: the destination alert on with arrivals only and its pop-up; the forbidden
    // alert on with both events and no pop-up.
    a.values[F::kDestinationAlert] = 1;
    a.values[F::kDestinationArrival] = 1;
    a.values[F::kDestinationPopup] = 1;
    a.values[F::kForbiddenAlert] = 1;
    a.values[F::kForbiddenArrival] = 1;
    a.values[F::kForbiddenDeparture] = 1;
    std::vector<JournalAlert> zones;
    std::vector<RuleEffects::Notice> notices;
    for (const auto& [spot, minute] : {std::pair{kInA, 4}, {kInB, 5}, {kOutside, 6}}) {
        CRecordProcessor::Outcome r = Process(Fix(12, spot, At(9, minute), fresh));
        zones.insert(zones.end(), r.effects.alerts.begin(), r.effects.alerts.end());
        notices.insert(notices.end(), r.effects.notices.begin(), r.effects.notices.end());
    }
    // No departure from A (that event is off); B's arrival and departure without pop-ups.
    ASSERT_EQ(zones.size(), 3u);
    EXPECT_EQ(zones[0].kind, JournalKind::DestinationArrival);
    EXPECT_EQ(zones[0].zoneName, "A");
    EXPECT_EQ(zones[0].messageTime, At(9, 4));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(zones[0].text, notices[0].text);
    EXPECT_EQ(zones[1].kind, JournalKind::ForbiddenArrival);
    EXPECT_EQ(zones[1].zoneName, "B");
    EXPECT_EQ(zones[1].text, W("Внимание!\r\n06.Dec.2026 - 09:05:00\r\nОбъект 12 - Truck прибыл в "
                               "запрещенный район:\r\nB"));
    EXPECT_EQ(zones[2].kind, JournalKind::ForbiddenDeparture);
    EXPECT_EQ(zones[2].zoneName, "B");
    EXPECT_EQ(zones[2].messageTime, At(9, 6));
    EXPECT_EQ(zones[2].receiveTime, At(12, 6));
    EXPECT_NE(zones[2].text.find(W("выбыл из запрещенного района:\r\nB")), std::string::npos);
}

TEST_F(RulesTest, RecomputeTakesPositionAndZoneFromTheStoredMessage) {
    Process(Fix(12, kInB, At(9, 0), fresh));
    Truck().currentZone = -1;
    Truck().speedKmh = 0;
    Truck().hasSettings = 0;
    Truck().firstTimeout = DateTime(0.5);
    Settings settings = Settings::Defaults("/nowhere/Alarm.wav");
    CRecordProcessor(store, map).RecomputeFromLastMessages(settings);
    EXPECT_EQ(Truck().currentZone, 1);
    EXPECT_EQ(Truck().currentZoneName, "B");
    EXPECT_EQ(Truck().firstTimeout, settings.firstTimeOut);
}
