#pragma once

#include "export/Clock.h"

// A clock stopped at one date; installed while it lives.
class FixedClock final : public Clock {
public:
    explicit FixedClock(const QDate& date) : date_(date) { Clock::install(this); }
    ~FixedClock() override { Clock::install(nullptr); }
    FixedClock(const FixedClock&) = delete;
    FixedClock& operator=(const FixedClock&) = delete;

    QDate today() const override { return date_; }

private:
    QDate date_;
};
