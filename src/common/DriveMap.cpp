#include "common/DriveMap.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tavrel {

namespace {

bool isSeparator(QChar c) {
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

}  // namespace

bool splitPathComponents(QStringView text, QStringList* components) {
    QStringList parts;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i <= size; ++i) {
        if (i < size && !isSeparator(text.at(i))) {
            continue;
        }
        const QStringView part = text.mid(start, i - start);
        start = i + 1;
        if (part.isEmpty() || part == QLatin1String(".")) {
            continue;
        }
        if (part == QLatin1String("..")) {
            if (parts.isEmpty()) {
                return false;
            }
            parts.removeLast();
            continue;
        }
        parts.append(part.toString());
    }
    *components = std::move(parts);
    return true;
}

bool splitDosPath(const QString& dosPath, QChar* letter, QStringList* components) {
    if (dosPath.size() < 2 || dosPath.at(1) != QLatin1Char(':') || !dosPath.at(0).isLetter() ||
        dosPath.at(0).unicode() > 0x7f) {
        return false;
    }
    if (!splitPathComponents(QStringView(dosPath).mid(2), components)) {
        return false;
    }
    *letter = dosPath.at(0).toUpper();
    return true;
}

QString normalDosPath(const QString& dosPath) {
    QChar letter;
    QStringList components;
    if (!splitDosPath(dosPath, &letter, &components)) {
        return dosPath;
    }
    return QString(letter) + QStringLiteral(":\\") + components.join(QLatin1Char('\\'));
}

QList<MappedDrive> DriveMap::drives() const {
    return m_drives;
}

void DriveMap::setDrives(QList<MappedDrive> drives) {
    m_drives = std::move(drives);
}

MappedDrive DriveMap::localRootDrive() {
    MappedDrive c;
    c.letter = QLatin1Char('C');
    c.type = DriveType::Fixed;
    c.localRoot = QStringLiteral("/");
    return c;
}

std::optional<MappedDrive> DriveMap::drive(QChar letter) const {
    const QChar upper = letter.toUpper();
    for (const MappedDrive& d : drives()) {
        if (d.letter == upper) {
            return d;
        }
    }
    return std::nullopt;
}

DriveType DriveMap::driveType(const QString& root) const {
    if (root.isEmpty()) {
        return DriveType::NoRootDir;
    }
    const std::optional<MappedDrive> d = drive(root.at(0));
    return d ? d->type : DriveType::NoRootDir;
}

namespace {

QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// Finds one component in a folder without regard to case: an exact match wins, else the
// one entry that differs only in case; two such entries (Dup.txt, DUP.TXT) are not one,
// and are left in twins.
std::optional<QString> findEntry(const QString& folder, const QString& name,
                                 QStringList* twins = nullptr) {
    const QString exact = joinPath(folder, name);
    if (QFileInfo::exists(exact)) {
        return exact;
    }
    QStringList found;
    for (const QString& entry : QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot)) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) {
            found.append(entry);
        }
    }
    if (found.size() == 1) {
        return joinPath(folder, found.constFirst());
    }
    if (twins != nullptr) {
        *twins = found;
    }
    return std::nullopt;
}

}  // namespace

bool DriveMap::walk(const QString& dosPath, Walk* walk, QStringList* twins) const {
    QStringList components;
    if (!splitDosPath(dosPath, &walk->letter, &components)) {
        return false;
    }
    const std::optional<MappedDrive> d = drive(walk->letter);
    if (!d || d->localRoot.isEmpty()) {
        return false;
    }
    walk->local = QDir::cleanPath(d->localRoot);
    if (d->isNetwork() && !components.isEmpty()) {
        // A name spelt as on disk, as most are, is found with one look at the whole path.
        QString whole = walk->local;
        for (const QString& component : components) {
            whole = joinPath(whole, component);
        }
        struct stat info {};
        if (::stat(QFile::encodeName(whole).constData(), &info) == 0) {
            walk->local = whole;
            walk->names = components;
            walk->isFile = S_ISREG(info.st_mode);
            return true;
        }
    }
    if (!QFileInfo(walk->local).isDir()) {
        return false;
    }
    for (const QString& component : components) {
        if (d->isNetwork()) {
            const std::optional<QString> next = findEntry(walk->local, component, twins);
            if (!next) {
                return false;
            }
            walk->local = *next;
        } else {
            walk->local = joinPath(walk->local, component);
            if (!QFileInfo::exists(walk->local)) {
                return false;
            }
        }
        walk->names.append(QFileInfo(walk->local).fileName());
    }
    return true;
}

std::optional<QString> DriveMap::localPath(const QString& dosPath) const {
    Walk found;
    return walk(dosPath, &found) ? std::optional<QString>(found.local) : std::nullopt;
}

bool DriveMap::isFile(const QString& dosPath) const {
    Walk found;
    if (!walk(dosPath, &found)) {
        return false;
    }
    return found.isFile ? *found.isFile : QFileInfo(found.local).isFile();
}

QStringList DriveMap::caseTwins(const QString& dosPath) const {
    Walk reached;
    QStringList twins;
    if (walk(dosPath, &reached, &twins)) {
        return {};
    }
    for (QString& twin : twins) {
        twin = reached.dosPath(twin);
    }
    return twins;
}

QString DriveMap::sameFileKey(const QString& dosPath) const {
    const QString normal = normalDosPath(dosPath);
    const std::optional<MappedDrive> d = normal.isEmpty() ? std::nullopt : drive(normal.at(0));
    if (!d || !d->caseSensitive) {
        return normal.toCaseFolded();
    }
    Walk found;
    return walk(normal, &found) ? found.dosPath() : normal;
}

QString DriveMap::Walk::dosPath(const QString& next) const {
    QStringList all = names;
    if (!next.isEmpty()) {
        all.append(next);
    }
    return QString(letter) + QStringLiteral(":\\") + all.join(QLatin1Char('\\'));
}

QString DriveMap::dosPath(const QString& localFolder) const {
    const QString folder = QDir::cleanPath(localFolder);
    if (!folder.startsWith(QLatin1Char('/'))) {
        return QString();
    }
    // The drive whose root holds the folder most closely wins (D: on /srv beats C: on /).
    QString best;
    qsizetype bestRootLength = -1;
    for (const MappedDrive& d : drives()) {
        if (d.isNetwork() || d.localRoot.isEmpty()) {
            continue;
        }
        const QString root = QDir::cleanPath(d.localRoot);
        QString rest;
        if (root == QLatin1String("/")) {
            rest = folder.mid(1);
        } else if (folder == root) {
            rest.clear();
        } else if (folder.startsWith(root + QLatin1Char('/'))) {
            rest = folder.mid(root.size() + 1);
        } else {
            continue;
        }
        if (root.size() > bestRootLength) {
            bestRootLength = root.size();
            best = QString(d.letter) + QStringLiteral(":\\") +
                   rest.replace(QLatin1Char('/'), QLatin1Char('\\'));
        }
    }
    return best;
}

}  // namespace tavrel
