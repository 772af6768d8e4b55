#include "filelist/FilePicker.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace tavrel {

namespace {

bool matchesOne(QStringView name, QStringView pattern) {
    // Greedy matching with one back-track point for the last "*".
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype star = -1;
    qsizetype resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern.at(p) == QLatin1Char('*')) {
            star = p++;
            resume = n;
        } else if (p < pattern.size() &&
                   (pattern.at(p) == QLatin1Char('?') ||
                    pattern.at(p).toCaseFolded() == name.at(n).toCaseFolded())) {
            ++p;
            ++n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern.at(p) == QLatin1Char('*')) {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace

bool matchesFilePattern(const QString& name, const QString& pattern) {
    const QStringList patterns = pattern.split(QLatin1Char(';'));
    for (const QString& raw : patterns) {
        const QString one = raw.trimmed();
        if (one.contains(QLatin1Char('\\')) || one.contains(QLatin1Char('/'))) {
            continue;  // a pattern names files of this folder only
        }
        if (one.isEmpty() && patterns.size() == 1) {
            return true;
        }
        if (matchesOne(name, one)) {
            return true;
        }
        // "NAME.*" also matches a name that has no extension at all.
        if (one.endsWith(QLatin1String(".*")) && !name.contains(QLatin1Char('.')) &&
            matchesOne(name, QStringView(one).chopped(2))) {
            return true;
        }
    }
    return false;
}

FilePicker::FilePicker(const DriveMap& drives) : m_drives(drives) {}

QList<MappedDrive> FilePicker::drives() const {
    QList<MappedDrive> all = m_drives.drives();
    std::sort(all.begin(), all.end(),
              [](const MappedDrive& a, const MappedDrive& b) { return a.letter < b.letter; });
    return all;
}

QString FilePicker::driveEntry(const MappedDrive& drive) {
    QString entry = QString(drive.letter.toLower()) + QLatin1Char(':');
    if (drive.isNetwork()) {
        QString share = QStringLiteral("\\\\") + drive.server + QLatin1Char('\\') + drive.volume;
        if (!drive.path.isEmpty()) {
            share += QLatin1Char('\\') + QString(drive.path).replace(QLatin1Char('/'), '\\');
        }
        entry += QStringLiteral(" [") + share + QLatin1Char(']');
    }
    return entry;
}

bool FilePicker::setDrive(QChar letter) {
    return setFolder(QString(letter) + QStringLiteral(":\\"));
}

bool FilePicker::setFolder(const QString& dosFolder) {
    QChar letter;
    QStringList components;
    if (!splitDosPath(dosFolder, &letter, &components)) {
        return false;
    }
    const std::optional<MappedDrive> drive = m_drives.drive(letter);
    const std::optional<QString> local = m_drives.localPath(dosFolder);
    if (!drive || !local || !QFileInfo(*local).isDir() || !QDir(*local).isReadable()) {
        return false;
    }
    // The names as the disk spells them: a network drive finds folders in any case.
    const QString relative = QDir(QDir::cleanPath(drive->localRoot)).relativeFilePath(*local);
    QStringList spelled;
    if (relative != QLatin1String(".")) {
        spelled = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    }
    if (spelled.size() != components.size()) {
        spelled = components;  // reached through a link: keep the names given
    }
    m_letter = letter;
    m_components = spelled;
    return true;
}

QString FilePicker::folder() const {
    if (m_letter.isNull()) {
        return QString();
    }
    return QString(m_letter) + QStringLiteral(":\\") + m_components.join(QLatin1Char('\\'));
}

QString FilePicker::localFolder() const {
    if (m_letter.isNull()) {
        return QString();
    }
    return m_drives.localPath(folder()).value_or(QString());
}

QStringList FilePicker::subfolders() const {
    const QString local = localFolder();
    if (local.isEmpty()) {
        return {};
    }
    return QDir(local).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
}

QStringList FilePicker::files(const QString& pattern) const {
    const QString local = localFolder();
    if (local.isEmpty()) {
        return {};
    }
    QStringList matching;
    const QStringList names =
        QDir(local).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names) {
        if (matchesFilePattern(name, pattern)) {
            matching.append(name);
        }
    }
    return matching;
}

std::optional<FilePicker::FileDetails> FilePicker::fileDetails(const QString& name) const {
    const QString local = localFolder();
    if (local.isEmpty()) {
        return std::nullopt;
    }
    const QFileInfo info(QDir(local).filePath(name));
    if (!info.isFile()) {
        return std::nullopt;
    }
    return FileDetails{info.lastModified(), info.size()};
}

DriveType FilePicker::driveType() const {
    return m_letter.isNull() ? DriveType::NoRootDir
                             : m_drives.driveType(QString(m_letter) + QStringLiteral(":\\"));
}

}  // namespace tavrel
