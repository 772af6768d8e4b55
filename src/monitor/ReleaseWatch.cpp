#include "monitor/ReleaseWatch.h"

#include "common/AppTitle.h"
#include "common/Clock.h"
#include "common/SettingsStore.h"

namespace tavrel {

namespace {

const QString kAlertSection = QStringLiteral("Alerts");
const QString kHeldLimitKey = QStringLiteral("HeldLongerThan");
constexpr qint64 kMsPerMinute = 60 * 1000;

QString pathKey(const QString& path) {
    return path.trimmed().toUpper();
}

QString unitText(qint64 count, const char* unit) {
    return QString::number(count) + QLatin1Char(' ') + QLatin1String(unit) +
           (count == 1 ? QString() : QStringLiteral("s"));
}

ReleaseNotice freeNotice(const QString& path) {
    ReleaseNotice notice;
    notice.path = path;
    notice.title = QStringLiteral("File free");
    notice.text = path + QStringLiteral(" is free: nobody holds it any more.");
    return notice;
}

ReleaseNotice heldNotice(const QString& path, const QString& user, qint64 minutes) {
    ReleaseNotice notice;
    notice.kind = ReleaseNotice::Kind::HeldTooLong;
    notice.path = path;
    notice.user = user;
    notice.minutes = minutes;
    notice.title = QStringLiteral("File held too long");
    notice.text = path + QStringLiteral(" has been held by ") + user + QStringLiteral(" for ") +
                  durationText(minutes) + QLatin1Char('.');
    return notice;
}

}  // namespace

std::pair<QString, QString> noticeMessage(const QList<ReleaseNotice>& notices) {
    QString title = notices.isEmpty() ? kAppTitle : notices.first().title;
    QStringList lines;
    for (const ReleaseNotice& notice : notices) {
        if (notice.title != title) {
            title = kAppTitle;
        }
        lines.append(notice.text);
    }
    return {title, lines.join(QLatin1Char('\n'))};
}

bool fileIsFree(const ScanFileEntry& entry) {
    return entry.Found && entry.UsersComplete && holdersOf(entry).isEmpty();
}

QStringList holdersOf(const ScanFileEntry& entry) {
    QStringList users;
    for (const QString& user : entry.Users) {
        if (!user.isEmpty() && !users.contains(user)) {
            users.append(user);
        }
    }
    return users;
}

QString durationText(qint64 minutes) {
    const qint64 hours = minutes / 60;
    const qint64 rest = minutes % 60;
    if (hours == 0) {
        return unitText(rest, "minute");
    }
    return rest == 0 ? unitText(hours, "hour")
                     : unitText(hours, "hour") + QLatin1Char(' ') + unitText(rest, "minute");
}

QString armedText(const QString& path, bool autoScanOn) {
    QString text =
        kAppTitle + QStringLiteral(" will tell you when ") + path + QStringLiteral(" is free.");
    if (!autoScanOn) {
        text += QStringLiteral(" Auto Scan is off: nothing is noticed until the next scan.");
    }
    return text;
}

void ReleaseWatch::setArmed(const QString& path, bool armed) {
    if (armed) {
        m_armed.insert(pathKey(path));
    } else {
        m_armed.remove(pathKey(path));
    }
}

bool ReleaseWatch::armed(const QString& path) const {
    return m_armed.contains(pathKey(path));
}

QList<ReleaseNotice> ReleaseWatch::scanned(const ScanFileTable& files) {
    QList<ReleaseNotice> notices;
    const qint64 nowMs = m_clock.monotonicMs();
    const QDateTime now = m_clock.now();
    QHash<QString, QHash<QString, Stay>> stays;
    for (const ScanFileEntry& entry : files) {
        const QString key = pathKey(entry.Path);
        if (fileIsFree(entry) && m_armed.remove(key)) {
            notices.append(freeNotice(entry.Path));
        }
        if (!entry.Found) {
            continue;  // nobody holds a file that is not there: its stays have ended
        }
        QHash<QString, Stay>& fileStays = stays[key];
        QHash<QString, Stay> known = m_stays.value(key);
        // A user the scan could not see may still hold the file: only a complete answer
        // ends a stay.
        if (!entry.UsersComplete) {
            fileStays = known;
        }
        for (const QString& user : holdersOf(entry)) {
            if (known.contains(user)) {
                fileStays.insert(user, known.value(user));
                continue;
            }
            Stay stay{nowMs, false};
            if (m_stayStart) {
                if (const std::optional<QDateTime> since = m_stayStart(entry.Path, user);
                    since && since->isValid() && *since < now) {
                    stay.startMs = nowMs - since->msecsTo(now);
                }
            }
            fileStays.insert(user, stay);
        }
        if (m_limitMinutes == 0) {
            continue;
        }
        QStringList users = fileStays.keys();
        users.sort();
        for (const QString& user : users) {
            Stay& stay = fileStays[user];
            const qint64 minutes = (nowMs - stay.startMs) / kMsPerMinute;
            if (!stay.alerted && minutes >= m_limitMinutes) {
                stay.alerted = true;
                notices.append(heldNotice(entry.Path, user, minutes));
            }
        }
    }
    m_stays = std::move(stays);  // files no longer monitored lose their stays
    return notices;
}

int loadHeldLimitMinutes(SettingsStore& store) {
    bool ok = false;
    const int minutes =
        store.GetSetting(kAppTitle, kAlertSection, kHeldLimitKey, QStringLiteral("0"))
            .trimmed()
            .toInt(&ok);
    return ok && minutes > 0 ? minutes : 0;
}

bool saveHeldLimitMinutes(SettingsStore& store, int minutes) {
    return store.SaveSetting(kAppTitle, kAlertSection, kHeldLimitKey,
                             QString::number(std::max(0, minutes)));
}

}  // namespace tavrel
