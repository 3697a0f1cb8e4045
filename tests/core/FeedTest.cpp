// sentrel-feed against a running console: a minute of traffic from 50 objects, and
// every record written is logged by the console exactly once.
#include <map>
#include <sstream>

#include "../../tools/demo/DemoPlan.h"
#include "ConsoleTestSupport.h"

using namespace consoletest;

namespace {

// "file name TAB number TAB text" keys of the feed's own log.
std::vector<std::string> FeedKeys(const std::string& log) {
    std::vector<std::string> keys;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty())
            keys.push_back(line);
    }
    return keys;
}

// The same keys from Sentrel.log: "date time path number (text) lon lat outcome".
std::vector<std::string> ConsoleKeys(const std::string& log, int& unknown) {
    std::vector<std::string> keys;
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find("\r\n", start);
        if (end == std::string::npos)
            end = log.size();
        const std::string entry = log.substr(start, end - start);
        start = end + 2;
        std::istringstream in(entry);
        std::string date, time, path, number;
        in >> date >> time >> path >> number;
        const std::size_t open = entry.find(" (", 0);
        const std::size_t close = entry.find(')', open);
        if (open == std::string::npos || close == std::string::npos) {
            ADD_FAILURE() << "unreadable log entry: " << entry;
            continue;
        }
        if (entry.find(W("Неизвестный ID")) != std::string::npos)
            ++unknown;
        const std::string name = path.substr(path.rfind('/') + 1);
        keys.push_back(name + "\t" + number + "\t" + entry.substr(open + 2, close - open - 2));
    }
    return keys;
}

// Waits until the console has taken every message file from the inbox.
bool WaitForEmptyInbox(const std::string& inbox, int timeoutMs) {
    return WaitUntil(
        [&] {
            for (const auto& entry : std::filesystem::directory_iterator(inbox)) {
                if (IsInboxFileName(entry.path().string()))
                    return false;
            }
            return true;
        },
        timeoutMs);
}

}  // namespace

TEST(FeedTest, AMinuteOfTrafficFromFiftyObjectsLosesNothing) {
#ifndef SENTREL_FEED_PATH
    GTEST_SKIP() << "sentrel-feed is not built";
#else
    ProgramFolder folder;
    std::string book;
    std::string selected;
    for (int n = 101; n <= 150; ++n) {
        book += TextUtil::Format("%d,Object %d,x,\r\n", n, n);
        selected += TextUtil::Format("|%d|", n);
    }
    WriteFile(folder.addressBook, book);
    folder.selectedIds = selected;
    folder.settings.timer = 100;
    folder.SaveSettingsFile();

    SystemClock clock;
    FakeSound sound;
    RecordingView view;
    CConsole console(folder.paths, clock, sound, view);
    StartLikeTheWindow(console);
    ASSERT_FALSE(HasFailure());
    for (int i = 0; i < console.store.objectCount; ++i) {
        // Everything on, so the alerts and the sound run under load too.
        for (int f = 0; f < AlertSettings::kCount; ++f)
            console.store.Object(i).alertSettings[f] = 1;
        console.store.Object(i).zoneAssignment.Append(0, Destination);
        console.store.Object(i).zoneAssignment.Append(1, Forbidden);
    }
    console.StartWorkers();

    const std::string feedLog = folder.dir.path() + "/feed.log";
    const std::string command = std::string(SENTREL_FEED_PATH) + " --inbox '" + folder.inbox +
                                "' --addrbook '" + folder.addressBook + "' --zones '" +
                                folder.zoneFile + "' --objects 50 --rate 20 --duration 60" +
                                " --seed 7 --utc-offset-minutes 0 --log '" + feedLog +
                                "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);

    // Let the console take what is left in the inbox.
    const bool drained = WaitForEmptyInbox(folder.inbox, 8000);
    console.StopWorkers();
    console.WaitForWorkers();
    EXPECT_TRUE(drained);

    const std::vector<std::string> written = FeedKeys(ReadFile(feedLog));
    int unknown = 0;
    const std::vector<std::string> logged = ConsoleKeys(folder.Log(), unknown);
    EXPECT_GE(written.size(), 1000u);
    EXPECT_EQ(unknown, 0);

    std::map<std::string, int> counts;
    for (const std::string& key : logged)
        ++counts[key];
    int missing = 0;
    int twice = 0;
    for (const std::string& key : written) {
        const int n = counts[key];
        if (n == 0 && ++missing <= 5)
            ADD_FAILURE() << "not in the log: " << Cp1251::ToUtf8(key);
        if (n > 1 && ++twice <= 5)
            ADD_FAILURE() << "logged " << n << " times: " << Cp1251::ToUtf8(key);
    }
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(twice, 0);
    EXPECT_EQ(logged.size(), written.size());
    EXPECT_GT(view.snapshotCount(), 50u);
#endif
}

namespace {

std::string DemoFile(const char* name) {
    return (std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "demo" / name)
        .lexically_normal()
        .string();
}

bool Contains(const std::string& text, const char* utf8) {
    return text.find(W(utf8)) != std::string::npos;
}

}  // namespace

// The demo's first two minutes, fast: the feed with the demo's own options
// (demo/feed.args) on the demo fleet, 960 records (two minutes at 8 per second) at a
// higher rate. Every kind of alert must have been raised by then, and the vehicles must
// have toured their assigned zones.
TEST(FeedTest, DemoRoutesRaiseEveryAlertWithinTwoMinutesOfRecords) {
#ifndef SENTREL_FEED_PATH
    GTEST_SKIP() << "sentrel-feed is not built";
#else
    std::string args = ReadFile(DemoFile("feed.args"));
    while (!args.empty() && (args.back() == '\n' || args.back() == '\r'))
        args.pop_back();
    EXPECT_NE(args.find("--rate 8 "), std::string::npos) << args;
    EXPECT_NE(args.find(TextUtil::Format("--silent-after %d:%d", DemoPlan::kQuietVehicle,
                                         DemoPlan::kQuietAfterSeconds)),
              std::string::npos)
        << args;

    // The program folder as sentrel-demo-setup leaves it.
    ProgramFolder folder;
    folder.settings.channelObj = DemoFile("AddrBook.txt");
    folder.settings.qmxInfoFile = DemoFile("maps.mrk");
    folder.settings.timer = 20;
    {
        CZoneMap zones;
        ASSERT_TRUE(zones.Load(folder.settings.qmxInfoFile));
        CDataStore store(folder.dir.path());
        ASSERT_TRUE(store.LoadAddressBook(folder.settings.channelObj));
        std::string error;
        ASSERT_TRUE(DemoPlan::Apply(store, zones, error)) << error;
        ASSERT_TRUE(store.SaveState());
        ASSERT_TRUE(store.SaveZoneAssignments(zones));
        folder.selectedIds = store.BuildSelectedIdsText();
    }
    folder.SaveSettingsFile();

    SystemClock clock;
    FakeSound sound;
    RecordingView view;
    CConsole console(folder.paths, clock, sound, view);
    StartLikeTheWindow(console);
    ASSERT_FALSE(HasFailure());
    console.StartWorkers();

    const std::string command = std::string(SENTREL_FEED_PATH) + " " + args + " --inbox '" +
                                folder.inbox + "' --addrbook '" + folder.settings.channelObj +
                                "' --zones '" + folder.settings.qmxInfoFile + "' --routes '" +
                                folder.dir.path() +
                                "' --rate 400 --count 960 --utc-offset-minutes 0 > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    // Each record is saved with a sync; a busy disk takes its time.
    const bool drained = WaitForEmptyInbox(folder.inbox, 60000);
    console.StopWorkers();
    console.WaitForWorkers();
    ASSERT_TRUE(drained);

    bool alarm = false, powerOn = false, arrived = false, left = false, forbidden = false;
    for (const PopupCall& p : view.popups()) {
        alarm = alarm || p.kind == PopupKind::Alarm;
        powerOn = powerOn || p.kind == PopupKind::PowerOn;
        arrived = arrived || Contains(p.text, "прибыл в район назначения");
        left = left || Contains(p.text, "выбыл из района назначения");
        forbidden = forbidden || Contains(p.text, "прибыл в запрещенный район");
    }
    EXPECT_TRUE(alarm);
    EXPECT_TRUE(powerOn);
    EXPECT_TRUE(arrived);
    EXPECT_TRUE(left);
    EXPECT_TRUE(forbidden);
    EXPECT_GT(sound.playCount(), 0u);

    // Every vehicle has reached the first zone of its route and most have left it.
    int visited = 0, leftAgain = 0;
    for (int i = 0; i < console.store.objectCount; ++i) {
        const ObjectRecord& o = console.store.Object(i);
        bool assignedVisit = false;
        for (int v = 0; v < o.history.visitCount; ++v)
            assignedVisit = assignedVisit || o.zoneAssignment.IndexOf(o.history.ZoneIndex(v)) >= 0;
        visited += assignedVisit ? 1 : 0;
        leftAgain += o.history.visitCount > 0 && o.history.HasEnded(o.history.visitCount - 1);
    }
    EXPECT_EQ(visited, console.store.objectCount);
    EXPECT_GE(leftAgain, console.store.objectCount / 2);
#endif
}
