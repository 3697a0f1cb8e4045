#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
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
// Threads: Record runs inside the commit (serialised, without the store lock); EndGap
// after the workers have stopped.
class CTrackRecorder {
public:
    // `logTime` gives the time stamp a log entry written now starts with.
    CTrackRecorder(TrackSink& sink, std::function<std::string()> logTime,
                   std::chrono::milliseconds retryAfter = std::chrono::seconds(5));

    // Hands a commit's points to the store. Log entries (whole entries) are appended to
    // `entries`, notices for the dispatcher (Windows-1251) to `notices`.
    void Record(const std::vector<TrackPoint>& points, std::vector<std::string>& entries,
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

    int64_t gapPoints_ = 0;
    DateTime gapFrom_;
    DateTime gapTo_;
    // The last refusal (steady clock); the store refuses, and the dispatcher was told.
    std::chrono::steady_clock::time_point lastFailure_{};
    bool failing_ = false;
};
