#include "ProbeLog.h"

#include <algorithm>

std::size_t ProbeLog::Sent(Steady::time_point at) {
    std::lock_guard<std::mutex> lock(mutex_);
    probes_.push_back(Probe{at, std::nullopt});
    return probes_.size() - 1;
}

void ProbeLog::Handled(std::size_t number, Steady::time_point at) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (number >= probes_.size())
        return;
    const std::size_t first = coalescing_ ? firstWaiting_ : number;
    for (std::size_t k = first; k <= number; ++k) {
        if (!probes_[k].handled)
            probes_[k].handled = at;
    }
    while (firstWaiting_ < probes_.size() && probes_[firstWaiting_].handled)
        ++firstWaiting_;
}

std::optional<std::size_t> ProbeLog::FirstWaitingIn(std::size_t slot, std::size_t period) const {
    if (period == 0)
        return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t k = firstWaiting_ + (slot + period - firstWaiting_ % period) % period;
         k < probes_.size(); k += period) {
        if (!probes_[k].handled)
            return k;
    }
    return std::nullopt;
}

ProbeLog::Summary ProbeLog::Summarise(Steady::time_point from, Steady::time_point to) const {
    std::vector<double> latencies;
    Summary s;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const Probe& p : probes_) {
            if (p.sent < from || p.sent >= to)
                continue;
            ++s.sent;
            if (p.handled) {
                latencies.push_back(
                    std::chrono::duration<double, std::milli>(*p.handled - p.sent).count());
            }
        }
    }
    s.answered = latencies.size();
    if (latencies.empty())
        return s;
    std::sort(latencies.begin(), latencies.end());
    auto at = [&](double p) {
        return latencies[std::min(latencies.size() - 1,
                                  static_cast<std::size_t>(p / 100.0 * latencies.size()))];
    };
    s.p50Ms = at(50);
    s.p99Ms = at(99);
    s.maxMs = latencies.back();
    return s;
}
