#pragma once

#include <QString>

namespace tavrel {

// What copying an SQLite log into a shared one did.
struct LogMigrationResult {
    QString error;             // "" when done
    qint64 copied = 0;         // rows added to the shared log
    qint64 present = 0;        // rows the shared log held already, left as they are
    qint64 actionsCopied = 0;  // rows of the action journal added
};

// Copies every row of the SQLite log at fromPath into the shared log at toUri (created
// when it lacks table Log), as rows of the given station. A row counts as present when
// the shared log holds one of that station with the same Date, File, User and In_Time,
// so a second run adds nothing and never undoes what the station stored since. The
// journal of actions (table Actions) goes along, each row once. One
// transaction: on any error the shared log is as it was.
LogMigrationResult migrateLog(const QString& fromPath, const QString& toUri,
                              const QString& station);

}  // namespace tavrel
