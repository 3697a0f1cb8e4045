// Alarms and power-ons: the rules, the notice texts, the sound and its acknowledgement.
#include "ConsoleTestSupport.h"

using namespace consoletest;

namespace {

using AlertsTest = ConsoleFixture;

InboxRecord Alarm(int32_t number, DateTime sent, const std::string& text) {
    return Record(Header(number, InboxRecordHeader::kAlarmFlag, sent, sent.AddMinutes(180)), text);
}

}  // namespace

TEST_F(AlertsTest, AlarmRecordSetsTheEventAndAnnouncesIt) {
    Start();
    EnableAll(12);
    Process(Fix(12, kInB, At(9, 0), "fix"));
    view.ClearPopups();
    ObjectRecord& o = Object(12);
    o.lastEventKind = 5;  // an alarm overrides whatever is pending

    Process(Alarm(12, At(9, 5), W("Нападение")), "/in/06120500.012");
    EXPECT_EQ(o.lastEventKind, 6);
    EXPECT_EQ(o.lastEventTime, At(9, 5));
    EXPECT_EQ(o.lastEventText, "B");
    EXPECT_EQ(o.alarmText, W("Нападение"));
    EXPECT_EQ(o.hasMessage, 3);
    EXPECT_EQ(o.lastMessageTime, At(9, 5));
    EXPECT_EQ(o.lastReceivedAt, At(12, 5));
    EXPECT_EQ(o.latitude, kInB.latitude);  // no position in an alarm
    EXPECT_EQ(console->runMessageCount, 1);
    EXPECT_TRUE(folder.Log().ends_with(" 12 (" + W("Нападение") + ") 0.000000 0.000000 " +
                                       W("Обрабатывалось") + " 12/6/26 9:05:00\r\n"));

    // Name before number in the alarm notice.
    const auto popups = view.popups();
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0].text,
              W("Тревога на объекте Truck-12\r\n06.Dec.2026 - 09:05:00\r\nНападение\r\nB"));
    EXPECT_EQ(popups[0].kind, PopupKind::Alarm);
    EXPECT_TRUE(WaitUntil([&] { return sound.lastPlay() == kAlarmWav; }));
    EXPECT_EQ(console->soundKind(), 0);

    // The alarm is in the saved state before the file goes.
    CDataStore reloaded(folder.dir.path());
    ASSERT_TRUE(reloaded.LoadAddressBook(folder.addressBook));
    reloaded.LoadState();
    EXPECT_EQ(reloaded.Object(reloaded.FindObjectByNumber(12)).lastEventKind, 6);
}

TEST_F(AlertsTest, AlarmWithoutSoundOrPopupIsOnlyRecorded) {
    Start();
    Object(12).alertSettings[AlertSettings::kAlarmAlert] = 1;
    Process(Alarm(12, At(9, 0), "x"));
    EXPECT_EQ(Object(12).lastEventKind, 6);
    EXPECT_EQ(Object(12).lastEventText, "---");
    EXPECT_TRUE(view.popups().empty());
    EXPECT_EQ(console->soundKind(), -1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(sound.playCount(), 0u);
}

TEST_F(AlertsTest, PowerOnIsRecordedOnlyOverLowerOrAcknowledgedEvents) {
    Start();
    for (int f : {AlertSettings::kPowerOnAlert, AlertSettings::kPowerOnPopup})
        Object(12).alertSettings[f] = 1;
    ObjectRecord& o = Object(12);

    Process(Fix(12, kOutside, At(9, 0), W("Свежее PU ")));
    EXPECT_EQ(o.lastEventKind, 1);
    EXPECT_EQ(o.lastEventTime, At(9, 0));
    EXPECT_EQ(o.lastEventText, "---");
    // Number before name in the power-on notice; "---" outside every zone.
    ASSERT_EQ(view.popups().size(), 1u);
    EXPECT_EQ(view.popups()[0].text,
              W("Включение контроллера на объекте 12-Truck\r\n06.Dec.2026 - 09:00:00\r\n---"));
    EXPECT_EQ(view.popups()[0].kind, PopupKind::PowerOn);

    o.lastEventKind = 2;
    Process(Fix(12, kInC, At(9, 1), " PU "));
    EXPECT_EQ(o.lastEventKind, 2);        // the pending departure stays
    EXPECT_EQ(view.popups().size(), 2u);  // but the alert is raised
    EXPECT_EQ(view.popups()[1].text,
              W("Включение контроллера на объекте 12-Truck\r\n06.Dec.2026 - 09:01:00\r\nC"));

    o.lastEventKind = -6;
    Process(Fix(12, kInC, At(9, 2), " PU "));
    EXPECT_EQ(o.lastEventKind, 1);
    EXPECT_EQ(o.lastEventText, "C");
    EXPECT_EQ(o.lastEventTime, At(9, 2));

    // Without power-on alerts the marker means nothing.
    o.alertSettings[AlertSettings::kPowerOnAlert] = 0;
    o.lastEventKind = 0;
    Process(Fix(12, kInC, At(9, 3), " PU "));
    EXPECT_EQ(o.lastEventKind, 0);
    EXPECT_EQ(view.popups().size(), 3u);
    EXPECT_EQ(console->soundKind(), -1);  // no sound was asked for
}

TEST_F(AlertsTest, OnePlayerSwitchesSoundsAndFallsSilentOnAcknowledgement) {
    Start();
    EnableAll(12);
    EnableAll(7);
    sound.SetPlayMs(30);

    Process(Alarm(12, At(9, 0), "a"));
    Process(Alarm(7, At(9, 0), "b"));
    EXPECT_TRUE(WaitUntil([&] { return sound.playCount() >= 3; }));
    for (const std::string& played : sound.plays())
        EXPECT_EQ(played, kAlarmWav);

    // A power-on does not drown the pending alarm: its text is shown, the sound stays.
    const std::size_t popups = view.popups().size();
    Process(Fix(12, kOutside, At(9, 1), " PU "));
    EXPECT_EQ(view.popups().size(), popups + 1);
    EXPECT_EQ(console->soundKind(), 0);
    const std::size_t before = sound.playCount();
    EXPECT_TRUE(WaitUntil([&] { return sound.playCount() >= before + 2; }));
    EXPECT_EQ(sound.lastPlay(), kAlarmWav);
    EXPECT_EQ(sound.maxConcurrent(), 1);

    EXPECT_TRUE(console->AnyPending({12, 7}));
    EXPECT_TRUE(console->AcknowledgeAlerts({12, 7, 99}));
    EXPECT_EQ(Object(12).lastEventKind, -6);  // the power-on did not replace the alarm
    EXPECT_EQ(Object(7).lastEventKind, -6);
    EXPECT_EQ(console->soundKind(), -1);
    EXPECT_FALSE(console->AnyPending({12, 7}));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::size_t silent = sound.playCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(sound.playCount(), silent);

    // A second acknowledgement changes nothing; a new alarm starts the sound again.
    EXPECT_FALSE(console->AcknowledgeAlerts({12}));
    EXPECT_EQ(Object(12).lastEventKind, -6);
    Process(Alarm(12, At(9, 2), "c"));
    EXPECT_TRUE(WaitUntil([&] { return sound.playCount() > silent; }));
    EXPECT_EQ(sound.lastPlay(), kAlarmWav);
    EXPECT_EQ(sound.maxConcurrent(), 1);
}
