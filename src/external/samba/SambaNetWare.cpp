#include "external/samba/SambaNetWare.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <cctype>
#include <thread>

#include "common/Module1.h"
#include "external/netware/SiteIndex.h"
#include "external/netware/SiteJson.h"
#include "external/netware/VolumePath.h"

namespace tavrel {

namespace {

// Samba before 4.16 has no smbstatus --json: it refuses the option, or prints its text
// answer (which names its version). "" when the output is neither.
QString tooOldForJson(const CommandOutput& output) {
    if (!output.started || output.timedOut) {
        return QString();
    }
    // The JSON answer of a busy server runs to megabytes: only its first character is read.
    const auto firstChar = std::find_if_not(output.out.cbegin(), output.out.cend(), [](char c) {
        return std::isspace(static_cast<unsigned char>(c));
    });
    const bool refused =
        output.exitCode != 0 &&
        QString::fromLocal8Bit(output.err + output.out).contains(QLatin1String("json"));
    const bool text = output.exitCode == 0 &&
                      (firstChar == output.out.cend() || *firstChar != '{') &&
                      output.out.contains("Samba version");
    if (!refused && !text) {
        return QString();
    }
    const QString out = QString::fromLocal8Bit(output.out);
    static const QRegularExpression version(QStringLiteral("Samba version (\\S+)"));
    const QString named = version.match(out).captured(1);
    return QStringLiteral(
               "the server's Samba%1 is too old for smbstatus --json: Samba %2 or "
               "later is needed")
        .arg(named.isEmpty() ? QString() : QStringLiteral(" (") + named + QLatin1Char(')'),
             QLatin1String(kSambaJsonVersion));
}

QString trusteeOfFile(quint32 object, const QString& upperVolumePath) {
    return QString::number(object) + QLatin1Char('|') + upperVolumePath;
}

bool safeWord(const QString& text) {
    static const QRegularExpression word(QStringLiteral("^[A-Za-z0-9_.$-]{1,80}$"));
    return word.match(text).hasMatch() && !text.startsWith(QLatin1Char('-'));
}

// The server's volumes and drives, with nobody connected.
NetWareSite blankSite(const SambaConfig& config) {
    SessionNumbers none;
    return buildSambaSite(config, SambaStatus{}, none, {}).site;
}

// How often, and how far apart, a clear is looked for in the server's answer.
constexpr int kClearChecks = 10;
constexpr int kClearCheckPauseMs = 200;

}  // namespace

SambaNetWare::SambaNetWare(QList<SambaConfig> servers, CommandRunner runner)
    : EmulatedNetWare(NetWareSite{}), m_runner(std::move(runner)) {
    m_servers.resize(std::size_t(servers.size()));
    for (qsizetype i = 0; i < servers.size(); ++i) {
        Server& server = m_servers[std::size_t(i)];
        server.config = std::move(servers[i]);
        if (!server.config.numbersFile.isEmpty()) {
            server.numbers.keepIn(server.config.numbersFile, server.config.server);
        }
        NetWareSite blank = blankSite(server.config);
        server.site = std::move(blank.servers.first());
        server.drives = std::move(blank.drives);
    }
    publish();
}

SambaNetWare::SambaNetWare(const QString& configError)
    : EmulatedNetWare(NetWareSite{}), m_configError(configError) {}

QString SambaNetWare::readServers() {
    if (!m_configError.isEmpty()) {
        return m_configError;
    }
    m_fresh = true;
    ++m_reads;
    std::vector<Answer> answers(m_servers.size());
    if (m_servers.size() == 1) {
        answers.front() = ask(m_servers.front());
    } else {
        // Each server is asked on a thread of its own: a scan waits for the slowest only.
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < m_servers.size(); ++i) {
            threads.emplace_back([this, &answers, i] { answers[i] = ask(m_servers[i]); });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
    for (std::size_t i = 0; i < m_servers.size(); ++i) {
        take(m_servers[i], std::move(answers[i]));
    }
    publish();
    QStringList unread;
    for (const Server& server : m_servers) {
        if (!server.unread.isEmpty()) {
            unread.append(server.unread);
        }
    }
    return unread.join(QStringLiteral("; "));
}

QString SambaNetWare::readServer(Server& server) {
    take(server, ask(server));
    publish();
    return server.unread;
}

QString SambaNetWare::unreadReason(const QString& name) const {
    for (const Server& server : m_servers) {
        if (server.config.server.compare(name, Qt::CaseInsensitive) == 0) {
            return server.unread;
        }
    }
    return QString();
}

SambaNetWare::Answer SambaNetWare::ask(const Server& server) const {
    const QStringList& command = server.config.statusCommand;
    const CommandOutput output = m_runner(command);
    Answer answer;
    if (const QString tooOld = tooOldForJson(output); !tooOld.isEmpty()) {
        answer.problem = tooOld;
    } else if (!commandSucceeded(output)) {
        answer.problem = commandFailureText(command, output);
    } else {
        QString error;
        answer.status = parseSambaStatus(output.out, &error);
        if (!answer.status) {
            answer.problem = QStringLiteral("%1 printed what is not its JSON answer: %2")
                                 .arg(command.value(0), error);
        }
    }
    // A stopped smbd leaves smbstatus answering "no sessions": before that is believed,
    // or that every session of the last answer has gone, the server must be running.
    if (answer.status) {
        bool lostAll = !server.liveSessions.isEmpty();
        for (const SambaSession& session : answer.status->sessions) {
            lostAll = lostAll && !server.liveSessions.contains(session.id);
        }
        if (answer.status->sessions.isEmpty() || lostAll) {
            const QStringList ping = server.config.controlCommand +
                                     QStringList{QStringLiteral("smbd"), QStringLiteral("ping")};
            const CommandOutput pong = m_runner(ping);
            if (!commandSucceeded(pong)) {
                answer.problem = QStringLiteral("smbd is not running (") +
                                 commandFailureText(ping, pong) + QLatin1Char(')');
                answer.status.reset();
            }
        }
    }
    return answer;
}

void SambaNetWare::take(Server& server, Answer answer) {
    if (!answer.status) {
        // The last answer stays, but nobody may read it as the server's state: every file
        // of the server scanned reports an error, so the usage log closes nothing of it.
        server.unread = unreadText(server) + answer.problem;
        return;
    }
    // Each user's groups are looked up once per read, not once per open file.
    QHash<uint, std::vector<uint>> groups;
    SambaRights rights;
    if (server.config.posixRights) {
        rights = [&groups](const SambaSession& session, const QString& file) {
            const auto isMember = [&](uint group) {
                if (group == session.gid) {
                    return true;
                }
                auto it = groups.find(session.uid);
                if (it == groups.end()) {
                    it = groups.insert(session.uid, groupsOf(session.uid, session.gid));
                }
                return std::find(it->begin(), it->end(), group) != it->end();
            };
            return posixRightsOf(session.uid, isMember, file);
        };
    }
    SambaSite built = buildSambaSite(server.config, *answer.status, server.numbers, rights);
    server.site = std::move(built.site.servers.first());
    server.unread.clear();
    server.notes = built.notes.join(QStringLiteral("; "));
    server.clients = std::move(built.clients);
    server.trusteeOfFile.clear();
    const QList<SiteTrustee>& trustees = server.site.trustees;
    for (qsizetype t = 0; t < trustees.size(); ++t) {
        const std::optional<VolumePath> path = parseVolumePath(trustees[t].path);
        if (path) {
            server.trusteeOfFile.insert(
                trusteeOfFile(
                    trustees[t].object,
                    (path->volume + QLatin1Char(':') + joinComponents(path->components)).toUpper()),
                int(t));
        }
    }
    server.objectOfUser.clear();
    for (const SiteObject& object : server.site.objects) {
        server.objectOfUser.insert(object.name.toUpper(), object.id);
    }
    server.spellings.clear();
    for (const SiteOpenFile& open : server.site.openFiles) {
        QStringList& spellings = server.spellings[open.path.toUpper()];
        if (!spellings.contains(open.path)) {
            spellings.append(open.path);
        }
    }
    server.liveSessions.clear();
    for (const SambaSession& session : answer.status->sessions) {
        server.liveSessions.insert(session.id);
    }
}

void SambaNetWare::publish() {
    m_rights = {};
    const auto compose = [this] {
        NetWareSite site;
        for (const Server& server : m_servers) {
            site.servers.append(server.site);
            site.drives.append(server.drives);
        }
        return site;
    };
    if (!setSite(compose()).isEmpty()) {
        // The names and drive letters of the servers differ: the answer of a server that
        // does not fit is what makes the site unsound. Such a server is left unread.
        for (Server& server : m_servers) {
            NetWareSite alone;
            alone.servers.append(server.site);
            alone.drives = server.drives;
            if (const QString unsound = checkSite(alone); !unsound.isEmpty()) {
                server.unread =
                    unreadText(server) + QStringLiteral("its answer does not fit: ") + unsound;
                server.site = blankSite(server.config).servers.first();
                server.clients.clear();
                server.spellings.clear();
                server.trusteeOfFile.clear();
            }
        }
        setSite(compose());
    }
    clearFaults();
    QStringList problems;
    for (const Server& server : m_servers) {
        if (!server.unread.isEmpty()) {
            addFault(SiteFault{QStringLiteral("NWScanConnectionsUsingFile"),
                               nwcode::kDirectoryIoError, QString(), std::nullopt,
                               server.config.server});
        }
        const QString& problem = server.unread.isEmpty() ? server.notes : server.unread;
        if (!problem.isEmpty()) {
            problems.append(problem);
        }
    }
    m_problem = problems.join(QStringLiteral("; "));
}

QString SambaNetWare::unreadText(const Server& server) const {
    return m_servers.size() == 1
               ? QStringLiteral("Samba server not read: ")
               : QStringLiteral("Samba server %1 not read: ").arg(server.config.server);
}

SambaNetWare::Server* SambaNetWare::serverOf(NWCONN_HANDLE conn) {
    for (Server& server : m_servers) {
        if (conn != 0 && conn == connectionHandle(server.config.server)) {
            return &server;
        }
    }
    return nullptr;
}

QString SambaNetWare::shareLeftOpen(Server& server, const QString& sessionId, const QString& share,
                                    const QStringList& command, const CommandOutput& output) {
    for (int check = 0; check < kClearChecks; ++check) {
        if (check > 0) {
            QThread::msleep(kClearCheckPauseMs);
        }
        const QString unread = readServer(server);
        if (!unread.isEmpty()) {
            return QStringLiteral("Connection not confirmed cleared: ") + unread;
        }
        const auto still = std::find_if(
            server.clients.cbegin(), server.clients.cend(),
            [&](const auto& c) { return c.sessionId == sessionId && c.shares.contains(share); });
        if (still == server.clients.cend()) {
            return QString();
        }
    }
    const QString said = QString::fromLocal8Bit(output.err + output.out)
                             .trimmed()
                             .section(QLatin1Char('\n'), 0, 0)
                             .left(160);
    return QStringLiteral("Connection could not be cleared: share %1 is still connected")
               .arg(share) +
           (said.isEmpty() ? QString() : QStringLiteral(" (%1: %2)").arg(command.first(), said));
}

void SambaNetWare::ensureFresh() {
    if (!m_fresh) {
        readServers();
    }
}

NWCCODE SambaNetWare::NWCallsInit() {
    // Only an unsound configuration stops the client: a server that cannot be read now is
    // reported by each scan that finds it so, and may answer the next one.
    if (!m_configError.isEmpty()) {
        m_initError = m_configError;
        return nwcode::kClientNotPresent;
    }
    m_initError.clear();
    return EmulatedNetWare::NWCallsInit();
}

QList<MappedDrive> SambaNetWare::drives() const {
    QList<MappedDrive> drives = EmulatedNetWare::drives();
    for (MappedDrive& drive : drives) {
        drive.caseSensitive = drive.isNetwork();
    }
    return drives;
}

QString SambaNetWare::initFailureReason() const {
    return m_initError.isEmpty() ? EmulatedNetWare::initFailureReason() : m_initError;
}

NWCCODE SambaNetWare::NWParsePath(const QString& path, QString& serverName, NWCONN_HANDLE& conn,
                                  QString& volName, QString& dirPath) {
    const NWCCODE code = EmulatedNetWare::NWParsePath(path, serverName, conn, volName, dirPath);
    const bool parsed = code == nwcode::kSuccessful;
    m_lastParsedServer = parsed ? serverOf(conn) : nullptr;
    m_lastParsed = parsed ? (StripAtNul(volName) + QLatin1Char(':') + StripAtNul(dirPath)).toUpper()
                          : QString();
    return code;
}

NWCCODE SambaNetWare::NWScanConnectionsUsingFile(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                                 const QString& filePath, qint16& iterHandle,
                                                 ConnUsingFile& fileUse, ConnsUsingFile& fileUsed) {
    ensureFresh();
    const NWCCODE code = EmulatedNetWare::NWScanConnectionsUsingFile(conn, dirHandle, filePath,
                                                                     iterHandle, fileUse, fileUsed);
    if (code != nwcode::kSuccessful || fileUsed.connCount == 0) {
        return code;
    }
    // The site answers by the upper-cased path, as a NetWare volume would; a Samba share
    // tells Dup.txt from DUP.TXT, so only the opens of the file itself are kept.
    const Server* server = serverOf(conn);
    if (server == nullptr) {
        return code;
    }
    // Every open is of the spelling asked for: the file the server holds open is the one
    // on disk, so the disk need not be asked.
    if (server->spellings.value(filePath.toUpper()) == QStringList{filePath}) {
        return code;
    }
    const QString exact = exactVolumePath(server->site, filePath);
    const QStringList spellings = server->spellings.value(exact.toUpper());
    if (exact.isEmpty() || spellings == QStringList{exact}) {
        return code;
    }
    const QList<SiteOpenFile>& openFiles = server->site.openFiles;
    const auto pathOf = [&](const ConnUsingFile& use) {
        for (const SiteOpenFile& open : openFiles) {
            if (open.connection == use.connNumber && open.task == use.taskNumber &&
                open.path.compare(exact, Qt::CaseInsensitive) == 0) {
                return open.path;
            }
        }
        return QString();
    };
    ConnsUsingFile kept = fileUsed;
    kept.connCount = 0;
    for (int i = 0; i < std::min<int>(fileUsed.connCount, kConnsPerAnswer); ++i) {
        if (pathOf(fileUsed.connInfo[i]) == exact) {
            kept.connInfo[kept.connCount++] = fileUsed.connInfo[i];
        }
    }
    kept.useCount = kept.openCount = 0;
    kept.openForReadCount = kept.openForWriteCount = 0;
    kept.denyReadCount = kept.denyWriteCount = 0;
    kept.locked = false;
    for (const SiteOpenFile& open : openFiles) {
        if (open.path == exact) {
            ++kept.useCount;
            ++kept.openCount;
            kept.openForReadCount += (open.accessControl & 0x01) ? 1 : 0;
            kept.openForWriteCount += (open.accessControl & 0x02) ? 1 : 0;
            kept.denyReadCount += (open.accessControl & 0x04) ? 1 : 0;
            kept.denyWriteCount += (open.accessControl & 0x08) ? 1 : 0;
            kept.locked = kept.locked || open.locked;
        }
    }
    fileUsed = kept;
    fileUse = kept.connCount > 0 ? kept.connInfo[0] : ConnUsingFile();
    return code;
}

QString SambaNetWare::exactVolumePath(const SiteServer& server, const QString& volumePath) {
    const QString volume =
        volumePath.section(QLatin1Char(':'), 0, 0).section(QLatin1Char('\\'), -1);
    const QStringList components =
        volumePath.section(QLatin1Char(':'), 1).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const SiteVolume& v : server.volumes) {
        if (v.name.compare(volume, Qt::CaseInsensitive) == 0) {
            const std::optional<QString> local = SiteIndex::findLocal(v.root, components);
            if (!local) {
                return QString();
            }
            return v.name + QLatin1Char(':') +
                   local->mid(QDir::cleanPath(v.root).size() + 1)
                       .replace(QLatin1Char('/'), QLatin1Char('\\'));
        }
    }
    return QString();
}

NWCCODE SambaNetWare::NWGetConnectionInformation(NWCONN_HANDLE conn, NWCONN_NUM connNumber,
                                                 QString& objectName, quint16& objectType,
                                                 quint32& objectID, LoginTime& loginTime) {
    ensureFresh();
    return EmulatedNetWare::NWGetConnectionInformation(conn, connNumber, objectName, objectType,
                                                       objectID, loginTime);
}

NWCCODE SambaNetWare::NWGetInetAddr(NWCONN_HANDLE conn, NWCONN_NUM connNumber, InetAddr& addr) {
    ensureFresh();
    return EmulatedNetWare::NWGetInetAddr(conn, connNumber, addr);
}

NWCCODE SambaNetWare::NWScanObjectTrusteePaths(NWCONN_HANDLE conn, quint32 objectID, quint16 volNum,
                                               quint16& iterHandle, quint8& accessRights,
                                               QByteArray& trusteePath) {
    ensureFresh();
    // A user's rights are read per file: only the assignment on the file last parsed is
    // answered, so the rights shown are those of the file and not of another one. The
    // enumeration goes straight to it, as a user may hold thousands of files.
    const Server* server = serverOf(conn);
    const int t = iterHandle == 0xFFFF && server != nullptr && server == m_lastParsedServer
                      ? server->trusteeOfFile.value(trusteeOfFile(objectID, m_lastParsed), -1)
                      : -1;
    if (t >= 0 && t < 0xFFFF) {
        // The emulated enumeration answers the user's first assignment after the handle.
        iterHandle = t == 0 ? quint16(0xFFFF) : quint16(t - 1);
        return EmulatedNetWare::NWScanObjectTrusteePaths(conn, objectID, volNum, iterHandle,
                                                         accessRights, trusteePath);
    }
    // No assignment on the file, or it was answered: the list ends.
    accessRights = 0;
    trusteePath = QByteArray(1, '\0');
    iterHandle = 0xFFFF;
    return nwcode::kSuccessful;
}

bool SambaNetWare::indexedTrusteeRights(const QString& path, const QString& user,
                                        std::optional<quint16>& rights) {
    ensureFresh();
    // What the trustee calls would find: the one assignment of the user on the file (see
    // NWScanObjectTrusteePaths), straight from the index of the last read. The holders of
    // a file come one after another: its path is parsed once for them all.
    if (m_rights.server == nullptr || path != m_rights.path) {
        QString serverName;
        NWCONN_HANDLE conn = 0;
        QString volName;
        QString dirPath;
        if (NWParsePath(path, serverName, conn, volName, dirPath) != nwcode::kSuccessful ||
            m_lastParsedServer == nullptr) {
            m_rights = {};
            return false;  // the calls say what is wrong
        }
        m_rights = {path, m_lastParsedServer, m_lastParsed};
    }
    const Server& server = *m_rights.server;
    const quint32 object = server.objectOfUser.value(StripAtNul(user).toUpper(), 0);
    const int t = object == 0
                      ? -1
                      : server.trusteeOfFile.value(trusteeOfFile(object, m_rights.volumePath), -1);
    rights = t >= 0 && t < 0xFFFF ? std::optional<quint16>(server.site.trustees.at(t).rights)
                                  : std::nullopt;
    return true;
}

NWCCODE SambaNetWare::NWSendBroadcastMessage(NWCONN_HANDLE, const QByteArray&,
                                             std::span<const NWCONN_NUM>,
                                             std::span<quint8> resultList) {
    // SMB2 and SMB3 have no message a server can send to a user.
    for (quint8& result : resultList) {
        result = nwbroadcast::kRefused;
    }
    return nwcode::kNotSupported;
}

NWCCODE SambaNetWare::NWClearConnectionNumber(NWCONN_HANDLE conn, NWCONN_NUM connNumber) {
    Server* server = m_configError.isEmpty() ? serverOf(conn) : nullptr;
    if (server == nullptr) {
        return nwcode::kInvalidConnection;
    }
    // The server as it is now: a number names its session for as long as that lives, so a
    // client that has gone since the scan is not mistaken for another on its smbd pid.
    if (!readServer(*server).isEmpty()) {
        return nwcode::kNoConsolePrivileges;
    }
    const auto found = server->clients.constFind(quint16(connNumber));
    if (found == server->clients.constEnd()) {
        return nwcode::kBadStationNumber;
    }
    const SambaClient client = *found;
    if (client.pid <= 0) {
        m_problem = QStringLiteral(
            "Connection not cleared: cannot clear: the server gave no "
            "process for it");
        return nwcode::kNoConsolePrivileges;
    }
    const QStringList shares =
        QStringList(QSet<QString>(client.shares.begin(), client.shares.end()).values());
    NWCCODE result = shares.isEmpty() ? nwcode::kBadStationNumber : nwcode::kSuccessful;
    for (const QString& share : shares) {
        // The control command may be ssh, whose far end reads its arguments as a shell
        // line: a share name the server reported goes there only when it cannot be read
        // as anything but one word.
        if (!safeWord(share)) {
            m_problem = QStringLiteral(
                            "Connection not cleared: the share name %1 is not passed "
                            "to a command")
                            .arg(share);
            result = nwcode::kNoConsolePrivileges;
            continue;
        }
        const QStringList command =
            server->config.controlCommand +
            QStringList{QString::number(client.pid), QStringLiteral("close-share"), share};
        const CommandOutput output = m_runner(command);
        if (!commandSucceeded(output)) {
            m_problem =
                QStringLiteral("Connection not cleared: ") + commandFailureText(command, output);
            result = nwcode::kNoConsolePrivileges;
        } else if (const QString left =
                       shareLeftOpen(*server, client.sessionId, share, command, output);
                   !left.isEmpty()) {
            m_problem = left;
            result = nwcode::kNoConsolePrivileges;
        }
    }
    m_fresh = false;
    return result;
}

NWCCODE SambaNetWare::NWClearFileLock2(NWCONN_HANDLE, NWDIR_HANDLE, const QString&) {
    return nwcode::kNotSupported;
}

NWCCODE SambaNetWare::NWClearFileLockSet(NWCONN_HANDLE) {
    return nwcode::kNotSupported;
}

}  // namespace tavrel
