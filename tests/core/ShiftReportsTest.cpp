// The shift reports: the alerts of the journal read page by page and written once each,
// the zone visits and the mileage per day from the track store, in display time, byte
// for byte; a source that cannot be read leaves no file and says why.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "ConsoleTestSupport.h"
#include "FakeAlertJournal.h"
#include "base/Cp1251.h"
#include "base/TextUtil.h"
#include "persist/ShiftReports.h"
#include "zones/Geometry.h"

using consoletest::Exists;
using consoletest::FakeAlertJournal;
using consoletest::ReadFile;
using consoletest::TempFolder;

namespace {

const char* const kBom = "\xEF\xBB\xBF";

class FakeTracks : public TrackSource {
public:
    Read Points(int32_t object, DateTime fromUtc, DateTime toUtc) override {
        asked.push_back({object, fromUtc, toUtc});
        Read read;
        read.problem = problem;
        if (problem.empty()) {
            for (const TrackPoint& p : routes[object]) {
                if (fromUtc <= p.messageTime && p.messageTime < toUtc) {
                    read.points.push_back(p);
                }
            }
        }
        return read;
    }
    struct Asked {
        int32_t object;
        DateTime from;
        DateTime to;
    };
    std::map<int32_t, std::vector<TrackPoint>> routes;
    std::vector<Asked> asked;
    std::string problem;
};

DateTime Utc(int day, int hour, int minute, int second = 0) {
    return DateTime::FromCalendar(2026, 12, day, hour, minute, second);
}

TrackPoint Fix(DateTime t, double latitude, double longitude = 60.0, const char* zone = "") {
    TrackPoint p;
    p.objectNumber = 12;
    p.messageTime = t;
    p.receiveTime = t;
    p.latitude = latitude;
    p.longitude = longitude;
    p.zoneName = W(zone);
    return p;
}

JournalAlert Alert(int64_t id, int32_t object, DateTime raised, JournalKind kind) {
    JournalAlert a;
    a.id = id;
    a.objectNumber = object;
    a.raisedUtc = raised;
    a.messageTime = raised;
    a.receiveTime = raised;
    a.kind = kind;
    return a;
}

// The lines of a file without its byte-order mark (no field here holds a line end).
std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t at = bytes.rfind(kBom, 0) == 0 ? 3 : 0;
    while (at < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", at);
        lines.push_back(bytes.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

}  // namespace

TEST(ShiftReportsTest, AlertsInDisplayTimeWithAcknowledgementAndReaction) {
    FakeAlertJournal journal;
    JournalAlert late = Alert(2, 7, Utc(6, 7, 0), JournalKind::ForbiddenArrival);
    late.objectName = W("Бус");
    late.zoneName = W("Склад №1");
    late.text = "x";
    JournalAlert early = Alert(9, 12, Utc(6, 6, 0), JournalKind::Alarm);
    early.objectName = W("Газель \"Ласточка\"; 2");
    early.text = W("Тревога на объекте 12-Газель\r\nСклад");
    early.acknowledged = true;
    early.acknowledgedUtc = Utc(6, 6, 3, 15);
    early.acknowledgedAccount = "ivanov";
    journal.rows = {late, early};
    TempFolder dir;
    const std::string path = dir.path() + "/alerts.csv";
    std::string problem;
    int64_t rows = 0;
    ASSERT_TRUE(CShiftReports::WriteAlerts(journal, {}, -180, path, problem, &rows)) << problem;
    EXPECT_EQ(rows, 2);
    // Oldest first; display time three hours ahead of UTC.
    EXPECT_EQ(ReadFile(path),
              std::string(kBom) +
                  "Время;Объект;Название;Событие;Район;Текст;Подтверждено;Кто подтвердил;"
                  "Время реакции\r\n"
                  "06.12.2026 09:00:00;12;\"Газель \"\"Ласточка\"\"; 2\";Тревога;;"
                  "\"Тревога на объекте 12-Газель\r\nСклад\";06.12.2026 09:03:15;ivanov;"
                  "00:03:15\r\n"
                  "06.12.2026 10:00:00;7;Бус;Прибытие в запрещенный район;Склад №1;x;;;\r\n");

    // A journal that cannot be read: its reason, and no file.
    journal.problem = W("База повреждена");
    const std::string other = dir.path() + "/other.csv";
    EXPECT_FALSE(CShiftReports::WriteAlerts(journal, {}, 0, other, problem));
    EXPECT_EQ(problem, W("База повреждена"));
    EXPECT_FALSE(Exists(other));
}

TEST(ShiftReportsTest, AlertsArePagedByTimeAndWrittenOnceEach) {
    // 1,500 alerts raised in the same millisecond (more than a page), then one a second;
    // every third one a power-on, which the filter leaves out.
    FakeAlertJournal journal;
    const DateTime start = Utc(6, 8, 0);
    std::set<int64_t> wanted;
    for (int64_t id = 1; id <= 2600; ++id) {
        const DateTime raised = id <= 1500 ? start : start.AddDays((id - 1500) / 86400.0);
        const JournalKind kind = id % 3 == 0 ? JournalKind::PowerOn : JournalKind::Alarm;
        journal.rows.push_back(Alert(id, static_cast<int32_t>(id), raised, kind));
        if (kind == JournalKind::Alarm) {
            wanted.insert(id);
        }
    }
    AlertJournalSource::Filter filter;
    filter.kinds = JournalKindBit(JournalKind::Alarm);
    TempFolder dir;
    const std::string path = dir.path() + "/alerts.csv";
    std::string problem;
    ASSERT_TRUE(CShiftReports::WriteAlerts(journal, filter, 0, path, problem)) << problem;
    const std::vector<std::string> lines = Lines(ReadFile(path));
    ASSERT_EQ(lines.size(), wanted.size() + 1);
    std::vector<int64_t> written;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::size_t from = lines[i].find(';') + 1;
        written.push_back(TextUtil::LeadingInt(lines[i].substr(from)));
    }
    EXPECT_EQ(written, std::vector<int64_t>(wanted.begin(), wanted.end()));
    // The pages were asked for with the filter's kinds, never deep into the table.
    EXPECT_EQ(journal.lastFilter.kinds, JournalKindBit(JournalKind::Alarm));
    for (const auto& asked : journal.asked) {
        EXPECT_LE(asked.offset, 1000);
        EXPECT_EQ(asked.limit, CShiftReports::kAlertPage);
    }
    EXPECT_LE(journal.pages.load(), 6);
}

TEST(ShiftReportsTest, VisitsOfEachVehicle) {
    FakeTracks tracks;
    tracks.routes[12] = {Fix(Utc(6, 6, 0), 56.0), Fix(Utc(6, 6, 10), 56.1, 60.0, "Depot"),
                         Fix(Utc(6, 6, 25), 56.1, 60.0, "Depot"), Fix(Utc(6, 6, 30), 56.2)};
    tracks.routes[7] = {Fix(Utc(6, 6, 0), 56.1, 60.0, "Склад"),
                        Fix(Utc(6, 6, 1), 56.1, 60.0, "Склад")};
    TempFolder dir;
    const std::string path = dir.path() + "/visits.csv";
    std::string problem;
    ASSERT_TRUE(CShiftReports::WriteVisits(tracks, {{12, W("Газель")}, {7, W("Бус")}}, Utc(6, 0, 0),
                                           Utc(7, 0, 0), -180, path, problem))
        << problem;
    // The bus is still there when the period ends: no departure, the stay up to its
    // last point.
    EXPECT_EQ(ReadFile(path), std::string(kBom) +
                                  "Объект;Название;Район;Прибытие;Убытие;Длительность\r\n"
                                  "12;Газель;Depot;06.12.2026 09:10:00;06.12.2026 09:30:00;"
                                  "00:20:00\r\n"
                                  "7;Бус;Склад;06.12.2026 09:00:00;;00:01:00\r\n");

    tracks.problem = "locked";
    const std::string other = dir.path() + "/other.csv";
    EXPECT_FALSE(CShiftReports::WriteVisits(tracks, {{12, "Truck"}}, Utc(6, 0, 0), Utc(7, 0, 0), 0,
                                            other, problem));
    EXPECT_EQ(problem, W("Маршрут объекта 12 не прочитан: locked"));
    EXPECT_FALSE(Exists(other));
}

TEST(ShiftReportsTest, MileageSkipsWrongJumpsAndBridgesGaps) {
    auto d = [](double lat1, double lat2) { return GreatCircleDistance(lat1, 60, lat2, 60); };
    // Display time is UTC + 3: 21:00 UTC is midnight.
    const std::vector<TrackPoint> points = {
        Fix(Utc(6, 20, 0), 56.00),
        Fix(Utc(6, 20, 1), 56.01),            // 1.1 km in a minute: driven
        Fix(Utc(6, 20, 2), 57.01),            // 111 km in a minute: a wrong fix
        Fix(Utc(6, 20, 3), 56.02),            // and back from it: left out too
        Fix(Utc(6, 20, 20), 56.03),           // driven
        Fix(Utc(6, 20, 50), 56.13),           // after half an hour of silence: 22 km/h
        Fix(Utc(6, 20, 50), 56.13),           // the same fix again: nothing
        Fix(Utc(6, 20, 50), 56.1301),         // elsewhere at the same moment: left out
        Fix(Utc(6, 21, 0, 30), 56.14),        // the next day; the step over midnight in neither
        Fix(Utc(6, 21, 1, 30), 56.15),        // driven
        Fix(Utc(6, 21, 2, 0), 200.0, 400.0),  // no position: counted as a point only
        Fix(Utc(6, 21, 3, 0), 56.16),         // driven, from the last usable fix
    };
    const std::vector<CShiftReports::DayMileage> days = CShiftReports::MileageByDay(points, -180);
    ASSERT_EQ(days.size(), 2u);
    EXPECT_EQ(days[0].day, DateTime::FromCalendar(2026, 12, 6));
    EXPECT_EQ(days[0].points, 8);
    EXPECT_NEAR(days[0].metres, d(56.00, 56.01) + d(56.02, 56.03) + d(56.03, 56.13), 0.01);
    EXPECT_EQ(days[1].day, DateTime::FromCalendar(2026, 12, 7));
    EXPECT_EQ(days[1].points, 4);
    EXPECT_NEAR(days[1].metres, d(56.14, 56.15) + d(56.15, 56.16), 0.01);
}

TEST(ShiftReportsTest, MileageFileReadsTheStoreADayAtATime) {
    FakeTracks tracks;
    // Three fixes 0.01 degree of latitude apart (1,111.95 m each) on 6 December (display
    // time), one on the 7th, none on the 8th.
    tracks.routes[12] = {Fix(Utc(6, 9, 0), 56.00), Fix(Utc(6, 9, 1), 56.01),
                         Fix(Utc(6, 9, 2), 56.02), Fix(Utc(7, 9, 0), 56.02)};
    TempFolder dir;
    const std::string path = dir.path() + "/mileage.csv";
    std::string problem;
    // From 10:00 on the 6th to midnight after the 8th, display time.
    ASSERT_TRUE(CShiftReports::WriteMileage(tracks, {{12, W("Газель")}}, Utc(6, 7, 0),
                                            Utc(8, 21, 0), -180, path, problem))
        << problem;
    EXPECT_EQ(ReadFile(path), std::string(kBom) +
                                  "Объект;Название;Дата;Пробег, км;Точек\r\n"
                                  "12;Газель;06.12.2026;2,22;3\r\n"
                                  "12;Газель;07.12.2026;0,00;1\r\n");
    // One read per display day, the first from the period's start.
    ASSERT_EQ(tracks.asked.size(), 3u);
    EXPECT_EQ(tracks.asked[0].from, Utc(6, 7, 0));
    EXPECT_EQ(tracks.asked[0].to, Utc(6, 21, 0));
    EXPECT_EQ(tracks.asked[1].from, Utc(6, 21, 0));
    EXPECT_EQ(tracks.asked[1].to, Utc(7, 21, 0));
    EXPECT_EQ(tracks.asked[2].to, Utc(8, 21, 0));
}

TEST(ShiftReportsTest, KindTextsAndReaction) {
    EXPECT_EQ(CShiftReports::KindText(JournalKind::PowerOn), W("Включение контроллера"));
    EXPECT_EQ(CShiftReports::KindText(JournalKind::DestinationDeparture),
              W("Убытие из района назначения"));
    JournalAlert a = Alert(1, 1, Utc(6, 10, 0), JournalKind::Alarm);
    EXPECT_EQ(CShiftReports::ReactionText(a), "");
    a.acknowledged = true;
    a.acknowledgedUtc = Utc(7, 11, 2, 3);
    EXPECT_EQ(CShiftReports::ReactionText(a), "25:02:03");
}
