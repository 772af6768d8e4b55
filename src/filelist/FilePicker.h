#pragma once

#include <QChar>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "common/DriveMap.h"

namespace tavrel {

// The drive, folder and file lists of the file editor over the workstation's drive map:
// the current drive and folder (in drive-letter form, with the folders' names as the
// disk spells them), the folders below it and the files matching a pattern.
class FilePicker {
public:
    explicit FilePicker(const DriveMap& drives);

    // The drives, by letter.
    QList<MappedDrive> drives() const;
    // How the drive list shows a drive: "c:", or "g: [\\FS1\SYS]" for a network drive.
    static QString driveEntry(const MappedDrive& drive);

    // Selects a drive and shows its root; false (nothing changes) when there is no such
    // drive or its root cannot be read.
    bool setDrive(QChar letter);
    // Shows a folder named in drive-letter form, on any drive; false (nothing changes)
    // when it is not an existing folder.
    bool setFolder(const QString& dosFolder);

    QChar drive() const { return m_letter; }
    // G:\APPS, or G:\ for a drive's root.
    QString folder() const;
    // The folders from the root down to the current one (empty at the root).
    const QStringList& folderChain() const { return m_components; }
    // The folders in the current folder, by name.
    QStringList subfolders() const;
    // The ordinary files (no hidden ones, no folders) of the current folder that match
    // the pattern, by name.
    QStringList files(const QString& pattern) const;
    // When a file of the current folder was last changed, and its length.
    struct FileDetails {
        QDateTime modified;
        qint64 size = 0;
    };
    std::optional<FileDetails> fileDetails(const QString& name) const;
    // The type of the current drive.
    DriveType driveType() const;

private:
    QString localFolder() const;

    const DriveMap& m_drives;
    QChar m_letter;
    QStringList m_components;
};

// True when a name matches a file pattern as the desktop's file dialogs match them:
// "*" any run of characters, "?" any one, letter case ignored, "*.*" every name (also
// one without an extension); several patterns may be given separated by ";".
bool matchesFilePattern(const QString& name, const QString& pattern);

}  // namespace tavrel
