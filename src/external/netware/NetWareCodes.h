#pragma once

#include <QtGlobal>

namespace tavrel {

// Result of a NetWare client call: 0 is success, anything else an error or an end mark.
using NWCCODE = qint32;

namespace nwcode {

inline constexpr NWCCODE kSuccessful = 0x0000;
// Ends the enumeration of NWScanConnectionsUsingFile; not an error.
inline constexpr NWCCODE kNoMoreEntries = 0x88FF;
// No client on the workstation, or its configuration (the site) could not be read.
inline constexpr NWCCODE kClientNotPresent = 0x88FE;
inline constexpr NWCCODE kInvalidConnection = 0x8801;
inline constexpr NWCCODE kNlmInvalidConnection = 0x890A;
inline constexpr NWCCODE kServerOutOfMemory = 0x8996;
inline constexpr NWCCODE kVolumeDoesNotExist = 0x8998;
inline constexpr NWCCODE kBadDirectoryHandle = 0x899B;
// Also what a directory's trustee scan answers once its list is exhausted.
inline constexpr NWCCODE kInvalidPath = 0x899C;
inline constexpr NWCCODE kNoMoreTrustees = kInvalidPath;
inline constexpr NWCCODE kDirectoryIoError = 0x89A1;
inline constexpr NWCCODE kAccessDenied = 0x89A8;
inline constexpr NWCCODE kNoConsolePrivileges = 0x89C6;
// The server has no such operation (a Samba server: messages, clearing locks).
inline constexpr NWCCODE kNotSupported = 0x89FB;
inline constexpr NWCCODE kNoSuchObject = 0x89FC;
inline constexpr NWCCODE kBadStationNumber = 0x89FD;
inline constexpr NWCCODE kLockError = 0x89FF;
// Also what a file search answers when no (further) entry matches.
inline constexpr NWCCODE kNoMatchingFiles = kLockError;
// Directory-service errors are negative.
inline constexpr NWCCODE kDsNoSuchEntry = -601;
inline constexpr NWCCODE kDsNotAvailable = -635;
inline constexpr NWCCODE kDsBadContext = -303;

}  // namespace nwcode

// Per-connection result bytes of NWSendBroadcastMessage.
namespace nwbroadcast {
inline constexpr quint8 kDelivered = 0x00;
inline constexpr quint8 kRefused = 0xFC;
inline constexpr quint8 kNoSuchConnection = 0xFD;
}  // namespace nwbroadcast

}  // namespace tavrel
