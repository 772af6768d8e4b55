#pragma once

#include <QHash>
#include <QSet>
#include <QStringList>

#include "external/netware/EmulatedNetWare.h"
#include "external/samba/SambaCommand.h"
#include "external/samba/SambaSite.h"

namespace tavrel {

// The first Samba whose smbstatus prints --json.
inline constexpr const char* kSambaJsonVersion = "4.16";

// The NetWare client over a Samba server. Each scan reads the server once, with one
// smbstatus call, into the site model the emulated client answers from; clearing a
// connection closes that client's shares with smbcontrol. Broadcast messages and
// clearing locks have no Samba counterpart and fail with kNotSupported.
class SambaNetWare : public EmulatedNetWare {
public:
    explicit SambaNetWare(SambaConfig config, CommandRunner runner = runCommand);
    // A configuration that could not be read: NWCallsInit fails with this reason.
    explicit SambaNetWare(const QString& configError);

    const SambaConfig& config() const { return m_config; }
    // Reads the server now (the first call of each scan that needs it does so); "" or why
    // the server could not be read.
    QString readServer();
    // How many times the server was read.
    int reads() const { return m_reads; }

    // A share tells Dup.txt from DUP.TXT: its drives are case-sensitive.
    QList<MappedDrive> drives() const override;

    // NetWareClient
    void beginScan() override { m_fresh = false; }
    QString scanProblem() const override { return m_problem; }
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
    void ensureFresh();
    // VOL:PATH with the volume's and the share's own spelling of the file's name, found
    // in its folder (an exact match first); "" when it cannot be told.
    QString exactVolumePath(const QString& volumePath) const;
    // "" when smbd answers a ping through the control command, else why not.
    QString serverDown();
    // Reads the server again, a few times over two seconds, until the session no longer has
    // the share connected, as smbcontrol's exit code does not say whether it found the
    // process: "" then, else why the clear is not seen (with what the command said).
    QString shareLeftOpen(const QString& sessionId, const QString& share,
                          const QStringList& command, const CommandOutput& output);

    SambaConfig m_config;
    CommandRunner m_runner;
    QString m_configError;
    QString m_initError;
    QString m_problem;
    SessionNumbers m_numbers;
    QHash<quint16, SambaClient> m_clients;
    QSet<QString> m_liveSessions;  // the session ids of the last answer read
    // The spellings of the open files' volume paths, by the upper-cased path.
    QHash<QString, QStringList> m_spellings;
    QString m_lastParsed;  // VOL:PATH of the last parsed path, upper-cased
    // Where each user's assignment on a file stands in the server's trustee list, by
    // object ID and upper-cased VOL:PATH (trusteeOfFile).
    QHash<QString, int> m_trusteeOfFile;
    bool m_fresh = false;
    int m_reads = 0;
};

}  // namespace tavrel
