#pragma once

#include <QMap>

#include "common/SettingsStore.h"

namespace tavrel::test {

// Settings in memory; can be told to fail writes.
class MemorySettingsStore : public SettingsStore {
public:
    QString GetSetting(const QString& app, const QString& section, const QString& key,
                       const QString& defaultValue = QString()) override;
    bool SaveSetting(const QString& app, const QString& section, const QString& key,
                     const QString& value) override;
    bool DeleteSetting(const QString& app, const QString& section, const QString& key) override;

    void setFailWrites(bool fail) { m_failWrites = fail; }
    bool contains(const QString& app, const QString& section, const QString& key) const;
    // Every key as "app/section/key", in order, for tests that check what was written.
    QStringList keys() const;
    int reads() const { return m_reads; }

private:
    static QString fullKey(const QString& app, const QString& section, const QString& key);

    QMap<QString, QString> m_values;
    bool m_failWrites = false;
    int m_reads = 0;
};

}  // namespace tavrel::test
