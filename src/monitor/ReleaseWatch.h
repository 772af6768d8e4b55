#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>
#include <utility>

#include "monitor/ScanFiles.h"

namespace tavrel {

class Clock;
class SettingsStore;

// Something a finished scan has to tell the operator: a watched file came free, or a
// user has held a file longer than the limit.
struct ReleaseNotice {
    enum class Kind { Free, HeldTooLong };
    Kind kind = Kind::Free;
    QString path;
    QString user;  // HeldTooLong only
    qint64 minutes = 0;
    QString title;
    QString text;

    bool operator==(const ReleaseNotice&) const = default;
};

// A scan's notices as one message (a notification area shows one at a time): the title
// they share, else the program's; their texts a line each.
std::pair<QString, QString> noticeMessage(const QList<ReleaseNotice>& notices);

// True when a scan saw for certain that nobody holds the file: the file was found, its
// connection scan answered to the end, and no connection uses it. A failed answer, a
// user that could not be named or a missing file never counts as free.
bool fileIsFree(const ScanFileEntry& entry);
// The users seen holding the file, each once, in the order first seen.
QStringList holdersOf(const ScanFileEntry& entry);

// "1 minute", "45 minutes", "2 hours 5 minutes", "1 hour".
QString durationText(qint64 minutes);
// The status line after arming a file; with auto scan off it says that nothing is
// noticed before the next scan.
QString armedText(const QString& path, bool autoScanOn);

// The release watch of one run: the files armed with "Notify When Free" and the stays
// (a user holding a file, from the first scan that saw it to the first complete scan that
// no longer does). Each finished scan is handed to scanned(), which says what to tell.
class ReleaseWatch {
public:
    // When the usage log already knows since when the user holds the file (its open
    // row's last open time), the stay counts from there rather than from this run's
    // first sight of it.
    using StayStart =
        std::function<std::optional<QDateTime>(const QString& path, const QString& user)>;

    explicit ReleaseWatch(Clock& clock) : m_clock(clock) {}

    void setArmed(const QString& path, bool armed);
    bool armed(const QString& path) const;
    // 0 turns the held-too-long alert off.
    void setHeldLimitMinutes(int minutes) { m_limitMinutes = std::max(0, minutes); }
    int heldLimitMinutes() const { return m_limitMinutes; }
    void setStayStart(StayStart lookup) { m_stayStart = std::move(lookup); }

    // A scan that ended normally: frees the armed files it found free (each notified
    // once, then disarmed) and alerts once per stay that has crossed the limit.
    QList<ReleaseNotice> scanned(const ScanFileTable& files);

private:
    struct Stay {
        qint64 startMs = 0;  // on the monotonic clock: a stay spans midnight and clock changes
        bool alerted = false;
    };

    Clock& m_clock;
    QSet<QString> m_armed;                         // upper-cased paths
    QHash<QString, QHash<QString, Stay>> m_stays;  // upper-cased path -> user -> stay
    int m_limitMinutes = 0;
    StayStart m_stayStart;
};

// The alert limit kept between runs (application "Tavrel", section "Alerts", key
// "HeldLongerThan", in minutes; 0, the default, is off). A value that is not a whole
// number of minutes from 0 up reads as 0.
int loadHeldLimitMinutes(SettingsStore& store);
bool saveHeldLimitMinutes(SettingsStore& store, int minutes);

}  // namespace tavrel
