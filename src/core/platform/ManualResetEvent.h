#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

// A manual-reset event: once set it stays set, releasing every waiter, until reset.
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool initiallySet = false) : set_(initiallySet) {}
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // Waits until the event is set or the time runs out; true when it is set.
    bool WaitFor(int milliseconds) const;
    void Wait() const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    // Written under the mutex; read without it by IsSet, which loops ask once per item.
    std::atomic<bool> set_;
};
