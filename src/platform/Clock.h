#pragma once

#include <chrono>
#include <QDateTime>

// The present local date-time; tests set their own.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// Monotonic time, for rates and waits that a change of the wall clock must not disturb; tests advance their own.
class SteadyClock
{
public:
    virtual ~SteadyClock() = default;
    virtual std::chrono::milliseconds now() const = 0;
};

class SystemSteadyClock final : public SteadyClock
{
public:
    std::chrono::milliseconds now() const override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
};
