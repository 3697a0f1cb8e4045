// The reports as another program reads them: Python's csv module (UTF-8 with a
// byte-order mark, ';' between fields) takes the headers, the Cyrillic texts, the
// separators and quotes inside them, the times and the decimal commas back as written.
// The routes come from a real track store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "ConsoleTestSupport.h"
#include "FakeAlertJournal.h"
#include "SqliteJournalReader.h"
#include "SqliteTrackReader.h"
#include "SqliteTrackStore.h"
#include "base/Cp1251.h"
#include "base/TextUtil.h"
#include "persist/ShiftReports.h"

using consoletest::FakeAlertJournal;
using consoletest::ReadFile;
using consoletest::TempFolder;

namespace {

DateTime Utc(int day, int hour, int minute, int second = 0) {
    return DateTime::FromCalendar(2026, 12, day, hour, minute, second);
}

TrackPoint Fix(int32_t object, DateTime t, double latitude, const char* zone = "") {
    TrackPoint p;
    p.objectNumber = object;
    p.messageTime = t;
    p.receiveTime = t;
    p.latitude = latitude;
    p.longitude = 60.6;
    p.speedKmh = 30;
    p.zoneName = W(zone);
    return p;
}

class CsvReadBackTest : public testing::Test {
protected:
    // The rows of a report as Python's csv module reads them, each a JSON list.
    std::vector<std::string> ReadBack(const std::string& name) {
        const std::string out = dir.path() + "/parsed.txt";
        const std::string command = std::string("python3 '") + SENTREL_CSV_SCRIPT + "' '" +
                                    dir.path() + "/" + name + "' > '" + out + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::vector<std::string> lines;
        std::istringstream parsed(ReadFile(out));
        for (std::string line; std::getline(parsed, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    TempFolder dir;
};

}  // namespace

TEST_F(CsvReadBackTest, AlertsReadBackWithTheirTexts) {
    FakeAlertJournal journal;
    JournalAlert a;
    a.id = 1;
    a.objectNumber = 12;
    a.objectName = W("Газель \"Ласточка\"; №2");
    a.raisedUtc = Utc(6, 6, 0, 5);
    a.kind = JournalKind::ForbiddenArrival;
    a.zoneName = W("Склад; \"Юг\"");
    a.text = W("Объект прибыл в запрещенный район\r\nСклад");
    a.acknowledged = true;
    a.acknowledgedUtc = Utc(6, 7, 2, 0);
    a.acknowledgedAccount = W("Иванов");
    JournalAlert b;
    b.id = 2;
    b.objectNumber = 7;
    b.objectName = W("Бус");
    b.raisedUtc = Utc(6, 23, 59, 59);
    b.kind = JournalKind::PowerOn;
    b.text = W("Включение контроллера");
    journal.rows = {a, b};
    std::string problem;
    ASSERT_TRUE(
        CShiftReports::WriteAlerts(journal, {}, -180, dir.path() + "/" + W("Журнал.csv"), problem))
        << problem;
    EXPECT_EQ(ReadBack("Журнал.csv"),
              (std::vector<std::string>{
                  R"(["Время", "Объект", "Название", "Событие", "Район", "Текст", )"
                  R"("Подтверждено", "Кто подтвердил", "Время реакции"])",
                  R"(["06.12.2026 09:00:05", "12", "Газель \"Ласточка\"; №2", )"
                  R"("Прибытие в запрещенный район", "Склад; \"Юг\"", )"
                  R"("Объект прибыл в запрещенный район\r\nСклад", "06.12.2026 10:02:00", )"
                  R"("Иванов", "01:01:55"])",
                  R"(["07.12.2026 02:59:59", "7", "Бус", "Включение контроллера", "", )"
                  R"("Включение контроллера", "", "", ""])"}));
}

TEST_F(CsvReadBackTest, VisitsAndMileageOfStoredRoutes) {
    const std::string db = dir.path() + "/SntTracks.db";
    {
        CSqliteTrackStore store(db);
        ASSERT_TRUE(store
                        .Append({Fix(12, Utc(6, 6, 0), 56.80), Fix(12, Utc(6, 6, 1), 56.81),
                                 Fix(12, Utc(6, 6, 2), 56.82, "Депо; \"Север\""),
                                 Fix(12, Utc(6, 6, 40), 56.82, "Депо; \"Север\""),
                                 Fix(12, Utc(6, 6, 41), 56.83), Fix(7, Utc(6, 22, 0), 56.5)})
                        .ok);
    }
    CSqliteTrackReader reader(db);
    const std::vector<CShiftReports::Vehicle> vehicles = {{12, W("Газель; №1")}, {7, W("Бус")}};
    std::string problem;
    ASSERT_TRUE(CShiftReports::WriteVisits(reader, vehicles, Utc(6, 0, 0), Utc(7, 0, 0), -180,
                                           dir.path() + "/visits.csv", problem))
        << problem;
    EXPECT_EQ(ReadBack("visits.csv"),
              (std::vector<std::string>{
                  R"(["Объект", "Название", "Район", "Прибытие", "Убытие", "Длительность"])",
                  R"(["12", "Газель; №1", "Депо; \"Север\"", "06.12.2026 09:02:00", )"
                  R"("06.12.2026 09:41:00", "00:39:00"])"}));

    ASSERT_TRUE(CShiftReports::WriteMileage(reader, vehicles, Utc(5, 21, 0), Utc(7, 21, 0), -180,
                                            dir.path() + "/mileage.csv", problem))
        << problem;
    // 0.01 degree of latitude is 1,111.95 m: three steps 3.34 km (the stay adds nothing);
    // the bus's one point lies on the 7th in display time.
    EXPECT_EQ(ReadBack("mileage.csv"),
              (std::vector<std::string>{R"(["Объект", "Название", "Дата", "Пробег, км", "Точек"])",
                                        R"(["12", "Газель; №1", "06.12.2026", "3,34", "5"])",
                                        R"(["7", "Бус", "07.12.2026", "0,00", "1"])"}));
}

// The export pages the real journal by the time raised: 1,500 alerts raised in one
// millisecond (more than a page) and 1,000 more, some a fraction of a millisecond apart,
// each in the file once, oldest first.
TEST_F(CsvReadBackTest, AlertsOfAStoredJournalEachOnce) {
    const std::string db = dir.path() + "/SntTracks.db";
    const DateTime start = Utc(6, 8, 0);
    {
        CSqliteTrackStore store(db);
        std::vector<JournalEntry> entries;
        for (int i = 1; i <= 2500; ++i) {
            JournalAlert a;
            a.objectNumber = i;
            a.objectName = "V";
            a.kind = JournalKind::Alarm;
            a.text = "t";
            a.messageTime = start.AddDays(i / 86400000.0);
            a.receiveTime = a.messageTime;
            a.raisedUtc = i <= 1500 ? start : start.AddDays((i - 1500) * 0.4 / 86400000.0);
            entries.emplace_back(std::move(a));
        }
        ASSERT_TRUE(store.Append({}, entries).ok);
    }
    CSqliteJournalReader journal(db);
    ASSERT_EQ(journal.CountRows({}).rows, 2500);
    const std::string path = dir.path() + "/alerts.csv";
    std::string problem;
    int64_t rows = 0;
    ASSERT_TRUE(CShiftReports::WriteAlerts(journal, {}, 0, path, problem, &rows)) << problem;
    EXPECT_EQ(rows, 2500);
    std::istringstream lines(ReadFile(path));
    std::string line;
    std::getline(lines, line);  // the header
    std::vector<int> objects;
    while (std::getline(lines, line)) {
        objects.push_back(TextUtil::LeadingInt(line.substr(line.find(';') + 1)));
    }
    ASSERT_EQ(objects.size(), 2500u);
    // Ties in the order the store keeps them (by row number): the order written.
    for (int i = 0; i < 2500; ++i) {
        EXPECT_EQ(objects[static_cast<std::size_t>(i)], i + 1) << i;
        if (objects[static_cast<std::size_t>(i)] != i + 1) {
            break;
        }
    }
}
