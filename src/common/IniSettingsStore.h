#pragma once

#include <QSettings>
#include <map>
#include <memory>

#include "common/SettingsStore.h"

namespace tavrel {

// SettingsStore over QSettings INI files, one file per application under the
// organisation "Tavrel". Every read re-syncs, so a change made by another process
// (tavrelctl) is seen at once. A file that cannot be parsed is never written over.
class IniSettingsStore : public SettingsStore {
public:
    // rootFolder empty: the user's standard configuration folder, as QSettings uses it.
    explicit IniSettingsStore(QString rootFolder = QString());
    ~IniSettingsStore() override;

    QString GetSetting(const QString& app, const QString& section, const QString& key,
                       const QString& defaultValue = QString()) override;
    bool SaveSetting(const QString& app, const QString& section, const QString& key,
                     const QString& value) override;
    bool DeleteSetting(const QString& app, const QString& section, const QString& key) override;

    // The INI file that holds the given application's settings.
    QString fileName(const QString& app);

private:
    QSettings& settingsFor(const QString& app);
    bool commit(QSettings& settings);

    QString m_root;
    std::map<QString, std::unique_ptr<QSettings>> m_files;
};

}  // namespace tavrel
