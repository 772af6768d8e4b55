#include "external/samba/SambaSite.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QSet>
#include <QSysInfo>
#include <algorithm>
#include <initializer_list>
#include <vector>

#include "common/SaveWhole.h"
#include "external/netware/NetWareRecords.h"
#include "external/netware/SiteJson.h"

namespace tavrel {

namespace {

constexpr quint16 kRead = 0x0001;
constexpr quint16 kWrite = 0x0002;
constexpr quint16 kCreate = 0x0008;
constexpr quint16 kDelete = 0x0010;
constexpr quint16 kAccessControl = 0x0020;
constexpr quint16 kFileScan = 0x0040;
constexpr quint16 kModify = 0x0080;
constexpr quint16 kSupervisor = 0x0100;

// How long a scan waits for another process to finish with the connection numbers.
constexpr int kNumbersLockMs = 5000;

// Smbstatus prints times with the server's offset; the site holds wall-clock values.
QDateTime wallClock(const QDateTime& time) {
    const QDateTime local = time.toLocalTime();
    const QTime clock = local.time();
    return QDateTime(local.date(), QTime(clock.hour(), clock.minute(), clock.second()), Qt::UTC);
}

QStringList stringList(const QJsonValue& value, bool* ok) {
    QStringList list;
    *ok = value.isArray();
    for (const QJsonValue& item : value.toArray()) {
        *ok = *ok && item.isString() && !item.toString().isEmpty();
        list.append(item.toString());
    }
    *ok = *ok && !list.isEmpty();
    return list;
}

// A misspelt key would be ignored, and what it meant to set left at its default (a
// "contrl" runs the local smbcontrol): "" when every key is known, else which is not.
QString unknownKey(const QJsonObject& object, std::initializer_list<const char*> known) {
    QStringList names;
    for (const char* key : known) {
        names.append(QLatin1String(key));
    }
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!names.contains(it.key())) {
            return QStringLiteral("unknown key \"%1\" (known here: %2)")
                .arg(it.key(), names.join(QStringLiteral(", ")));
        }
    }
    return QString();
}

}  // namespace

bool isSambaSite(const QJsonObject& root) {
    return root.value(QLatin1String("backend")).toString() == QLatin1String("samba");
}

namespace {

// One server: the keys of a single-server site file, or of an entry of "servers" (where
// nameKey is "name"); where tells where the object is in the file ("" at its root).
std::optional<SambaConfig> parseServer(const QJsonObject& object, const QString& where,
                                       std::initializer_list<const char*> known,
                                       const char* nameKey, const QDir& base, QString* error) {
    if (const QString unknown = unknownKey(object, known); !unknown.isEmpty()) {
        *error = where + unknown;
        return std::nullopt;
    }
    SambaConfig config;
    config.server = object.value(QLatin1String(nameKey)).toString();
    config.statusCommand = {QStringLiteral("smbstatus"), QStringLiteral("--json"),
                            QStringLiteral("-B")};
    config.controlCommand = {QStringLiteral("smbcontrol")};
    for (const auto& [key, target] : {std::pair{"status", &config.statusCommand},
                                      std::pair{"control", &config.controlCommand}}) {
        if (object.contains(QLatin1String(key))) {
            bool ok = false;
            *target = stringList(object.value(QLatin1String(key)), &ok);
            if (!ok) {
                *error =
                    where + QStringLiteral("\"%1\" must be a list of a program and its arguments")
                                .arg(QLatin1String(key));
                return std::nullopt;
            }
        }
    }
    config.posixRights = object.value(QLatin1String("rights")).toString(QStringLiteral("posix")) ==
                         QLatin1String("posix");

    const QJsonArray drives = object.value(QLatin1String("drives")).toArray();
    if (drives.isEmpty()) {
        *error = where + QStringLiteral("\"drives\" must map at least one drive letter to a share");
        return std::nullopt;
    }
    for (qsizetype i = 0; i < drives.size(); ++i) {
        const QJsonObject d = drives.at(i).toObject();
        const QString at = where + QStringLiteral("drives[%1]: ").arg(i);
        if (const QString unknown =
                unknownKey(d, {"letter", "share", "path", "folder", "serverFolder"});
            !unknown.isEmpty()) {
            *error = at + unknown;
            return std::nullopt;
        }
        const QString letter = d.value(QLatin1String("letter")).toString().toUpper();
        if (letter.size() != 1 || letter.at(0) < QLatin1Char('A') ||
            letter.at(0) > QLatin1Char('Z')) {
            *error = at + QStringLiteral("expected a drive letter A to Z");
            return std::nullopt;
        }
        SambaDrive drive;
        drive.letter = letter.at(0);
        drive.share = d.value(QLatin1String("share")).toString();
        drive.path = d.value(QLatin1String("path")).toString();
        const QString folder = d.value(QLatin1String("folder")).toString();
        if (drive.share.isEmpty() || folder.isEmpty()) {
            *error = at + QStringLiteral("a drive needs a \"share\" and a \"folder\"");
            return std::nullopt;
        }
        drive.folder = QDir::cleanPath(base.absoluteFilePath(folder));
        const QString serverFolder = d.value(QLatin1String("serverFolder")).toString();
        drive.serverFolder = serverFolder.isEmpty() ? drive.folder : QDir::cleanPath(serverFolder);
        for (const SambaDrive& other : config.drives) {
            if (other.letter == drive.letter) {
                *error = at + QStringLiteral("drive %1: is mapped twice").arg(drive.letter);
                return std::nullopt;
            }
            if (other.share.compare(drive.share, Qt::CaseInsensitive) == 0 &&
                other.folder != drive.folder) {
                *error = at + QStringLiteral("share %1 is given two folders").arg(drive.share);
                return std::nullopt;
            }
        }
        config.drives.append(drive);
    }
    return config;
}

}  // namespace

std::optional<QList<SambaConfig>> parseSambaServers(const QJsonObject& root,
                                                    const QString& baseFolder, QString* error) {
    const QDir base(baseFolder);
    if (!root.contains(QLatin1String("servers"))) {
        std::optional<SambaConfig> config = parseServer(
            root, QString(), {"backend", "server", "status", "control", "rights", "drives"},
            "server", base, error);
        if (!config) {
            return std::nullopt;
        }
        if (config->server.isEmpty()) {
            config->server = QSysInfo::machineHostName().section(QLatin1Char('.'), 0, 0).toUpper();
        }
        return QList<SambaConfig>{*config};
    }
    // Every server is named within "servers": a key beside it would belong to none.
    if (const QString unknown = unknownKey(root, {"backend", "servers"}); !unknown.isEmpty()) {
        *error = unknown;
        return std::nullopt;
    }
    const QJsonArray entries = root.value(QLatin1String("servers")).toArray();
    if (entries.isEmpty()) {
        *error = QStringLiteral("\"servers\" must be a list of at least one server");
        return std::nullopt;
    }
    QList<SambaConfig> servers;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString where = QStringLiteral("servers[%1]: ").arg(i);
        if (!entries.at(i).isObject()) {
            *error = where + QStringLiteral("a server is an object");
            return std::nullopt;
        }
        std::optional<SambaConfig> config =
            parseServer(entries.at(i).toObject(), where,
                        {"name", "status", "control", "rights", "drives"}, "name", base, error);
        if (!config) {
            return std::nullopt;
        }
        if (config->server.isEmpty()) {
            *error = where + QStringLiteral("a server needs a \"name\"");
            return std::nullopt;
        }
        for (const SambaConfig& other : servers) {
            if (other.server.compare(config->server, Qt::CaseInsensitive) == 0) {
                *error =
                    where + QStringLiteral("the server name %1 is given twice").arg(config->server);
                return std::nullopt;
            }
            for (const SambaDrive& drive : config->drives) {
                const auto same = [&drive](const SambaDrive& d) {
                    return d.letter == drive.letter;
                };
                if (std::any_of(other.drives.begin(), other.drives.end(), same)) {
                    *error = where + QStringLiteral("drive %1: is mapped twice (also on %2)")
                                         .arg(drive.letter)
                                         .arg(other.server);
                    return std::nullopt;
                }
            }
        }
        servers.append(*config);
    }
    return servers;
}

std::optional<SambaConfig> parseSambaConfig(const QJsonObject& root, const QString& baseFolder,
                                            QString* error) {
    std::optional<QList<SambaConfig>> servers = parseSambaServers(root, baseFolder, error);
    if (servers && servers->size() != 1) {
        *error = QStringLiteral("the site file names %1 servers, not one").arg(servers->size());
        return std::nullopt;
    }
    return servers ? std::optional<SambaConfig>(servers->first()) : std::nullopt;
}

void SessionNumbers::keepIn(const QString& file, const QString& server) {
    m_file = file;
    m_server = server;
}

QHash<QString, quint16> SessionNumbers::update(const QStringList& liveIds) {
    if (m_file.isEmpty()) {
        return numberLive(liveIds);
    }
    // Without the lock, or with a file that cannot be read, the numbers of this process
    // are used and the file is left as it is.
    QLockFile lock(m_file + QStringLiteral(".lock"));
    if (!lock.tryLock(kNumbersLockMs)) {
        return numberLive(liveIds);
    }
    QFile file(m_file);
    QJsonObject all;
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            return numberLive(liveIds);
        }
        all = QJsonDocument::fromJson(file.readAll()).object();
        file.close();
    }
    const QJsonObject kept = all.value(m_server).toObject();
    m_numbers.clear();
    const QJsonObject numbers = kept.value(QLatin1String("numbers")).toObject();
    for (auto it = numbers.begin(); it != numbers.end(); ++it) {
        const int number = it.value().toInt();
        if (number > 0 && number <= 65535) {
            m_numbers.insert(it.key(), quint16(number));
        }
    }
    m_last = quint16(std::clamp(kept.value(QLatin1String("last")).toInt(), 0, 65535));
    const QHash<QString, quint16> result = numberLive(liveIds);
    QJsonObject written;
    for (auto it = result.begin(); it != result.end(); ++it) {
        written.insert(it.key(), int(it.value()));
    }
    const QJsonObject updated{{QStringLiteral("last"), int(m_last)},
                              {QStringLiteral("numbers"), written}};
    // Written only when a number changed: a scan of the same sessions costs no write, nor
    // the wait for the disk. A file that cannot be written whole is left as it was: this
    // process's numbers stand.
    if (updated != kept) {
        all.insert(m_server, updated);
        saveWhole(m_file, QJsonDocument(all).toJson(QJsonDocument::Compact));
    }
    return result;
}

QHash<QString, quint16> SessionNumbers::numberLive(const QStringList& liveIds) {
    const QSet<QString> live(liveIds.begin(), liveIds.end());
    QSet<quint16> used;
    for (auto it = m_numbers.begin(); it != m_numbers.end();) {
        if (!live.contains(it.key())) {
            it = m_numbers.erase(it);
        } else {
            used.insert(it.value());
            ++it;
        }
    }
    for (const QString& id : liveIds) {
        if (m_numbers.contains(id)) {
            continue;
        }
        quint16 number = 0;
        for (int tries = 0; tries < 65535 && number == 0; ++tries) {
            m_last = m_last == 65535 ? 1 : quint16(m_last + 1);
            if (!used.contains(m_last)) {
                number = m_last;
            }
        }
        if (number != 0) {
            used.insert(number);
            m_numbers.insert(id, number);
        }
    }
    return m_numbers;
}

SambaSite buildSambaSite(const SambaConfig& config, const SambaStatus& status,
                         SessionNumbers& numbers, const SambaRights& rights) {
    SambaSite result;
    NetWareSite& site = result.site;
    SiteServer server;
    server.name = config.server;
    server.version = 4;

    // A volume per share, and the share of each server folder.
    QHash<QString, int> volumeOfShare;  // upper-cased share
    QHash<QString, int> volumeOfServerFolder;
    QHash<int, QString> folderOfVolume;
    for (const SambaDrive& drive : config.drives) {
        const QString key = drive.share.toUpper();
        if (!volumeOfShare.contains(key)) {
            SiteVolume volume;
            volume.name = drive.share;
            volume.number = quint16(server.volumes.size());
            volume.root = drive.folder;
            volumeOfShare.insert(key, server.volumes.size());
            volumeOfServerFolder.insert(drive.serverFolder, server.volumes.size());
            folderOfVolume.insert(server.volumes.size(), drive.folder);
            server.volumes.append(volume);
        }
        SiteDrive siteDrive;
        siteDrive.letter = drive.letter;
        siteDrive.server = config.server;
        siteDrive.volume = drive.share;
        siteDrive.path = drive.path;
        site.drives.append(siteDrive);
    }

    QStringList ids;
    for (const SambaSession& session : status.sessions) {
        ids.append(session.id);
    }
    const QHash<QString, quint16> numberOf = numbers.update(ids);

    // The earliest tree connect of each session is its login.
    QHash<QString, QDateTime> loginOf;
    QHash<QString, QStringList> sharesOf;
    for (const SambaTreeConnect& tcon : status.treeConnects) {
        QDateTime& login = loginOf[tcon.sessionId];
        if (tcon.connectedAt.isValid() && (!login.isValid() || tcon.connectedAt < login)) {
            login = tcon.connectedAt;
        }
        sharesOf[tcon.sessionId].append(tcon.share);
    }

    QHash<QString, quint32> objectOf;  // upper-cased user name
    QHash<qint64, QList<int>> sessionsOfPid;
    for (int i = 0; i < status.sessions.size(); ++i) {
        const SambaSession& session = status.sessions.at(i);
        const quint16 number = numberOf.value(session.id);
        if (number == 0) {
            continue;
        }
        if (session.user.isEmpty()) {
            result.notes.append(QStringLiteral("session %1 left out: the server gave no user name")
                                    .arg(session.id));
            continue;
        }
        const QString userKey = session.user.toUpper();
        if (!objectOf.contains(userKey)) {
            SiteObject object;
            object.id = quint32(server.objects.size() + 1);
            object.name = session.user;
            objectOf.insert(userKey, object.id);
            server.objects.append(object);
        }
        SiteConnection connection;
        connection.number = number;
        connection.object = objectOf.value(userKey);
        connection.loginTime = wallClock(loginOf.value(session.id));
        connection.address = ipv4SiteAddress(session.address).value_or(SiteAddress{});
        connection.acceptsMessages = false;
        server.connections.append(connection);
        sessionsOfPid[session.pid].append(i);
        result.clients.insert(number,
                              SambaClient{session.pid, sharesOf.value(session.id), session.id});
    }
    std::sort(server.connections.begin(), server.connections.end(),
              [](const SiteConnection& a, const SiteConnection& b) { return a.number < b.number; });

    QSet<QString> trusteeKeys;
    for (const SambaOpen& open : status.opens) {
        const auto volume = volumeOfServerFolder.constFind(QDir::cleanPath(open.sharePath));
        if (volume == volumeOfServerFolder.constEnd() || open.fileName == QLatin1String(".")) {
            continue;
        }
        // The session of the smbd process that holds the open; its user where it has several.
        const QList<int> candidates = sessionsOfPid.value(open.pid);
        const SambaSession* session = nullptr;
        for (int i : candidates) {
            if (session == nullptr || status.sessions.at(i).uid == open.uid) {
                session = &status.sessions.at(i);
            }
        }
        if (session == nullptr) {
            continue;
        }
        SiteOpenFile file;
        file.connection = numberOf.value(session->id);
        file.path = server.volumes.at(*volume).name + QLatin1Char(':') +
                    QString(open.fileName).replace(QLatin1Char('/'), QLatin1Char('\\'));
        file.task = quint16(open.fileId & 0x7FFF);
        file.lockType = open.othersRead || open.othersWrite ? 8 : 0;
        file.accessControl = quint8((open.read ? 0x01 : 0) | (open.write ? 0x02 : 0) |
                                    (open.othersRead ? 0 : 0x04) | (open.othersWrite ? 0 : 0x08));
        file.locked = open.locked;
        server.openFiles.append(file);

        const quint32 object = objectOf.value(session->user.toUpper());
        const QString key = QString::number(object) + QLatin1Char('|') + file.path.toUpper();
        if (rights && !trusteeKeys.contains(key)) {
            trusteeKeys.insert(key);
            const quint16 mask =
                rights(*session, folderOfVolume.value(*volume) + QLatin1Char('/') + open.fileName);
            if (mask != 0) {
                server.trustees.append(SiteTrustee{file.path, object, mask});
            }
        }
    }
    site.servers.append(server);
    return result;
}

std::vector<uint> groupsOf(uint uid, uint gid) {
    std::vector<uint> result{gid};
    const passwd* user = ::getpwuid(uid);
    if (user == nullptr) {
        return result;
    }
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (::getgrouplist(user->pw_name, gid, groups.data(), &count) < 0) {
        groups.resize(std::size_t(count));
        if (::getgrouplist(user->pw_name, gid, groups.data(), &count) < 0) {
            return result;
        }
    }
    result.assign(groups.begin(), groups.begin() + count);
    return result;
}

quint16 posixRightsOf(uint uid, uint gid, const QString& file) {
    const auto isMember = [uid, gid](uint group) {
        const std::vector<uint> groups = groupsOf(uid, gid);
        return std::find(groups.begin(), groups.end(), group) != groups.end();
    };
    return posixRightsOf(uid, isMember, file);
}

quint16 posixRightsOf(uint uid, const std::function<bool(uint group)>& isMember,
                      const QString& file) {
    struct stat info {};
    if (::stat(QFile::encodeName(file).constData(), &info) != 0) {
        return 0;
    }
    if (uid == 0) {
        return kRead | kWrite | kCreate | kDelete | kAccessControl | kFileScan | kModify |
               kSupervisor;
    }
    mode_t bits = info.st_mode & S_IRWXO;
    const mode_t groupBits = (info.st_mode & S_IRWXG) >> 3;
    if (info.st_uid == uid) {
        bits = (info.st_mode & S_IRWXU) >> 6;
    } else if (groupBits != bits && isMember(uint(info.st_gid))) {
        bits = groupBits;
    }
    quint16 mask = 0;
    if ((bits & 04) != 0) {
        mask |= kRead | kFileScan;
    }
    if ((bits & 02) != 0) {
        mask |= kWrite | kCreate | kDelete | kModify;
    }
    if (info.st_uid == uid) {
        mask |= kAccessControl;
    }
    return mask;
}

}  // namespace tavrel
