#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tavrel {

// The drive types of the Windows drive-type call, which the file editor tests.
enum class DriveType {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

// One drive letter of the workstation.
struct MappedDrive {
    QChar letter;  // upper case
    DriveType type = DriveType::Fixed;
    QString server;  // network drives: the server and volume mapped,
    QString volume;  // and the folder within the volume (may be empty)
    QString path;
    QString localRoot;  // the local folder that holds the drive's files
    // A share whose names differ in letter case name different files (Samba): Dup.txt
    // and DUP.TXT are two. On a NetWare volume they are one.
    bool caseSensitive = false;

    bool isNetwork() const { return type == DriveType::Remote; }
};

// The workstation's drive letters. Monitored paths keep the drive-letter form
// (G:\APPS\ORDERS.DBF); this is where such a path meets the local file system. Files on
// network drives are found without regard to letter case, as on a NetWare volume: an
// exact match wins, another spelling names the one entry that differs from it only in
// case, and none when two do.
class DriveMap {
public:
    virtual ~DriveMap() = default;

    // The current drives; a subclass may refresh them first.
    virtual QList<MappedDrive> drives() const;
    void setDrives(QList<MappedDrive> drives);

    std::optional<MappedDrive> drive(QChar letter) const;
    // Drive type of a root such as "G:\" (NoRootDir when the letter is not mapped).
    DriveType driveType(const QString& root) const;
    // The local path of an existing file or folder named in drive-letter form.
    std::optional<QString> localPath(const QString& dosPath) const;
    // True when the path in drive-letter form names an existing file (not a folder).
    bool isFile(const QString& dosPath) const;
    // The entries a path names none of because two or more differ from it only in case
    // (G:\APPS\Dup.txt and G:\APPS\DUP.TXT for G:\APPS\dup.txt), as drive-letter paths;
    // empty when the path names one file or none for another reason.
    QStringList caseTwins(const QString& dosPath) const;
    // What two paths naming the same monitored file have in common: the normal path in
    // any letter case, or on a case-sensitive drive spelt as the files found are named.
    QString sameFileKey(const QString& dosPath) const;
    // The drive-letter form of a local folder, on the fixed drive whose root holds it
    // (C:\opt\tavrel\bin for /opt/tavrel/bin with C: mapped to /); "" when none does.
    QString dosPath(const QString& localFolder) const;

    // The drive map a workstation has with nothing mapped: C: is the local root.
    static MappedDrive localRootDrive();

private:
    // How far a drive-letter path was found: its drive, the local path reached and the
    // names of the components found there.
    struct Walk {
        QChar letter;
        QString local;
        QStringList names;
        std::optional<bool> isFile;  // known when the whole path was looked at at once
        // The drive-letter path of the components found, then next when given.
        QString dosPath(const QString& next = QString()) const;
    };
    // Finds a path component by component; true when all of it was found. twins, when
    // given, receives the entries of a component that two or more match in case only.
    bool walk(const QString& dosPath, Walk* walk, QStringList* twins = nullptr) const;

    QList<MappedDrive> m_drives;
};

// Splits a path below a root into its components on either separator, leaving out empty
// and "." components and taking ".." back out. False when ".." climbs above the root.
bool splitPathComponents(QStringView text, QStringList* components);

// The one spelling of a drive-letter path: the letter in upper case, then ":\" and the
// components joined by "\", with no "." or ".." or empty components (g:/APPS//./A.DBF gives
// G:\APPS\A.DBF). A text not in drive-letter form, or climbing above its root, comes back
// as it is.
QString normalDosPath(const QString& dosPath);

// Splits a drive-letter path into its letter and its components below the root.
// Returns false for a text that is not in drive-letter form or that climbs above the
// root with "..".
bool splitDosPath(const QString& dosPath, QChar* letter, QStringList* components);

}  // namespace tavrel
