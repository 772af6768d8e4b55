#include "support/MemorySettingsStore.h"

namespace tavrel::test {

QString MemorySettingsStore::fullKey(const QString& app, const QString& section,
                                     const QString& key) {
    return app + QLatin1Char('/') + section + QLatin1Char('/') + key;
}

QString MemorySettingsStore::GetSetting(const QString& app, const QString& section,
                                        const QString& key, const QString& defaultValue) {
    ++m_reads;
    return m_values.value(fullKey(app, section, key), defaultValue);
}

bool MemorySettingsStore::SaveSetting(const QString& app, const QString& section,
                                      const QString& key, const QString& value) {
    if (writeFails()) {
        return false;
    }
    m_values.insert(fullKey(app, section, key), value);
    return true;
}

bool MemorySettingsStore::DeleteSetting(const QString& app, const QString& section,
                                        const QString& key) {
    if (writeFails()) {
        return false;
    }
    m_values.remove(fullKey(app, section, key));
    return true;
}

bool MemorySettingsStore::SaveSettings(const QString& app, const QString& section,
                                       const QList<SettingChange>& changes) {
    if (!m_atomicBatches) {
        return SettingsStore::SaveSettings(app, section, changes);
    }
    if (writeFails()) {
        return false;
    }
    for (const SettingChange& change : changes) {
        if (change.value) {
            m_values.insert(fullKey(app, section, change.key), *change.value);
        } else {
            m_values.remove(fullKey(app, section, change.key));
        }
    }
    return true;
}

bool MemorySettingsStore::writeFails() {
    ++m_writes;
    return m_failWrites || (m_writes >= m_failFirst && m_writes <= m_failLast);
}

bool MemorySettingsStore::contains(const QString& app, const QString& section,
                                   const QString& key) const {
    return m_values.contains(fullKey(app, section, key));
}

QStringList MemorySettingsStore::keys() const {
    return m_values.keys();
}

}  // namespace tavrel::test
