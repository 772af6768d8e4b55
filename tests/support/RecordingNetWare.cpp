#include "support/RecordingNetWare.h"

namespace tavrel::test {

template <typename Call>
NWCCODE RecordingNetWare::record(const char* name, Call&& call) {
    const QString callName = QString::fromLatin1(name);
    calls.append(callName);
    const int nth = ++m_counts[callName];
    if (intercept) {
        if (const std::optional<NWCCODE> code = intercept(callName, nth)) {
            return *code;
        }
    }
    return call();
}

NWCCODE RecordingNetWare::NWCallsInit() {
    return record("NWCallsInit", [&] { return m_inner.NWCallsInit(); });
}

NWCCODE RecordingNetWare::NWParsePath(const QString& path, QString& serverName, NWCONN_HANDLE& conn,
                                      QString& volName, QString& dirPath) {
    return record("NWParsePath",
                  [&] { return m_inner.NWParsePath(path, serverName, conn, volName, dirPath); });
}

NWCCODE RecordingNetWare::NWScanConnectionsUsingFile(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                                     const QString& filePath, qint16& iterHandle,
                                                     ConnUsingFile& fileUse,
                                                     ConnsUsingFile& fileUsed) {
    const NWCCODE code = record("NWScanConnectionsUsingFile", [&] {
        return m_inner.NWScanConnectionsUsingFile(conn, dirHandle, filePath, iterHandle, fileUse,
                                                  fileUsed);
    });
    if (rewriteAnswer) {
        rewriteAnswer(fileUsed);
    }
    return code;
}

NWCCODE RecordingNetWare::NWGetConnectionInformation(NWCONN_HANDLE conn, NWCONN_NUM connNumber,
                                                     QString& objectName, quint16& objectType,
                                                     quint32& objectID, LoginTime& loginTime) {
    return record("NWGetConnectionInformation", [&] {
        return m_inner.NWGetConnectionInformation(conn, connNumber, objectName, objectType,
                                                  objectID, loginTime);
    });
}

NWCCODE RecordingNetWare::NWGetInetAddr(NWCONN_HANDLE conn, NWCONN_NUM connNumber, InetAddr& addr) {
    return record("NWGetInetAddr", [&] { return m_inner.NWGetInetAddr(conn, connNumber, addr); });
}

NWCCODE RecordingNetWare::NWDSCreateContextHandle(NWDSContextHandle& context) {
    return record("NWDSCreateContextHandle",
                  [&] { return m_inner.NWDSCreateContextHandle(context); });
}

NWCCODE RecordingNetWare::NWDSSetContext(NWDSContextHandle context, int key,
                                         const QByteArray& value) {
    return record("NWDSSetContext", [&] { return m_inner.NWDSSetContext(context, key, value); });
}

NWCCODE RecordingNetWare::NWDSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE conn,
                                          const QString& objectName, quint32& objectID) {
    return record("NWDSMapNameToID",
                  [&] { return m_inner.NWDSMapNameToID(context, conn, objectName, objectID); });
}

NWCCODE RecordingNetWare::NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn,
                                          quint32 objectID, QByteArray& objectName) {
    return record("NWDSMapIDToName",
                  [&] { return m_inner.NWDSMapIDToName(context, conn, objectID, objectName); });
}

NWCCODE RecordingNetWare::NWDSFreeContext(NWDSContextHandle context) {
    return record("NWDSFreeContext", [&] { return m_inner.NWDSFreeContext(context); });
}

NWCCODE RecordingNetWare::NWGetVolumeNumber(NWCONN_HANDLE conn, const QString& volName,
                                            quint16& volNum) {
    return record("NWGetVolumeNumber",
                  [&] { return m_inner.NWGetVolumeNumber(conn, volName, volNum); });
}

NWCCODE RecordingNetWare::NWScanObjectTrusteePaths(NWCONN_HANDLE conn, quint32 objectID,
                                                   quint16 volNum, quint16& iterHandle,
                                                   quint8& accessRights, QByteArray& trusteePath) {
    return record("NWScanObjectTrusteePaths", [&] {
        return m_inner.NWScanObjectTrusteePaths(conn, objectID, volNum, iterHandle, accessRights,
                                                trusteePath);
    });
}

NWCCODE RecordingNetWare::NWScanDirectoryForTrustees2(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                                      const QString& searchPath,
                                                      quint32& iterHandle, QByteArray& dirName,
                                                      quint32& dirDateTime, quint32& ownerID,
                                                      TrusteeList& trusteeList) {
    return record("NWScanDirectoryForTrustees2", [&] {
        return m_inner.NWScanDirectoryForTrustees2(conn, dirHandle, searchPath, iterHandle, dirName,
                                                   dirDateTime, ownerID, trusteeList);
    });
}

NWCCODE RecordingNetWare::NWSendBroadcastMessage(NWCONN_HANDLE conn, const QByteArray& message,
                                                 std::span<const NWCONN_NUM> connList,
                                                 std::span<quint8> resultList) {
    return record("NWSendBroadcastMessage", [&] {
        return m_inner.NWSendBroadcastMessage(conn, message, connList, resultList);
    });
}

NWCCODE RecordingNetWare::NWClearConnectionNumber(NWCONN_HANDLE conn, NWCONN_NUM connNumber) {
    return record("NWClearConnectionNumber",
                  [&] { return m_inner.NWClearConnectionNumber(conn, connNumber); });
}

NWCCODE RecordingNetWare::NWAllocTemporaryDirectoryHandle(NWCONN_HANDLE conn,
                                                          NWDIR_HANDLE dirHandle,
                                                          const QString& dirPath,
                                                          NWDIR_HANDLE& newDirHandle,
                                                          quint8& rightsMask) {
    return record("NWAllocTemporaryDirectoryHandle", [&] {
        return m_inner.NWAllocTemporaryDirectoryHandle(conn, dirHandle, dirPath, newDirHandle,
                                                       rightsMask);
    });
}

NWCCODE RecordingNetWare::NWDeallocateDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) {
    return record("NWDeallocateDirectoryHandle",
                  [&] { return m_inner.NWDeallocateDirectoryHandle(conn, dirHandle); });
}

NWCCODE RecordingNetWare::NWClearFileLock2(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                           const QString& path) {
    return record("NWClearFileLock2",
                  [&] { return m_inner.NWClearFileLock2(conn, dirHandle, path); });
}

NWCCODE RecordingNetWare::NWClearFileLockSet(NWCONN_HANDLE conn) {
    return record("NWClearFileLockSet", [&] { return m_inner.NWClearFileLockSet(conn); });
}

NWCCODE RecordingNetWare::NWCCOpenConnByName(NWCONN_HANDLE startConn, const QString& name,
                                             quint32 nameFormat, quint32 openState,
                                             quint32 tranType, NWCONN_HANDLE& conn) {
    return record("NWCCOpenConnByName", [&] {
        return m_inner.NWCCOpenConnByName(startConn, name, nameFormat, openState, tranType, conn);
    });
}

NWCCODE RecordingNetWare::NWCCCloseConn(NWCONN_HANDLE conn) {
    return record("NWCCCloseConn", [&] { return m_inner.NWCCCloseConn(conn); });
}

NWCCODE RecordingNetWare::NWGetLongName(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                        const QString& path, quint8 srcNamSpc, quint8 dstNamSpc,
                                        QByteArray& longName) {
    return record("NWGetLongName", [&] {
        return m_inner.NWGetLongName(conn, dirHandle, path, srcNamSpc, dstNamSpc, longName);
    });
}

NWCCODE RecordingNetWare::NWIntScanExtendedInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                                quint8 searchAttrs, quint32& iterHandle,
                                                const QString& searchPattern,
                                                ExtendedInfo& entryInfo, quint8 augmentFlag) {
    return record("NWIntScanExtendedInfo", [&] {
        return m_inner.NWIntScanExtendedInfo(conn, dirHandle, searchAttrs, iterHandle,
                                             searchPattern, entryInfo, augmentFlag);
    });
}

NWCCODE RecordingNetWare::NWGetFileServerVersionInfo(NWCONN_HANDLE conn, VersionInfo& versionInfo) {
    return record("NWGetFileServerVersionInfo",
                  [&] { return m_inner.NWGetFileServerVersionInfo(conn, versionInfo); });
}

NWCCODE RecordingNetWare::NWGetObjectName(NWCONN_HANDLE conn, quint32 objectID,
                                          QByteArray& objectName, quint16& objectType) {
    return record("NWGetObjectName",
                  [&] { return m_inner.NWGetObjectName(conn, objectID, objectName, objectType); });
}

}  // namespace tavrel::test
