#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/Cp1251.h"
#include "platform/FileSystem.h"
#include "settings/WindowLayout.h"

namespace {

const std::string kDefaultCols =
    "[Cols]\r\n0=76\r\n1=18\r\n2=18\r\n3=18\r\n4=18\r\n5=18\r\n6=87\r\n7=87\r\n8=87\r\n9=87\r\n"
    "10=87\r\n11=87\r\n";

LayoutRect Rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    LayoutRect r;
    r.left = left;
    r.top = top;
    r.right = right;
    r.bottom = bottom;
    return r;
}

WindowLayout Parse(const std::string& bytes) {
    WindowLayout l;
    l.ParseLayout(bytes);
    return l;
}

void ExpectDefaultColumns(const WindowLayout& l, int32_t w) {
    ASSERT_EQ(l.columnIds.size(), 12u);
    ASSERT_EQ(l.columnWidths.size(), 12u);
    for (int id = 0; id < 12; ++id) {
        EXPECT_EQ(l.columnIds[static_cast<std::size_t>(id)], id);
        const int32_t expected = id == 0 ? w - 11 : (id <= 5 ? 18 : w);
        EXPECT_EQ(l.columnWidths[static_cast<std::size_t>(id)], expected) << id;
    }
}

}  // namespace

TEST(WindowLayoutTest, ColumnVocabularyAndWidths) {
    EXPECT_STREQ(WindowLayout::ColumnName(0), "Оповещения");
    EXPECT_STREQ(WindowLayout::ColumnHeader(0), "");
    EXPECT_STREQ(WindowLayout::ColumnHeader(3), "3");
    EXPECT_STREQ(WindowLayout::ColumnName(12), "");

    EXPECT_EQ(WindowLayout::DefaultColumnWidth(0, 700), 76);
    EXPECT_EQ(WindowLayout::DefaultColumnWidth(5, 700), 18);
    EXPECT_EQ(WindowLayout::DefaultColumnWidth(9, 1000), 130);

    EXPECT_EQ(WindowLayout::FitWidths({0, 1, 6, 7}, 500),
              (std::vector<int32_t>{157, 18, 160, 160}));
    EXPECT_EQ(WindowLayout::FitWidths({9, 3}, 100), (std::vector<int32_t>{82, 18}));
    // Sensor columns alone: nothing to share, no division by zero.
    EXPECT_EQ(WindowLayout::FitWidths({1, 2}, 300), (std::vector<int32_t>{18, 18}));
    EXPECT_TRUE(WindowLayout::FitWidths({}, 300).empty());
}

TEST(WindowLayoutTest, DefaultFileBytes) {
    WindowLayout l;
    l.ResetColumnsToDefault();
    const std::string expected =
        "[GlobalSize]\r\npos=0,700,0,300\r\nmaxMin=0\r\n"
        "[AddDlgInfo]\r\npos=0,0,0,0\r\ncols=0,0,0,0\r\n" +
        kDefaultCols + "[Count]\r\n0\r\n[Lastmsg]\r\n\r\n";
    EXPECT_EQ(l.BuildLayoutFile(), expected);
}

TEST(WindowLayoutTest, FullFileBytes) {
    WindowLayout l;
    l.mainRect = Rect(10, 20, 710, 320);
    l.maximised = true;
    l.minimised = true;
    l.smallWindowNames = {W("Склад"), "B"};
    WindowPlacement small;
    small.rect = Rect(1, 2, 3, 4);
    small.widths = {5, 6, 7, 8};
    l.smallWindowPlacements = {small, WindowPlacement{}};
    l.historyWindowNumbers = {"12", "0007", "12345", "-3"};
    HistoryPlacement open;
    open.placement.rect = Rect(-5, 30, 400, 230);
    open.placement.widths = {100, 90, 90, 0};
    open.state = 1;
    HistoryPlacement closed;
    closed.state = -1;
    l.historyWindowPlacements = {open, closed, open, open};
    l.zoneDistancePlacement.rect = Rect(50, 60, 550, 460);
    l.zoneDistancePlacement.widths = {120, 80, 0, 0};
    l.columnIds = {6, 7};
    l.columnWidths = {150, 80};
    l.totalMessageCount = 123456;
    l.runMessageCount = 77;  // not stored
    l.lastMessageText = W("0012 - Грузовик: 12:00");

    const std::string expected = "[GlobalSize]\r\npos=10,710,20,320\r\nmaxMin=3\r\n" +
                                 ("[SmallDlg=" + W("Склад") + "]\r\n") +
                                 "pos=1,3,2,4\r\ncols=5,6,7,8\r\n"
                                 "[SmallDlg=B]\r\npos=0,0,0,0\r\ncols=0,0,0,0\r\n"
                                 "[HistoryDlg=0012|1]\r\npos=-5,400,30,230\r\ncols=100,90,90,0\r\n"
                                 "[HistoryDlg=0007|-1]\r\npos=0,0,0,0\r\ncols=0,0,0,0\r\n"
                                 // 12345 and -3 do not fit the four-digit field: not written.
                                 "[AddDlgInfo]\r\npos=50,550,60,460\r\ncols=120,80,0,0\r\n"
                                 "[Cols]\r\n6=150\r\n7=80\r\n"
                                 "[Count]\r\n123456\r\n"
                                 "[Lastmsg]\r\n" +
                                 W("0012 - Грузовик: 12:00") + "\r\n";
    EXPECT_EQ(l.BuildLayoutFile(), expected);

    // The records that were left out are not read back either.
    WindowLayout back = Parse(expected);
    EXPECT_EQ(back.historyWindowNumbers, (std::vector<std::string>{"0012", "0007"}));
    EXPECT_EQ(back.historyWindowPlacements, (std::vector<HistoryPlacement>{open, closed}));
    EXPECT_EQ(back.FindHistoryRecord(7), 1);
    EXPECT_EQ(back.FindHistoryRecord(5), -1);
}

TEST(WindowLayoutTest, MapWindowSection) {
    // Everything a layout wrote before the map window existed, byte for byte.
    const std::string before = "[GlobalSize]\r\npos=10,710,20,320\r\nmaxMin=1\r\n"
                               "[HistoryDlg=0012|1]\r\npos=-5,400,30,230\r\ncols=100,90,90,0\r\n"
                               "[AddDlgInfo]\r\npos=50,550,60,460\r\ncols=120,80,0,0\r\n"
                               "[Cols]\r\n6=150\r\n7=80\r\n[Count]\r\n42\r\n[Lastmsg]\r\n" +
                               W("0012 - Грузовик") + "\r\n";
    WindowLayout l = Parse(before);
    EXPECT_EQ(l.mapPlacement, MapPlacement{});
    // Without a map record nothing is added.
    EXPECT_EQ(l.BuildLayoutFile(), before);

    // An open map: three lines after the last message, the rectangle as left, right,
    // top, bottom; the old content in front of them unchanged.
    l.mapPlacement.rect = Rect(100, 200, 900, 800);
    l.mapPlacement.state = 1;
    const std::string open = before + "[MapDlg]\r\npos=100,900,200,800\r\nstate=1\r\n";
    EXPECT_EQ(l.BuildLayoutFile(), open);

    // A closed map keeps its rectangle.
    l.mapPlacement.state = -1;
    l.mapPlacement.rect = Rect(-20, -10, 300, 250);
    const std::string closed = before + "[MapDlg]\r\npos=-20,300,-10,250\r\nstate=-1\r\n";
    EXPECT_EQ(l.BuildLayoutFile(), closed);

    // Read back: the record, and every other field as without it.
    const WindowLayout old = Parse(before);
    for (const std::string& bytes : {open, closed}) {
        WindowLayout back = Parse(bytes);
        EXPECT_EQ(back.BuildLayoutFile(), bytes);
        back.mapPlacement = MapPlacement{};
        EXPECT_EQ(back.BuildLayoutFile(), old.BuildLayoutFile());
    }
    EXPECT_EQ(Parse(open).mapPlacement.rect, Rect(100, 200, 900, 800));
    EXPECT_EQ(Parse(open).mapPlacement.state, 1);
    EXPECT_EQ(Parse(closed).mapPlacement.state, -1);

    // Written by hand: no state line, or an odd state, is a closed window; the map's
    // "pos=" never moves the window of the section before it, and a section after it
    // is read as usual.
    l = Parse("[AddDlgInfo]\r\npos=1,2,3,4\r\n[MapDlg]\r\npos=5,6,7,8\r\n[Count]\r\n3\r\n");
    EXPECT_EQ(l.zoneDistancePlacement.rect, Rect(1, 3, 2, 4));
    EXPECT_EQ(l.mapPlacement.rect, Rect(5, 7, 6, 8));
    EXPECT_EQ(l.mapPlacement.state, -1);
    EXPECT_EQ(l.totalMessageCount, 3);
    EXPECT_EQ(Parse("[MapDlg]\r\nstate=7\r\n").mapPlacement.state, -1);
    EXPECT_EQ(Parse("[MapDlg]\r\nstate=1\r\n").mapPlacement.state, 1);
    // A new parse forgets the record.
    l.ParseLayout(before);
    EXPECT_EQ(l.mapPlacement, MapPlacement{});
}

TEST(WindowLayoutTest, MainWindowSection) {
    // Wholly off screen: back to the default rectangle, with all twelve columns.
    WindowLayout l = Parse("[GlobalSize]\r\npos=-900,-200,10,300\r\nmaxMin=0\r\n");
    EXPECT_EQ(l.mainRect, Rect(0, 0, 700, 300));
    EXPECT_FALSE(l.maximised || l.minimised);
    ExpectDefaultColumns(l, 87);

    EXPECT_EQ(Parse("[GlobalSize]\r\npos=10,300,-20,-1\r\n").mainRect, Rect(0, 0, 700, 300));
    EXPECT_EQ(Parse("[GlobalSize]\r\npos=-10,300,-20,5\r\n").mainRect, Rect(-10, -20, 300, 5));

    // Default widths follow the loaded rectangle.
    l = Parse("[GlobalSize]\r\npos=100,1100,0,500\r\n");
    EXPECT_EQ(l.mainRect, Rect(100, 0, 1100, 500));
    ExpectDefaultColumns(l, 130);

    const struct {
        const char* value;
        bool maximised;
        bool minimised;
    } states[] = {{"0", false, false}, {"1", true, false},  {"2", false, true},
                  {"3", true, true},   {"4", false, false}, {"-1", false, false}};
    for (const auto& s : states) {
        l = Parse(std::string("[GlobalSize]\r\nmaxMin=") + s.value + "\r\n");
        EXPECT_EQ(l.maximised, s.maximised) << s.value;
        EXPECT_EQ(l.minimised, s.minimised) << s.value;
    }

    // Fewer than four numbers: only those followed by a comma count.
    EXPECT_EQ(Parse("[GlobalSize]\r\npos=5,6,7\r\n").mainRect, Rect(5, 0, 6, 0));
    EXPECT_EQ(Parse("[GlobalSize]\r\npos=5,6,7,\r\n").mainRect, Rect(5, 7, 6, 0));
    EXPECT_EQ(Parse("[GlobalSize]\r\npos=+5, -6,7,8,9\r\n").mainRect, Rect(5, 7, -6, 8));
}

TEST(WindowLayoutTest, ColumnSection) {
    WindowLayout l = Parse("[Cols]\r\n6=150\r\n7=80\r\n");
    EXPECT_EQ(l.columnIds, (std::vector<int32_t>{6, 7}));
    EXPECT_EQ(l.columnWidths, (std::vector<int32_t>{150, 80}));
    EXPECT_EQ(l.ColumnPosition(7), 1);
    EXPECT_EQ(l.ColumnPosition(0), -1);

    // A line without "=" ends the section; what follows it outside a section is dropped.
    l = Parse("[Cols]\r\n9=100\r\nend\r\n7=80\r\n[Count]\r\n5\r\n");
    EXPECT_EQ(l.columnIds, (std::vector<int32_t>{9}));
    EXPECT_EQ(l.totalMessageCount, 5);

    // Unknown ids are never shown; with none left the default set applies.
    l = Parse("[Cols]\r\n15=20\r\n-1=4\r\n11=60\r\n");
    EXPECT_EQ(l.columnIds, (std::vector<int32_t>{11}));
    EXPECT_EQ(l.columnWidths, (std::vector<int32_t>{60}));
    ExpectDefaultColumns(Parse("[Cols]\r\n12=20\r\n"), 87);
    ExpectDefaultColumns(Parse("[Cols]\r\n"), 87);
}

TEST(WindowLayoutTest, SecondaryWindowRecords) {
    const std::string bytes =
        "[HistoryDlg=0012|1]\r\npos=10,410,20,220\r\ncols=1,2,3,4\r\n"
        "[HistoryDlg=0034|-1]\r\npos=0,0,0,0\r\ncols=0,0,0,0\r\n"
        "[HistoryDlg=0056|]\r\n"
        "[SmallDlg=" +
        W("Район [1]") +
        "]\r\ncols=9,8\r\n"
        "[SmallDlg=]\r\n"
        "[AddDlgInfo]\r\ncols=5,5,5,5\r\n";
    WindowLayout l = Parse(bytes);
    ASSERT_EQ(l.historyWindowPlacements.size(), 3u);
    EXPECT_EQ(l.historyWindowNumbers, (std::vector<std::string>{"0012", "0034", "0056"}));
    EXPECT_EQ(l.historyWindowPlacements[0].state, 1);
    EXPECT_EQ(l.historyWindowPlacements[0].placement.rect, Rect(10, 20, 410, 220));
    EXPECT_EQ(l.historyWindowPlacements[0].placement.widths, (std::array<int32_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(l.historyWindowPlacements[1].state, -1);
    EXPECT_EQ(l.historyWindowPlacements[1].placement, WindowPlacement{});
    EXPECT_EQ(l.historyWindowPlacements[2].state, 0);
    EXPECT_EQ(l.FindHistoryRecord(34), 1);

    EXPECT_EQ(l.smallWindowNames, (std::vector<std::string>{W("Район [1]"), ""}));
    ASSERT_EQ(l.smallWindowPlacements.size(), 2u);
    EXPECT_EQ(l.smallWindowPlacements[0].widths, (std::array<int32_t, 4>{9, 0, 0, 0}));
    EXPECT_EQ(l.smallWindowPlacements[0].rect, LayoutRect{});
    EXPECT_EQ(l.zoneDistancePlacement.widths, (std::array<int32_t, 4>{5, 5, 5, 5}));

    // Short or odd headers do not upset the reader.
    l = Parse("[HistoryDlg=\r\n[HistoryDlg=7|1]\r\n[SmallDlg=\r\npos=1,2,3,4\r\n");
    EXPECT_EQ(l.historyWindowNumbers, (std::vector<std::string>{"", "7|1]"}));
    EXPECT_EQ(l.historyWindowPlacements[1].state, 0);
    EXPECT_EQ(l.smallWindowNames, (std::vector<std::string>{""}));
    EXPECT_EQ(l.smallWindowPlacements[0].rect, Rect(1, 3, 2, 4));
}

TEST(WindowLayoutTest, LineRulesAndStrayText) {
    // LF is dropped anywhere, text after the last CR is no line, stray text is dropped.
    const std::string bytes =
        "stray\r\n[Glob\nalSize]\r\npos=1,2,3,4\r\n"
        "[Count]\r\n42\r\n99\r\n"
        "[Lastmsg]\r\nhello\r\nworld\r\n"
        "[Cols]\r\n8=1\r\n9=2";
    WindowLayout l = Parse(bytes);
    EXPECT_EQ(l.mainRect, Rect(1, 3, 2, 4));
    EXPECT_EQ(l.totalMessageCount, 42);
    EXPECT_EQ(l.lastMessageText, "hello");
    EXPECT_EQ(l.columnIds, (std::vector<int32_t>{8}));

    // A parse starts from the defaults.
    l.ParseLayout("");
    EXPECT_EQ(l.mainRect, Rect(0, 0, 700, 300));
    EXPECT_EQ(l.totalMessageCount, 0);
    EXPECT_EQ(l.lastMessageText, "");
    ExpectDefaultColumns(l, 87);
}

TEST(WindowLayoutTest, LoadAndSaveThroughTheFile) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("sentrel-layout-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "Interface.ini").string();

    WindowLayout l(path);
    l.totalMessageCount = 9;
    l.mainRect = Rect(0, 0, 1000, 400);
    l.LoadLayout();  // no file yet: defaults
    EXPECT_EQ(l.totalMessageCount, 0);
    EXPECT_EQ(l.mainRect, Rect(0, 0, 700, 300));
    ExpectDefaultColumns(l, 87);

    l.totalMessageCount = 31;
    l.columnIds = {6};
    l.columnWidths = {200};
    ASSERT_TRUE(l.SaveLayout());
    std::string bytes;
    ASSERT_TRUE(FileSystem::ReadWholeFile(path, bytes));
    EXPECT_EQ(bytes,
              "[GlobalSize]\r\npos=0,700,0,300\r\nmaxMin=0\r\n[AddDlgInfo]\r\npos=0,0,0,0\r\n"
              "cols=0,0,0,0\r\n[Cols]\r\n6=200\r\n[Count]\r\n31\r\n[Lastmsg]\r\n\r\n");

    WindowLayout other(path);
    other.LoadLayout();
    EXPECT_EQ(other.totalMessageCount, 31);
    EXPECT_EQ(other.columnIds, (std::vector<int32_t>{6}));

    WindowLayout nowhere((dir / "missing" / "Interface.ini").string());
    EXPECT_FALSE(nowhere.SaveLayout());
    EXPECT_FALSE(WindowLayout().SaveLayout());
    std::filesystem::remove_all(dir);
}

TEST(WindowLayoutTest, RandomFilesReadAsWritten) {
    std::mt19937 rng(20240601);
    auto num = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto text = [&](int maxLength) {
        std::string s;
        const int n = num(0, maxLength);
        for (int k = 0; k < n; ++k) {
            // Any byte but the line ends and NUL; '[' left out so no text looks like a header.
            char c;
            do {
                c = static_cast<char>(num(1, 255));
            } while (c == '\r' || c == '\n' || c == '[');
            s += c;
        }
        return s;
    };
    auto rect = [&]() {
        return Rect(num(-3000, 3000), num(-3000, 3000), num(-3000, 3000), num(-3000, 3000));
    };
    auto four = [&]() {
        return std::array<int32_t, 4>{num(-50, 500), num(-50, 500), num(-50, 500), num(-50, 500)};
    };
    auto pos = [](const LayoutRect& r) {
        return "pos=" + std::to_string(r.left) + "," + std::to_string(r.right) + "," +
               std::to_string(r.top) + "," + std::to_string(r.bottom) + "\r\n";
    };
    auto cols = [](const std::array<int32_t, 4>& w) {
        return "cols=" + std::to_string(w[0]) + "," + std::to_string(w[1]) + "," +
               std::to_string(w[2]) + "," + std::to_string(w[3]) + "\r\n";
    };

    for (int round = 0; round < 300; ++round) {
        WindowLayout want;
        want.mainRect = rect();
        const int state = num(0, 3);
        want.maximised = (state & 1) != 0;
        want.minimised = (state & 2) != 0;
        std::string file =
            "[GlobalSize]\r\n" + pos(want.mainRect) + "maxMin=" + std::to_string(state) + "\r\n";
        for (int k = num(0, 3); k > 0; --k) {
            WindowPlacement p{rect(), four()};
            want.smallWindowNames.push_back(text(20));
            want.smallWindowPlacements.push_back(p);
            file += "[SmallDlg=" + want.smallWindowNames.back() + "]\r\n" + pos(p.rect) +
                    cols(p.widths);
        }
        for (int k = num(0, 3); k > 0; --k) {
            HistoryPlacement h{WindowPlacement{rect(), four()}, num(-1, 1)};
            char number[8];
            std::snprintf(number, sizeof number, "%04d", num(0, 9999));
            want.historyWindowNumbers.push_back(number);
            want.historyWindowPlacements.push_back(h);
            file += std::string("[HistoryDlg=") + number + "|" + std::to_string(h.state) + "]\r\n" +
                    pos(h.placement.rect) + cols(h.placement.widths);
        }
        want.zoneDistancePlacement = WindowPlacement{rect(), four()};
        file += "[AddDlgInfo]\r\n" + pos(want.zoneDistancePlacement.rect) +
                cols(want.zoneDistancePlacement.widths);
        file += "[Cols]\r\n";
        for (int k = num(1, 12); k > 0; --k) {
            want.columnIds.push_back(num(0, 11));
            want.columnWidths.push_back(num(0, 400));
            file += std::to_string(want.columnIds.back()) + "=" +
                    std::to_string(want.columnWidths.back()) + "\r\n";
        }
        want.totalMessageCount = num(0, 2000000000);
        want.lastMessageText = text(60);
        file += "[Count]\r\n" + std::to_string(want.totalMessageCount) + "\r\n[Lastmsg]\r\n" +
                want.lastMessageText + "\r\n";

        const WindowLayout got = Parse(file);
        const bool offScreen = (want.mainRect.left < 0 && want.mainRect.right < 0) ||
                               (want.mainRect.top < 0 && want.mainRect.bottom < 0);
        EXPECT_EQ(got.mainRect, offScreen ? WindowLayout::kDefaultMainRect : want.mainRect);
        EXPECT_EQ(got.maximised, want.maximised);
        EXPECT_EQ(got.minimised, want.minimised);
        EXPECT_EQ(got.smallWindowNames, want.smallWindowNames);
        EXPECT_EQ(got.smallWindowPlacements, want.smallWindowPlacements);
        EXPECT_EQ(got.historyWindowNumbers, want.historyWindowNumbers);
        EXPECT_EQ(got.historyWindowPlacements, want.historyWindowPlacements);
        EXPECT_EQ(got.zoneDistancePlacement, want.zoneDistancePlacement);
        EXPECT_EQ(got.columnIds, want.columnIds);
        EXPECT_EQ(got.columnWidths, want.columnWidths);
        EXPECT_EQ(got.totalMessageCount, want.totalMessageCount);
        EXPECT_EQ(got.lastMessageText, want.lastMessageText);
        if (!offScreen) {
            EXPECT_EQ(got.BuildLayoutFile(), file);
        }
        if (::testing::Test::HasFailure())
            break;
    }
}
