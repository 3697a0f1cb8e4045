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
// The alert journal's entries are few and are never given up that way: while the store
// refuses they are kept, in their order, and go with the next commit the store takes. Only
// beyond `maxHeldAlerts` alerts waiting are further alerts given up; they form a gap of
// their own (how many, first and last raise time) that the log gets like the points' gap.
// Acknowledgements are always kept. Kept in memory: a crash while the store refuses loses
// them.
//
// Threads: Begin and Finish run inside the commit (serialised, without the store lock),
// the store's Append on a thread of its own between them; EndGap after the workers have
// stopped.
class CTrackRecorder {
public:
    // `logTime` gives the time stamp a log entry written now starts with.
    static constexpr std::size_t kMaxHeldAlerts = 100000;

    CTrackRecorder(TrackSink& sink, std::function<std::string()> logTime,
                   std::chrono::milliseconds retryAfter = std::chrono::seconds(5),
                   std::size_t maxHeldAlerts = kMaxHeldAlerts);

    // Starts writing a commit's points, with the journal's entries waiting and the
    // commit's own after them, on a thread of their own, so that they go in while the
    // commit writes its files. Finish must follow.
    void Begin(std::vector<TrackPoint> points, std::vector<JournalEntry> journal = {});
    // Waits for them, before the commit's journal. `filesWritten`: the commit's files were
    // written; when they were not and the store did not take the points either, the
    // points come back in `back` to go with the commit's next attempt rather than into
    // the gap. Log entries (whole entries) are appended to `entries`, notices for the
    // dispatcher (Windows-1251) to `notices`.
    void Finish(bool filesWritten, std::vector<TrackPoint>& back, std::vector<std::string>& entries,
                std::vector<std::string>& notices);
    // The program stops: journal entries still waiting are tried once more (now, on this
    // thread); a gap open, of points or of alerts, gets its log entry, appended to
    // `entries`.
    void EndGap(std::vector<std::string>& entries);
    bool gapOpen() const { return gapPoints_ > 0 || lostAlerts_ > 0; }
    // Journal entries wait for the store.
    bool holdsJournal() const { return !held_.empty(); }
    std::size_t heldAlerts() const { return heldAlerts_; }
    TrackSink& sink() { return sink_; }

private:
    void AddToGap(const std::vector<TrackPoint>& points);
    std::string GapEntry() const;
    // Keeps an entry for the store, or counts an alert beyond the bound as lost.
    void Hold(JournalEntry entry);
    void Lose(const JournalAlert& alert);
    std::string LostAlertsEntry() const;
    // The gaps' log entries, which close them.
    void CloseGaps(std::vector<std::string>& entries);
    // The store took everything offered.
    void TookAll(std::vector<std::string>& entries);

    TrackSink& sink_;
    const std::function<std::string()> logTime_;
    const std::chrono::milliseconds retryAfter_;
    const std::size_t maxHeldAlerts_;

    // The points of the commit under way, and the store's answer to come.
    std::vector<TrackPoint> inFlight_;
    bool attempted_ = false;
    std::future<TrackSink::Written> pending_;

    int64_t gapPoints_ = 0;
    DateTime gapFrom_;
    DateTime gapTo_;
    // The journal's entries the store has not taken yet, in order (sent with each attempt).
    std::vector<JournalEntry> held_;
    std::size_t heldAlerts_ = 0;
    // Alerts given up beyond the bound, and their first and last raise time (UTC).
    int64_t lostAlerts_ = 0;
    DateTime lostFrom_;
    DateTime lostTo_;
    // The last refusal (steady clock); the store refuses, and the dispatcher was told.
    std::chrono::steady_clock::time_point lastFailure_{};
    bool failing_ = false;
};
