#include "monitor/LogLocation.h"

#include <QRegularExpression>

#include "common/AppTitle.h"
#include "common/SettingsStore.h"
#include "external/logdb/LogDb.h"
#include "external/logdb/PgUri.h"
#include "monitor/UsageLog.h"

namespace tavrel::loglocation {

QString current(SettingsStore& settings, const QString& appFolder) {
    const QString location = settings.GetSetting(kAppTitle, kSection, kLocationKey).trimmed();
    if (isPostgresLocation(location)) {
        return location;
    }
    return UsageLog::databasePathIn(appFolder);
}

QString station(SettingsStore& settings) {
    const QString name = settings.GetSetting(kAppTitle, kSection, kStationKey).trimmed();
    return name.isEmpty() ? UsageLog::defaultStation() : name;
}

QString stationProblem(const QString& name, LogDb* log) {
    const QString given = name.trimmed();
    if (given.isEmpty()) {
        return QStringLiteral("A station needs a name.");
    }
    if (given.size() > kStationLength) {
        return QStringLiteral("A station's name has at most %1 characters.").arg(kStationLength);
    }
    if (log == nullptr || log->engine() != LogDb::Engine::PostgreSQL) {
        return QString();
    }
    const auto folded = [](QString text) {
        return text.remove(QRegularExpression(QStringLiteral("\\s"))).toCaseFolded();
    };
    const LogDbResult stations = log->exec(QStringLiteral("SELECT station FROM storedscan"));
    if (!stations.ok()) {
        return stations.error.description;
    }
    for (const QVariantList& row : stations.rows) {
        const QString other = row.value(0).toString();
        if (other != given && folded(other) == folded(given)) {
            return QStringLiteral(
                       "The shared log has a station named '%1' already; '%2' differs from it "
                       "only in letter case or spaces. Use that name, or one of its own.")
                .arg(other, given);
        }
    }
    return QString();
}

QString setStation(SettingsStore& settings, const QString& name) {
    const QString given = name.trimmed();
    const bool written = given == QLatin1String("default")
                             ? settings.DeleteSetting(kAppTitle, kSection, kStationKey)
                             : settings.SaveSetting(kAppTitle, kSection, kStationKey, given);
    return written ? QString() : QStringLiteral("The settings could not be written.");
}

QString addressProblem(const QString& location) {
    const QString given = location.trimmed();
    if (given.isEmpty() || given == QLatin1String("default")) {
        return QString();
    }
    return parsePostgresUri(given).error;
}

QString check(const QString& location) {
    LogDb db;
    if (!db.open(location)) {
        return QStringLiteral("The log at this address cannot be reached: ") +
               db.lastError().description;
    }
    return QString();
}

QString set(SettingsStore& settings, const QString& location) {
    const QString given = location.trimmed();
    if (given.isEmpty() || given == QLatin1String("default")) {
        return settings.DeleteSetting(kAppTitle, kSection, kLocationKey)
                   ? QString()
                   : QStringLiteral("The settings could not be written.");
    }
    const QString problem = addressProblem(given);
    if (!problem.isEmpty()) {
        return problem;
    }
    return settings.SaveSetting(kAppTitle, kSection, kLocationKey, given)
               ? QString()
               : QStringLiteral("The settings could not be written.");
}

}  // namespace tavrel::loglocation
