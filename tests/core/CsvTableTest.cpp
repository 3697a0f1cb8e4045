// The CSV tables of the reports, byte for byte as a spreadsheet on a Russian-language
// system reads them: UTF-8 with a byte-order mark, ';' between fields, CR LF after each
// line, quotes only where a field needs them; decimal commas; display-time stamps. The file
// appears whole or not at all.
#include <gtest/gtest.h>

#include <limits>

#include "ConsoleTestSupport.h"
#include "base/Cp1251.h"
#include "persist/CsvTable.h"
#include "platform/FileSystem.h"

using consoletest::Exists;
using consoletest::ReadFile;
using consoletest::TempFolder;
using consoletest::WriteFile;

TEST(CsvTableTest, FileIsBomHeaderAndQuotedRows) {
    TempFolder dir;
    const std::string path = dir.path() + "/" + W("отчёт.csv");
    CCsvTable table(path, {"Время", "Объект"});
    EXPECT_TRUE(table.AddRow({"a;b", "say \"hi\"", "line1\r\nline2", "plain", ""}));
    EXPECT_TRUE(table.AddRow({"lf\nonly", "cr\ronly", "\"", "Склад №1", "x y,z"}));
    EXPECT_FALSE(FileSystem::FileExists(path));  // nothing under the target's name before Finish
    std::string problem;
    ASSERT_TRUE(table.Finish(problem)) << problem;
    EXPECT_EQ(table.RowCount(), 2);
    const std::string expected =
        "\xEF\xBB\xBF"
        "\xD0\x92\xD1\x80\xD0\xB5\xD0\xBC\xD1\x8F;"             // Время
        "\xD0\x9E\xD0\xB1\xD1\x8A\xD0\xB5\xD0\xBA\xD1\x82\r\n"  // Объект
        "\"a;b\";\"say \"\"hi\"\"\";\"line1\r\nline2\";plain;\r\n"
        "\"lf\nonly\";\"cr\ronly\";\"\"\"\";"
        "\xD0\xA1\xD0\xBA\xD0\xBB\xD0\xB0\xD0\xB4 \xE2\x84\x96"
        "1;x y,z\r\n";
    // The path is the core's (Windows-1251), as the windows hand it over.
    std::string written;
    ASSERT_TRUE(FileSystem::ReadWholeFile(path, written));
    EXPECT_EQ(written, expected);
}

TEST(CsvTableTest, NumbersTimesAndSpans) {
    EXPECT_EQ(CCsvTable::Decimal(1234.567, 2), "1234,57");
    EXPECT_EQ(CCsvTable::Decimal(12, 1), "12,0");
    EXPECT_EQ(CCsvTable::Decimal(-0.001, 2), "0,00");
    EXPECT_EQ(CCsvTable::Decimal(-3.26, 1), "-3,3");
    EXPECT_EQ(CCsvTable::Decimal(std::numeric_limits<double>::quiet_NaN(), 2), "");
    EXPECT_EQ(CCsvTable::Decimal(std::numeric_limits<double>::infinity(), 2), "");

    // Display time is three hours ahead of the stamps (offset -180), and two-digit hours.
    const DateTime nine = DateTime::FromCalendar(2026, 12, 6, 6, 5, 7);
    EXPECT_EQ(CCsvTable::ShownTime(nine, -180), "06.12.2026 09:05:07");
    EXPECT_EQ(CCsvTable::ShownTime(nine, 0), "06.12.2026 06:05:07");
    // The offset carries the date over the year's end.
    EXPECT_EQ(CCsvTable::ShownTime(DateTime::FromCalendar(2026, 12, 31, 23, 30, 0), -60),
              "01.01.2027 00:30:00");
    EXPECT_EQ(CCsvTable::ShownTime(DateTime::Never(), 0), "");
    EXPECT_EQ(CCsvTable::ShownTime(DateTime(46000.0, 1), 0), "");  // an invalid stamp
    EXPECT_EQ(CCsvTable::Date(DateTime::FromCalendar(2027, 1, 2, 23, 59, 0)), "02.01.2027");

    EXPECT_EQ(CCsvTable::Span(195.0 / 86400), "00:03:15");
    EXPECT_EQ(CCsvTable::Span(27.0 / 24 + 61.0 / 86400), "27:01:01");
    EXPECT_EQ(CCsvTable::Span(0), "00:00:00");
    EXPECT_EQ(CCsvTable::Span(-5.0 / 86400), "00:00:00");
}

TEST(CsvTableTest, ReplacesWholeOrLeavesTheOldFile) {
    TempFolder dir;
    const std::string path = dir.path() + "/report.csv";
    WriteFile(path, "old");
    {
        // Given up half-way: the old file stays and no temporary is left behind.
        CCsvTable table(path, {"A"});
        table.AddRow({"1"});
    }
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_FALSE(Exists(FileSystem::TemporaryPathFor(path, "csv")));

    // Many rows go to the disk in chunks while the table is written; all arrive once.
    CCsvTable big(path, {"A", "B"});
    std::string expected =
        "\xEF\xBB\xBF"
        "A;B\r\n";
    for (int i = 0; i < 30000; ++i) {
        ASSERT_TRUE(big.AddRow({std::to_string(i), "row text"}));
        expected += std::to_string(i) + ";row text\r\n";
    }
    EXPECT_EQ(ReadFile(path), "old");
    std::string problem;
    ASSERT_TRUE(big.Finish(problem));
    EXPECT_EQ(ReadFile(path), expected);

    // A folder that is not there: reported, nothing written.
    const std::string nowhere = dir.path() + "/missing/report.csv";
    CCsvTable failed(nowhere, {"A"});
    EXPECT_FALSE(failed.AddRow({"1"}));
    EXPECT_FALSE(failed.Finish(problem));
    EXPECT_EQ(problem, W("Не удалось записать файл ") + nowhere);
    EXPECT_FALSE(Exists(nowhere));
}
