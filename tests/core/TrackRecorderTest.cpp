// The group commit's use of a track store that refuses: the gap it keeps, the retry
// interval, what the log and the dispatcher get.
#include <gtest/gtest.h>

#include <cmath>

#include "base/Cp1251.h"
#include "persist/TrackRecorder.h"

namespace {

class FakeSink : public TrackSink {
public:
    Written Append(const std::vector<TrackPoint>& points,
                   const std::vector<JournalEntry>& journal) override {
        ++calls;
        if (accept)
            written.insert(written.end(), journal.begin(), journal.end());
        Written w;
        w.ok = accept;
        w.problem = "disk on fire";
        if (accept)
            kept += static_cast<int>(points.size());
        return w;
    }
    void StartRetention(int) override {}
    std::string Location() const override { return "/p/SntTracks.db"; }

    bool accept = false;
    int calls = 0;
    std::vector<JournalEntry> written;
    int kept = 0;
};

TrackPoint At(int minute) {
    TrackPoint p;
    p.objectNumber = 12;
    p.messageTime = DateTime::FromCalendar(2026, 12, 6, 9, minute, 0);
    return p;
}

struct Outcome {
    std::vector<std::string> entries;
    std::vector<std::string> notices;
};

// One commit's points, its files written (or not: `back` gets what is to go with the
// commit's next attempt).
Outcome Record(CTrackRecorder& recorder, const std::vector<TrackPoint>& points,
               bool filesWritten = true, std::vector<TrackPoint>* back = nullptr,
               std::vector<JournalEntry> journal = {}) {
    Outcome out;
    std::vector<TrackPoint> returned;
    recorder.Begin(points, std::move(journal));
    recorder.Finish(filesWritten, returned, out.entries, out.notices);
    if (back != nullptr)
        *back = returned;
    else
        EXPECT_TRUE(returned.empty());
    return out;
}

JournalAlert Raised(int minute) {
    JournalAlert a;
    a.objectNumber = 12;
    a.raisedUtc = DateTime::FromCalendar(2026, 12, 6, 9, minute, 0);
    return a;
}

// The minutes of the alerts the sink took, in order; an acknowledgement as -1.
std::vector<int> Minutes(const std::vector<JournalEntry>& entries) {
    std::vector<int> minutes;
    for (const JournalEntry& e : entries) {
        const JournalAlert* a = std::get_if<JournalAlert>(&e);
        minutes.push_back(a != nullptr
                              ? static_cast<int>(std::lround(
                                    (a->raisedUtc.Linear() -
                                     DateTime::FromCalendar(2026, 12, 6, 9, 0, 0).Linear()) *
                                    1440))
                              : -1);
    }
    return minutes;
}

const std::string kGap = W("/p/SntTracks.db Пропуск в маршрутах: не записано точек ");

}  // namespace

TEST(TrackRecorderTest, RefusedPointsFormOneGapLoggedWhenTheStoreTakesPointsAgain) {
    FakeSink sink;
    CTrackRecorder recorder(
        sink, [] { return std::string("LT"); }, std::chrono::hours(1));
    Outcome first = Record(recorder, {At(5), At(3)});
    EXPECT_EQ(sink.calls, 1);
    ASSERT_EQ(first.entries.size(), 1u);
    EXPECT_EQ(first.entries[0],
              W("LT /p/SntTracks.db Маршруты не записываются: disk on fire. Прием сообщений "
                "продолжается\r\n"));
    ASSERT_EQ(first.notices.size(), 1u);
    EXPECT_NE(first.notices[0].find("disk on fire"), std::string::npos);

    // Within the retry interval the store is not asked: the points join the gap.
    sink.accept = true;
    Outcome second = Record(recorder, {At(9), At(1)});
    EXPECT_EQ(sink.calls, 1);
    EXPECT_TRUE(second.entries.empty());
    EXPECT_TRUE(second.notices.empty());
    EXPECT_TRUE(recorder.gapOpen());

    // The stop: from the earliest to the latest message time lost, however they came.
    std::vector<std::string> atStop;
    recorder.EndGap(atStop);
    ASSERT_EQ(atStop.size(), 1u);
    EXPECT_EQ(atStop[0], "LT " + kGap +
                             W("4, время сообщений (UTC) с 06.12.2026 9:01:00 по "
                               "06.12.2026 9:09:00\r\n"));
    EXPECT_FALSE(recorder.gapOpen());
    atStop.clear();
    recorder.EndGap(atStop);
    EXPECT_TRUE(atStop.empty());
}

TEST(TrackRecorderTest, EachGapIsToldOnceAndClosedByTheFirstWrite) {
    FakeSink sink;
    CTrackRecorder recorder(
        sink, [] { return std::string("LT"); }, std::chrono::milliseconds(0));
    EXPECT_EQ(Record(recorder, {At(1)}).notices.size(), 1u);
    Outcome again = Record(recorder, {At(2)});
    EXPECT_EQ(sink.calls, 2);
    EXPECT_TRUE(again.notices.empty());
    EXPECT_TRUE(again.entries.empty());

    sink.accept = true;
    Outcome back = Record(recorder, {At(3)});
    ASSERT_EQ(back.entries.size(), 1u);
    EXPECT_NE(back.entries[0].find(kGap + "2,"), std::string::npos);
    EXPECT_EQ(sink.kept, 1);
    EXPECT_TRUE(Record(recorder, {At(4)}).entries.empty());

    // A new gap is a new notice.
    sink.accept = false;
    EXPECT_EQ(Record(recorder, {At(5)}).notices.size(), 1u);
    // No points, no call.
    EXPECT_TRUE(Record(recorder, {}).entries.empty());
    EXPECT_EQ(sink.calls, 5);
}

// The commit's files could not be written either: the points the store refused go with the
// commit's next attempt instead of into the gap; those it took do not come back.
TEST(TrackRecorderTest, PointsOfACommitThatFailedAsWellComeBackRatherThanIntoTheGap) {
    FakeSink sink;
    CTrackRecorder recorder(
        sink, [] { return std::string("LT"); }, std::chrono::hours(1));
    std::vector<TrackPoint> back;
    const Outcome refused = Record(recorder, {At(1), At(2)}, false, &back);
    EXPECT_EQ(back.size(), 2u);
    EXPECT_EQ(refused.notices.size(), 1u);  // the store's trouble is told all the same
    EXPECT_FALSE(recorder.gapOpen());
    // Within the retry interval: not offered, and back again.
    Record(recorder, back, false, &back);
    EXPECT_EQ(sink.calls, 1);
    EXPECT_EQ(back.size(), 2u);
    // The files written this time: now they are the gap.
    Record(recorder, back, true, &back);
    EXPECT_TRUE(back.empty());
    EXPECT_TRUE(recorder.gapOpen());

    CTrackRecorder fresh(sink, [] { return std::string("LT"); });
    sink.accept = true;
    Record(fresh, {At(3)}, false, &back);
    EXPECT_TRUE(back.empty());
    EXPECT_EQ(sink.kept, 1);
}

// Alerts and acknowledgements the store refuses are not a gap: they wait, in their order,
// for the next commit the store takes, also one without points; the retry interval holds
// for them as for points.
TEST(TrackRecorderTest, RefusedJournalEntriesWaitInOrderForTheNextWrite) {
    FakeSink sink;
    CTrackRecorder recorder(
        sink, [] { return std::string("LT"); }, std::chrono::milliseconds(0));
    Record(recorder, {At(1)}, true, nullptr, {Raised(1), Raised(2)});
    EXPECT_EQ(recorder.heldAlerts(), 2u);
    Record(recorder, {}, true, nullptr, {JournalAck{Raised(3).raisedUtc, "op", {12}}});
    EXPECT_EQ(sink.calls, 2);  // offered again without points
    EXPECT_TRUE(recorder.holdsJournal());

    sink.accept = true;
    Outcome back = Record(recorder, {At(4)}, true, nullptr, {Raised(4)});
    EXPECT_EQ(Minutes(sink.written), (std::vector<int>{1, 2, -1, 4}));
    EXPECT_FALSE(recorder.holdsJournal());
    ASSERT_EQ(back.entries.size(), 1u);  // the points' gap: the alerts were never lost
    EXPECT_NE(back.entries[0].find(kGap + "1,"), std::string::npos);
    // Once written they are not offered again.
    Record(recorder, {}, true, nullptr, {Raised(5)});
    EXPECT_EQ(Minutes(sink.written), (std::vector<int>{1, 2, -1, 4, 5}));
    // Nothing at all: no call.
    const int calls = sink.calls;
    Record(recorder, {});
    EXPECT_EQ(sink.calls, calls);
}

// Beyond the bound further alerts are given up (acknowledgements never) and logged as a
// gap of their own when the store takes entries again; what is still held when the program
// stops is offered once more, and logged when that fails too.
TEST(TrackRecorderTest, AlertsBeyondTheBoundAndThoseLeftAtTheStopAreLogged) {
    FakeSink sink;
    CTrackRecorder recorder(
        sink, [] { return std::string("LT"); }, std::chrono::milliseconds(0), 2);
    Record(
        recorder, {}, true, nullptr,
        {Raised(1), Raised(2), Raised(7), JournalAck{Raised(8).raisedUtc, "op", {12}}, Raised(3)});
    EXPECT_EQ(recorder.heldAlerts(), 2u);
    EXPECT_TRUE(recorder.gapOpen());
    sink.accept = true;
    const Outcome written = Record(recorder, {}, true, nullptr, {});
    EXPECT_EQ(Minutes(sink.written), (std::vector<int>{1, 2, -1}));
    ASSERT_EQ(written.entries.size(), 1u);
    EXPECT_EQ(written.entries[0],
              W("LT /p/SntTracks.db Пропуск в журнале оповещений: не записано оповещений 2, "
                "время (UTC) с 06.12.2026 9:03:00 по 06.12.2026 9:07:00\r\n"));
    EXPECT_FALSE(recorder.gapOpen());

    // The stop: the store takes what was held.
    sink.accept = false;
    Record(recorder, {}, true, nullptr, {Raised(9)});
    sink.accept = true;
    std::vector<std::string> atStop;
    recorder.EndGap(atStop);
    EXPECT_EQ(Minutes(sink.written), (std::vector<int>{1, 2, -1, 9}));
    EXPECT_TRUE(atStop.empty());
    // It refuses: the entries are logged as lost.
    sink.accept = false;
    Record(recorder, {}, true, nullptr, {Raised(10), Raised(11)});
    recorder.EndGap(atStop);
    ASSERT_EQ(atStop.size(), 1u);
    EXPECT_NE(atStop[0].find(W("не записано оповещений 2, время (UTC) с 06.12.2026 9:10:00")),
              std::string::npos);
    EXPECT_FALSE(recorder.holdsJournal());
}
