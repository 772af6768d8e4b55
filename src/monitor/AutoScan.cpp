#include "monitor/AutoScan.h"

#include "common/AppTitle.h"
#include "common/Clock.h"
#include "common/ImageKeys.h"
#include "common/TimeText.h"

namespace tavrel {

void AutoScan::switchOn() {
    m_on = true;
    m_startedAt = m_clock.now();
    LastScanDate = m_startedAt.date();
}

void AutoScan::switchOff() {
    m_on = false;
}

QString AutoScan::caption() const {
    if (!m_on) {
        return kAppTitle;
    }
    return kAppTitle + QString(10, QLatin1Char(' ')) + QStringLiteral("Auto Scan Started: ") +
           momentText(m_startedAt);
}

QString AutoScan::trayTip() const {
    return m_on ? kAppTitle + QStringLiteral(" scanning...") : kAppTitle;
}

QString AutoScan::iconKey() const {
    return m_on ? imagekey::kScan : imagekey::kVigil;
}

}  // namespace tavrel
