#pragma once

#include "common/Clock.h"

namespace tavrel::test {

// A clock the test sets and moves; advancing moves the wall clock and the monotonic
// count together, setting the wall clock leaves the monotonic count alone.
class FakeClock : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 12, 8), QTime(9, 5)))
        : m_now(std::move(start)) {}

    QDateTime now() const override { return m_now; }
    qint64 monotonicMs() const override { return m_monotonicMs; }

    void set(const QDateTime& now) { m_now = now; }
    void advanceSeconds(qint64 seconds) { advanceMs(seconds * 1000); }
    void advanceMs(qint64 ms) {
        m_now = m_now.addMSecs(ms);
        m_monotonicMs += ms;
    }

private:
    QDateTime m_now;
    qint64 m_monotonicMs = 0;
};

}  // namespace tavrel::test
