#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "refresh/RefreshSnapshot.h"

class CDataStore;
class Clock;
class ManualResetEvent;

// The once-a-second refresh: what every shown row displays and how it is coloured.
//
// A pass has two halves. Gather runs under the store lock and only compares each shown
// object with the copy the previous pass kept, copies what differs, clears a day path
// from another day and decides the row's state. Format runs after the lock is released
// and turns the copies into texts: the texts that depend on the clock every time, the
// others only when their inputs changed. The caller runs the two halves of one pass
// one after the other and never two passes at once (the console serialises them).
class CRefreshPass {
public:
    // One whole pass: Prepare, Gather with `storeMutex` held (where `whileLocked` also
    // fills the snapshot's other fields, as of the clock's `now`), Format after it.
    // Passes from several threads run one after the other.
    std::shared_ptr<RefreshSnapshot> Run(
        std::mutex& storeMutex, CDataStore& store, const Clock& clock, const ManualResetEvent& stop,
        const std::function<void(RefreshSnapshot&, DateTime now)>& whileLocked);

    // Before the lock: makes as many rows ready as the last pass filled, so that the
    // lock is not held while their memory is allocated and first touched.
    void Prepare(RefreshSnapshot& snapshot) const;
    // Store lock held. Fills the rows of `snapshot` (everything but their texts) and
    // updates the objects' rowState and day paths. `stop` ends the pass after the row in
    // hand, whose colouring is then left for the next pass.
    void Gather(CDataStore& store, DateTime now, const ManualResetEvent& stop,
                RefreshSnapshot& snapshot);
    // Lock released. The texts of the rows Gather filled, as of `now`.
    void Format(RefreshSnapshot& snapshot, DateTime now);

    // How long the last pass held the store lock, in nanoseconds (for measurements).
    int64_t lastLockedNs() const { return lastLockedNs_.load(std::memory_order_relaxed); }
    void SetLastLockedNs(int64_t ns) { lastLockedNs_.store(ns, std::memory_order_relaxed); }

private:
    // What one object's texts are made of, as the last pass saw it, and the texts made
    // of it.
    struct CachedRow {
        bool formatted = false;  // the texts below belong to the inputs
        std::string id;
        std::string name;
        int32_t speedKmh = 0;
        int32_t computedSpeedKmh = 0;
        uint64_t pathBits = 0;  // bit patterns: -0.0 prints differently from 0.0
        uint64_t dayPathBits = 0;
        int32_t currentZone = -1;
        std::string currentZoneName;
        std::string lastZoneName;
        bool hasPreviousZone = false;
        std::string previousZoneName;

        // Copied every pass (the ages move with the clock).
        DateTime lastReceivedAt;
        DateTime lastMessageTime;
        DateTime zoneEntryTime;
        int32_t offsetMinutes = 0;

        // The day-path test's last answer, valid while the stamp and offset stay.
        bool dayKnown = false;
        DateTime dayOf;
        int32_t dayOffset = 0;
        int dayKey = 0;

        std::string idAndName;
        std::string speed;
        std::string path;
        std::string zone;
    };

    std::vector<CachedRow> rows_;   // by object index
    std::size_t usedRows_ = 0;      // rows Gather filled
    std::size_t lastRowCount_ = 0;  // rows the last pass handed over
    int alarmBlinkPhase_ = 0;
    int powerOnBlinkPhase_ = 0;
    std::atomic<int64_t> lastLockedNs_{0};
    // One pass at a time; taken before the store lock.
    std::mutex runMutex_;
};
