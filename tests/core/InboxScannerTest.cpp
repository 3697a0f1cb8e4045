// The order in which one listing hands over the files of the shown objects: by the time
// their names carry, across a month end too.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "ConsoleTestSupport.h"
#include "intake/InboxScanner.h"

using namespace consoletest;

namespace {

class InboxScannerTest : public testing::Test {
protected:
    // Drops the named files into the inbox, in the order given.
    void Drop(const std::vector<std::string>& names) {
        for (const std::string& name : names)
            WriteFile(dir.path() + "/" + name, "x");
    }
    // The base names of one object's files in the order of a listing on `utcNow`.
    std::vector<std::string> Order(int32_t number, DateTime utcNow) {
        std::vector<std::string> names;
        for (const CInboxScanner::Entry& e :
             CInboxScanner::List(dir.path() + "/", {number}, utcNow))
            names.push_back(SplitFileName(e.path, false));
        return names;
    }

    TempFolder dir;
};

DateTime Utc(int month, int day, int hour = 12) {
    return DateTime::FromCalendar(2027, month, day, hour, 0, 0);
}

TEST_F(InboxScannerTest, BacklogOverAMonthEndComesInTheOrderOfTime) {
    Drop({"01000001.012", "31235959.012", "02120000.012", "30080000.012", "03000000.012",
          "00000000.012", "01000000.007"});
    // On the 1st: the 30th and 31st are last month's; the 2nd is tomorrow's (a terminal
    // ahead of us), the 3rd a month ago.
    EXPECT_EQ(Order(12, Utc(1, 1, 0)),
              (std::vector<std::string>{"03000000", "30080000", "31235959", "00000000", "01000001",
                                        "02120000"}));
    // On the 2nd: the 3rd is within the day of slack.
    EXPECT_EQ(Order(12, Utc(2, 2)), (std::vector<std::string>{"30080000", "31235959", "00000000",
                                                              "01000001", "02120000", "03000000"}));
    // On the 31st and the 30th: every day of the month is this month's.
    const std::vector<std::string> inNameOrder{"00000000", "01000001", "02120000",
                                               "03000000", "30080000", "31235959"};
    EXPECT_EQ(Order(12, Utc(3, 31)), inNameOrder);
    EXPECT_EQ(Order(12, Utc(4, 30, 23)), inNameOrder);
    // On the 29th the 31st is a month old, the 30th tomorrow.
    EXPECT_EQ(Order(12, Utc(4, 29)),
              (std::vector<std::string>{"31235959", "00000000", "01000001", "02120000", "03000000",
                                        "30080000"}));
    EXPECT_EQ(Order(7, Utc(1, 1)), std::vector<std::string>{"01000000"});
}

TEST_F(InboxScannerTest, NamesOfOneInstantComeByModificationTimeThenByName) {
    // Hour 24 of the 5th is the 6th at 00, a blank reads as a leading zero: four names of
    // one instant, modified in this order.
    Drop({"06000000.012", "05240000.012", " 6000000.012", "05235960.012", "05235959.012"});
    const auto base = std::filesystem::last_write_time(dir.path() + "/06000000.012");
    const auto setModified = [&](const std::string& name, int seconds) {
        std::filesystem::last_write_time(dir.path() + "/" + name,
                                         base + std::chrono::seconds(seconds));
    };
    setModified("05240000.012", -30);
    setModified("06000000.012", -20);
    setModified(" 6000000.012", -10);
    setModified("05235960.012", -10);
    EXPECT_EQ(Order(12, Utc(1, 6)), (std::vector<std::string>{"05235959", "05240000", "06000000",
                                                              " 6000000", "05235960"}));
}

}  // namespace
