#include "console/WorkerThreads.h"

#include <utility>

void CWorkerThreads::Start(std::function<void()> inboxLoop, std::function<void()> refreshPass) {
    if (inboxThread_.joinable() && !pollingDoneEvent.IsSet())
        stopPollingEvent.Set();
    if (refreshThread_.joinable() && !refreshDoneEvent.IsSet())
        stopRefreshEvent.Set();
    Wait();
    stopRefreshEvent.Reset();
    stopPollingEvent.Reset();
    refreshDoneEvent.Reset();
    pollingDoneEvent.Reset();
    refreshThread_ = std::thread([this, pass = std::move(refreshPass)] {
        for (;;) {
            pass();
            if (stopRefreshEvent.WaitFor(1000))
                break;
        }
        refreshDoneEvent.Set();
    });
    inboxThread_ = std::thread([this, loop = std::move(inboxLoop)] {
        loop();
        pollingDoneEvent.Set();
    });
}

void CWorkerThreads::RequestStop() {
    stopRefreshEvent.Set();
    stopPollingEvent.Set();
}

void CWorkerThreads::Wait() {
    pollingDoneEvent.Wait();
    refreshDoneEvent.Wait();
    Join();
}

void CWorkerThreads::Join() {
    if (inboxThread_.joinable())
        inboxThread_.join();
    if (refreshThread_.joinable())
        refreshThread_.join();
}
