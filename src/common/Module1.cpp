#include "common/Module1.h"

#include <algorithm>

#include "common/DriveMap.h"

namespace tavrel {

QString StripAtNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

bool FileExists(const DriveMap& drives, const QString& path) {
    return drives.isFile(path);
}

QString GetShortName(const QString& path) {
    return path;
}

QString BytesToString(std::span<const quint8> buffer) {
    const auto end = std::find(buffer.begin(), buffer.end(), quint8(0));
    return QString::fromLatin1(reinterpret_cast<const char*>(buffer.data()),
                               std::distance(buffer.begin(), end));
}

QString BytesToString(const QByteArray& buffer) {
    return BytesToString(std::span<const quint8>(
        reinterpret_cast<const quint8*>(buffer.constData()), static_cast<size_t>(buffer.size())));
}

qsizetype StringToBytes(const QString& text, std::span<quint8> buffer) {
    const QByteArray ansi = text.toLatin1();
    const qsizetype count = std::min<qsizetype>(ansi.size(), qsizetype(buffer.size()));
    std::copy_n(reinterpret_cast<const quint8*>(ansi.constData()), count, buffer.begin());
    return count;
}

}  // namespace tavrel
