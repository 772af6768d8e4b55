#pragma once

#include <QDateTime>

namespace tavrel {

// The time of day for texts and dates, and a monotonic count for time-outs, which must
// not jump at midnight or when the wall clock is set.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual qint64 monotonicMs() const = 0;
};

}  // namespace tavrel
