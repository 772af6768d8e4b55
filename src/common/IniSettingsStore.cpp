#include "common/IniSettingsStore.h"

#include <QStringList>

#include "common/AppTitle.h"

namespace tavrel {

namespace {

QString settingsKey(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}

}  // namespace

IniSettingsStore::IniSettingsStore(QString rootFolder) : m_root(std::move(rootFolder)) {}

IniSettingsStore::~IniSettingsStore() = default;

QSettings& IniSettingsStore::settingsFor(const QString& app) {
    auto it = m_files.find(app);
    if (it == m_files.end()) {
        std::unique_ptr<QSettings> settings;
        if (m_root.isEmpty()) {
            settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                   kAppTitle, app);
        } else {
            settings =
                std::make_unique<QSettings>(m_root + QLatin1Char('/') + kAppTitle +
                                                QLatin1Char('/') + app + QStringLiteral(".ini"),
                                            QSettings::IniFormat);
        }
        it = m_files.emplace(app, std::move(settings)).first;
    }
    return *it->second;
}

QString IniSettingsStore::fileName(const QString& app) {
    return settingsFor(app).fileName();
}

QString IniSettingsStore::GetSetting(const QString& app, const QString& section, const QString& key,
                                     const QString& defaultValue) {
    QSettings& settings = settingsFor(app);
    settings.sync();
    const QVariant value = settings.value(settingsKey(section, key));
    if (!value.isValid()) {
        return defaultValue;
    }
    // An unquoted value with commas, written by hand, reads back as a list.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QLatin1Char(','));
    }
    return value.toString();
}

bool IniSettingsStore::commit(QSettings& settings) {
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool IniSettingsStore::SaveSetting(const QString& app, const QString& section, const QString& key,
                                   const QString& value) {
    QSettings& settings = settingsFor(app);
    settings.sync();
    if (settings.status() == QSettings::FormatError) {
        return false;  // writing would replace a file we could not read
    }
    settings.setValue(settingsKey(section, key), value);
    return commit(settings);
}

bool IniSettingsStore::DeleteSetting(const QString& app, const QString& section,
                                     const QString& key) {
    QSettings& settings = settingsFor(app);
    settings.sync();
    if (settings.status() == QSettings::FormatError) {
        return false;
    }
    settings.remove(settingsKey(section, key));
    return commit(settings);
}

}  // namespace tavrel
