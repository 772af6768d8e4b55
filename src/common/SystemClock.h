#pragma once

#include <QElapsedTimer>

#include "common/Clock.h"

namespace tavrel {

class SystemClock : public Clock {
public:
    SystemClock();
    QDateTime now() const override;
    qint64 monotonicMs() const override;

private:
    QElapsedTimer m_elapsed;
};

}  // namespace tavrel
