#include "common/SettingsStore.h"

namespace tavrel {

QStringList SettingsStore::GetSettings(const QString& app, const QString& section,
                                       const QStringList& keys) {
    QStringList values;
    values.reserve(keys.size());
    for (const QString& key : keys) {
        values.append(GetSetting(app, section, key));
    }
    return values;
}

bool SettingsStore::SaveSettings(const QString& app, const QString& section,
                                 const QList<SettingChange>& changes) {
    const auto apply = [&](const QString& key, const std::optional<QString>& value) {
        return value && !value->isEmpty() ? SaveSetting(app, section, key, *value)
                                          : DeleteSetting(app, section, key);
    };
    QList<SettingChange> undo;
    for (const SettingChange& change : changes) {
        const QString old = GetSetting(app, section, change.key);
        const bool ok = change.value ? SaveSetting(app, section, change.key, *change.value)
                                     : DeleteSetting(app, section, change.key);
        if (!ok) {
            // A missing key and an empty one read alike; put back what was there.
            for (auto it = undo.crbegin(); it != undo.crend(); ++it) {
                apply(it->key, it->value);
            }
            return false;
        }
        undo.append({change.key, old});
    }
    return true;
}

QString unreadableSettingsMessage(SettingsStore& store, const QString& app) {
    return QStringLiteral("The settings file ") + store.location(app) +
           QStringLiteral(" cannot be read. Tavrel leaves it as it is; mend or remove it.");
}

}  // namespace tavrel
