#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "alerts/AlertSettings.h"

class ManualResetEvent;
class SoundOutput;

// Replays the current alert sound until it is acknowledged or stopped.
//
// One thread lives as long as this object and idles between runs, so two players can
// never overlap: "starting the player" only wakes that thread. A run plays the WAV of
// the current kind, waits 100 ms on the stop event, and repeats; a new kind takes effect
// at the next cycle.
//
// Re-arming rules:
//  - After an acknowledgement (kind -1) the next alert starts a new run.
//  - A sound stopped by the stop event alone (settings dialog, close) is started again
//    by the next alert: the operator has not acknowledged anything yet, and a new event
//    should be heard.
//  - A kind whose file could not be played is reported once until the next
//    acknowledgement. The run goes back to the last kind that did play, if any, and ends
//    otherwise; the next alert of any kind starts a run again, so a sound device that
//    was missing is tried again, and one broken file never silences the other kinds.
//  - A pending alarm's sound is not replaced by a later power-on or zone sound (unless
//    the alarm's own file cannot be played): the alarm is the one the dispatcher must
//    not miss. Their texts still reach the pop-up; only the sound stays the alarm's.
class CSoundPlayer {
public:
    // `stopEvent` is the console's sound stop event; `onError` is called on the player
    // thread when a file could not be played.
    CSoundPlayer(SoundOutput& output, ManualResetEvent& stopEvent,
                 std::function<void(const std::string& path)> onError);
    // Stops a run in progress (sets the stop event) and joins the thread.
    ~CSoundPlayer();
    CSoundPlayer(const CSoundPlayer&) = delete;
    CSoundPlayer& operator=(const CSoundPlayer&) = delete;

    // Sound files by AlertKind: Alarm, PowerOn, ForbiddenZone, DestinationZone.
    void SetPaths(const std::array<std::string, 4>& paths);
    // Starts a run when none is active and sets the kind (see the re-arming rules),
    // and clears the stop event. Never waits for the player.
    void StartSound(AlertKind kind);
    // The acknowledgement: the stop event is set and the kind becomes -1.
    void Acknowledge();

    // The AlertKind of the sound being played, -1 when none since the last acknowledgement.
    int32_t soundKind() const { return soundKind_.load(); }
    // A run is in progress (the thread plays or waits between plays).
    bool IsRunning() const;

private:
    void ThreadMain();
    void Run();

    SoundOutput& output_;
    ManualResetEvent& stopEvent_;
    const std::function<void(const std::string& path)> onError_;

    std::atomic<int32_t> soundKind_{-1};
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::array<std::string, 4> paths_;
    bool active_ = false;          // a run has been requested or is in progress
    bool requested_ = false;       // the thread has yet to pick up the request
    unsigned failedKinds_ = 0;     // bit per AlertKind: could not be played, reported
    int32_t lastPlayedKind_ = -1;  // the last kind that did play since the acknowledgement
    bool quit_ = false;
    std::thread thread_;
};
