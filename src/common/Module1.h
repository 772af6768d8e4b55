#pragma once

#include <QByteArray>
#include <QString>
#include <span>

namespace tavrel {

class DriveMap;

// Text before the first NUL character, or the text unchanged when it has none.
QString StripAtNul(const QString& text);

// True when the file named in drive-letter form exists and its length can be read
// (a file of length 0 exists; a folder is not a file).
bool FileExists(const DriveMap& drives, const QString& path);

// The short (8.3) form of a path. This platform has no short names: the path itself.
QString GetShortName(const QString& path);

// The characters of buffer[0], buffer[1], ... up to, not including, the first 0 byte,
// or to the end of the buffer; each byte read as an ANSI (Latin-1) character.
QString BytesToString(std::span<const quint8> buffer);
QString BytesToString(const QByteArray& buffer);

// Writes the ANSI code of each character of text into buffer[0], buffer[1], ...;
// characters beyond the buffer's end are left out rather than written past it.
// Returns the number of bytes written.
qsizetype StringToBytes(const QString& text, std::span<quint8> buffer);

}  // namespace tavrel
