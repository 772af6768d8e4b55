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
    if (m_failWrites) {
        return false;
    }
    m_values.insert(fullKey(app, section, key), value);
    return true;
}

bool MemorySettingsStore::DeleteSetting(const QString& app, const QString& section,
                                        const QString& key) {
    if (m_failWrites) {
        return false;
    }
    m_values.remove(fullKey(app, section, key));
    return true;
}

bool MemorySettingsStore::contains(const QString& app, const QString& section,
                                   const QString& key) const {
    return m_values.contains(fullKey(app, section, key));
}

QStringList MemorySettingsStore::keys() const {
    return m_values.keys();
}

}  // namespace tavrel::test
