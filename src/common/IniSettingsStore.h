#pragma once

#include <QSettings>
#include <map>
#include <memory>

#include "common/SettingsStore.h"

namespace tavrel {

// SettingsStore over QSettings INI files, one file per application under the
// organisation "Tavrel". Every read re-syncs, so a change made by another process
// (tavrelctl) is seen at once. A file that cannot be read or parsed is never written over.
class IniSettingsStore : public SettingsStore {
public:
    // rootFolder empty: the user's standard configuration folder, as QSettings uses it.
    explicit IniSettingsStore(QString rootFolder = QString());
    ~IniSettingsStore() override;

    QString GetSetting(const QString& app, const QString& section, const QString& key,
                       const QString& defaultValue = QString()) override;
    QStringList GetSettings(const QString& app, const QString& section,
                            const QStringList& keys) override;
    bool SaveSetting(const QString& app, const QString& section, const QString& key,
                     const QString& value) override;
    bool DeleteSetting(const QString& app, const QString& section, const QString& key) override;
    // All the changes in one rewrite of the file (a new file renamed over the old one).
    bool SaveSettings(const QString& app, const QString& section,
                      const QList<SettingChange>& changes) override;
    // Unreadable: not a regular file, cannot be opened, or holds a line QSettings would
    // skip (and then drop when writing the file). A missing file is an empty store.
    bool isReadable(const QString& app) override;
    void refresh(const QString& app) override;
    QString location(const QString& app) override;

    // The INI file that holds the given application's settings.
    QString fileName(const QString& app);

private:
    QSettings& settingsFor(const QString& app);
    void markChanged(const QString& app);

    QString m_root;
    std::map<QString, std::unique_ptr<QSettings>> m_files;
};

}  // namespace tavrel
