#pragma once

#include "external/netware/NetWareClient.h"

namespace tavrel::test {

// A NetWare client that only starts up (or fails to, with a reason) and answers every
// other call with "invalid connection". For tests that need no site.
class StubNetWare : public NetWareClient {
public:
    NWCCODE NWCallsInit() override { return initResult; }
    QString initFailureReason() const override { return initReason; }

    NWCCODE NWParsePath(const QString&, QString&, NWCONN_HANDLE&, QString&, QString&) override {
        return kFail;
    }
    NWCCODE NWScanConnectionsUsingFile(NWCONN_HANDLE, NWDIR_HANDLE, const QString&, qint16&,
                                       ConnUsingFile&, ConnsUsingFile&) override {
        return kFail;
    }
    NWCCODE NWGetConnectionInformation(NWCONN_HANDLE, NWCONN_NUM, QString&, quint16&, quint32&,
                                       LoginTime&) override {
        return kFail;
    }
    NWCCODE NWGetInetAddr(NWCONN_HANDLE, NWCONN_NUM, InetAddr&) override { return kFail; }
    NWCCODE NWDSCreateContextHandle(NWDSContextHandle&) override { return kFail; }
    NWCCODE NWDSSetContext(NWDSContextHandle, int, const QByteArray&) override { return kFail; }
    NWCCODE NWDSMapNameToID(NWDSContextHandle, NWCONN_HANDLE, const QString&, quint32&) override {
        return kFail;
    }
    NWCCODE NWDSMapIDToName(NWDSContextHandle, NWCONN_HANDLE, quint32, QByteArray&) override {
        return kFail;
    }
    NWCCODE NWDSFreeContext(NWDSContextHandle) override { return kFail; }
    NWCCODE NWGetVolumeNumber(NWCONN_HANDLE, const QString&, quint16&) override { return kFail; }
    NWCCODE NWScanObjectTrusteePaths(NWCONN_HANDLE, quint32, quint16, quint16&, quint8&,
                                     QByteArray&) override {
        return kFail;
    }
    NWCCODE NWScanDirectoryForTrustees2(NWCONN_HANDLE, NWDIR_HANDLE, const QString&, quint32&,
                                        QByteArray&, quint32&, quint32&, TrusteeList&) override {
        return kFail;
    }
    NWCCODE NWSendBroadcastMessage(NWCONN_HANDLE, const QByteArray&, std::span<const NWCONN_NUM>,
                                   std::span<quint8>) override {
        return kFail;
    }
    NWCCODE NWClearConnectionNumber(NWCONN_HANDLE, NWCONN_NUM) override { return kFail; }
    NWCCODE NWAllocTemporaryDirectoryHandle(NWCONN_HANDLE, NWDIR_HANDLE, const QString&,
                                            NWDIR_HANDLE&, quint8&) override {
        return kFail;
    }
    NWCCODE NWDeallocateDirectoryHandle(NWCONN_HANDLE, NWDIR_HANDLE) override { return kFail; }
    NWCCODE NWClearFileLock2(NWCONN_HANDLE, NWDIR_HANDLE, const QString&) override { return kFail; }
    NWCCODE NWClearFileLockSet(NWCONN_HANDLE) override { return kFail; }
    NWCCODE NWCCOpenConnByName(NWCONN_HANDLE, const QString&, quint32, quint32, quint32,
                               NWCONN_HANDLE&) override {
        return kFail;
    }
    NWCCODE NWCCCloseConn(NWCONN_HANDLE) override { return kFail; }
    NWCCODE NWGetLongName(NWCONN_HANDLE, NWDIR_HANDLE, const QString&, quint8, quint8,
                          QByteArray&) override {
        return kFail;
    }
    NWCCODE NWIntScanExtendedInfo(NWCONN_HANDLE, NWDIR_HANDLE, quint8, quint32&, const QString&,
                                  ExtendedInfo&, quint8) override {
        return kFail;
    }
    NWCCODE NWGetFileServerVersionInfo(NWCONN_HANDLE, VersionInfo&) override { return kFail; }
    NWCCODE NWGetObjectName(NWCONN_HANDLE, quint32, QByteArray&, quint16&) override {
        return kFail;
    }

    NWCCODE initResult = nwcode::kSuccessful;
    QString initReason;

private:
    static constexpr NWCCODE kFail = nwcode::kInvalidConnection;
};

}  // namespace tavrel::test
