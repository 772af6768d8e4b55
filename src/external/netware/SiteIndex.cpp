#include "external/netware/SiteIndex.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "external/netware/VolumePath.h"

namespace tavrel {

namespace {

QString absoluteFolder(const QString& base, const QString& folder) {
    if (folder.isEmpty()) {
        return QString();
    }
    const QDir dir = base.isEmpty() ? QDir::current() : QDir(base);
    return QDir::cleanPath(dir.absoluteFilePath(folder));
}

LoginTime loginTimeBytes(const QDateTime& time) {
    LoginTime bytes{};
    if (!time.isValid()) {
        return bytes;
    }
    const QDate date = time.date();
    const QTime clock = time.time();
    bytes[0] = quint8(date.year() - 1900);
    bytes[1] = quint8(date.month());
    bytes[2] = quint8(date.day());
    bytes[3] = quint8(clock.hour());
    bytes[4] = quint8(clock.minute());
    bytes[5] = quint8(clock.second());
    bytes[6] = quint8(date.dayOfWeek() % 7);  // Qt counts Monday 1 .. Sunday 7
    return bytes;
}

}  // namespace

SiteIndex::SiteIndex(const NetWareSite& site) : m_site(&site) {
    m_servers.resize(site.servers.size());
    for (int s = 0; s < site.servers.size(); ++s) {
        const SiteServer& server = site.servers.at(s);
        Server& index = m_servers[s];
        m_serverByName.insert(server.name.toUpper(), s);
        for (int v = 0; v < server.volumes.size(); ++v) {
            const SiteVolume& volume = server.volumes.at(v);
            index.volumeByName.insert(volume.name.toUpper(), v);
            index.volumeByNumber.insert(volume.number, v);
            index.volumeRoots.append(absoluteFolder(site.folder, volume.root));
            if (!m_defaultServerByVolume.contains(volume.name.toUpper())) {
                m_defaultServerByVolume.insert(volume.name.toUpper(), s);
            }
        }
        for (int o = 0; o < server.objects.size(); ++o) {
            const SiteObject& object = server.objects.at(o);
            index.objectById.insert(object.id, o);
            index.objectByName.insert(object.name.toUpper(), o);
            if (!object.dsName.isEmpty()) {
                index.objectByDsName.insert(object.dsName.toUpper(), o);
            }
        }
        index.loginTimes.reserve(server.connections.size());
        for (int c = 0; c < server.connections.size(); ++c) {
            index.connectionByNumber.insert(server.connections.at(c).number, c);
            index.loginTimes.append(loginTimeBytes(server.connections.at(c).loginTime));
        }
        const auto pathKey = [&](const QString& path) {
            const std::optional<VolumePath> parsed = parseVolumePath(path);
            return parsed ? parsed->key() : path.toUpper();
        };
        index.openFilesByPath.reserve(server.openFiles.size());
        for (int f = 0; f < server.openFiles.size(); ++f) {
            index.openFilesByPath[pathKey(server.openFiles.at(f).path)].append(f);
        }
        for (int t = 0; t < server.trustees.size(); ++t) {
            const SiteTrustee& trustee = server.trustees.at(t);
            const std::optional<VolumePath> parsed = parseVolumePath(trustee.path);
            if (!parsed) {
                continue;
            }
            index.trusteesByPath[parsed->key()].append(t);
            const int volume = index.volumeByName.value(parsed->volume.toUpper(), -1);
            if (volume >= 0) {
                index
                    .trusteesByObjectVolume[trusteeKey(trustee.object,
                                                       server.volumes.at(volume).number)]
                    .append(t);
            }
        }
        for (int f = 0; f < server.files.size(); ++f) {
            index.fileByPath.insert(pathKey(server.files.at(f).path), f);
        }
    }
    for (const SiteWorkstationConnection& own : site.workstation) {
        const int s = serverNamed(own.server);
        if (s >= 0) {
            m_servers[s].workstationConnection =
                m_servers[s].connectionByNumber.value(own.number, -1);
        }
    }
    bool hasC = false;
    for (const SiteDrive& drive : site.drives) {
        MappedDrive mapped;
        mapped.letter = drive.letter.toUpper();
        hasC = hasC || mapped.letter == QLatin1Char('C');
        if (drive.isNetwork()) {
            mapped.type = DriveType::Remote;
            const int s = serverNamed(drive.server);
            const int v = s < 0 ? -1 : m_servers[s].volumeByName.value(drive.volume.toUpper(), -1);
            mapped.server = s < 0 ? drive.server : site.servers.at(s).name;
            mapped.volume = v < 0 ? drive.volume : site.servers.at(s).volumes.at(v).name;
            mapped.path = drive.path;
            QStringList components;
            if (v >= 0 && splitPathComponents(drive.path, &components)) {
                mapped.localRoot =
                    findLocal(m_servers[s].volumeRoots.at(v), components).value_or(QString());
            }
        } else {
            mapped.type = DriveType::Fixed;
            mapped.localRoot = absoluteFolder(site.folder, drive.local);
        }
        m_drives.append(mapped);
    }
    if (!hasC) {
        m_drives.prepend(DriveMap::localRootDrive());
    }
}

int SiteIndex::serverNamed(const QString& name) const {
    return m_serverByName.value(name.toUpper(), -1);
}

int SiteIndex::defaultServerOf(const QString& volume) const {
    return m_defaultServerByVolume.value(volume.toUpper(), -1);
}

std::optional<SitePath> SiteIndex::resolve(const QString& path, NWCCODE* code) const {
    *code = nwcode::kInvalidPath;
    QChar letter;
    QStringList components;
    if (splitDosPath(path, &letter, &components)) {
        for (const MappedDrive& drive : m_drives) {
            if (drive.letter != letter) {
                continue;
            }
            if (!drive.isNetwork()) {
                return std::nullopt;  // a local drive is not on a file server
            }
            SitePath resolved;
            resolved.server = serverNamed(drive.server);
            if (resolved.server < 0) {
                return std::nullopt;
            }
            resolved.volume =
                m_servers[resolved.server].volumeByName.value(drive.volume.toUpper(), -1);
            QStringList base;
            if (resolved.volume < 0 || !splitPathComponents(drive.path, &base)) {
                return std::nullopt;
            }
            resolved.components = base + components;
            *code = nwcode::kSuccessful;
            return resolved;
        }
        return std::nullopt;
    }
    const std::optional<VolumePath> parsed = parseVolumePath(path);
    if (!parsed) {
        return std::nullopt;
    }
    int server = -1;
    if (parsed->server.isEmpty()) {
        server = defaultServerOf(parsed->volume);
        if (server < 0) {
            *code = nwcode::kVolumeDoesNotExist;
            return std::nullopt;
        }
    } else {
        server = serverNamed(parsed->server);
        if (server < 0) {
            *code = nwcode::kNoSuchObject;
            return std::nullopt;
        }
    }
    return onServer(server, *parsed, code);
}

std::optional<SitePath> SiteIndex::onServer(int server, const VolumePath& parsed,
                                            NWCCODE* code) const {
    SitePath resolved;
    resolved.server = server;
    resolved.volume = m_servers[server].volumeByName.value(parsed.volume.toUpper(), -1);
    if (resolved.volume < 0) {
        *code = nwcode::kVolumeDoesNotExist;
        return std::nullopt;
    }
    resolved.components = parsed.components;
    *code = nwcode::kSuccessful;
    return resolved;
}

std::optional<SitePath> SiteIndex::resolveOn(int server, const QString& path, NWCCODE* code) const {
    *code = nwcode::kInvalidPath;
    const std::optional<VolumePath> parsed = parseVolumePath(path);
    if (!parsed || server < 0 || server >= m_servers.size()) {
        return std::nullopt;
    }
    if (!parsed->server.isEmpty() && serverNamed(parsed->server) != server) {
        return std::nullopt;
    }
    return onServer(server, *parsed, code);
}

QString SiteIndex::key(const SitePath& path) const {
    return volumePathKey(m_site->servers.at(path.server).volumes.at(path.volume).name,
                         path.components);
}

QString SiteIndex::text(const SitePath& path) const {
    return m_site->servers.at(path.server).volumes.at(path.volume).name + QLatin1Char(':') +
           joinComponents(path.components);
}

QString SiteIndex::localPath(const SitePath& path) const {
    const QString& root = m_servers.at(path.server).volumeRoots.at(path.volume);
    if (root.isEmpty()) {
        return QString();
    }
    return findLocal(root, path.components).value_or(QString());
}

quint16 SiteIndex::effectiveRights(int server, quint32 object, const SitePath& directory) const {
    const Server& index = m_servers.at(server);
    const SiteServer& site = m_site->servers.at(server);
    const QString& volume = site.volumes.at(directory.volume).name;
    bool supervisor = false;
    std::optional<quint16> nearest;
    for (qsizetype depth = 0; depth <= directory.components.size(); ++depth) {
        const auto it = index.trusteesByPath.constFind(
            volumePathKey(volume, directory.components.mid(0, depth)));
        if (it == index.trusteesByPath.constEnd()) {
            continue;
        }
        for (int t : *it) {
            if (site.trustees.at(t).object == object) {
                nearest = site.trustees.at(t).rights;
                supervisor = supervisor || (*nearest & 0x0100) != 0;
            }
        }
    }
    if (supervisor) {
        return 0x01FF;
    }
    return nearest.value_or(0);
}

std::optional<QString> SiteIndex::findLocal(const QString& root, const QStringList& components) {
    if (root.isEmpty()) {
        return std::nullopt;
    }
    // A name spelt as on disk, as most are, is found with one look at the whole path.
    if (!components.isEmpty()) {
        const QString whole = (root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/')) +
                              components.join(QLatin1Char('/'));
        if (QFileInfo::exists(whole)) {
            return whole;
        }
    }
    if (!QFileInfo(root).isDir()) {
        return std::nullopt;
    }
    QString current = root;
    for (const QString& component : components) {
        if (!current.endsWith(QLatin1Char('/'))) {
            current += QLatin1Char('/');
        }
        const QString exact = current + component;
        if (QFileInfo::exists(exact)) {
            current = exact;
            continue;
        }
        const QStringList entries = QDir(current).entryList(QDir::AllEntries | QDir::Hidden |
                                                            QDir::System | QDir::NoDotAndDotDot);
        // The one entry that differs only in case; two such entries are not one.
        const auto same = [&component](const QString& entry) {
            return entry.compare(component, Qt::CaseInsensitive) == 0;
        };
        const auto found = std::find_if(entries.begin(), entries.end(), same);
        if (found == entries.end() ||
            std::find_if(found + 1, entries.end(), same) != entries.end()) {
            return std::nullopt;
        }
        current += *found;
    }
    return current;
}

}  // namespace tavrel
