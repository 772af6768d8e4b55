#pragma once

#include <QHash>
#include <QSet>
#include <QStringList>
#include <optional>
#include <vector>

#include "external/netware/EmulatedNetWare.h"
#include "external/samba/SambaCommand.h"
#include "external/samba/SambaSite.h"

namespace tavrel {

// The first Samba whose smbstatus prints --json.
inline constexpr const char* kSambaJsonVersion = "4.16";

// The NetWare client over the Samba servers of a site. Each scan reads every server once,
// with one smbstatus call each, all at the same time, into the site model the emulated
// client answers from; clearing a connection closes that client's shares with the
// smbcontrol of its server. Broadcast messages and clearing locks have no Samba counterpart
// and fail with kNotSupported. A server that cannot be read fails the scans of its own
// files only.
class SambaNetWare : public EmulatedNetWare {
public:
    // With several servers the runner is called from as many threads at once.
    explicit SambaNetWare(QList<SambaConfig> servers, CommandRunner runner = runCommand);
    explicit SambaNetWare(SambaConfig config, CommandRunner runner = runCommand)
        : SambaNetWare(QList<SambaConfig>{std::move(config)}, std::move(runner)) {}
    // A configuration that could not be read: NWCallsInit fails with this reason.
    explicit SambaNetWare(const QString& configError);

    // Reads every server now (the first call of each scan that needs it does so); "" or
    // why a server could not be read.
    QString readServers();
    // "" or why the server of that name was not read the last time.
    QString unreadReason(const QString& server) const;
    // How many times the servers were read.
    int reads() const { return m_reads; }

    // A share tells Dup.txt from DUP.TXT: its drives are case-sensitive.
    QList<MappedDrive> drives() const override;

    // NetWareClient
    void beginScan() override { m_fresh = false; }
    QString scanProblem() const override { return m_problem; }
    bool indexedTrusteeRights(const QString& path, const QString& user,
                              std::optional<quint16>& rights) override;
    NWCCODE NWCallsInit() override;
    QString initFailureReason() const override;
    NWCCODE NWParsePath(const QString& path, QString& serverName, NWCONN_HANDLE& conn,
                        QString& volName, QString& dirPath) override;
    NWCCODE NWScanConnectionsUsingFile(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                       const QString& filePath, qint16& iterHandle,
                                       ConnUsingFile& fileUse, ConnsUsingFile& fileUsed) override;
    NWCCODE NWGetConnectionInformation(NWCONN_HANDLE conn, NWCONN_NUM connNumber,
                                       QString& objectName, quint16& objectType, quint32& objectID,
                                       LoginTime& loginTime) override;
    NWCCODE NWGetInetAddr(NWCONN_HANDLE conn, NWCONN_NUM connNumber, InetAddr& addr) override;
    NWCCODE NWScanObjectTrusteePaths(NWCONN_HANDLE conn, quint32 objectID, quint16 volNum,
                                     quint16& iterHandle, quint8& accessRights,
                                     QByteArray& trusteePath) override;
    NWCCODE NWSendBroadcastMessage(NWCONN_HANDLE conn, const QByteArray& message,
                                   std::span<const NWCONN_NUM> connList,
                                   std::span<quint8> resultList) override;
    NWCCODE NWClearConnectionNumber(NWCONN_HANDLE conn, NWCONN_NUM connNumber) override;
    NWCCODE NWClearFileLock2(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                             const QString& path) override;
    NWCCODE NWClearFileLockSet(NWCONN_HANDLE conn) override;

private:
    // What one smbstatus call gave: the answer, or why there is none.
    struct Answer {
        std::optional<SambaStatus> status;
        QString problem;
    };
    // One server of the site and what its last answer read was.
    struct Server {
        SambaConfig config;
        SessionNumbers numbers;
        SiteServer site;  // as last read; the last answer stays while the server is unread
        QList<SiteDrive> drives;
        QHash<quint16, SambaClient> clients;
        QSet<QString> liveSessions;  // the session ids of the last answer read
        // The spellings of the open files' volume paths, by the upper-cased path.
        QHash<QString, QStringList> spellings;
        // Where each user's assignment on a file stands in the server's trustee list, by
        // object ID and upper-cased VOL:PATH (trusteeOfFile).
        QHash<QString, int> trusteeOfFile;
        QHash<QString, quint32> objectOfUser;  // object IDs by upper-cased user name
        QString unread;                        // why the last read failed, "" when it did not
        QString notes;                         // what of the last answer was left out
    };

    void ensureFresh();
    // Calls the server's smbstatus (and, when it answers nobody, its ping); touches nothing
    // but what it returns, so that the servers are asked at the same time.
    Answer ask(const Server& server) const;
    // Takes the server's answer in, or notes why there is none.
    void take(Server& server, Answer answer);
    // Reads the one server again; "" or why it could not be read.
    QString readServer(Server& server);
    // Hands the site of every server's last answer to the emulated client, with a fault on
    // each unread server (and on one whose answer does not fit), and sets the scan's problem.
    void publish();
    // The server of a connection handle, or nullptr.
    Server* serverOf(NWCONN_HANDLE conn);
    // "Samba server not read: " for a site of one server, else with the server's name.
    QString unreadText(const Server& server) const;
    // VOL:PATH with the volume's and the share's own spelling of the file's name, found
    // in its folder (an exact match first); "" when it cannot be told.
    static QString exactVolumePath(const SiteServer& server, const QString& volumePath);
    // Reads the server again, a few times over two seconds, until the session no longer has
    // the share connected, as smbcontrol's exit code does not say whether it found the
    // process: "" then, else why the clear is not seen (with what the command said).
    QString shareLeftOpen(Server& server, const QString& sessionId, const QString& share,
                          const QStringList& command, const CommandOutput& output);

    std::vector<Server> m_servers;
    CommandRunner m_runner;
    QString m_configError;
    QString m_initError;
    QString m_problem;
    Server* m_lastParsedServer = nullptr;  // the server of the last parsed path
    QString m_lastParsed;                  // VOL:PATH of the last parsed path, upper-cased
    // The path indexedTrusteeRights parsed last, as NWParsePath left it; only until the
    // next read.
    struct RightsPath {
        QString path;
        const Server* server = nullptr;
        QString volumePath;
    } m_rights;
    bool m_fresh = false;
    int m_reads = 0;
};

}  // namespace tavrel
