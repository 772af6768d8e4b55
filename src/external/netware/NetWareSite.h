#pragma once

#include <QChar>
#include <QDateTime>
#include <QList>
#include <QString>
#include <array>
#include <optional>

#include "external/netware/NetWareCodes.h"

namespace tavrel {

// The emulated site of file servers, as plain data: what the site file holds and what
// tests build in code. Names and paths keep the case they were given; every lookup
// ignores case. Date-times are wall-clock values: only their date() and time() are read.

// A connection's network address, as the internet-address record carries it.
struct SiteAddress {
    quint8 type = 0;  // 2 IPX, 3 AFP, 11 IP (nwconntype)
    std::array<quint8, 4> net{};
    std::array<quint8, 6> node{};
    std::array<quint8, 2> socket{};

    friend bool operator==(const SiteAddress&, const SiteAddress&) = default;
};

// A bindery object (user, group ...). IDs are per server.
struct SiteObject {
    quint32 id = 0;
    QString name;
    quint16 type = 1;  // 1 user
    QString dsName;    // directory-service name (ALICE.SALES.ACME); "" = the name

    friend bool operator==(const SiteObject&, const SiteObject&) = default;
};

struct SiteConnection {
    quint16 number = 0;
    quint32 object = 0;   // object ID of the logged-in object
    QDateTime loginTime;  // invalid: the login time bytes are all 0
    SiteAddress address;
    bool acceptsMessages = true;

    friend bool operator==(const SiteConnection&, const SiteConnection&) = default;
};

// One connection (and task) holding a file open.
struct SiteOpenFile {
    quint16 connection = 0;
    QString path;  // volume path: SYS:APPS\ORDERS.DBF
    quint16 task = 1;
    quint8 lockType = 0;          // 8 = shareable
    quint8 accessControl = 0x01;  // 0x01 read, 0x02 write, 0x04 deny read, 0x08 deny write
    bool locked = false;

    friend bool operator==(const SiteOpenFile&, const SiteOpenFile&) = default;
};

// An explicit trustee assignment of an object on a directory.
struct SiteTrustee {
    QString path;  // volume path: DATA:APPS\REPORTS (SYS: for the volume's root)
    quint32 object = 0;
    quint16 rights = 0;

    friend bool operator==(const SiteTrustee&, const SiteTrustee&) = default;
};

// Extended-record values of one file or folder; what is left out comes from the real
// file on disk (dates), or is 0 (archived, owner, archiver, modifier) or Archive (0x20).
struct SiteFileRecord {
    QString path;  // volume path
    QString dosName;
    std::optional<quint32> attributes;
    quint32 owner = 0;
    quint32 archiver = 0;
    quint32 modifier = 0;
    QDateTime created;
    QDate accessed;
    QDateTime archived;
    QDateTime modified;

    friend bool operator==(const SiteFileRecord&, const SiteFileRecord&) = default;
};

struct SiteVolume {
    QString name;
    quint16 number = 0;
    QString root;  // folder holding the volume's files; relative to the site file's folder

    friend bool operator==(const SiteVolume&, const SiteVolume&) = default;
};

struct SiteServer {
    QString name;
    int version = 4;  // file-service major version: 3 or less bindery, above 3 directory
    QList<SiteVolume> volumes;
    QList<SiteObject> objects;
    QList<SiteConnection> connections;
    QList<SiteOpenFile> openFiles;
    QList<SiteTrustee> trustees;
    QList<SiteFileRecord> files;

    friend bool operator==(const SiteServer&, const SiteServer&) = default;
};

// A drive letter of the workstation: a server volume (and folder within it), or a local
// folder.
struct SiteDrive {
    QChar letter;  // upper case
    QString server;
    QString volume;
    QString path;
    QString local;  // a fixed drive's folder; relative to the site file's folder

    bool isNetwork() const { return !server.isEmpty(); }
    friend bool operator==(const SiteDrive&, const SiteDrive&) = default;
};

// Makes a call return code: every call of that name, or only those naming a path,
// a connection number or a server.
struct SiteFault {
    QString call;
    NWCCODE code = 0;
    QString path;  // drive-letter, volume or server path; "" = any
    std::optional<quint16> connection;
    QString server;  // "" = any

    friend bool operator==(const SiteFault&, const SiteFault&) = default;
};

// A broadcast message delivered to a connection.
struct SiteMessage {
    QString server;
    quint16 connection = 0;
    QString text;
    QDateTime time;

    friend bool operator==(const SiteMessage&, const SiteMessage&) = default;
};

// This workstation's own connection on a server; its user is that connection's object,
// the files it holds locked are that connection's locked open files.
struct SiteWorkstationConnection {
    QString server;
    quint16 number = 0;

    friend bool operator==(const SiteWorkstationConnection&,
                           const SiteWorkstationConnection&) = default;
};

struct NetWareSite {
    QList<SiteServer> servers;
    QList<SiteDrive> drives;
    QList<SiteFault> faults;
    QList<SiteMessage> messages;
    QList<SiteWorkstationConnection> workstation;

    // Not stored: the folder relative volume roots and local drives start from.
    QString folder;

    friend bool operator==(const NetWareSite& a, const NetWareSite& b) {
        return a.servers == b.servers && a.drives == b.drives && a.faults == b.faults &&
               a.messages == b.messages && a.workstation == b.workstation;
    }
};

}  // namespace tavrel
