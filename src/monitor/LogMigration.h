#pragma once

#include <QString>
#include <QStringList>

namespace tavrel {

// What copying an SQLite log into a shared one did.
struct LogMigrationResult {
    QString error;             // "" when done
    qint64 copied = 0;         // rows added to the shared log
    qint64 present = 0;        // rows the shared log held already, left as they are
    qint64 actionsCopied = 0;  // rows of the action journal added
    QStringList uncopied;      // the rows that could not be copied as they are, and why
};

// Copies every row of the SQLite log at fromPath into the shared log at toUri (created
// when it lacks table Log), as rows of the given station, with the minute of the last
// stored scan. A row counts as present when the shared log holds one of that station
// with every column equal (each such row stands for one copy), so a second run adds
// nothing. A row the shared log's typed columns cannot hold as it is is named in
// uncopied and left out. The journal of actions (table Actions) goes along, each row
// once. One transaction: on any error the shared log is as it was.
LogMigrationResult migrateLog(const QString& fromPath, const QString& toUri,
                              const QString& station);

}  // namespace tavrel
