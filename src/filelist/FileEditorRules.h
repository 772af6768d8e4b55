#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "common/DriveMap.h"

namespace tavrel {

// The text after the last "\" of a path (the whole path when it has none).
QString GetFile(const QString& path);
// The folder with "\" appended unless it already ends in one (G:\ stays G:\).
QString folderWithSeparator(const QString& folder);
// The folder of a path: the text up to, not including, its last "\", or the drive's
// root (G:\) for a file there.
QString folderOfPath(const QString& path);

// Label2 after a list refill: "" for no file, "1 file", else the count and " files".
QString fileCountText(qsizetype count);
// A byte count as "###,###,##0": thousands grouped with ",", at least one digit.
QString groupedByteCount(qint64 bytes);
// Label2 for a picked file: its last change as the desktop's default date-time text
// (6/9/2003 8:05:30 AM), two blanks and its length.
QString pickedFileText(const QDateTime& modified, qint64 size);

// Removable, fixed and optical drives do not hold server files; every other kind does.
bool isFileServerDrive(DriveType type);

// Keeps a typed pattern in the pattern list once: adds it unless it is empty or the list
// already holds it in any letter case. True when it was added.
bool rememberPattern(QStringList& patterns, const QString& text);

// Whether "&Save" may show: a description that is not blank, a picked file and a drive
// that holds server files.
bool canSaveFileEntry(const QString& description, bool filePicked, DriveType type);

}  // namespace tavrel
