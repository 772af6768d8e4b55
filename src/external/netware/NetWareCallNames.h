#pragma once

#include <QStringView>
#include <array>

namespace tavrel {

// The client calls a fault can name, and which of them a fault may narrow down to a
// path or a connection number.
struct NetWareCallName {
    const char* name;
    bool takesPath;
    bool takesConnection;
};

inline constexpr std::array<NetWareCallName, 25> kNetWareCalls{{
    {"NWCallsInit", false, false},
    {"NWParsePath", true, false},
    {"NWScanConnectionsUsingFile", true, false},
    {"NWGetConnectionInformation", false, true},
    {"NWGetInetAddr", false, true},
    {"NWDSCreateContextHandle", false, false},
    {"NWDSSetContext", false, false},
    {"NWDSMapNameToID", false, false},
    {"NWDSMapIDToName", false, false},
    {"NWDSFreeContext", false, false},
    {"NWGetVolumeNumber", true, false},
    {"NWScanObjectTrusteePaths", false, false},
    {"NWScanDirectoryForTrustees2", true, false},
    {"NWSendBroadcastMessage", false, true},
    {"NWClearConnectionNumber", false, true},
    {"NWAllocTemporaryDirectoryHandle", true, false},
    {"NWDeallocateDirectoryHandle", false, false},
    {"NWClearFileLock2", true, false},
    {"NWClearFileLockSet", false, false},
    {"NWCCOpenConnByName", false, false},
    {"NWCCCloseConn", false, false},
    {"NWGetLongName", true, false},
    {"NWIntScanExtendedInfo", true, false},
    {"NWGetFileServerVersionInfo", false, false},
    {"NWGetObjectName", false, false},
}};

// The call of that name, compared without regard to case; nullptr when there is none.
inline const NetWareCallName* findNetWareCall(QStringView name) {
    for (const NetWareCallName& call : kNetWareCalls) {
        if (name.compare(QLatin1String(call.name), Qt::CaseInsensitive) == 0) {
            return &call;
        }
    }
    return nullptr;
}

}  // namespace tavrel
