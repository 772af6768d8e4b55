#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "common/DriveMap.h"

namespace tavrel {

class SettingsStore;

// One monitored file: its place in the list (1-based, also its key suffix) and its
// drive-letter path.
struct FileListEntry {
    qint16 number = 0;
    QString path;
};

// The list of monitored files, kept in the settings store (application "Tavrel", section
// "File") under the keys "File_" & n and "Desc_" & n. There is no count: the first n
// whose path is empty or missing ends the list. Every call reads the store afresh.
//
// Every change reads the list and writes it under the list's lock (FileListLock), as one
// write of the store: another program changing the list at the same time waits, and a
// failed write leaves the list as it was. A caller that decides on a change from several
// reads (a count, a duplicate check) holds a FileListLock around them too.

// The entries in order.
QList<FileListEntry> LoadFileList(SettingsStore& store);
// The number of entries.
int fileListCount(SettingsStore& store);
// The description of entry n ("" when there is none).
QString fileDescription(SettingsStore& store, int number);
// The descriptions of files 1 to count, read at once.
QStringList fileDescriptions(SettingsStore& store, int count);
// True when an entry other than exceptNumber holds the path, compared as normal drive
// paths (normalDosPath: "/" for "\", "." and ".." taken out) without regard to letter
// case, except on a drive of the map whose names differ by case (DriveMap::sameFileKey).
// exceptNumber is skipped without being read.
bool FindDuplicatePath(SettingsStore& store, const QString& path, int exceptNumber,
                       const DriveMap& drives = DriveMap());
// Writes entry n: the path in its normal spelling and the description, both or neither.
// n is an existing entry (editing) or the count + 1, as the list is under the lock; any
// other number is refused, as are a path another entry has, a description with control
// characters, unreadable settings and a failed write. The caller checks for duplicates
// first to tell the user. Adding goes through addMonitoredFile, which takes the number
// under the lock: a number found earlier may have been taken by another program since.
bool SaveFileEntry(SettingsStore& store, int number, const QString& path,
                   const QString& description, const DriveMap& drives = DriveMap());
// Removes entry k: later entries move down one number and the last keys are removed,
// all in one write. The count is read from the store under the lock; a number outside
// 1..count is refused.
bool DeleteFileEntry(SettingsStore& store, int number);

// The description as the file editor keeps it: at most 55 characters, then trimmed.
QString editorDescription(const QString& text);
inline constexpr int kMaxDescriptionLength = 55;

// Adding a file as the file editor does: it must be a file on a network drive, its
// description is kept as the editor keeps it (and may hold no control characters), and a
// path already listed in any spelling is refused (in any letter case, unless the drive
// tells names apart by case). A path two files match in case only is refused. The entry takes the
// number after the last one as the list is under its lock.
enum class AddFileResult {
    Saved,
    NotOnFileServer,
    Duplicate,
    WriteFailed,
    ControlCharacters,
    ListLocked,
    NoSuchFile,  // on a network drive, but not there
    ListFull,
    CaseTwins,  // two files differ from it only in letter case
};
AddFileResult addMonitoredFile(SettingsStore& store, const DriveMap& drives, const QString& path,
                               const QString& description);
// True when path names an existing file on a network drive, as a file added must.
bool isFileOnServer(const DriveMap& drives, const QString& path);
// The message the editor shows for a refusal of path ("" for Saved); twins are the files
// a CaseTwins path could mean (DriveMap::caseTwins).
QString addFileMessage(AddFileResult result, const QString& path = QString(),
                       const QStringList& twins = {});

// Many files added at once, each by the rules of addMonitoredFile (a path given twice is
// a duplicate the second time), all under one hold of the list's lock and in one write:
// the outcome of each in order, with the number a saved one took. When the write fails,
// none is saved.
struct FileToAdd {
    QString path;
    QString description;
};
struct AddedFile {
    AddFileResult result = AddFileResult::WriteFailed;
    int number = 0;  // the entry's number when saved
};
QList<AddedFile> addMonitoredFiles(SettingsStore& store, const DriveMap& drives,
                                   const QList<FileToAdd>& files);

// The path of entry n ("" when there is none).
QString fileEntryPath(SettingsStore& store, int number);

// Changing entry n as the file editor does, with the rules of adding. storedPath is what
// the entry held when the editor read it: when it holds anything else now (another
// program changed the list), nothing is written and there is no result.
std::optional<AddFileResult> editMonitoredFile(SettingsStore& store, const DriveMap& drives,
                                               int number, const QString& storedPath,
                                               const QString& path, const QString& description);

}  // namespace tavrel
