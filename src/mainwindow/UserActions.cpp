#include "mainwindow/UserActions.h"

#include <array>
#include <limits>
#include <set>
#include <utility>

#include "common/Module1.h"
#include "mainwindow/TreeNodeRules.h"

namespace tavrel {

namespace {

// The decimal number a text starts with; 0 when it starts with none or the number
// exceeds max.
quint64 leadingNumber(QStringView text, quint64 max) {
    quint64 value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            break;
        }
        value = value * 10 + quint64(c.unicode() - '0');
        if (value > max) {
            return 0;
        }
    }
    return value;
}

bool isFileTag(const QString& tag) {
    return tag.startsWith(QLatin1Char('2'));
}

bool isUserTag(const QString& tag) {
    return levelOfNode(tag, true, false) == kUserLevel;
}

}  // namespace

const QString kSendSelectedPrompt = QStringLiteral("Enter Message to send to selected users");
const QString kSendTitle = QStringLiteral("Send Message");
const QString kClearSelectedQuestion =
    QStringLiteral("Are you sure you want to clear the connections of the selected users?");
const QString kClearTitle = QStringLiteral("Clear Connection Confirmation");

NWCONN_NUM ConnNumberFromTag(const QString& tag) {
    const qsizetype comma = tag.indexOf(QLatin1Char(','));
    if (comma < 0) {
        return 0;
    }
    return NWCONN_NUM(
        leadingNumber(QStringView(tag).mid(comma + 1), std::numeric_limits<NWCONN_NUM>::max()));
}

NWCONN_HANDLE ConnHandleFromTag(const QString& tag) {
    const qsizetype first = tag.indexOf(QLatin1Char(','));
    const qsizetype last = tag.lastIndexOf(QLatin1Char(','));
    if (first < 0 || last <= first) {
        return 0;
    }
    return NWCONN_HANDLE(leadingNumber(QStringView(tag).mid(first + 1, last - first - 1),
                                       std::numeric_limits<NWCONN_HANDLE>::max()));
}

QString FileNamePart(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1);
}

QString FolderPart(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('\\'));
    return slash < 0 ? QString() : path.left(slash);
}

bool SendBroadcast(NetWareClient& netware, NWCONN_NUM connNumber, const QString& message,
                   NWCONN_HANDLE conn, NWCCODE* code) {
    QByteArray text = message.toLatin1();
    text.append('\0');
    const std::array<NWCONN_NUM, 1> connList{connNumber};
    // A code that no server writes: a list left unwritten does not read as delivered.
    std::array<quint8, 1> resultList{0xFF};
    const NWCCODE rc = netware.NWSendBroadcastMessage(conn, text, connList, resultList);
    if (code != nullptr) {
        *code = rc;
    }
    return rc == nwcode::kSuccessful && resultList[0] == nwbroadcast::kDelivered;
}

bool ClearConnection(NetWareClient& netware, NWCONN_HANDLE conn, NWCONN_NUM connNumber) {
    return netware.NWClearConnectionNumber(conn, connNumber) == nwcode::kSuccessful;
}

qsizetype owningFileNode(const QList<ActionNode>& nodes, qsizetype index) {
    if (index < 1 || index >= nodes.size()) {
        return -1;
    }
    qsizetype i = index;
    while (i > 1 && !isFileTag(nodes.at(i).tag)) {
        --i;
    }
    return i;
}

UserConnection userConnectionAt(const QList<ActionNode>& nodes, qsizetype index) {
    UserConnection target;
    if (index < 0 || index >= nodes.size()) {
        return target;
    }
    target.fileNode = owningFileNode(nodes, index);
    if (target.fileNode >= 0) {
        target.conn = ConnHandleFromTag(nodes.at(target.fileNode).tag);
    }
    target.number = ConnNumberFromTag(nodes.at(index).tag);
    target.user = nodes.at(index).text;
    return target;
}

QList<UserConnection> tickedUserConnections(const QList<ActionNode>& nodes) {
    QList<UserConnection> targets;
    std::set<std::pair<NWCONN_HANDLE, NWCONN_NUM>> reached;
    NWCONN_HANDLE conn = 0;
    qsizetype fileNode = -1;
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        const ActionNode& node = nodes.at(i);
        if (isFileTag(node.tag)) {
            conn = ConnHandleFromTag(node.tag);
            fileNode = i;
        } else if (node.ticked && isUserTag(node.tag)) {
            const NWCONN_NUM number = ConnNumberFromTag(node.tag);
            if (reached.insert({conn, number}).second) {
                targets.append({conn, number, node.text, fileNode});
            }
        }
    }
    return targets;
}

JournalEntry userJournalEntry(const DriveMap& drives, const QString& action,
                              const QList<ActionNode>& nodes, const UserConnection& target) {
    JournalEntry entry;
    entry.action = action;
    entry.file = target.fileNode >= 0 && target.fileNode < nodes.size()
                     ? nodePath(nodes.at(target.fileNode).text)
                     : QString();
    entry.server = serverOfDrivePath(drives, entry.file);
    entry.user = target.user;
    entry.connection = target.number;
    return entry;
}

bool clearUserConnection(NetWareClient& netware, const UserConnection& target) {
    QString objectName;
    quint16 objectType = 0;
    quint32 objectID = 0;
    LoginTime loginTime{};
    const NWCCODE rc = netware.NWGetConnectionInformation(target.conn, target.number, objectName,
                                                          objectType, objectID, loginTime);
    if (rc != nwcode::kSuccessful ||
        StripAtNul(objectName).compare(target.user, Qt::CaseInsensitive) != 0) {
        return false;
    }
    return ClearConnection(netware, target.conn, target.number);
}

QString notSupportedText() {
    return QStringLiteral("not supported by a Samba server");
}

QString messageSentText(const QString& user, bool sent, NWCCODE code) {
    if (!sent && code == nwcode::kNotSupported) {
        return QStringLiteral("Message could not be sent to ") + user + QStringLiteral(": ") +
               notSupportedText() + QLatin1Char('.');
    }
    return (sent ? QStringLiteral("Message sent to ")
                 : QStringLiteral("Message could not be sent to ")) +
           user + QLatin1Char('.');
}

QString messagesSentText(int count, bool notSupported) {
    return QStringLiteral("Message sent to ") + QString::number(count) +
           (notSupported ? QStringLiteral(" users (messages are ") + notSupportedText() +
                               QStringLiteral(").")
                         : QStringLiteral(" users."));
}

QString connectionClearedText(const QString& user, bool cleared) {
    return (cleared ? QStringLiteral("Connection cleared for ")
                    : QStringLiteral("Connection could not be cleared for ")) +
           user + QLatin1Char('.');
}

QString connectionsClearedText(int count) {
    return QStringLiteral("Connection cleared for ") + QString::number(count) +
           QStringLiteral(" users.");
}

QString sendPromptFor(const QString& user) {
    return QStringLiteral("Enter Message to send to ") + user;
}

QString clearQuestionFor(const QString& user) {
    return QStringLiteral("Are you sure you want to clear the connection for ") + user +
           QLatin1Char('?');
}

UnlockFileResult unlockFile(NetWareClient& netware, const QString& nodeText,
                            const QString& nodeTag) {
    UnlockFileResult result;
    result.folder = FolderPart(nodeText);
    QString serverName;
    NWCONN_HANDLE conn = ConnHandleFromTag(nodeTag);
    QString volName;
    QString dirPath;
    if (netware.NWParsePath(result.folder, serverName, conn, volName, dirPath) !=
        nwcode::kSuccessful) {
        result.step = UnlockFileResult::Step::ParseFailed;
        return result;
    }
    const QString volumePath = StripAtNul(volName) + QLatin1Char(':') + StripAtNul(dirPath);
    NWDIR_HANDLE dirHandle = 0;
    quint8 rightsMask = 0;
    if (netware.NWAllocTemporaryDirectoryHandle(conn, 0, volumePath, dirHandle, rightsMask) !=
        nwcode::kSuccessful) {
        result.step = UnlockFileResult::Step::HandleFailed;
        return result;
    }
    QString name = FileNamePart(nodeText);
    if (name.endsWith(QLatin1Char(']'))) {
        name = name.left(name.indexOf(QLatin1Char('[')));
    }
    result.lockPath = volumePath + QLatin1Char('\\') + name;
    result.code = netware.NWClearFileLock2(conn, dirHandle, result.lockPath);
    // Temporary handles are few; one left behind by every unlock would run them out.
    netware.NWDeallocateDirectoryHandle(conn, dirHandle);
    return result;
}

QString unlockFileMessage(const UnlockFileResult& result) {
    switch (result.step) {
        case UnlockFileResult::Step::ParseFailed:
            return QStringLiteral("Unable to parse the path for directory ") + result.folder +
                   QLatin1Char('.');
        case UnlockFileResult::Step::HandleFailed:
            return QStringLiteral("Error! Unable to create temp directory handle.");
        case UnlockFileResult::Step::Called:
            break;
    }
    return QString();
}

QString unlockFileStatus(NWCCODE code) {
    if (code == nwcode::kSuccessful) {
        return QStringLiteral("File lock has been cleared.");
    }
    QString reason;
    switch (code) {
        case nwcode::kInvalidConnection:
            reason = QStringLiteral("invalid connection.");
            break;
        case nwcode::kNlmInvalidConnection:
            reason = QStringLiteral("invalid NLM connection.");
            break;
        case nwcode::kServerOutOfMemory:
            reason = QStringLiteral("server out of memory.");
            break;
        case nwcode::kVolumeDoesNotExist:
            reason = QStringLiteral("volume does not exist.");
            break;
        case nwcode::kBadDirectoryHandle:
            reason = QStringLiteral("bad directory handle.");
            break;
        case nwcode::kInvalidPath:
            reason = QStringLiteral("invalid path.");
            break;
        case nwcode::kDirectoryIoError:
            reason = QStringLiteral("directory I/O error.");
            break;
        case nwcode::kBadStationNumber:
            reason = QStringLiteral("bad station number.");
            break;
        case nwcode::kLockError:
            reason = QStringLiteral("lock error.");
            break;
        case nwcode::kNotSupported:
            reason = notSupportedText() + QLatin1Char('.');
            break;
        default:
            reason = QStringLiteral("unknown error.");
            break;
    }
    return QStringLiteral("Unable to clear file lock - ") + reason;
}

NWCONN_HANDLE serverOfPath(NetWareClient& netware, const QString& path) {
    QString serverName;
    NWCONN_HANDLE conn = 0;
    QString volName;
    QString dirPath;
    if (netware.NWParsePath(FolderPart(nodePath(path)), serverName, conn, volName, dirPath) !=
        nwcode::kSuccessful) {
        return 0;
    }
    return conn;
}

NWCCODE unlockAll(NetWareClient& netware, const ActionNode* fileNode) {
    NWCONN_HANDLE conn = 0;
    if (fileNode != nullptr) {
        conn = ConnHandleFromTag(fileNode->tag);
        if (conn == 0) {
            conn = serverOfPath(netware, fileNode->text);
        }
        if (conn == 0) {
            return nwcode::kInvalidConnection;
        }
    }
    return netware.NWClearFileLockSet(conn);
}

QString unlockAllStatus(NWCCODE code) {
    switch (code) {
        case nwcode::kSuccessful:
            return QStringLiteral("All file locks have been cleared.");
        case nwcode::kInvalidConnection:
            return QStringLiteral("Unable to clear file locks - invalid connection.");
        case nwcode::kNlmInvalidConnection:
            return QStringLiteral("Unable to clear file locks - invalid NLM connection.");
        case nwcode::kNotSupported:
            return QStringLiteral("Unable to clear file locks - ") + notSupportedText() +
                   QLatin1Char('.');
        default:
            return QStringLiteral("Unable to clear file locks - unknown error.");
    }
}

}  // namespace tavrel
