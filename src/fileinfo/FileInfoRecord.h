#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <array>

#include "external/netware/NetWareRecords.h"

namespace tavrel {

// The fields of the extended file information record the information window shows.
struct ExtendedFileRecord {
    quint32 attributes = 0;
    quint32 created = 0;  // packed date-time
    quint32 owner = 0;    // object ID
    quint32 archived = 0;
    quint32 archiver = 0;
    quint32 modified = 0;
    quint32 modifier = 0;
    quint16 accessed = 0;  // packed date alone
    quint32 dataSize = 0;
};

ExtendedFileRecord decodeExtendedInfo(const ExtendedInfo& bytes);

// One attribute box of the window: its caption and the bit of the attributes field.
struct AttributeBox {
    const char* caption;
    quint32 bit;
};
inline constexpr int kAttributeBoxCount = 21;
// In display order (Check1 .. Check21).
const std::array<AttributeBox, kAttributeBoxCount>& attributeBoxes();
// The captions of the boxes whose bit is set, in display order.
QStringList attributeCaptions(quint32 attributes);

// "month/day/year, hour:minute:seconds" of a packed date-time, numbers without leading
// zeros; "?" for 0. A value with an empty date half shows 0/0/1980.
QString FormatNetWareDateTime(quint32 value);
// The text with every blank removed.
QString RemoveSpaces(const QString& text);
// How the window shows a date field.
QString netWareDateText(quint32 value);
// A last access date, which has no time half.
QString netWareDateOnlyText(quint16 date);

// The text with every occurrence of find, from the 1-based position start on, replaced;
// the search goes on after each inserted replacement.
QString ReplaceText(int start, const QString& text, const QString& find,
                    const QString& replacement);

// A full path (FS1\SYS:APPS\DATA\ORDERS.DBF) split into server (FS1), directory
// (SYS:APPS\DATA, or SYS for a file in the volume's root) and name (ORDERS.DBF).
struct FullPathParts {
    QString server;
    QString directory;
    QString name;
};
FullPathParts splitFullPath(const QString& fullPath);

// What the window shows for one file.
struct FileInfoFields {
    QString FilePath;  // drive-letter form
    QString FullPath;  // SERVER\VOL:DIR\NAME
    QString name;      // Frame1's caption before "&" is doubled
    ExtendedFileRecord record;
    QString ownerName;
    QString archiverName;
    QString modifierName;

    // Text1 .. Text7: Created, Owner, Last Access, Last Archived, Last Arch. By, Last
    // Modified, Last Modif. By.
    std::array<QString, 7> texts() const;
};

// The captions of the window's seven text fields, in order.
const std::array<QString, 7>& fileInfoLabels();

// The text Copy puts on the clipboard, lines ended by CR LF: the full path, the path,
// the seven fields, an empty line, "Attributes", an empty line and the caption of every
// attribute shown set.
QString fileInfoCopyText(const QString& fullPath, const QString& filePath,
                         const std::array<QString, 7>& texts, const QStringList& attributes);

// The record for scripts: every field by name, dates in ISO 8601 (null where there is
// none), attributes as a list of captions, numbers as numbers.
QJsonObject fileInfoJson(const FileInfoFields& fields);

// A packed date-time as a moment; invalid for 0 or a value naming no real date or time.
QDateTime netWareDateTime(quint32 value);
QDate netWareDate(quint16 date);

}  // namespace tavrel
