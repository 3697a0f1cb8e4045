#pragma once

// Kept apart from GoogleTest so that the window tests play through it too.

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "alerts/SoundOutput.h"
#include "platform/ManualResetEvent.h"

namespace consoletest {

// Records the paths it is asked to play. A play "lasts" `playMs` (interrupted by the
// stop event); paths in `failing` cannot be played.
class FakeSound : public SoundOutput {
public:
    bool PlayWav(const std::string& path, const ManualResetEvent* stop) override {
        int playMs;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            plays_.push_back(path);
            if (failing_.count(path) != 0)
                return false;
            playMs = playMs_;
            maxConcurrent_ = std::max(maxConcurrent_, ++concurrent_);
        }
        if (stop != nullptr)
            stop->WaitFor(playMs);
        std::lock_guard<std::mutex> lock(mutex_);
        --concurrent_;
        return true;
    }
    // The most plays that were ever in progress at once.
    int maxConcurrent() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return maxConcurrent_;
    }
    std::vector<std::string> plays() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return plays_;
    }
    std::size_t playCount() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return plays_.size();
    }
    std::string lastPlay() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return plays_.empty() ? std::string() : plays_.back();
    }
    void SetFailing(const std::string& path, bool failing = true) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failing)
            failing_.insert(path);
        else
            failing_.erase(path);
    }
    std::size_t CountOf(const std::string& path) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<std::size_t>(std::count(plays_.begin(), plays_.end(), path));
    }
    void SetPlayMs(int ms) {
        std::lock_guard<std::mutex> lock(mutex_);
        playMs_ = ms;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> plays_;
    std::set<std::string> failing_;
    int playMs_ = 5;
    int concurrent_ = 0;
    int maxConcurrent_ = 0;
};

}  // namespace consoletest
