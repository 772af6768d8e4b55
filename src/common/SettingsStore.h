#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tavrel {

// One key of a change written as a whole: the new value, or none to remove the key.
struct SettingChange {
    QString key;
    std::optional<QString> value;
};

// Per-user key-value store addressed by application, section and key. Values are text;
// a missing key reads as the default. Writes report success so callers that must not
// lose data can tell, though most callers ignore the result as the program always has.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    virtual QString GetSetting(const QString& app, const QString& section, const QString& key,
                               const QString& defaultValue = QString()) = 0;
    virtual bool SaveSetting(const QString& app, const QString& section, const QString& key,
                             const QString& value) = 0;
    virtual bool DeleteSetting(const QString& app, const QString& section, const QString& key) = 0;

    // The values of several keys of one section, "" for a missing one. This fallback reads
    // them one at a time; a store that looks at its file before each read looks once.
    virtual QStringList GetSettings(const QString& app, const QString& section,
                                    const QStringList& keys);

    // Writes several keys of one section as one change: all of them, or none when it
    // returns false. This fallback writes them one at a time and, when one fails, puts
    // back those already written; a store that can write them at once does so instead.
    virtual bool SaveSettings(const QString& app, const QString& section,
                              const QList<SettingChange>& changes);

    // False when the application's settings exist but cannot be read (not a settings
    // file, a folder, no permission): then they read as empty and are never written.
    virtual bool isReadable(const QString& app) {
        (void)app;
        return true;
    }
    // Makes the next read see the settings as another program last wrote them, also when
    // it wrote them a moment ago. Called with the file list's lock held.
    virtual void refresh(const QString& app) { (void)app; }
    // The file that holds the application's settings ("" for a store kept elsewhere).
    virtual QString location(const QString& app) {
        (void)app;
        return QString();
    }
};

// What to tell the user when isReadable is false, naming the file.
QString unreadableSettingsMessage(SettingsStore& store, const QString& app);

}  // namespace tavrel
