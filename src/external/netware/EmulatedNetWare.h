#pragma once

#include <memory>

#include "common/DriveMap.h"
#include "external/netware/NetWareClient.h"
#include "external/netware/NetWareSite.h"

namespace tavrel {

class Clock;

// The NetWare client over an emulated site of file servers: a site built in code, or a
// site file that is read again whenever it changes on disk (so that another process,
// tavrelctl site, can log users in and open files while the program runs). What the
// program changes (cleared connections and locks, broadcast messages) is written back
// to the site file under its lock. It is also the workstation's drive map, refreshed
// from the site, so one object serves AppContext as both.
class EmulatedNetWare : public NetWareClient, public DriveMap {
public:
    // A site built in code; changes stay in memory. An unsound site makes NWCallsInit
    // fail, with the reason in initFailureReason().
    explicit EmulatedNetWare(NetWareSite site);
    // A site file; NWCallsInit fails when it cannot be read or is not a sound site.
    explicit EmulatedNetWare(const QString& siteFilePath);
    ~EmulatedNetWare() override;
    EmulatedNetWare(const EmulatedNetWare&) = delete;
    EmulatedNetWare& operator=(const EmulatedNetWare&) = delete;

    // The clock for message times and for pacing the checks of the site file (the
    // system clock unless set); it must outlive this object.
    void setClock(const Clock& clock);

    // The site as it stands, re-read first when its file changed.
    const NetWareSite& site() const;
    // Replaces a site built in code (the program's changes then apply to it); "" or why
    // the site is not sound, in which case nothing changes.
    QString setSite(NetWareSite site);
    // "" for a site built in code.
    QString siteFilePath() const;
    // The last problem reading the changed site file or writing a change to it; ""
    // once the file reads well again. Each new problem is also logged once.
    QString siteProblem() const;

    // Faults set from code, checked before those of the site and never written to its
    // file. "" or why the fault was refused.
    QString addFault(const SiteFault& fault);
    void clearFaults();

    // The handle of this workstation's connection to a server, 0 when there is no such
    // server.
    NWCONN_HANDLE connectionHandle(const QString& serverName) const;

    // A changed site file is noticed within this time; calls in between do not touch
    // the disk.
    static constexpr qint64 kCheckIntervalMs = 250;

    // DriveMap
    QList<MappedDrive> drives() const override;

    // NetWareClient
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
    struct State;
    std::unique_ptr<State> d;
};

}  // namespace tavrel
