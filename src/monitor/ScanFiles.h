#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tavrel {

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
struct ScanFileEntry {
    QString Path;
    QStringList Users;
    bool UsersComplete = true;
    bool Found = true;
};

// The per-scan table: element k belongs to the settings key "File_" & (k + 1).
using ScanFileTable = QList<ScanFileEntry>;

}  // namespace tavrel
