#pragma once

#include <QStringList>
#include <functional>
#include <map>
#include <optional>

#include "external/netware/NetWareClient.h"

namespace tavrel::test {

// Passes every call to another client and records the calls' names in order. A test
// can make the n-th call of a name return a code of its choosing instead.
class RecordingNetWare : public NetWareClient {
public:
    explicit RecordingNetWare(NetWareClient& inner) : m_inner(inner) {}

    QStringList calls;
    int count(const QString& name) const { return int(calls.count(name)); }
    // Called before each call with its name and its 1-based number among calls of that
    // name; a code returned is answered without asking the inner client.
    std::function<std::optional<NWCCODE>(const QString& name, int nth)> intercept;
    // Changes each answer NWScanConnectionsUsingFile gives before the caller sees it.
    std::function<void(ConnsUsingFile&)> rewriteAnswer;

    NWCCODE NWCallsInit() override;
    QString initFailureReason() const override { return m_inner.initFailureReason(); }
    // A server problem the scans report, as a server that could not be read gives one.
    QString problem;
    QString scanProblem() const override {
        return problem.isEmpty() ? m_inner.scanProblem() : problem;
    }
    NWCCODE NWParsePath(const QString& path, QString& serverName, NWCONN_HANDLE& conn,
                        QString& volName, QString& dirPath) override;
    NWCCODE NWScanConnectionsUsingFile(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                       const QString& filePath, qint16& iterHandle,
                                       ConnUsingFile& fileUse, ConnsUsingFile& fileUsed) override;
    NWCCODE NWGetConnectionInformation(NWCONN_HANDLE conn, NWCONN_NUM connNumber,
                                       QString& objectName, quint16& objectType, quint32& objectID,
                                       LoginTime& loginTime) override;
    NWCCODE NWGetInetAddr(NWCONN_HANDLE conn, NWCONN_NUM connNumber, InetAddr& addr) override;
    NWCCODE NWDSCreateContextHandle(NWDSContextHandle& context) override;
    NWCCODE NWDSSetContext(NWDSContextHandle context, int key, const QByteArray& value) override;
    NWCCODE NWDSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE conn,
                            const QString& objectName, quint32& objectID) override;
    NWCCODE NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, quint32 objectID,
                            QByteArray& objectName) override;
    NWCCODE NWDSFreeContext(NWDSContextHandle context) override;
    NWCCODE NWGetVolumeNumber(NWCONN_HANDLE conn, const QString& volName, quint16& volNum) override;
    NWCCODE NWScanObjectTrusteePaths(NWCONN_HANDLE conn, quint32 objectID, quint16 volNum,
                                     quint16& iterHandle, quint8& accessRights,
                                     QByteArray& trusteePath) override;
    NWCCODE NWScanDirectoryForTrustees2(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                        const QString& searchPath, quint32& iterHandle,
                                        QByteArray& dirName, quint32& dirDateTime, quint32& ownerID,
                                        TrusteeList& trusteeList) override;
    NWCCODE NWSendBroadcastMessage(NWCONN_HANDLE conn, const QByteArray& message,
                                   std::span<const NWCONN_NUM> connList,
                                   std::span<quint8> resultList) override;
    NWCCODE NWClearConnectionNumber(NWCONN_HANDLE conn, NWCONN_NUM connNumber) override;
    NWCCODE NWAllocTemporaryDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                            const QString& dirPath, NWDIR_HANDLE& newDirHandle,
                                            quint8& rightsMask) override;
    NWCCODE NWDeallocateDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) override;
    NWCCODE NWClearFileLock2(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                             const QString& path) override;
    NWCCODE NWClearFileLockSet(NWCONN_HANDLE conn) override;
    NWCCODE NWCCOpenConnByName(NWCONN_HANDLE startConn, const QString& name, quint32 nameFormat,
                               quint32 openState, quint32 tranType, NWCONN_HANDLE& conn) override;
    NWCCODE NWCCCloseConn(NWCONN_HANDLE conn) override;
    NWCCODE NWGetLongName(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const QString& path,
                          quint8 srcNamSpc, quint8 dstNamSpc, QByteArray& longName) override;
    NWCCODE NWIntScanExtendedInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, quint8 searchAttrs,
                                  quint32& iterHandle, const QString& searchPattern,
                                  ExtendedInfo& entryInfo, quint8 augmentFlag) override;
    NWCCODE NWGetFileServerVersionInfo(NWCONN_HANDLE conn, VersionInfo& versionInfo) override;
    NWCCODE NWGetObjectName(NWCONN_HANDLE conn, quint32 objectID, QByteArray& objectName,
                            quint16& objectType) override;

private:
    template <typename Call>
    NWCCODE record(const char* name, Call&& call);

    NetWareClient& m_inner;
    std::map<QString, int> m_counts;
};

}  // namespace tavrel::test
