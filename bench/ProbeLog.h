#pragma once

// Latency probes of one kind sent to the window: when each was sent and when the window
// took it in. Any thread may send and mark; the figures are read at the end.

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

class ProbeLog {
public:
    using Steady = std::chrono::steady_clock;

    // `coalescing`: a probe taken in means that every earlier one still waiting was taken
    // in with it (the toolkit merges pointer motions that queue up into the last one).
    explicit ProbeLog(bool coalescing) : coalescing_(coalescing) {}

    // Records a probe sent at `at`; returns its number (0, 1, 2, ...).
    std::size_t Sent(Steady::time_point at);
    // The window took probe `number` in at `at`. A probe already taken keeps its first
    // time; an unknown number is ignored.
    void Handled(std::size_t number, Steady::time_point at);
    // The first probe still waiting whose number is `slot` modulo `period` (pointer
    // positions repeat every `period` probes), or none.
    std::optional<std::size_t> FirstWaitingIn(std::size_t slot, std::size_t period) const;

    struct Summary {
        std::size_t sent = 0;
        std::size_t answered = 0;  // the others were never taken in
        double p50Ms = 0;
        double p99Ms = 0;
        double maxMs = 0;
    };
    // The probes sent in [from, to). A percentile p is the answered latency at position
    // floor(p/100 · n) of the n sorted ones.
    Summary Summarise(Steady::time_point from, Steady::time_point to) const;

private:
    struct Probe {
        Steady::time_point sent;
        std::optional<Steady::time_point> handled;
    };

    const bool coalescing_;
    mutable std::mutex mutex_;
    std::vector<Probe> probes_;
    std::size_t firstWaiting_ = 0;  // every probe before it has been taken in
};
