#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tavrel {

// One monitored file of a scan: its path exactly as stored ("File_" & n) and the
// upper-cased user name of every connection found holding it ("" where the name could
// not be fetched). A file with no connections, not found, or whose scan failed holds
// exactly one "".
struct ScanFileEntry {
    QString Path;
    QStringList Users;
};

// The per-scan table: element k belongs to the settings key "File_" & (k + 1).
using ScanFileTable = QList<ScanFileEntry>;

}  // namespace tavrel
