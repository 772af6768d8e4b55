#pragma once

#include <QtGlobal>
#include <array>
#include <cstddef>
#include <span>

namespace tavrel {

using NWCONN_HANDLE = quint32;
using NWCONN_NUM = quint16;
using NWDIR_HANDLE = quint8;
using NWDSContextHandle = quint32;

// One connection of a connections-using-file answer.
struct ConnUsingFile {
    quint16 connNumber = 0;
    quint16 taskNumber = 0;
    quint8 lockType = 0;       // 8 = shareable
    quint8 accessControl = 0;  // 0x01 read, 0x02 write, 0x04 deny read, 0x08 deny write
    quint8 lockFlag = 0;       // non-zero: the connection holds a lock on the file
};

inline constexpr int kConnsPerAnswer = 70;

// The answer of NWScanConnectionsUsingFile: one batch of up to 70 connections.
struct ConnsUsingFile {
    quint16 nextRequest = 0;
    quint16 useCount = 0;
    quint16 openCount = 0;
    quint16 openForReadCount = 0;
    quint16 openForWriteCount = 0;
    quint16 denyReadCount = 0;
    quint16 denyWriteCount = 0;
    quint8 locked = 0;
    quint8 forkCount = 0;
    quint16 connCount = 0;  // valid entries of connInfo in this answer
    std::array<ConnUsingFile, kConnsPerAnswer> connInfo{};
};

// Login time of a connection: year - 1900, month, day, hour, minute, second, day of
// week (0 = Sunday).
using LoginTime = std::array<quint8, 7>;

// Connection types of the internet-address record's first type byte.
namespace nwconntype {
inline constexpr quint8 kIpx = 2;
inline constexpr quint8 kAfp = 3;
inline constexpr quint8 kIp = 11;
}  // namespace nwconntype

struct InetAddr {
    std::array<quint8, 4> networkAddr{};
    std::array<quint8, 6> netNodeAddr{};
    std::array<quint8, 2> socket{};
    std::array<quint8, 2> connType{};  // only the first byte carries the type
};

struct TrusteeEntry {
    quint32 objectID = 0;  // 0 ends the valid part of the list
    quint16 objectRights = 0;
};

inline constexpr int kTrusteesPerAnswer = 20;
using TrusteeList = std::array<TrusteeEntry, kTrusteesPerAnswer>;

// The extended file information record (little-endian).
using ExtendedInfo = std::array<quint8, 140>;
namespace extinfo {
inline constexpr std::size_t kSequence = 0;     // 32-bit
inline constexpr std::size_t kAttributes = 8;   // 32-bit
inline constexpr std::size_t kNameLength = 15;  // 8-bit
inline constexpr std::size_t kName = 16;        // the DOS name, kNameSize bytes
inline constexpr std::size_t kNameSize = 12;
inline constexpr std::size_t kCreated = 28;    // packed date-time
inline constexpr std::size_t kOwner = 32;      // object ID
inline constexpr std::size_t kArchived = 36;   // packed date-time
inline constexpr std::size_t kArchiver = 40;   // object ID
inline constexpr std::size_t kModified = 44;   // packed date-time
inline constexpr std::size_t kModifier = 48;   // object ID
inline constexpr std::size_t kDataSize = 52;   // 32-bit file length
inline constexpr std::size_t kAccessed = 102;  // 16-bit packed date
}  // namespace extinfo

// The file server version record; the byte at offset 48 is the file-service major version.
using VersionInfo = std::array<quint8, 128>;
inline constexpr std::size_t kFileServiceVersionOffset = 48;

// Name-space numbers and name formats the program passes.
namespace nwnamespace {
inline constexpr quint8 kDos = 0;
inline constexpr quint8 kLong = 4;
}  // namespace nwnamespace
inline constexpr quint32 kNameFormatBindery = 2;
inline constexpr quint32 kOpenStateNormal = 1;
inline constexpr quint32 kAnyTransport = 0xFFFF8000u;
inline constexpr int kDsContextNameKey = 3;  // NWDSSetContext: the name context

// Little-endian access to record bytes.
inline quint32 readLe32(std::span<const quint8> bytes, std::size_t offset) {
    return quint32(bytes[offset]) | quint32(bytes[offset + 1]) << 8 |
           quint32(bytes[offset + 2]) << 16 | quint32(bytes[offset + 3]) << 24;
}
inline quint16 readLe16(std::span<const quint8> bytes, std::size_t offset) {
    return quint16(bytes[offset] | bytes[offset + 1] << 8);
}
inline void writeLe32(std::span<quint8> bytes, std::size_t offset, quint32 value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = quint8(value >> (8 * i));
    }
}
inline void writeLe16(std::span<quint8> bytes, std::size_t offset, quint16 value) {
    bytes[offset] = quint8(value);
    bytes[offset + 1] = quint8(value >> 8);
}

}  // namespace tavrel
