#include "filelist/FileListStore.h"

#include <QSet>
#include <limits>

#include "common/AppTitle.h"
#include "common/DriveMap.h"
#include "common/Module1.h"
#include "common/PrintableText.h"
#include "common/SettingsStore.h"
#include "filelist/FileListLock.h"

namespace tavrel {

namespace {

const QString kSection = QStringLiteral("File");
constexpr int kMaxNumber = std::numeric_limits<qint16>::max();

QString pathKey(int n) {
    return QStringLiteral("File_") + QString::number(n);
}
QString descriptionKey(int n) {
    return QStringLiteral("Desc_") + QString::number(n);
}

QString readPath(SettingsStore& store, int n) {
    return store.GetSetting(kAppTitle, kSection, pathKey(n), QString());
}

// The writes that put an entry under number n. The description goes first, so that a
// store writing the keys one at a time never shows the path without it.
QList<SettingChange> entryChanges(int n, const QString& path, const QString& description) {
    return {{descriptionKey(n), description}, {pathKey(n), path}};
}

// Writes entry n within a held list lock; the number, the path and the description are
// checked against the list as it now is.
bool saveLocked(SettingsStore& store, int number, const QString& path, const QString& description,
                const DriveMap& drives) {
    if (!store.isReadable(kAppTitle) || number < 1 || number > kMaxNumber ||
        number > fileListCount(store) + 1 || path.isEmpty() || hasControlCharacters(description) ||
        FindDuplicatePath(store, path, number, drives)) {
        return false;
    }
    return store.SaveSettings(kAppTitle, kSection,
                              entryChanges(number, normalDosPath(path), description));
}

}  // namespace

QList<FileListEntry> LoadFileList(SettingsStore& store) {
    // Read a batch of numbers at a time: a store may look at its file before each read.
    constexpr int kBatch = 256;
    QList<FileListEntry> entries;
    for (int first = 1; first <= kMaxNumber; first += kBatch) {
        QStringList keys;
        for (int n = first; n < first + kBatch && n <= kMaxNumber; ++n) {
            keys.append(pathKey(n));
        }
        const QStringList paths = store.GetSettings(kAppTitle, kSection, keys);
        for (qsizetype i = 0; i < paths.size(); ++i) {
            if (paths[i].isEmpty()) {
                return entries;
            }
            entries.append({qint16(first + i), paths[i]});
        }
    }
    return entries;
}

int fileListCount(SettingsStore& store) {
    int n = 1;
    while (n <= kMaxNumber && !readPath(store, n).isEmpty()) {
        ++n;
    }
    return n - 1;
}

QString fileDescription(SettingsStore& store, int number) {
    return store.GetSetting(kAppTitle, kSection, descriptionKey(number), QString());
}

QStringList fileDescriptions(SettingsStore& store, int count) {
    QStringList keys;
    keys.reserve(count);
    for (int n = 1; n <= count; ++n) {
        keys.append(descriptionKey(n));
    }
    return store.GetSettings(kAppTitle, kSection, keys);
}

bool FindDuplicatePath(SettingsStore& store, const QString& path, int exceptNumber,
                       const DriveMap& drives) {
    const QString wanted = drives.sameFileKey(path);
    for (int n = 1; n <= kMaxNumber; ++n) {
        if (n == exceptNumber) {
            continue;
        }
        const QString stored = readPath(store, n);
        if (stored.isEmpty()) {
            return false;
        }
        if (drives.sameFileKey(stored) == wanted) {
            return true;
        }
    }
    return false;
}

bool SaveFileEntry(SettingsStore& store, int number, const QString& path,
                   const QString& description, const DriveMap& drives) {
    const FileListLock lock(store);
    return lock.isLocked() && saveLocked(store, number, path, description, drives);
}

bool DeleteFileEntry(SettingsStore& store, int number) {
    const FileListLock lock(store);
    if (!lock.isLocked() || !store.isReadable(kAppTitle)) {
        return false;
    }
    const int count = fileListCount(store);
    if (number < 1 || number > count) {
        return false;
    }
    // Entries before the deleted one keep their numbers; those after it move down one.
    // All of it is one change, so a failure leaves the list as it was.
    QList<SettingChange> changes;
    for (int i = number + 1; i <= count; ++i) {
        changes += entryChanges(i - 1, readPath(store, i), fileDescription(store, i));
    }
    changes.append({pathKey(count), std::nullopt});
    changes.append({descriptionKey(count), std::nullopt});
    return store.SaveSettings(kAppTitle, kSection, changes);
}

QString editorDescription(const QString& text) {
    return text.left(kMaxDescriptionLength).trimmed();
}

namespace {

// What the editor refuses before it looks at the list: a file that is not on a network
// drive, or a description that could not be shown on one line.
bool onServerDrive(const DriveMap& drives, const QString& path) {
    const DriveType type = drives.driveType(path.left(2) + QLatin1Char('\\'));
    return type != DriveType::Removable && type != DriveType::Fixed && type != DriveType::CdRom &&
           type != DriveType::NoRootDir;
}

std::optional<AddFileResult> entryRefusal(const DriveMap& drives, const QString& path,
                                          const QString& description) {
    if (!onServerDrive(drives, path)) {
        return AddFileResult::NotOnFileServer;
    }
    if (!FileExists(drives, path)) {
        return drives.caseTwins(path).isEmpty() ? AddFileResult::NoSuchFile
                                                : AddFileResult::CaseTwins;
    }
    if (hasControlCharacters(description)) {
        return AddFileResult::ControlCharacters;
    }
    return std::nullopt;
}

}  // namespace

bool isFileOnServer(const DriveMap& drives, const QString& path) {
    return onServerDrive(drives, path) && FileExists(drives, path);
}

AddFileResult addMonitoredFile(SettingsStore& store, const DriveMap& drives, const QString& path,
                               const QString& description) {
    return addMonitoredFiles(store, drives, {{path, description}}).constFirst().result;
}

QList<AddedFile> addMonitoredFiles(SettingsStore& store, const DriveMap& drives,
                                   const QList<FileToAdd>& files) {
    QList<AddedFile> results(files.size());
    QList<qsizetype> accepted;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const std::optional<AddFileResult> refused =
            entryRefusal(drives, files[i].path, files[i].description);
        if (refused) {
            results[i].result = *refused;
        } else {
            accepted.append(i);
        }
    }
    if (accepted.isEmpty()) {
        return results;
    }
    // The numbers, the duplicate checks and the write all see the list as it is under the
    // lock, so two programs adding at once never take the same number.
    const FileListLock lock(store);
    if (!lock.isLocked() || !store.isReadable(kAppTitle)) {
        for (qsizetype i : accepted) {
            results[i].result =
                lock.isLocked() ? AddFileResult::WriteFailed : AddFileResult::ListLocked;
        }
        return results;
    }
    // The list is read once: a check per file against the store would read it anew.
    QSet<QString> listed;
    const QList<FileListEntry> entries = LoadFileList(store);
    for (const FileListEntry& entry : entries) {
        listed.insert(drives.sameFileKey(entry.path));
    }
    int number = int(entries.size());
    QList<SettingChange> changes;
    QList<qsizetype> saved;
    for (qsizetype i : accepted) {
        const QString path = normalDosPath(files[i].path);
        const QString key = drives.sameFileKey(path);
        if (listed.contains(key)) {
            results[i].result = AddFileResult::Duplicate;
        } else if (number >= kMaxNumber) {
            results[i].result = AddFileResult::ListFull;
        } else {
            listed.insert(key);
            changes += entryChanges(++number, path, editorDescription(files[i].description));
            results[i] = {AddFileResult::Saved, number};
            saved.append(i);
        }
    }
    if (!changes.isEmpty() && !store.SaveSettings(kAppTitle, kSection, changes)) {
        for (qsizetype i : saved) {
            results[i] = {AddFileResult::WriteFailed, 0};
        }
    }
    return results;
}

QString addFileMessage(AddFileResult result, const QString& path, const QStringList& twins) {
    switch (result) {
        case AddFileResult::Saved:
            break;
        case AddFileResult::NotOnFileServer:
            return QStringLiteral("Invalid file! File must reside on file server.");
        case AddFileResult::NoSuchFile:
            return QStringLiteral("Unable to save. No file %1 exists on drive %2.")
                .arg(path, path.left(2));
        case AddFileResult::CaseTwins:
            return QStringLiteral(
                       "Unable to save. %1 names no one file: %2 differ from it only in "
                       "letter case. Give the name exactly.")
                .arg(path, twins.join(QStringLiteral(" and ")));
        case AddFileResult::ListFull:
            return QStringLiteral(
                       "Unable to save. The list already holds %1 files, the most it "
                       "can.")
                .arg(kMaxNumber);
        case AddFileResult::Duplicate:
            return QStringLiteral("Unable to save. This item already exists.");
        case AddFileResult::WriteFailed:
            return QStringLiteral("Unable to save. The settings could not be written.");
        case AddFileResult::ControlCharacters:
            return QStringLiteral(
                "Unable to save. A description cannot hold control characters (tabs, line "
                "breaks, escape codes).");
        case AddFileResult::ListLocked:
            return QStringLiteral(
                "Unable to save. Another program is changing the list of files; try again.");
    }
    return QString();
}

QString fileEntryPath(SettingsStore& store, int number) {
    return readPath(store, number);
}

std::optional<AddFileResult> editMonitoredFile(SettingsStore& store, const DriveMap& drives,
                                               int number, const QString& storedPath,
                                               const QString& path, const QString& description) {
    if (const std::optional<AddFileResult> refused = entryRefusal(drives, path, description)) {
        return *refused;
    }
    // The check that the entry is still the one read and the write see the same list.
    const FileListLock lock(store);
    if (!lock.isLocked()) {
        return AddFileResult::ListLocked;
    }
    if (storedPath.isEmpty() || readPath(store, number) != storedPath) {
        return std::nullopt;
    }
    if (FindDuplicatePath(store, path, number, drives)) {
        return AddFileResult::Duplicate;
    }
    return SaveFileEntry(store, number, path, editorDescription(description), drives)
               ? AddFileResult::Saved
               : AddFileResult::WriteFailed;
}

}  // namespace tavrel
