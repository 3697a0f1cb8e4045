// The group commit's use of a track store that refuses: the gap it keeps, the retry
// interval, what the log and the dispatcher get.
#include <gtest/gtest.h>

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
               bool filesWritten = true, std::vector<TrackPoint>* back = nullptr) {
    Outcome out;
    std::vector<TrackPoint> returned;
    recorder.Begin(points);
    recorder.Finish(filesWritten, returned, out.entries, out.notices);
    if (back != nullptr)
        *back = returned;
    else
        EXPECT_TRUE(returned.empty());
    return out;
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
