#include "filelist/FileEditorRules.h"

#include <QLocale>

namespace tavrel {

QString GetFile(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1);
}

QString folderWithSeparator(const QString& folder) {
    return folder.endsWith(QLatin1Char('\\')) ? folder : folder + QLatin1Char('\\');
}

QString folderOfPath(const QString& path) {
    const qsizetype last = path.lastIndexOf(QLatin1Char('\\'));
    if (last < 0) {
        return QString();
    }
    // "G:" alone would name the drive's current folder, not its root.
    return last == 2 && path.at(1) == QLatin1Char(':') ? path.left(3) : path.left(last);
}

QString fileCountText(qsizetype count) {
    if (count <= 0) {
        return QString();
    }
    return count == 1 ? QStringLiteral("1 file")
                      : QString::number(count) + QStringLiteral(" files");
}

QString groupedByteCount(qint64 bytes) {
    const bool negative = bytes < 0;
    QString digits = QString::number(negative ? -bytes : bytes);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3) {
        digits.insert(i, QLatin1Char(','));
    }
    return negative ? QLatin1Char('-') + digits : digits;
}

QString pickedFileText(const QDateTime& modified, qint64 size) {
    const QString when =
        QLocale(QLocale::English, QLocale::UnitedStates).toString(modified, "M/d/yyyy h:mm:ss AP");
    return when + QStringLiteral("  ") + groupedByteCount(size);
}

bool isFileServerDrive(DriveType type) {
    return type != DriveType::Removable && type != DriveType::Fixed && type != DriveType::CdRom;
}

bool rememberPattern(QStringList& patterns, const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    const QString lower = text.toLower();
    for (const QString& known : patterns) {
        if (known.toLower() == lower) {
            return false;
        }
    }
    patterns.append(text);
    return true;
}

bool canSaveFileEntry(const QString& description, bool filePicked, DriveType type) {
    return !description.trimmed().isEmpty() && filePicked && isFileServerDrive(type);
}

}  // namespace tavrel
