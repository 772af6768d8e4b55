#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace tavrel {

class Clock;

// The state of auto scan that needs no window: on or off, since when, and the texts and
// image keys that mark it. The main window binds its check box, caption, icon and tray
// tip to it; tavrelctl watch uses it headless.
class AutoScan {
public:
    static constexpr int kIntervalMs = 60 * 1000;

    explicit AutoScan(Clock& clock) : m_clock(clock) {}

    bool isOn() const { return m_on; }
    // Remembers the switch-on moment and sets LastScanDate to today: the first scan
    // after switching on never closes the rows of an earlier day.
    void switchOn();
    void switchOff();
    QDateTime startedAt() const { return m_startedAt; }

    // "Tavrel", or "Tavrel" + 10 blanks + "Auto Scan Started: " + the switch-on moment.
    QString caption() const;
    // "Tavrel scanning..." while on, "Tavrel" while off.
    QString trayTip() const;
    // The image key of the window icon: "scan" while on, "vigil" while off.
    QString iconKey() const;

    // The day for which open log rows were last carried.
    QDate LastScanDate;

private:
    Clock& m_clock;
    bool m_on = false;
    QDateTime m_startedAt;
};

}  // namespace tavrel
