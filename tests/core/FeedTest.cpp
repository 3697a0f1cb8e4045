// sentrel-feed against a running console: a minute of traffic from 50 objects, and
// every record written is logged by the console exactly once.
#include <map>
#include <sstream>

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
    ASSERT_TRUE(console.LoadSettingsAtStart());
    ASSERT_TRUE(console.LoadAddressBook());
    ASSERT_TRUE(console.LoadZones());
    console.ReloadState();
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
    const bool drained = WaitUntil(
        [&] {
            for (const auto& entry : std::filesystem::directory_iterator(folder.inbox)) {
                if (IsInboxFileName(entry.path().string()))
                    return false;
            }
            return true;
        },
        8000);
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
