#include "fileinfo/FileInfoRecord.h"

#include <QJsonArray>

namespace tavrel {

ExtendedFileRecord decodeExtendedInfo(const ExtendedInfo& bytes) {
    ExtendedFileRecord record;
    record.attributes = readLe32(bytes, extinfo::kAttributes);
    record.created = readLe32(bytes, extinfo::kCreated);
    record.owner = readLe32(bytes, extinfo::kOwner);
    record.archived = readLe32(bytes, extinfo::kArchived);
    record.archiver = readLe32(bytes, extinfo::kArchiver);
    record.modified = readLe32(bytes, extinfo::kModified);
    record.modifier = readLe32(bytes, extinfo::kModifier);
    record.accessed = readLe16(bytes, extinfo::kAccessed);
    record.dataSize = readLe32(bytes, extinfo::kDataSize);
    return record;
}

const std::array<AttributeBox, kAttributeBoxCount>& attributeBoxes() {
    static const std::array<AttributeBox, kAttributeBoxCount> boxes = {{
        {"ReadOnly", 0x00000001},      {"Hidden", 0x00000002},        {"System", 0x00000004},
        {"ExecuteOnly", 0x00000008},   {"Directory", 0x00000010},     {"Archive", 0x00000020},
        {"Shareable", 0x00000080},     {"Transactional", 0x00001000}, {"Indexed", 0x00002000},
        {"ReadAudit", 0x00004000},     {"WriteAudit", 0x00008000},    {"Immed.Purge", 0x00010000},
        {"RenameInhibit", 0x00020000}, {"DeleteInhibit", 0x00040000}, {"CopyInhibit", 0x00080000},
        {"FileMigrated", 0x00400000},  {"Don'tMigrate", 0x00800000},  {"Imm.Compress", 0x02000000},
        {"Compressed", 0x04000000},    {"Don'tCompress", 0x08000000}, {"Can'tCompress", 0x20000000},
    }};
    return boxes;
}

QStringList attributeCaptions(quint32 attributes) {
    QStringList captions;
    for (const AttributeBox& box : attributeBoxes()) {
        if (attributes & box.bit) {
            captions.append(QLatin1String(box.caption));
        }
    }
    return captions;
}

namespace {

struct PackedFields {
    int year = 0;  // offset from 1980
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

PackedFields unpack(quint32 value) {
    PackedFields f;
    const quint32 date = value >> 16;
    if (date != 0) {
        f.year = int(date >> 9 & 0x7F);
        f.month = int(date >> 5 & 0x0F);
        f.day = int(date & 0x1F);
    }
    const quint32 time = value & 0xFFFF;
    f.hour = int(time >> 11 & 0x1F);
    f.minute = int(time >> 5 & 0x3F);
    f.second = int(time & 0x1F) * 2;
    return f;
}

}  // namespace

QString FormatNetWareDateTime(quint32 value) {
    if (value == 0) {
        return QStringLiteral("?");
    }
    const PackedFields f = unpack(value);
    return QString::number(f.month) + QLatin1Char('/') + QString::number(f.day) + QLatin1Char('/') +
           QString::number(1980 + f.year) + QStringLiteral(", ") + QString::number(f.hour) +
           QLatin1Char(':') + QString::number(f.minute) + QLatin1Char(':') +
           QString::number(f.second);
}

QString RemoveSpaces(const QString& text) {
    QString result = text;
    result.remove(QLatin1Char(' '));
    return result;
}

QString netWareDateText(quint32 value) {
    return RemoveSpaces(FormatNetWareDateTime(value));
}

QString netWareDateOnlyText(quint16 date) {
    return netWareDateText(quint32(date) << 16);
}

QString ReplaceText(int start, const QString& text, const QString& find,
                    const QString& replacement) {
    const qsizetype from = std::max(start, 1) - 1;
    if (find.isEmpty() || from >= text.size()) {
        return text;
    }
    QString result = text.left(from);
    qsizetype position = from;
    for (;;) {
        const qsizetype found = text.indexOf(find, position);
        if (found < 0) {
            break;
        }
        result += QStringView(text).mid(position, found - position);
        result += replacement;
        position = found + find.size();
    }
    result += QStringView(text).mid(position);
    return result;
}

FullPathParts splitFullPath(const QString& fullPath) {
    FullPathParts parts;
    const qsizetype a = fullPath.indexOf(QLatin1Char('\\'));
    if (a < 0) {
        parts.name = fullPath;
        return parts;
    }
    qsizetype b = fullPath.lastIndexOf(QLatin1Char('\\'));
    if (a == b) {
        // A file in the volume's root: the directory is the volume's name.
        const qsizetype colon = fullPath.lastIndexOf(QLatin1Char(':'));
        if (colon > a) {
            b = colon;
        }
    }
    parts.server = fullPath.left(a);
    parts.directory = fullPath.mid(a + 1, b - a - 1);
    parts.name = fullPath.mid(b + 1);
    return parts;
}

std::array<QString, 7> FileInfoFields::texts() const {
    return {netWareDateText(record.created),
            ownerName,
            netWareDateOnlyText(record.accessed),
            netWareDateText(record.archived),
            archiverName,
            netWareDateText(record.modified),
            modifierName};
}

const std::array<QString, 7>& fileInfoLabels() {
    static const std::array<QString, 7> labels = {
        QStringLiteral("Created"),        QStringLiteral("Owner"),
        QStringLiteral("Last Access"),    QStringLiteral("Last Archived"),
        QStringLiteral("Last Arch. By"),  QStringLiteral("Last Modified"),
        QStringLiteral("Last Modif. By"),
    };
    return labels;
}

QString fileInfoCopyText(const QString& fullPath, const QString& filePath,
                         const std::array<QString, 7>& texts, const QStringList& attributes) {
    const QString crlf = QStringLiteral("\r\n");
    QString text = QStringLiteral("Full Path:  ") + fullPath + crlf;
    text += QStringLiteral("Path:  ") + filePath + crlf;
    const std::array<QString, 7>& labels = fileInfoLabels();
    for (std::size_t i = 0; i < labels.size(); ++i) {
        text += labels[i] + QStringLiteral(":  ") + texts[i] + crlf;
    }
    text += crlf + QStringLiteral("Attributes") + crlf + crlf;
    for (const QString& caption : attributes) {
        text += caption + crlf;
    }
    return text;
}

QDateTime netWareDateTime(quint32 value) {
    if (value == 0) {
        return QDateTime();
    }
    const PackedFields f = unpack(value);
    const QDate date(1980 + f.year, f.month, f.day);
    const QTime time(f.hour, f.minute, f.second);
    if (!date.isValid() || !time.isValid()) {
        return QDateTime();
    }
    return QDateTime(date, time);
}

QDate netWareDate(quint16 date) {
    const QDateTime moment = netWareDateTime(quint32(date) << 16);
    return moment.isValid() ? moment.date() : QDate();
}

namespace {

QJsonValue isoMoment(quint32 value) {
    const QDateTime moment = netWareDateTime(value);
    return moment.isValid() ? QJsonValue(moment.toString(Qt::ISODate)) : QJsonValue();
}

}  // namespace

QJsonObject fileInfoJson(const FileInfoFields& fields) {
    const ExtendedFileRecord& r = fields.record;
    const QDate accessed = netWareDate(r.accessed);
    QJsonObject object;
    object.insert(QStringLiteral("path"), fields.FilePath);
    object.insert(QStringLiteral("fullPath"), fields.FullPath);
    object.insert(QStringLiteral("name"), fields.name);
    object.insert(QStringLiteral("size"), double(r.dataSize));
    object.insert(QStringLiteral("created"), isoMoment(r.created));
    object.insert(QStringLiteral("owner"), fields.ownerName);
    object.insert(QStringLiteral("ownerId"), double(r.owner));
    object.insert(QStringLiteral("lastAccess"),
                  accessed.isValid() ? QJsonValue(accessed.toString(Qt::ISODate)) : QJsonValue());
    object.insert(QStringLiteral("lastArchived"), isoMoment(r.archived));
    object.insert(QStringLiteral("lastArchivedBy"), fields.archiverName);
    object.insert(QStringLiteral("lastArchivedById"), double(r.archiver));
    object.insert(QStringLiteral("lastModified"), isoMoment(r.modified));
    object.insert(QStringLiteral("lastModifiedBy"), fields.modifierName);
    object.insert(QStringLiteral("lastModifiedById"), double(r.modifier));
    object.insert(QStringLiteral("attributes"),
                  QJsonArray::fromStringList(attributeCaptions(r.attributes)));
    object.insert(QStringLiteral("attributeBits"), double(r.attributes));
    return object;
}

}  // namespace tavrel
