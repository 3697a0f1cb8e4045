#pragma once

#include <functional>
#include <thread>

#include "platform/ManualResetEvent.h"

// The console's two worker threads, the inbox worker and the refresh worker, with the
// events that tell them to stop and that tell they have ended. Never two of a kind run.
class CWorkerThreads {
public:
    CWorkerThreads() = default;
    // Joins what still runs; the owner has told the workers to stop.
    ~CWorkerThreads() { Join(); }
    CWorkerThreads(const CWorkerThreads&) = delete;
    CWorkerThreads& operator=(const CWorkerThreads&) = delete;

    ManualResetEvent stopPollingEvent;
    ManualResetEvent stopRefreshEvent;
    ManualResetEvent pollingDoneEvent{true};  // no worker has run yet
    ManualResetEvent refreshDoneEvent{true};

    // Workers still running are told to stop (if nobody did) and waited for; then the
    // events are reset and both threads started. `inboxLoop` returns once
    // stopPollingEvent is set; `refreshPass` runs at once and then every second until
    // stopRefreshEvent is set.
    void Start(std::function<void()> inboxLoop, std::function<void()> refreshPass);
    // Sets both stop events; does not wait.
    void RequestStop();
    // Blocks until both workers have left their loops and their threads have ended.
    void Wait();
    // A worker has been started since the last Wait.
    bool Started() const { return inboxThread_.joinable() || refreshThread_.joinable(); }

private:
    void Join();

    std::thread inboxThread_;
    std::thread refreshThread_;
};
