#include "filelist/FileListStore.h"

#include <limits>

#include "common/AppTitle.h"
#include "common/DriveMap.h"
#include "common/Module1.h"
#include "common/SettingsStore.h"

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

}  // namespace

QList<FileListEntry> LoadFileList(SettingsStore& store) {
    QList<FileListEntry> entries;
    for (int n = 1; n <= kMaxNumber; ++n) {
        QString path = readPath(store, n);
        if (path.isEmpty()) {
            break;
        }
        entries.append({qint16(n), std::move(path)});
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

bool FindDuplicatePath(SettingsStore& store, const QString& path, int exceptNumber) {
    for (int n = 1; n <= kMaxNumber; ++n) {
        if (n == exceptNumber) {
            continue;
        }
        const QString stored = readPath(store, n);
        if (stored.isEmpty()) {
            return false;
        }
        if (stored.compare(path, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

bool SaveFileEntry(SettingsStore& store, int number, const QString& path,
                   const QString& description) {
    if (number < 1 || number > kMaxNumber || number > fileListCount(store) + 1 || path.isEmpty()) {
        return false;
    }
    return store.SaveSetting(kAppTitle, kSection, pathKey(number), path) &&
           store.SaveSetting(kAppTitle, kSection, descriptionKey(number), description);
}

bool DeleteFileEntry(SettingsStore& store, int number) {
    const int count = fileListCount(store);
    if (number < 1 || number > count) {
        return false;
    }
    bool ok = true;
    // Entries before the deleted one keep their numbers; those after it move down one.
    for (int i = number + 1; i <= count; ++i) {
        const QString path = readPath(store, i);
        const QString description = fileDescription(store, i);
        ok = store.SaveSetting(kAppTitle, kSection, pathKey(i - 1), path) &&
             store.SaveSetting(kAppTitle, kSection, descriptionKey(i - 1), description) && ok;
    }
    if (!ok) {
        return false;  // keep the last entry rather than lose one that failed to move
    }
    return store.DeleteSetting(kAppTitle, kSection, pathKey(count)) &&
           store.DeleteSetting(kAppTitle, kSection, descriptionKey(count));
}

QString editorDescription(const QString& text) {
    return text.left(kMaxDescriptionLength).trimmed();
}

AddFileResult addMonitoredFile(SettingsStore& store, const DriveMap& drives, const QString& path,
                               const QString& description) {
    const DriveType type = drives.driveType(path.left(2) + QLatin1Char('\\'));
    if (type == DriveType::Removable || type == DriveType::Fixed || type == DriveType::CdRom ||
        type == DriveType::NoRootDir || !FileExists(drives, path)) {
        return AddFileResult::NotOnFileServer;
    }
    const int number = fileListCount(store) + 1;
    if (FindDuplicatePath(store, path, number)) {
        return AddFileResult::Duplicate;
    }
    return SaveFileEntry(store, number, path, editorDescription(description))
               ? AddFileResult::Saved
               : AddFileResult::WriteFailed;
}

QString addFileMessage(AddFileResult result) {
    switch (result) {
        case AddFileResult::Saved:
            break;
        case AddFileResult::NotOnFileServer:
            return QStringLiteral("Invalid file! File must reside on file server.");
        case AddFileResult::Duplicate:
            return QStringLiteral("Unable to save. This item already exists.");
        case AddFileResult::WriteFailed:
            return QStringLiteral("Unable to save. The settings could not be written.");
    }
    return QString();
}

QString fileEntryPath(SettingsStore& store, int number) {
    return readPath(store, number);
}

std::optional<AddFileResult> editMonitoredFile(SettingsStore& store, const DriveMap& drives,
                                               int number, const QString& storedPath,
                                               const QString& path, const QString& description) {
    if (storedPath.isEmpty() || readPath(store, number) != storedPath) {
        return std::nullopt;
    }
    const DriveType type = drives.driveType(path.left(2) + QLatin1Char('\\'));
    if (type == DriveType::Removable || type == DriveType::Fixed || type == DriveType::CdRom ||
        type == DriveType::NoRootDir || !FileExists(drives, path)) {
        return AddFileResult::NotOnFileServer;
    }
    if (FindDuplicatePath(store, path, number)) {
        return AddFileResult::Duplicate;
    }
    return SaveFileEntry(store, number, path, editorDescription(description))
               ? AddFileResult::Saved
               : AddFileResult::WriteFailed;
}

}  // namespace tavrel
