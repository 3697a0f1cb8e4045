#include "alerts/SoundPlayer.h"

#include "alerts/SoundOutput.h"
#include "platform/ManualResetEvent.h"

namespace {
constexpr int kPauseBetweenPlaysMs = 100;
constexpr int32_t kAlarm = static_cast<int32_t>(AlertKind::Alarm);

unsigned Bit(int32_t kind) {
    return 1u << static_cast<unsigned>(kind);
}
}  // namespace

CSoundPlayer::CSoundPlayer(SoundOutput& output, ManualResetEvent& stopEvent,
                           std::function<void(const std::string& path)> onError)
    : output_(output), stopEvent_(stopEvent), onError_(std::move(onError)) {
    thread_ = std::thread([this] { ThreadMain(); });
}

CSoundPlayer::~CSoundPlayer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    // The stop event is the only way to interrupt a file being played.
    stopEvent_.Set();
    wake_.notify_all();
    thread_.join();
}

void CSoundPlayer::SetPaths(const std::array<std::string, 4>& paths) {
    std::lock_guard<std::mutex> lock(mutex_);
    paths_ = paths;
}

void CSoundPlayer::StartSound(AlertKind kind) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!active_ && !quit_) {
        active_ = true;
        requested_ = true;
        wake_.notify_all();
    }
    const int32_t requested = static_cast<int32_t>(kind);
    const bool alarmHolds =
        soundKind_.load() == kAlarm && requested != kAlarm && (failedKinds_ & Bit(kAlarm)) == 0;
    if (!alarmHolds) {
        soundKind_.store(requested);
    }
    // Cleared under the mutex: a run decides to end only under the same mutex, so it
    // either sees this reset and goes on with the new kind, or it has already ended and
    // the request above starts the next run.
    stopEvent_.Reset();
}

void CSoundPlayer::Acknowledge() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopEvent_.Set();
    soundKind_.store(-1);
    failedKinds_ = 0;
    lastPlayedKind_ = -1;
}

bool CSoundPlayer::IsRunning() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return active_;
}

void CSoundPlayer::ThreadMain() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return requested_ || quit_; });
        if (quit_)
            break;
        requested_ = false;
        lock.unlock();
        Run();
        lock.lock();
    }
    active_ = false;
}

void CSoundPlayer::Run() {
    for (;;) {
        const int32_t kind = soundKind_.load();
        if (kind >= 0 && kind < 4) {
            std::string path;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                path = paths_[static_cast<std::size_t>(kind)];
            }
            const bool played = output_.PlayWav(path, &stopEvent_);
            bool report = false;
            bool goOn = true;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (played) {
                    failedKinds_ &= ~Bit(kind);
                    if (soundKind_.load() != -1) {
                        lastPlayedKind_ = kind;
                    }
                } else if (soundKind_.load() == -1) {
                    // Acknowledged while the file failed: nothing is pending any more.
                    report = true;
                    goOn = false;
                } else {
                    report = (failedKinds_ & Bit(kind)) == 0;
                    failedKinds_ |= Bit(kind);
                    // A newer alert's kind, set meanwhile, is tried next; otherwise the
                    // last kind that played sounds on.
                    const int32_t fallback = lastPlayedKind_;
                    if (soundKind_.load() != kind) {
                        goOn = true;
                    } else {
                        goOn = fallback >= 0 && (failedKinds_ & Bit(fallback)) == 0;
                        if (goOn) {
                            soundKind_.store(fallback);
                        }
                    }
                }
                if (!goOn) {
                    active_ = false;
                }
            }
            if (report) {
                onError_(path);
            }
            if (!goOn) {
                return;
            }
        }
        stopEvent_.WaitFor(kPauseBetweenPlaysMs);
        std::lock_guard<std::mutex> lock(mutex_);
        if (quit_ || stopEvent_.IsSet()) {
            active_ = false;
            return;
        }
    }
}
