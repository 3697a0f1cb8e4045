// The road of a message: a file in the inbox, the store, the log, the saved files.
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>

#include "ConsoleTestSupport.h"
#include "base/ByteIO.h"

using namespace consoletest;

namespace {

// The latitude step that GreatCircleDistance measures as `metres` along a meridian.
double NorthSteps(double metres) {
    return metres / (Geometry::kEarthRadiusMetres * Geometry::kDegToRad);
}

std::string Double(double v) {
    std::string b(8, '\0');
    ByteIO::PutF64(reinterpret_cast<uint8_t*>(b.data()), v);
    return b;
}
std::string Int(int32_t v) {
    std::string b(4, '\0');
    ByteIO::PutI32(reinterpret_cast<uint8_t*>(b.data()), v);
    return b;
}
std::string Stamp(double oleDate) {
    return Double(oleDate) + Int(0);
}
std::string Text64(const std::string& text) {
    return text + std::string(64 - text.size(), '\0');
}

using ConsoleIntakeTest = ConsoleFixture;

}  // namespace

TEST_F(ConsoleIntakeTest, PositionRecordTravelsFromTheInboxToTheSavedFiles) {
    Start();
    console->trayIconShown = true;
    const DateTime sent = At(9, 0);
    const InboxRecord fix = Last(Fix(12, kInA, sent, W("Свежее"), 57.9));
    const std::string path = folder.Drop("06120000.012", EncodeInboxRecord(fix.header, fix.text));

    console->PollOnce();

    EXPECT_FALSE(Exists(path));
    ObjectRecord& o = Object(12);
    EXPECT_EQ(o.latitude, 55.0);
    EXPECT_EQ(o.longitude, 37.0);
    EXPECT_EQ(o.speedKmh, 57);
    EXPECT_EQ(o.lastMessageTime, sent);
    EXPECT_EQ(o.lastReceivedAt, At(12, 0));
    EXPECT_EQ(o.hasMessage, 1);
    EXPECT_EQ(o.currentZone, 0);
    EXPECT_EQ(o.currentZoneName, "A");
    EXPECT_EQ(o.lastZoneName, "A");
    EXPECT_EQ(o.zoneEntryTime, sent);
    EXPECT_EQ(o.pathMetres, 0.0);  // the first fix adds no distance
    EXPECT_EQ(std::string(o.lastMessage.begin(), o.lastMessage.end()),
              EncodeInboxRecord(fix.header, fix.text).substr(0, 80));
    EXPECT_EQ(console->runMessageCount, 1);
    EXPECT_EQ(console->layout.totalMessageCount, 1);

    const std::string statusText =
        W("06.12.2026 12:00:00: последнее сообщение от 12 - Truck (06.12.2026 12:00:00)");
    EXPECT_EQ(console->layout.lastMessageText, statusText);
    ASSERT_EQ(view.trayTips().size(), 1u);
    EXPECT_EQ(view.trayTips()[0], W("06.12.2026 12:00:00: последнее сообщение от 12 - Truck"));

    EXPECT_EQ(folder.Log(), "12/6/26 12:00:00 " + path + " 12 (" + W("Свежее") +
                                ") 37.000000 55.000000 " + W("Обрабатывалось") +
                                " 12/6/26 9:00:00 (" + W("Путь") + "-0.000000)\r\n");

    // The message state, laid out field by field.
    const std::string expected = EncodeInboxRecord(fix.header, fix.text).substr(0, 80) +
                                 Text64("A") + Double(0) + Double(0) + Double(0) +
                                 Stamp(At(12, 0).date) + Stamp(sent.date) + Stamp(sent.date) +
                                 Stamp(DateTime::kNeverDate) + Int(0) + Text64("---") + Text64("") +
                                 Int(0) + std::string(88, '\0');
    ASSERT_EQ(expected.size(), 440u);
    EXPECT_EQ(ReadFile(folder.dir.path() + "/SntQMXMSG.dat"), expected);

    const std::string layoutFile = ReadFile(folder.paths.layoutPath);
    EXPECT_NE(layoutFile.find("[Count]\r\n1\r\n"), std::string::npos);
    EXPECT_NE(layoutFile.find("[Lastmsg]\r\n" + statusText + "\r\n"), std::string::npos);

    // No tray icon, no tray tip.
    console->trayIconShown = false;
    console->ProcessRecord(Fix(12, kInA, At(9, 1), "x"), path);
    EXPECT_EQ(view.trayTips().size(), 1u);
    EXPECT_EQ(console->runMessageCount, 2);
}

TEST_F(ConsoleIntakeTest, UnknownObjectsAndUnhandledRecordsOnlyLog) {
    Start();
    InboxRecord unknown = Fix(99, kInA, At(9, 0), "u");
    InboxRecord noLatitude = Fix(12, {0.0, 37.0}, At(9, 0), "z");
    InboxRecord alarm =
        Last(Record(Header(12, InboxRecordHeader::kAlarmFlag, At(9, 0), At(12, 0)), W("Тревога")));
    const std::string path =
        folder.Drop("06120000.012", EncodeInboxRecord(unknown.header, unknown.text) +
                                        EncodeInboxRecord(noLatitude.header, noLatitude.text) +
                                        EncodeInboxRecord(alarm.header, alarm.text));
    console->PollOnce();

    EXPECT_FALSE(Exists(path));
    const std::string head = "12/6/26 12:00:00 " + path;
    EXPECT_EQ(folder.Log(), head + " 99 (u) 37.000000 55.000000 " + W("Неизвестный ID\r\n") + head +
                                " 12 (z) 37.000000 0.000000 " + W("Не обрабатывалось\r\n") + head +
                                " 12 (" + W("Тревога") + ") 0.000000 0.000000 " +
                                W("Не обрабатывалось\r\n"));
    const ObjectRecord& o = Object(12);
    EXPECT_EQ(o.hasMessage, 0);
    EXPECT_EQ(o.lastEventKind, 0);
    EXPECT_EQ(o.alarmText, "");
    EXPECT_TRUE(o.lastReceivedAt.IsNever());
    EXPECT_TRUE(o.lastMessageTime.IsNever());
    EXPECT_EQ(o.currentZone, -1);
    EXPECT_EQ(console->runMessageCount, 0);
    EXPECT_EQ(console->layout.totalMessageCount, 0);
    EXPECT_TRUE(view.popups().empty());
    EXPECT_EQ(console->soundKind(), -1);
}

TEST_F(ConsoleIntakeTest, FreshFixesMeasureDistanceAndSpeed) {
    Start();
    const double base = kOutside.latitude;
    const std::string fresh = W("Свежее");
    const std::string path = "/inbox/06090000.012";

    Process(Fix(12, {base, 37.0}, At(9, 0), fresh), path);
    EXPECT_EQ(Object(12).pathMetres, 0.0);
    EXPECT_EQ(Object(12).computedSpeedKmh, 0);

    // 1,000 m in 60 s.
    Process(Fix(12, {base + NorthSteps(1000), 37.0}, At(9, 1), fresh), path);
    EXPECT_EQ(Object(12).computedSpeedKmh, 60);
    EXPECT_NEAR(Object(12).pathMetres, 1000.0, 1e-6);
    EXPECT_NEAR(Object(12).dayPathMetres, 1000.0, 1e-6);
    EXPECT_EQ(Object(12).zonePathMetres, 0.0);  // outside every zone
    EXPECT_NE(folder.Log().find(W("(Путь-1.000000)\r\n")), std::string::npos);

    // Half a second later: no speed can be measured; the last one stands.
    Process(Fix(12, {base + NorthSteps(2000), 37.0}, At(9, 1).AddDays(0.5 / 86400), fresh), path);
    EXPECT_EQ(Object(12).computedSpeedKmh, 60);
    EXPECT_NEAR(Object(12).pathMetres, 2000.0, 1e-6);

    // An old fix moves the object but adds nothing; the next fresh one measures from it.
    Process(Fix(12, {base + NorthSteps(3000), 37.0}, At(9, 3), W("Старое")), path);
    EXPECT_NEAR(Object(12).pathMetres, 2000.0, 1e-6);
    EXPECT_EQ(Object(12).latitude, base + NorthSteps(3000));
    EXPECT_TRUE(folder.Log().ends_with(W(" (Путь-0)\r\n")));

    Process(Fix(12, {base + NorthSteps(3000) + NorthSteps(500.001), 37.0}, At(9, 4), fresh), path);
    EXPECT_EQ(Object(12).computedSpeedKmh, 30);
    EXPECT_NEAR(Object(12).pathMetres, 2500.0, 1e-2);
    EXPECT_EQ(console->runMessageCount, 5);
}

TEST_F(ConsoleIntakeTest, SensorInputsComeFromFixedPlacesAfterTheMarker) {
    Start();
    auto inputsOf = [&] {
        const ObjectRecord& o = Object(12);
        return std::vector<int32_t>(o.inputs.begin() + 8, o.inputs.begin() + 13);
    };
    Object(12).inputs.fill(9);
    const InboxRecordHeader h = Header(12, 0, At(9, 0), At(12, 0));
    Process(Record(h, W("Датчики. Входы: 1 0 1 1 0")));
    EXPECT_EQ(inputsOf(), (std::vector<int32_t>{1, 0, 1, 1, 0}));
    EXPECT_EQ(Object(12).inputs[0], 0);  // the whole record is replaced
    EXPECT_EQ(Object(12).inputs[21], 0);
    EXPECT_EQ(Object(12).lastMessageTime, At(9, 0));
    EXPECT_EQ(Object(12).lastReceivedAt, At(12, 0));
    EXPECT_TRUE(folder.Log().ends_with(W("Обрабатывалось") + " 12/6/26 9:00:00\r\n"));
    EXPECT_EQ(console->runMessageCount, 0);  // only positions count

    Process(Record(h, W("Входы: x 1 - 1 7")));
    EXPECT_EQ(inputsOf(), (std::vector<int32_t>{0, 1, 0, 1, 7}));
    // A text that ends early leaves the missing values at 0.
    Process(Record(h, W("Входы: 1 1")));
    EXPECT_EQ(inputsOf(), (std::vector<int32_t>{1, 1, 0, 0, 0}));

    // In a position record the inputs are not read; the power-on is handled.
    Object(12).alertSettings[AlertSettings::kPowerOnAlert] = 1;
    Process(Fix(12, kOutside, At(9, 5), W("Свежее PU Входы: 0 0 0 0 0")));
    EXPECT_EQ(inputsOf(), (std::vector<int32_t>{1, 1, 0, 0, 0}));
    EXPECT_EQ(Object(12).lastEventKind, 1);
    EXPECT_EQ(Object(12).lastEventText, "---");
}

TEST_F(ConsoleIntakeTest, PollingFollowsTheNameRulesAndTheShownObjects) {
    Start();
    auto bytes = [](int32_t number) {
        const InboxRecord r = Last(Fix(number, kOutside, At(9, 0), "p"));
        return EncodeInboxRecord(r.header, r.text);
    };
    const std::string good = folder.Drop("05123000.012", bytes(12));
    const std::string shortBase = folder.Drop("0512300.012", bytes(12));
    const std::string badDay = folder.Drop("32000000.012", bytes(12));
    const std::string hidden = folder.Drop("05123000.005", bytes(5));  // Van is not shown
    const std::string bus = folder.Drop("05123000.007", bytes(7));
    std::filesystem::create_directories(folder.InboxPath("05123001.012"));
    const std::string empty = folder.Drop("05123002.012", "");

    console->PollOnce();
    EXPECT_FALSE(Exists(good));
    EXPECT_FALSE(Exists(bus));
    // An empty or cut file may still be being written: left while it is young, taken
    // (and deleted unprocessed) once it has not changed for a while.
    EXPECT_TRUE(Exists(empty));
    EXPECT_TRUE(Exists(shortBase));
    EXPECT_TRUE(Exists(badDay));
    EXPECT_TRUE(Exists(hidden));
    EXPECT_TRUE(std::filesystem::is_directory(folder.InboxPath("05123001.012")));
    EXPECT_EQ(console->runMessageCount, 2);
    EXPECT_EQ(Object(5).hasMessage, 0);
    const auto old = std::filesystem::last_write_time(empty) - std::chrono::seconds(10);
    std::filesystem::last_write_time(empty, old);
    console->PollOnce();
    EXPECT_FALSE(Exists(empty));
    EXPECT_EQ(console->runMessageCount, 2);

    // Without the trailing separator the folder name and the wildcard run together, so
    // the inbox itself is not searched.
    const std::string later = folder.Drop("05123003.012", bytes(12));
    console->settings.channelOutFolder = folder.inbox;
    console->PollOnce();
    EXPECT_TRUE(Exists(later));
}

namespace {

// Sets the console's stop event at the first pop-up, as a window closing meanwhile.
class StopAtPopupView : public RecordingView {
public:
    void ShowPopup(const std::string& text, PopupKind kind) override {
        RecordingView::ShowPopup(text, kind);
        if (console != nullptr)
            console->stopPollingEvent.Set();
    }
    CConsole* console = nullptr;
};

}  // namespace

TEST(ConsoleStopTest, StopIsSeenBetweenFilesNeverInsideOne) {
    ConsoleWithView<StopAtPopupView> rig;
    const ProgramFolder& folder = rig.folder;
    CConsole& console = *rig.console;
    ObjectRecord& truck = rig.Object(12);
    EnableAllAlerts(truck);
    const InboxRecord alarm =
        Record(Header(12, InboxRecordHeader::kAlarmFlag, At(9, 0), At(12, 0)), W("Тревога"));
    const InboxRecord first = Last(Fix(12, kOutside, At(9, 1), "first"));
    const InboxRecord second = Last(Fix(12, kOutside, At(9, 2), "second"));
    const std::string a =
        folder.Drop("05123000.012", EncodeInboxRecord(alarm.header, alarm.text) +
                                        EncodeInboxRecord(first.header, first.text));
    const std::string b =
        folder.Drop("05123001.012", EncodeInboxRecord(second.header, second.text));

    // Told to stop before the pass: nothing is taken.
    console.stopPollingEvent.Set();
    console.PollOnce();
    EXPECT_TRUE(Exists(a));
    EXPECT_TRUE(Exists(b));
    EXPECT_EQ(folder.Log(), "");

    // Told to stop by the file's first record: the file is applied to its end, the next
    // one waits.
    console.stopPollingEvent.Reset();
    rig.view.console = &console;
    console.PollOnce();
    EXPECT_FALSE(Exists(a));
    EXPECT_TRUE(Exists(b));
    EXPECT_EQ(truck.lastMessageTime, At(9, 1));
    EXPECT_EQ(console.runMessageCount, 1);
    EXPECT_NE(folder.Log().find("(first)"), std::string::npos);
}

TEST_F(ConsoleIntakeTest, FileThatCannotBeDeletedIsNotAppliedAgainUntilItChanges) {
    Start();
    const InboxRecord r = Last(Fix(12, kOutside, At(9, 0), "once"));
    const std::string path = folder.Drop("05123000.012", EncodeInboxRecord(r.header, r.text));
    {
        UndeletableFolder lock(folder.inbox);
        if (!lock.works())
            GTEST_SKIP() << "no way to make a file undeletable here";
        console->PollOnce();
        console->PollOnce();
        console->PollOnce();
        EXPECT_TRUE(Exists(path));
        EXPECT_EQ(console->runMessageCount, 1);

        // Rewritten in place (the folder stays locked): a new message, read again.
        lock.Release();
        const InboxRecord r2 = Last(Fix(12, kOutside, At(9, 5), "again, a longer text"));
        WriteFile(path, EncodeInboxRecord(r2.header, r2.text));
        UndeletableFolder relock(folder.inbox);
        ASSERT_TRUE(relock.works());
        console->PollOnce();
        console->PollOnce();
        EXPECT_EQ(console->runMessageCount, 2);
        EXPECT_EQ(Object(12).lastMessageTime, At(9, 5));
    }
    // Deletable again: it goes, without being applied once more.
    console->PollOnce();
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(console->runMessageCount, 2);
}

TEST_F(ConsoleIntakeTest, WorkersTakeFilesRefreshAndStopWithinASecond) {
    folder.settings.timer = 20;
    folder.SaveSettingsFile();
    Start();
    console->StartWorkers();
    EXPECT_EQ(view.rowsResets(), std::vector<int>{2});

    const InboxRecord r = Last(Fix(7, kInB, At(9, 0), W("Свежее")));
    const std::string path = folder.Drop("05123000.007", EncodeInboxRecord(r.header, r.text));
    EXPECT_TRUE(WaitUntil([&] { return !Exists(path); }));
    EXPECT_TRUE(WaitUntil([&] { return view.snapshotCount() >= 1; }));
    {
        auto lock = console->Lock();
        EXPECT_EQ(Object(7).currentZoneName, "B");
    }

    // A restart waits for the running workers and starts new ones.
    console->StopWorkers();
    console->StartWorkers();
    EXPECT_EQ(view.rowsResets(), (std::vector<int>{2, 2}));
    const std::string next = folder.Drop("05123001.007", EncodeInboxRecord(r.header, r.text));
    EXPECT_TRUE(WaitUntil([&] { return !Exists(next); }));

    // Both workers are in their waits now; they leave at once.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto stopped = std::chrono::steady_clock::now();
    console->StopWorkers();
    console->WaitForWorkers();
    const auto took = std::chrono::steady_clock::now() - stopped;
    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_TRUE(console->pollingDoneEvent.IsSet());
    EXPECT_TRUE(console->refreshDoneEvent.IsSet());
}

TEST_F(ConsoleIntakeTest, StopIsPromptWithALongPollPeriodToo) {
    folder.settings.timer = 5000;
    folder.SaveSettingsFile();
    Start();
    console->StartWorkers();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto stopped = std::chrono::steady_clock::now();
    console->StopWorkers();
    console->WaitForWorkers();
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(1));
}

TEST_F(ConsoleIntakeTest, StartUpRestoresTheStateAndClearsLeftovers) {
    Start();
    EnableAll(12);
    Process(Fix(12, kInB, At(9, 0), "fix", 44.6));
    console.reset();

    // A new object appears in the address book; a write was interrupted last time.
    WriteFile(folder.addressBook, "12,Truck,x,\r\n7,Bus,x,\r\n3,Car,x,\r\n");
    const std::string leftover = folder.dir.path() + "/SntQMXMSG.dat.~sentrel-tmp";
    ASSERT_TRUE(FileSystem::IsTempFileName("SntQMXMSG.dat.~sentrel-tmp"));
    WriteFile(leftover, "half");
    folder.settings.firstTimeOut = DateTime::FromTimeOfDay(0, 20, 0);
    folder.SaveSettingsFile();

    Start();
    EXPECT_FALSE(Exists(leftover));
    const ObjectRecord& truck = Object(12);
    EXPECT_EQ(truck.speedKmh, 44);
    EXPECT_EQ(truck.latitude, kInB.latitude);
    EXPECT_EQ(truck.longitude, kInB.longitude);
    EXPECT_EQ(truck.currentZone, 1);
    EXPECT_EQ(truck.currentZoneName, "B");
    EXPECT_EQ(truck.alertSettings[AlertSettings::kAlarmAlert], 1);  // stored settings kept
    const ObjectRecord& car = Object(3);
    EXPECT_EQ(car.hasSettings, 0);
    EXPECT_EQ(car.firstTimeout.TimeOfDaySpan(), DateTime::FromTimeOfDay(0, 20, 0).TimeOfDaySpan());
    EXPECT_EQ(car.currentZone, -1);

    // A zone file that cannot be read leaves the map in use.
    console->settings.qmxInfoFile = folder.dir.path() + "/missing.mrk";
    EXPECT_FALSE(console->LoadZones());
    EXPECT_EQ(console->zoneMap->ZoneCount(), 3);
}
