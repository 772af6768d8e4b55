#include "common/IniSettingsStore.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "common/AppTitle.h"

namespace tavrel {

namespace {

QString settingsKey(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}

// True when every line of an INI text is one QSettings reads as written: empty, a
// comment, a [section] or a key=value (a value may go on over lines ending in "\").
// QSettings itself skips a line it cannot read, and would then write the file without it.
bool isIniText(const QByteArray& text) {
    if (text.contains('\0')) {
        return false;
    }
    bool continued = false;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        const bool wasContinued = continued;
        continued = line.endsWith('\\');
        if (wasContinued || line.isEmpty() || line.startsWith(';') || line.startsWith('#')) {
            continue;
        }
        if (line.startsWith('[') ? !line.endsWith(']') : !line.contains('=')) {
            return false;
        }
    }
    return true;
}

QString valueOf(const QSettings& settings, const QString& key, const QString& defaultValue) {
    const QVariant value = settings.value(key);
    if (!value.isValid()) {
        return defaultValue;
    }
    // An unquoted value with commas, written by hand, reads back as a list.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QLatin1Char(','));
    }
    return value.toString();
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

// QSettings reads the file again only when its size or its modification time (to the
// millisecond) differs from what it noted at its last read, and it notes them after
// reading: a read that overlaps another program's write can note the new file with the
// old contents, and then trusts them. Moving the modification time on makes every
// QSettings read the file afresh at its next sync.
void IniSettingsStore::markChanged(const QString& app) {
    const QString path = settingsFor(app).fileName();
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadWrite)) {
        return;
    }
    QDateTime stamp = QDateTime::currentDateTime();
    const QDateTime modified = info.lastModified();
    if (stamp <= modified) {
        stamp = modified.addMSecs(1);
    }
    file.setFileTime(stamp, QFileDevice::FileModificationTime);
}

void IniSettingsStore::refresh(const QString& app) {
    markChanged(app);
}

QString IniSettingsStore::location(const QString& app) {
    return fileName(app);
}

bool IniSettingsStore::isReadable(const QString& app) {
    const QString path = settingsFor(app).fileName();
    const QFileInfo info(path);
    if (!info.exists()) {
        return !info.isSymLink();  // no file yet: an empty store
    }
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly) || !isIniText(file.readAll())) {
        return false;
    }
    if (settingsFor(app).status() != QSettings::NoError) {
        // QSettings keeps the first error it met, also once the file has been mended.
        m_files.erase(app);
    }
    return true;
}

QString IniSettingsStore::GetSetting(const QString& app, const QString& section, const QString& key,
                                     const QString& defaultValue) {
    QSettings& settings = settingsFor(app);
    settings.sync();
    return valueOf(settings, settingsKey(section, key), defaultValue);
}

QStringList IniSettingsStore::GetSettings(const QString& app, const QString& section,
                                          const QStringList& keys) {
    QSettings& settings = settingsFor(app);
    settings.sync();
    QStringList values;
    values.reserve(keys.size());
    for (const QString& key : keys) {
        values.append(valueOf(settings, settingsKey(section, key), QString()));
    }
    return values;
}

bool IniSettingsStore::SaveSetting(const QString& app, const QString& section, const QString& key,
                                   const QString& value) {
    return SaveSettings(app, section, {{key, value}});
}

bool IniSettingsStore::DeleteSetting(const QString& app, const QString& section,
                                     const QString& key) {
    return SaveSettings(app, section, {{key, std::nullopt}});
}

bool IniSettingsStore::SaveSettings(const QString& app, const QString& section,
                                    const QList<SettingChange>& changes) {
    if (!isReadable(app)) {
        return false;  // writing would replace a file we could not read
    }
    // What the file holds now is merged with the changes, not what an overlapping read
    // left noted.
    markChanged(app);
    QSettings& settings = settingsFor(app);
    struct Undo {
        QString key;
        QVariant old;
    };
    QList<Undo> undo;
    for (const SettingChange& change : changes) {
        const QString key = settingsKey(section, change.key);
        undo.prepend({key, settings.value(key)});
        if (change.value) {
            settings.setValue(key, *change.value);
        } else {
            settings.remove(key);
        }
    }
    // One sync writes the whole file anew (a temporary file renamed over it), so all the
    // changes land or none does.
    settings.sync();
    if (settings.status() == QSettings::NoError) {
        return true;
    }
    // Take the changes back in memory, or a later sync that works would write them; a
    // fresh QSettings then starts without the error, which QSettings keeps for good.
    for (const Undo& change : undo) {
        if (change.old.isValid()) {
            settings.setValue(change.key, change.old);
        } else {
            settings.remove(change.key);
        }
    }
    m_files.erase(app);
    return false;
}

}  // namespace tavrel
