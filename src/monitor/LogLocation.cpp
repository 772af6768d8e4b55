#include "monitor/LogLocation.h"

#include <QSysInfo>

#include "common/AppTitle.h"
#include "common/SettingsStore.h"
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
    return name.isEmpty() ? QSysInfo::machineHostName() : name;
}

QString set(SettingsStore& settings, const QString& location) {
    const QString given = location.trimmed();
    if (given.isEmpty() || given == QLatin1String("default")) {
        return settings.DeleteSetting(kAppTitle, kSection, kLocationKey)
                   ? QString()
                   : QStringLiteral("The settings could not be written.");
    }
    const PgUriParse parsed = parsePostgresUri(given);
    if (!parsed.parts) {
        return parsed.error;
    }
    return settings.SaveSetting(kAppTitle, kSection, kLocationKey, given)
               ? QString()
               : QStringLiteral("The settings could not be written.");
}

}  // namespace tavrel::loglocation
