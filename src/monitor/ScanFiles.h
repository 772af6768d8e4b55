#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "external/netware/NetWareRecords.h"

namespace tavrel {

// What the server said of one connection holding a file.
struct ScanHolder {
    QString user;  // as the server spells it
    qint16 connection = 0;
    qint16 task = 0;
    quint8 lockType = 0;  // 8: shareable
    quint8 accessControl = 0;
    bool locked = false;
    LoginTime loginTime{};
    // Looked up with the user details only.
    std::optional<InetAddr> address;
    std::optional<QString> directoryRights;  // the rights words, "" when there are none
};

// One monitored file of a scan: its path exactly as stored ("File_" & n) and the
// upper-cased user name of every connection found holding it ("" where the name could
// not be fetched). A file with no connections, not found, or whose scan failed holds
// exactly one "".
//
// UsersComplete is false when the scan could not tell everyone who holds the file: its
// connection scan failed (at the first answer or a later one), or the user of one of its
// connections could not be named. The users listed were seen all the same; of anyone
// else the scan says nothing, so the log neither closes nor counts them. A file that was
// not found is complete: nobody can hold a file that is not there.
//
// Found is false for a file the scan did not find ("[N/A]").
//
// What the monitoring exports besides: the file's server (for a file not found, the
// server its drive maps to), whether that server answered the connection scan for it at
// all, how many connections hold it (Users keeps a "" for a file held by none) and
// whether any of them has it locked. Error is the message of a connection scan that
// failed ("" when none did), and Holders what the server said of each connection whose
// user it named, in answer order; these are for scripts (tavrelctl scan --json).
struct ScanFileEntry {
    QString Path;
    QStringList Users;
    bool UsersComplete = true;
    bool Found = true;
    // Braced: tables written as {Path, Users, ...} stay free of missing-field warnings.
    QString Server{};
    bool Answered = false;
    int Connections = 0;
    bool Locked = false;
    QString Error{};
    QList<ScanHolder> Holders{};
};

// The per-scan table: element k belongs to the settings key "File_" & (k + 1).
using ScanFileTable = QList<ScanFileEntry>;

}  // namespace tavrel
