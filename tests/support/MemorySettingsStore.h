#pragma once

#include <QMap>
#include <limits>

#include "common/SettingsStore.h"

namespace tavrel::test {

// Settings in memory; can be told to fail writes: all of them, or by their place in the
// order of writes (a save or a removal of one key is one write).
class MemorySettingsStore : public SettingsStore {
public:
    QString GetSetting(const QString& app, const QString& section, const QString& key,
                       const QString& defaultValue = QString()) override;
    bool SaveSetting(const QString& app, const QString& section, const QString& key,
                     const QString& value) override;
    bool DeleteSetting(const QString& app, const QString& section, const QString& key) override;
    // Key by key, as a store with no batch writes does; or, once told so, as one write that
    // lands whole or not at all, as the INI file store does.
    bool SaveSettings(const QString& app, const QString& section,
                      const QList<SettingChange>& changes) override;
    void setAtomicBatches(bool atomic) { m_atomicBatches = atomic; }

    void setFailWrites(bool fail) { m_failWrites = fail; }
    // Counting writes from now on (the next is 1), writes first..last fail.
    void failWrites(int first, int last = std::numeric_limits<int>::max()) {
        m_writes = 0;
        m_failFirst = first;
        m_failLast = last;
    }
    int writes() const { return m_writes; }
    bool contains(const QString& app, const QString& section, const QString& key) const;
    // Every key as "app/section/key", in order, for tests that check what was written.
    QStringList keys() const;
    QMap<QString, QString> values() const { return m_values; }
    int reads() const { return m_reads; }

private:
    static QString fullKey(const QString& app, const QString& section, const QString& key);
    bool writeFails();

    QMap<QString, QString> m_values;
    bool m_failWrites = false;
    bool m_atomicBatches = false;
    int m_writes = 0;
    int m_failFirst = 0;
    int m_failLast = -1;
    int m_reads = 0;
};

}  // namespace tavrel::test
