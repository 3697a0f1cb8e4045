#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "persist/TrackSink.h"

// The track store as the group commit uses it. Live monitoring comes first: while the
// store cannot take points (disk full, locked, damaged beyond setting aside), the commit
// goes on without it and the points lost form one gap — the first and the last message
// time lost and how many points — that the log gets when the store takes points again or
// the program stops. The dispatcher is told once per gap, and once when a damaged store
// was set aside. While a gap is open the store is tried again only every `retryAfter`;
// the points in between belong to the gap.
//
// Threads: Begin and Finish run inside the commit (serialised, without the store lock),
// the store's Append on a thread of its own between them; EndGap after the workers have
// stopped.
class CTrackRecorder {
public:
    // `logTime` gives the time stamp a log entry written now starts with.
    CTrackRecorder(TrackSink& sink, std::function<std::string()> logTime,
                   std::chrono::milliseconds retryAfter = std::chrono::seconds(5));

    // Starts writing a commit's points, on a thread of their own, so that they go in while
    // the commit writes its files. Finish must follow.
    void Begin(std::vector<TrackPoint> points);
    // Waits for them, before the commit's journal. `filesWritten`: the commit's files were
    // written; when they were not and the store did not take the points either, the
    // points come back in `back` to go with the commit's next attempt rather than into
    // the gap. Log entries (whole entries) are appended to `entries`, notices for the
    // dispatcher (Windows-1251) to `notices`.
    void Finish(bool filesWritten, std::vector<TrackPoint>& back, std::vector<std::string>& entries,
                std::vector<std::string>& notices);
    // The program stops with a gap open: its log entry, appended to `entries`.
    void EndGap(std::vector<std::string>& entries);
    bool gapOpen() const { return gapPoints_ > 0; }
    TrackSink& sink() { return sink_; }

private:
    void AddToGap(const std::vector<TrackPoint>& points);
    std::string GapEntry() const;

    TrackSink& sink_;
    const std::function<std::string()> logTime_;
    const std::chrono::milliseconds retryAfter_;

    // The points of the commit under way, and the store's answer to come.
    std::vector<TrackPoint> inFlight_;
    bool attempted_ = false;
    std::future<TrackSink::Written> pending_;

    int64_t gapPoints_ = 0;
    DateTime gapFrom_;
    DateTime gapTo_;
    // The last refusal (steady clock); the store refuses, and the dispatcher was told.
    std::chrono::steady_clock::time_point lastFailure_{};
    bool failing_ = false;
};
