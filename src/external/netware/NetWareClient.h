#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <span>

#include "external/netware/NetWareCodes.h"
#include "external/netware/NetWareRecords.h"

namespace tavrel {

// The NetWare client calls the program makes, one virtual per call, with the inputs,
// out-records and result codes of the client library. Text goes in and comes out as
// QString; where a caller hands the library a byte buffer (trustee paths, directory-
// service names, DOS names) the buffer is a QByteArray whose size on entry is its
// capacity: the call writes at most that many bytes, NUL-terminated when it fits (an
// empty buffer is sized to fit the answer).
class NetWareClient {
public:
    virtual ~NetWareClient() = default;

    // 0 when a client is present and usable.
    virtual NWCCODE NWCallsInit() = 0;
    // Why NWCallsInit failed, for the operator ("" when it did not).
    virtual QString initFailureReason() const { return QString(); }

    // A scan starts: a client that reads its server once per scan reads it afresh.
    virtual void beginScan() {}
    // Why the last scan could not read the server, for the status line ("" when it could).
    virtual QString scanProblem() const { return QString(); }
    // For a client that keeps its trustee assignments indexed: the rights the user's own
    // assignment on a server path (FS1\SYS:APPS\ORDERS.DBF) gives, nullopt when there is
    // none, answered at once. False: ask through NWScanObjectTrusteePaths and
    // NWScanDirectoryForTrustees2.
    virtual bool indexedTrusteeRights(const QString& /*path*/, const QString& /*user*/,
                                      std::optional<quint16>& /*rights*/) {
        return false;
    }

    // A drive-letter path (G:\APPS\ORDERS.DBF), a volume path (SYS:APPS\ORDERS.DBF, on
    // the default server) or a server path (FS1\SYS:APPS\ORDERS.DBF) to its server,
    // connection handle, volume and directory path. Non-zero: not on a file server.
    virtual NWCCODE NWParsePath(const QString& path, QString& serverName, NWCONN_HANDLE& conn,
                                QString& volName, QString& dirPath) = 0;

    // One batch of the connections that have a file open. iterHandle is 0 for the first
    // call and carries the position between calls; kNoMoreEntries ends the list.
    virtual NWCCODE NWScanConnectionsUsingFile(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                               const QString& filePath, qint16& iterHandle,
                                               ConnUsingFile& fileUse,
                                               ConnsUsingFile& fileUsed) = 0;

    virtual NWCCODE NWGetConnectionInformation(NWCONN_HANDLE conn, NWCONN_NUM connNumber,
                                               QString& objectName, quint16& objectType,
                                               quint32& objectID, LoginTime& loginTime) = 0;
    // Leaves addr as it was when the call fails.
    virtual NWCCODE NWGetInetAddr(NWCONN_HANDLE conn, NWCONN_NUM connNumber, InetAddr& addr) = 0;

    // Directory service.
    virtual NWCCODE NWDSCreateContextHandle(NWDSContextHandle& context) = 0;
    virtual NWCCODE NWDSSetContext(NWDSContextHandle context, int key, const QByteArray& value) = 0;
    virtual NWCCODE NWDSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE conn,
                                    const QString& objectName, quint32& objectID) = 0;
    virtual NWCCODE NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, quint32 objectID,
                                    QByteArray& objectName) = 0;
    virtual NWCCODE NWDSFreeContext(NWDSContextHandle context) = 0;

    // Trustees.
    virtual NWCCODE NWGetVolumeNumber(NWCONN_HANDLE conn, const QString& volName,
                                      quint16& volNum) = 0;
    // iterHandle starts at 0xFFFF. Writes the next directory (a volume path) where the
    // object is a trustee into trusteePath; an empty path ends the list.
    virtual NWCCODE NWScanObjectTrusteePaths(NWCONN_HANDLE conn, quint32 objectID, quint16 volNum,
                                             quint16& iterHandle, quint8& accessRights,
                                             QByteArray& trusteePath) = 0;
    // iterHandle starts at 0; each call fills up to 20 entries; non-zero ends the list.
    virtual NWCCODE NWScanDirectoryForTrustees2(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                                const QString& searchPath, quint32& iterHandle,
                                                QByteArray& dirName, quint32& dirDateTime,
                                                quint32& ownerID, TrusteeList& trusteeList) = 0;

    // Actions on connections and locks.
    virtual NWCCODE NWSendBroadcastMessage(NWCONN_HANDLE conn, const QByteArray& message,
                                           std::span<const NWCONN_NUM> connList,
                                           std::span<quint8> resultList) = 0;
    virtual NWCCODE NWClearConnectionNumber(NWCONN_HANDLE conn, NWCONN_NUM connNumber) = 0;
    virtual NWCCODE NWAllocTemporaryDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                                    const QString& dirPath,
                                                    NWDIR_HANDLE& newDirHandle,
                                                    quint8& rightsMask) = 0;
    virtual NWCCODE NWDeallocateDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) = 0;
    // Releases every lock on the file on that server.
    virtual NWCCODE NWClearFileLock2(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                     const QString& path) = 0;
    // Releases the locks this workstation holds on that server; conn 0: on every server.
    virtual NWCCODE NWClearFileLockSet(NWCONN_HANDLE conn) = 0;

    // Extended file information.
    virtual NWCCODE NWCCOpenConnByName(NWCONN_HANDLE startConn, const QString& name,
                                       quint32 nameFormat, quint32 openState, quint32 tranType,
                                       NWCONN_HANDLE& conn) = 0;
    virtual NWCCODE NWCCCloseConn(NWCONN_HANDLE conn) = 0;
    virtual NWCCODE NWGetLongName(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const QString& path,
                                  quint8 srcNamSpc, quint8 dstNamSpc, QByteArray& longName) = 0;
    // iterHandle starts at 0xFFFFFFFF.
    virtual NWCCODE NWIntScanExtendedInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                          quint8 searchAttrs, quint32& iterHandle,
                                          const QString& searchPattern, ExtendedInfo& entryInfo,
                                          quint8 augmentFlag) = 0;
    virtual NWCCODE NWGetFileServerVersionInfo(NWCONN_HANDLE conn, VersionInfo& versionInfo) = 0;
    virtual NWCCODE NWGetObjectName(NWCONN_HANDLE conn, quint32 objectID, QByteArray& objectName,
                                    quint16& objectType) = 0;
};

}  // namespace tavrel
