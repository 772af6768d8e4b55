#pragma once

#include <QString>

namespace tavrel {

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
};

}  // namespace tavrel
