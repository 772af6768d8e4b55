#include "monitor/RightsLookup.h"

#include <array>

#include "common/Module1.h"
#include "external/netware/NetWareClient.h"
#include "monitor/ScanTexts.h"

namespace tavrel {

namespace {

constexpr int kPathBufferSize = 512;
// A server that never ends an enumeration must not hang the scan.
constexpr int kMaxIterations = 65536;

QByteArray pathBuffer() {
    return QByteArray(kPathBufferSize, '\0');
}

}  // namespace

QString GetDirectoryRights(NetWareClient& netware, const QString& path, const QString& user) {
    if (std::optional<quint16> indexed; netware.indexedTrusteeRights(path, user, indexed)) {
        return indexed ? RightsToText(*indexed) : QString();
    }
    QString serverName;
    NWCONN_HANDLE conn = 0;
    QString volumeName;
    QString dirPath;
    netware.NWParsePath(path, serverName, conn, volumeName, dirPath);

    // Names are resolved from the root of the directory tree.
    NWDSContextHandle context = 0;
    netware.NWDSCreateContextHandle(context);
    QByteArray buffer = pathBuffer();
    StringToBytes(QStringLiteral("[Root]") + QChar(0),
                  std::span<quint8>(reinterpret_cast<quint8*>(buffer.data()), buffer.size()));
    netware.NWDSSetContext(context, kDsContextNameKey, buffer);
    quint32 objectID = 0;
    netware.NWDSMapNameToID(context, conn, user, objectID);
    netware.NWDSFreeContext(context);

    quint16 volumeNumber = 0;
    netware.NWGetVolumeNumber(conn, StripAtNul(volumeName), volumeNumber);

    QString result;
    quint16 pathIteration = 0xFFFF;
    for (int a = 0; a < kMaxIterations; ++a) {
        buffer = pathBuffer();
        quint8 accessRights = 0;
        if (netware.NWScanObjectTrusteePaths(conn, objectID, volumeNumber, pathIteration,
                                             accessRights, buffer) != nwcode::kSuccessful ||
            buffer.at(0) == '\0') {
            break;
        }
        const QString trusteePath = BytesToString(buffer);
        quint32 trusteeIteration = 0;
        for (int b = 0; b < kMaxIterations; ++b) {
            quint32 dateTime = 0;
            quint32 ownerID = 0;
            TrusteeList trustees{};
            if (netware.NWScanDirectoryForTrustees2(conn, 0, trusteePath, trusteeIteration, buffer,
                                                    dateTime, ownerID,
                                                    trustees) != nwcode::kSuccessful) {
                break;
            }
            for (const TrusteeEntry& entry : trustees) {
                if (entry.objectID == objectID) {
                    result = RightsToText(entry.objectRights);  // a later match wins
                } else if (entry.objectID == 0) {
                    break;
                }
            }
        }
    }
    return result;
}

}  // namespace tavrel
