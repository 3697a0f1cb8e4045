#include "platform/ManualResetEvent.h"

#include <chrono>

void ManualResetEvent::Set() {
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    cv_.notify_all();
}

void ManualResetEvent::Reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool ManualResetEvent::IsSet() const {
    return set_.load(std::memory_order_acquire);
}

bool ManualResetEvent::WaitFor(int milliseconds) const {
    std::unique_lock lock(mutex_);
    if (milliseconds <= 0) {
        return set_.load();
    }
    return cv_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                        [this] { return set_.load(); });
}

void ManualResetEvent::Wait() const {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return set_.load(); });
}
