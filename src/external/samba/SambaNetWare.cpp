#include "external/samba/SambaNetWare.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include "common/Module1.h"
#include "external/netware/VolumePath.h"

namespace tavrel {

namespace {

// The first line of what a failing command said, for the status line.
QString firstLine(const QByteArray& text) {
    const QString line = QString::fromLocal8Bit(text).trimmed().section(QLatin1Char('\n'), 0, 0);
    return line.size() > 160 ? line.left(160) + QStringLiteral("...") : line;
}

QString failureText(const QStringList& command, const CommandOutput& output) {
    const QString program = command.value(0);
    if (!output.started) {
        return QStringLiteral("%1 could not be started").arg(program);
    }
    if (output.timedOut) {
        return QStringLiteral("%1 did not answer within %2 seconds")
            .arg(program)
            .arg(SambaNetWare::kCommandTimeoutMs / 1000);
    }
    const QString said = firstLine(output.err);
    return QStringLiteral("%1 failed with exit code %2").arg(program).arg(output.exitCode) +
           (said.isEmpty() ? QString() : QStringLiteral(": ") + said);
}

// Samba before 4.16 has no smbstatus --json: it refuses the option, or prints its text
// answer (which names its version). "" when the output is neither.
QString tooOldForJson(const CommandOutput& output) {
    const QString out = QString::fromLocal8Bit(output.out);
    const bool refused =
        output.exitCode != 0 &&
        QString::fromLocal8Bit(output.err + output.out).contains(QLatin1String("json"));
    const bool text = output.exitCode == 0 && !out.trimmed().startsWith(QLatin1Char('{')) &&
                      out.contains(QLatin1String("Samba version"));
    if (!output.started || output.timedOut || (!refused && !text)) {
        return QString();
    }
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

}  // namespace

CommandOutput runCommand(const QStringList& command) {
    CommandOutput output;
    if (command.isEmpty()) {
        return output;
    }
    QProcess process;
    process.setProgram(command.first());
    process.setArguments(command.mid(1));
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted()) {
        return output;
    }
    output.started = true;
    if (!process.waitForFinished(SambaNetWare::kCommandTimeoutMs)) {
        output.timedOut = true;
        process.kill();
        process.waitForFinished();
        return output;
    }
    output.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    output.out = process.readAllStandardOutput();
    output.err = process.readAllStandardError();
    return output;
}

SambaNetWare::SambaNetWare(SambaConfig config, CommandRunner runner)
    : EmulatedNetWare([&config] {
          SessionNumbers none;
          return buildSambaSite(config, SambaStatus{}, none, {}).site;
      }()),
      m_config(std::move(config)),
      m_runner(std::move(runner)) {}

SambaNetWare::SambaNetWare(const QString& configError)
    : EmulatedNetWare(NetWareSite{}), m_configError(configError) {}

QString SambaNetWare::readServer() {
    if (!m_configError.isEmpty()) {
        return m_configError;
    }
    m_fresh = true;
    ++m_reads;
    const CommandOutput output = m_runner(m_config.statusCommand);
    QString problem;
    std::optional<SambaStatus> status;
    if (const QString tooOld = tooOldForJson(output); !tooOld.isEmpty()) {
        problem = tooOld;
    } else if (!output.started || output.timedOut || output.exitCode != 0) {
        problem = failureText(m_config.statusCommand, output);
    } else {
        QString error;
        status = parseSambaStatus(output.out, &error);
        if (!status) {
            problem = QStringLiteral("%1 printed what is not its JSON answer: %2")
                          .arg(m_config.statusCommand.value(0), error);
        }
    }
    clearFaults();
    if (!status) {
        // The last answer stays, but nobody may read it as the server's state: every file
        // scanned reports an error, so the usage log closes nothing.
        m_problem = QStringLiteral("Samba server not read: ") + problem;
        addFault(SiteFault{QStringLiteral("NWScanConnectionsUsingFile"), nwcode::kDirectoryIoError,
                           QString(), std::nullopt, QString()});
        return m_problem;
    }
    // Each user's groups are looked up once per read, not once per open file.
    QHash<uint, std::vector<uint>> groups;
    SambaRights rights;
    if (m_config.posixRights) {
        rights = [&groups](const SambaSession& session, const QString& file) {
            auto it = groups.find(session.uid);
            if (it == groups.end()) {
                it = groups.insert(session.uid, groupsOf(session.uid, session.gid));
            }
            return posixRightsOf(session.uid, *it, file);
        };
    }
    SambaSite built = buildSambaSite(m_config, *status, m_numbers, rights);
    QHash<QString, int> trusteeOfFileIndex;
    const QList<SiteTrustee>& trustees = built.site.servers.constFirst().trustees;
    for (qsizetype t = 0; t < trustees.size(); ++t) {
        const std::optional<VolumePath> path = parseVolumePath(trustees[t].path);
        if (path) {
            trusteeOfFileIndex.insert(
                trusteeOfFile(
                    trustees[t].object,
                    (path->volume + QLatin1Char(':') + joinComponents(path->components)).toUpper()),
                int(t));
        }
    }
    const QString unsound = setSite(std::move(built.site));
    if (!unsound.isEmpty()) {
        m_problem = QStringLiteral("Samba server not read: its answer does not fit: ") + unsound;
        addFault(SiteFault{QStringLiteral("NWScanConnectionsUsingFile"), nwcode::kDirectoryIoError,
                           QString(), std::nullopt, QString()});
        return m_problem;
    }
    m_clients = std::move(built.clients);
    m_trusteeOfFile = std::move(trusteeOfFileIndex);
    m_problem.clear();
    return QString();
}

void SambaNetWare::ensureFresh() {
    if (!m_fresh) {
        readServer();
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

QString SambaNetWare::initFailureReason() const {
    return m_initError.isEmpty() ? EmulatedNetWare::initFailureReason() : m_initError;
}

NWCCODE SambaNetWare::NWParsePath(const QString& path, QString& serverName, NWCONN_HANDLE& conn,
                                  QString& volName, QString& dirPath) {
    const NWCCODE code = EmulatedNetWare::NWParsePath(path, serverName, conn, volName, dirPath);
    m_lastParsed = code == nwcode::kSuccessful
                       ? (StripAtNul(volName) + QLatin1Char(':') + StripAtNul(dirPath)).toUpper()
                       : QString();
    return code;
}

NWCCODE SambaNetWare::NWScanConnectionsUsingFile(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                                 const QString& filePath, qint16& iterHandle,
                                                 ConnUsingFile& fileUse, ConnsUsingFile& fileUsed) {
    ensureFresh();
    return EmulatedNetWare::NWScanConnectionsUsingFile(conn, dirHandle, filePath, iterHandle,
                                                       fileUse, fileUsed);
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
    const int t = iterHandle == 0xFFFF
                      ? m_trusteeOfFile.value(trusteeOfFile(objectID, m_lastParsed), -1)
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
    if (!m_configError.isEmpty() || conn != connectionHandle(m_config.server)) {
        return nwcode::kInvalidConnection;
    }
    // The server as it is now: a number names its session for as long as that lives, so a
    // client that has gone since the scan is not mistaken for another on its smbd pid.
    if (!readServer().isEmpty()) {
        return nwcode::kNoConsolePrivileges;
    }
    const auto client = m_clients.constFind(quint16(connNumber));
    if (client == m_clients.constEnd()) {
        return nwcode::kBadStationNumber;
    }
    const QStringList shares =
        QStringList(QSet<QString>(client->shares.begin(), client->shares.end()).values());
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
            m_config.controlCommand +
            QStringList{QString::number(client->pid), QStringLiteral("close-share"), share};
        const CommandOutput output = m_runner(command);
        if (!output.started || output.timedOut || output.exitCode != 0) {
            m_problem = QStringLiteral("Connection not cleared: ") + failureText(command, output);
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
