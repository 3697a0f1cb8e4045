#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>

#include "MakeTempFolder.h"
#include "base/Cp1251.h"
#include "platform/FileSystem.h"
#include "settings/Settings.h"

namespace {

const std::string kSound = "/prog/Sounds/Alarm.wav";

class SettingsFileTest : public testing::Test {
protected:
    void SetUp() override {
        folder_ = MakeTempFolder("sentrel-settings");
        ASSERT_FALSE(folder_.empty());
        path_ = folder_ + "/Sentrel.ini";
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    void WriteFile(const std::string& bytes) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    std::string ReadFile() {
        std::string bytes;
        EXPECT_TRUE(FileSystem::ReadWholeFile(path_, bytes));
        return bytes;
    }
    // Loads `bytes` as the file's content.
    Settings Load(const std::string& bytes, std::string* ids = nullptr) {
        WriteFile(bytes);
        Settings s;
        std::string selected = "junk";
        EXPECT_EQ(LoadSettings(path_, kSound, s, selected), SettingsFileState::Read);
        if (ids != nullptr) {
            *ids = selected;
        }
        return s;
    }

    std::string folder_;
    std::string path_;
};

// The file as written with every value at its default, set down line by line.
const std::string kDefaultFile =
#ifdef _WIN32
    "ChannelOutFolderC:\\QMX5\\Inbox\\\r\n"
    "QMXInfoFileC:\\QMX5\\MAPS\\maps.mrk\r\n"
    "ChannelObjC:\\QMX5\\Internet_Channel\\AddrBook.txt\r\n"
#else
    "ChannelOutFolder/opt/QMX5/Inbox/\r\n"
    "QMXInfoFile/opt/QMX5/MAPS/maps.mrk\r\n"
    "ChannelObj/opt/QMX5/Internet_Channel/AddrBook.txt\r\n"
#endif
    "FirstTimeOut00:11:00\r\n"
    "SecondTimeOut00:05:00\r\n"
    "AlarmSoundPath/prog/Sounds/Alarm.wav\r\n"
    "SelectedIDs\r\n"
    "PUSoundPath/prog/Sounds/Alarm.wav\r\n"
    "SpecZoneSoundPath/prog/Sounds/Alarm.wav\r\n"
    "BadZoneSoundPath/prog/Sounds/Alarm.wav\r\n"
    "TimeSpan0:00:00\r\n"
    "TimeParam0\r\n"
    "Pass\r\n"
    "Timer1000\r\n"
    "MinimyzeTray0\r\n"
    "TrackKeepDays90\r\n"
    "BaseMapFile\r\n"
    "BaseMapUrl\r\n";

}  // namespace

TEST_F(SettingsFileTest, MissingFileGivesDefaultsWrittenBackExactly) {
    Settings s;
    s.timer = 5;
    std::string ids = "|1|";
    EXPECT_EQ(LoadSettings(path_, kSound, s, ids), SettingsFileState::Missing);
    EXPECT_EQ(ids, "");
#ifdef _WIN32
    EXPECT_EQ(s.channelOutFolder, "C:\\QMX5\\Inbox\\");
#else
    EXPECT_EQ(s.channelOutFolder, "/opt/QMX5/Inbox/");
#endif
    EXPECT_EQ(s.firstTimeOut, DateTime::FromTimeOfDay(0, 11, 0));
    EXPECT_EQ(s.secondTimeOut, DateTime::FromTimeOfDay(0, 5, 0));
    EXPECT_EQ(s.timer, 1000);
    EXPECT_EQ(s.badZoneSoundPath, kSound);
    EXPECT_EQ(s.settingsPassword, "");

    ASSERT_TRUE(SaveSettings(path_, s, ids));
    EXPECT_EQ(ReadFile(), kDefaultFile);
    // Read back, the written file gives the same values.
    Settings again = Load(kDefaultFile);
    EXPECT_EQ(BuildSettingsFile(again, ""), kDefaultFile);
}

TEST_F(SettingsFileTest, ChangedValuesAreWrittenByteExactAndReadBack) {
    Settings s = Settings::Defaults(kSound);
    s.channelOutFolder = W("/data/Входящие/");
    s.qmxInfoFile = "/data/zones.mrk";
    s.channelObj = W("/data/Адреса.txt");
    s.firstTimeOut = DateTime::FromTimeOfDay(1, 2, 3);
    s.secondTimeOut = DateTime::FromTimeOfDay(23, 59, 59);
    s.alarmSoundPath = "/s/a.wav";
    s.puSoundPath = "/s/p u.wav";
    s.specZoneSoundPath = "/s/d.wav";
    s.badZoneSoundPath = "/s/f.wav";
    s.timeSpan = DateTime::FromTimeOfDay(3, 5, 0);
    s.timeParam = -1;
    s.settingsPassword = "ab";
    s.timer = 250;
    s.minimyzeTray = true;
    s.trackKeepDays = 0;
    s.baseMapFile = W("/карты/ekb.mbtiles");
    s.baseMapUrl = "http://127.0.0.1:8080/{z}/{x}/{y}.png?a=1&b=2";

    const std::string expected =
        "ChannelOutFolder/data/\xC2\xF5\xEE\xE4\xFF\xF9\xE8\xE5/\r\n"
        "QMXInfoFile/data/zones.mrk\r\n"
        "ChannelObj/data/\xC0\xE4\xF0\xE5\xF1\xE0.txt\r\n"
        "FirstTimeOut01:02:03\r\n"
        "SecondTimeOut23:59:59\r\n"
        "AlarmSoundPath/s/a.wav\r\n"
        "SelectedIDs|12||7|\r\n"
        "PUSoundPath/s/p u.wav\r\n"
        "SpecZoneSoundPath/s/d.wav\r\n"
        "BadZoneSoundPath/s/f.wav\r\n"
        "TimeSpan3:05:00\r\n"
        "TimeParam-1\r\n"
        "Passa\xC3\r\n"
        "Timer250\r\n"
        "MinimyzeTray1\r\n"
        "TrackKeepDays0\r\n"
        "BaseMapFile/\xEA\xE0\xF0\xF2\xFB/ekb.mbtiles\r\n"
        "BaseMapUrlhttp://127.0.0.1:8080/{z}/{x}/{y}.png?a=1&b=2\r\n";
    ASSERT_TRUE(SaveSettings(path_, s, "|12||7|"));
    EXPECT_EQ(ReadFile(), expected);

    std::string ids;
    Settings back = Load(expected, &ids);
    EXPECT_EQ(ids, "|12||7|");
    EXPECT_EQ(back.channelOutFolder, s.channelOutFolder);
    EXPECT_EQ(back.channelObj, s.channelObj);
    EXPECT_EQ(back.firstTimeOut, s.firstTimeOut);
    EXPECT_EQ(back.secondTimeOut, s.secondTimeOut);
    EXPECT_EQ(back.puSoundPath, "/s/p u.wav");
    EXPECT_EQ(back.timeSpan, s.timeSpan);
    EXPECT_EQ(back.timeParam, -1);
    EXPECT_EQ(back.settingsPassword, "ab");
    EXPECT_EQ(back.timer, 250);
    EXPECT_TRUE(back.minimyzeTray);
    EXPECT_EQ(back.baseMapFile, s.baseMapFile);
    EXPECT_EQ(back.baseMapUrl, s.baseMapUrl);
    EXPECT_EQ(BuildSettingsFile(back, ids), expected);
}

TEST_F(SettingsFileTest, LinesAreReadAsTheWriterLeavesThem) {
    std::string ids;
    // No CR after the last line: that value is not taken.
    Settings s = Load("Timer250\r\nTimeParam3", &ids);
    EXPECT_EQ(s.timer, 250);
    EXPECT_EQ(s.timeParam, 0);

    // LF alone ends nothing; it is dropped from the line.
    s = Load("Timer2\n50\r\n");
    EXPECT_EQ(s.timer, 250);

    // Duplicates: the last one counts. Unknown and empty lines are ignored; a key is
    // only recognised at the start of a line and is case-sensitive.
    s = Load("Timer100\r\n\r\n; Timer7\r\ntimer8\r\nTimer300\r\nVersion2\r\n");
    EXPECT_EQ(s.timer, 300);

    // Leading digits only, with a sign; no digits give 0.
    s = Load("Timer 42ms\r\nTimeParam-2x\r\n");
    EXPECT_EQ(s.timer, 42);
    EXPECT_EQ(s.timeParam, -2);
    s = Load("Timerabc\r\n");
    EXPECT_EQ(s.timer, 0);

    // A present but empty SelectedIDs line shows nothing.
    Load("SelectedIDs|5|\r\nSelectedIDs\r\n", &ids);
    EXPECT_EQ(ids, "");

    // TimeParam, TimeSpan and Timer share a beginning but not a key.
    s = Load("TimeSpan2:30\r\nTimeParam1\r\nTimer900\r\n");
    EXPECT_EQ(s.timeSpan, DateTime::FromTimeOfDay(2, 30, 0));
    EXPECT_EQ(s.timeParam, 1);
    EXPECT_EQ(s.timer, 900);
}

TEST_F(SettingsFileTest, UnreadableValuesFallBack) {
    Settings s = Load("FirstTimeOutabc\r\nSecondTimeOutabc\r\nTimeSpanabc\r\n");
    EXPECT_EQ(s.firstTimeOut, DateTime::FromTimeOfDay(0, 30, 0));
    EXPECT_EQ(s.secondTimeOut, DateTime::FromTimeOfDay(1, 0, 0));
    EXPECT_EQ(s.timeSpan, DateTime::FromTimeOfDay(0, 0, 0));

    s = Load("FirstTimeOut\r\nSecondTimeOut25:00:00\r\n");
    EXPECT_EQ(s.firstTimeOut, DateTime::FromTimeOfDay(0, 30, 0));
    EXPECT_EQ(s.secondTimeOut, DateTime::FromTimeOfDay(1, 0, 0));

    s = Load("MinimyzeTray7\r\n");
    EXPECT_TRUE(s.minimyzeTray);
    const std::string written = BuildSettingsFile(s, "");
    EXPECT_NE(written.find("\r\nMinimyzeTray1\r\n"), std::string::npos);

    // The track store's days: missing keeps 90, a value that is no count of days
    // removes nothing.
    EXPECT_EQ(s.trackKeepDays, 90);
    EXPECT_EQ(Load("TrackKeepDays7\r\n").trackKeepDays, 7);
    EXPECT_EQ(Load("TrackKeepDays-5\r\n").trackKeepDays, 0);
    EXPECT_EQ(Load("TrackKeepDaysabc\r\n").trackKeepDays, 0);

    // A file of an older version has no base map: none is used, and the keys are
    // written after the others on the next save.
    EXPECT_EQ(s.baseMapFile, "");
    EXPECT_EQ(s.baseMapUrl, "");
    const std::string older = "Timer500\r\nTrackKeepDays30\r\n";
    const std::string rewritten = BuildSettingsFile(Load(older), "");
    EXPECT_EQ(rewritten.substr(rewritten.size() - 42),
              "TrackKeepDays30\r\nBaseMapFile\r\nBaseMapUrl\r\n");
}

TEST(SettingsPasswordTest, ScramblingExamples) {
    EXPECT_EQ(EncodePassword(""), "");
    EXPECT_EQ(DecodePassword(""), "");
    EXPECT_EQ(EncodePassword("x"), "x");
    EXPECT_EQ(EncodePassword("\xF0\x20"), "\xF0\x10");  // 0xF0 + 0x20 = 0x110 -> 0x10
    EXPECT_EQ(DecodePassword("\xF0\x10"), "\xF0\x20");
    EXPECT_EQ(EncodePassword("abc"), "a\xC3\xC5");
    const std::string russian = W("пароль");
    EXPECT_EQ(DecodePassword(EncodePassword(russian)), russian);

    EXPECT_TRUE(IsStorablePassword(""));
    EXPECT_TRUE(IsStorablePassword("secret"));
    EXPECT_FALSE(IsStorablePassword("\r"));
    EXPECT_FALSE(IsStorablePassword("a\xAC"));  // 0x61 + 0xAC = 0x10D -> CR
    EXPECT_FALSE(IsStorablePassword("a\xA9"));  // -> LF
    EXPECT_FALSE(IsStorablePassword("a\x9F"));  // -> NUL
}

TEST_F(SettingsFileTest, FailedSaveKeepsThePreviousFile) {
    WriteFile(kDefaultFile);
    Settings s = Settings::Defaults(kSound);
    s.timer = 5;
    std::filesystem::create_directory(path_ + ".~sentrel-tmp");
    EXPECT_FALSE(SaveSettings(path_, s, ""));
    EXPECT_EQ(ReadFile(), kDefaultFile);
    EXPECT_FALSE(SaveSettings(folder_ + "/missing/Sentrel.ini", s, ""));
}

TEST_F(SettingsFileTest, FileThatCannotBeReadIsNeverSavedOver) {
#ifdef _WIN32
    // Another program holds the file open and shares it with no one.
    WriteFile("[Settings]\r\n");
    const HANDLE held = ::CreateFileA(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
#else
    // A FIFO stands for any file that is there and cannot be read (even by root).
    ASSERT_EQ(::mkfifo(path_.c_str(), 0644), 0);
#endif
    Settings s;
    std::string ids = "|1|";
    EXPECT_EQ(LoadSettings(path_, kSound, s, ids), SettingsFileState::Unreadable);
    EXPECT_EQ(s.timer, 1000);
    EXPECT_EQ(ids, "");
    EXPECT_FALSE(MaySaveSettingsOver(path_, true));
    EXPECT_TRUE(MaySaveSettingsOver(path_, false));
#ifdef _WIN32
    ::CloseHandle(held);
#endif
    std::filesystem::remove(path_);
    EXPECT_TRUE(MaySaveSettingsOver(path_, true));
}
