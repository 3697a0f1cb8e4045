#pragma once

#include <atomic>
#include <optional>

#include "base/DateTime.h"

// Where "now" comes from. The console is given a clock so that thresholds, blinking,
// ages and the day change can be tested without sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    // Local date and time.
    virtual DateTime Now() const = 0;
    // Time-zone bias in minutes (UTC = local + bias), nothing when unknown.
    virtual std::optional<int> TimeZoneBiasMinutes() const = 0;
};

// The computer's clock.
class SystemClock : public Clock {
public:
    DateTime Now() const override;
    std::optional<int> TimeZoneBiasMinutes() const override;
};

// A clock for tests: returns what it was set to. Safe to read from the workers while
// the test moves it.
class FixedClock : public Clock {
public:
    explicit FixedClock(DateTime now = DateTime::FromCalendar(2026, 12, 6, 12, 0, 0),
                        std::optional<int> bias = -180)
        : now_(now.date), bias_(bias) {}
    DateTime Now() const override { return DateTime(now_.load()); }
    std::optional<int> TimeZoneBiasMinutes() const override { return bias_; }
    void Set(DateTime now) { now_.store(now.date); }
    void AdvanceSeconds(double s) { Set(Now().AddDays(s / 86400.0)); }

private:
    std::atomic<double> now_;
    const std::optional<int> bias_;
};
