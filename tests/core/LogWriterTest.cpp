#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "MakeTempFolder.h"
#include "console/ProgramPaths.h"
#include "persist/LogWriter.h"
#include "platform/FileSystem.h"

namespace {

constexpr int64_t kLimit = 10485760;

class LogWriterTest : public testing::Test {
protected:
    void SetUp() override {
        const std::string folder = MakeTempFolder("sentrel-log");
        ASSERT_FALSE(folder.empty());
        paths_ = ProgramPaths::For(folder);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(paths_.programFolder, ec);
    }
    static void Fill(const std::string& path, int64_t size, char c) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const std::string chunk(1 << 20, c);
        for (int64_t left = size; left > 0;) {
            const auto n = static_cast<std::size_t>(std::min<int64_t>(left, chunk.size()));
            out.write(chunk.data(), static_cast<std::streamsize>(n));
            left -= static_cast<int64_t>(n);
        }
    }
    static std::string Read(const std::string& path) {
        std::string bytes;
        EXPECT_TRUE(FileSystem::ReadWholeFile(path, bytes)) << path;
        return bytes;
    }
    static std::string Tail(const std::string& path, std::size_t n) {
        const std::string bytes = Read(path);
        return bytes.size() < n ? bytes : bytes.substr(bytes.size() - n);
    }

    ProgramPaths paths_;
};

}  // namespace

TEST(ProgramPathsTest, EveryFileLiesInTheProgramFolder) {
    const ProgramPaths p = ProgramPaths::For("/opt/sentrel");
    EXPECT_EQ(p.programFolder, "/opt/sentrel");
    EXPECT_EQ(p.settingsPath, "/opt/sentrel/Sentrel.ini");
    EXPECT_EQ(p.logPath, "/opt/sentrel/Sentrel.log");
    EXPECT_EQ(p.oldLogPath, "/opt/sentrel/SntOld.log");
    EXPECT_EQ(p.defaultAlarmSoundPath, "/opt/sentrel/Sounds/Alarm.wav");
    EXPECT_EQ(p.layoutPath, "/opt/sentrel/Interface.ini");
}

TEST_F(LogWriterTest, AppendsBytesUnchangedAndCreatesTheFile) {
    const CLogWriter log(paths_.logPath, paths_.oldLogPath);
    log.AppendLog("first \xD2\xF0\xE5\xE2\xEE\xE3\xE0\r\n");
    log.AppendLog("no line end");
    log.AppendLog("");
    log.AppendLog(std::string("x\0y", 3));
    EXPECT_EQ(Read(paths_.logPath),
              "first \xD2\xF0\xE5\xE2\xEE\xE3\xE0\r\nno line end" + std::string("x\0y", 3));
    EXPECT_FALSE(FileSystem::FileExists(paths_.oldLogPath));
}

TEST_F(LogWriterTest, RotatesOnlyWhenLongerThanTenMebibytes) {
    const CLogWriter log(paths_.logPath, paths_.oldLogPath);
    Fill(paths_.oldLogPath, 100, 'o');  // an old log from before is overwritten
    Fill(paths_.logPath, kLimit, 'a');

    // Exactly at the limit: still appended to.
    log.AppendLog("A\r\n");
    EXPECT_EQ(FileSystem::FileSize(paths_.logPath), kLimit + 3);
    EXPECT_EQ(Tail(paths_.logPath, 4), "aA\r\n");
    EXPECT_EQ(FileSystem::FileSize(paths_.oldLogPath), 100);

    // Now beyond it: the whole log moves to SntOld.log and the entry starts a new one.
    log.AppendLog("B\r\n");
    EXPECT_EQ(Read(paths_.logPath), "B\r\n");
    EXPECT_EQ(FileSystem::FileSize(paths_.oldLogPath), kLimit + 3);
    EXPECT_EQ(Tail(paths_.oldLogPath, 4), "aA\r\n");

    log.AppendLog("C\r\n");
    EXPECT_EQ(Read(paths_.logPath), "B\r\nC\r\n");
}

TEST_F(LogWriterTest, ProblemsLoseTheEntryButNeverTheLog) {
    // The old log cannot be replaced: the big log is kept and the entry goes on its end.
    Fill(paths_.logPath, kLimit + 1, 'a');
    ASSERT_TRUE(FileSystem::MakeDirectories(paths_.oldLogPath));
    const CLogWriter log(paths_.logPath, paths_.oldLogPath);
    log.AppendLog("Z\r\n");
    EXPECT_EQ(FileSystem::FileSize(paths_.logPath), kLimit + 4);
    EXPECT_EQ(Tail(paths_.logPath, 4), "aZ\r\n");

    // No folder to write into: nothing is written, and the caller is told.
    const CLogWriter nowhere(paths_.programFolder + "/missing/Sentrel.log",
                             paths_.programFolder + "/missing/SntOld.log");
    EXPECT_FALSE(nowhere.AppendLog("lost\r\n"));
    EXPECT_FALSE(FileSystem::DirectoryExists(paths_.programFolder + "/missing"));
}

// A batch that cannot be written says so; written again once the log can be, each of
// its entries is there once, after what the log held before.
TEST_F(LogWriterTest, BatchThatCannotBeWrittenFailsAndIsWrittenOnceLater) {
    const CLogWriter log(paths_.logPath, paths_.oldLogPath);
    ASSERT_TRUE(log.AppendLog("before\r\n"));
    const CLogWriter::Batch batch{log.CurrentSize(), {"one\r\n", "two\r\n", "three\r\n"}};

    // The log's place taken by a folder (not even root writes into that).
    std::filesystem::rename(paths_.logPath, paths_.programFolder + "/kept.log");
    ASSERT_TRUE(FileSystem::MakeDirectories(paths_.logPath + "/busy"));
    EXPECT_FALSE(log.WriteBatch(batch, true));
    EXPECT_FALSE(log.WriteBatch(batch, true));

    std::filesystem::remove_all(paths_.logPath);
    std::filesystem::rename(paths_.programFolder + "/kept.log", paths_.logPath);
    EXPECT_TRUE(log.WriteBatch(batch, true));
    EXPECT_EQ(Read(paths_.logPath), "before\r\none\r\ntwo\r\nthree\r\n");
    // An attempt that got part of the way is cut back and written whole.
    ASSERT_TRUE(FileSystem::AppendToFile(paths_.logPath, "tw", false));
    EXPECT_TRUE(log.WriteBatch(batch, true));
    EXPECT_EQ(Read(paths_.logPath), "before\r\none\r\ntwo\r\nthree\r\n");
}
