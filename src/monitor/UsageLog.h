#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <memory>

#include "external/logdb/LogDb.h"
#include "monitor/LogWriterLock.h"
#include "monitor/ScanFiles.h"

namespace tavrel {

class Clock;
class Prompts;

// Keeps the usage log (table Log, one row per day, file and user) up to date with the
// scans made while results are stored. Shared by the main window and tavrelctl.
//
// Each update runs in one transaction: it is stored whole or not at all, so a crash, a
// kill or an error part-way leaves the log as it was before that scan. Only one writer
// stores into an SQLite log at a time (LogWriterLock). A shared log (PostgreSQL) takes
// every station's scans at once; each station keeps its own rows (column Station) and
// its own last stored minute, so two stations watching one file never add two minutes
// to one row; one program at a time stores for a station (stationclaim). A scan speaks
// only for the files it could fully ask about: open rows of other files stay as they are.
class UsageLog {
public:
    // The log database's file name in the program's folder.
    static QString databasePathIn(const QString& appFolder);

    // lastScanDate is the day whose open rows were last carried: the caller's own
    // (AutoScan::LastScanDate, or a value a command-line run keeps between runs).
    UsageLog(QString databasePath, Clock& clock, Prompts& prompts, QDate& lastScanDate,
             int busyTimeoutMs = LogDb::kDefaultBusyTimeoutMs);
    ~UsageLog();
    UsageLog(const UsageLog&) = delete;
    UsageLog& operator=(const UsageLog&) = delete;

    // Brings the log up to date with a finished scan. Returns "" when the log was
    // updated, otherwise why not (the log is then as it was and the next scan catches
    // up). Takes the writer lock when this log does not hold it yet, and keeps it.
    QString UpdateUsageLog(const ScanFileTable& scanFiles);

    // Claims the log for this writer ahead of the first update; "" or why not.
    QString startStoring();
    // Lets another writer store: call when storing stops (auto scan or "Store Scan
    // Results" switched off, the program or tavrelctl ending).
    void stopStoring();
    bool storing() const;

    const QString& databasePath() const { return m_databasePath; }
    // When each of today's open rows of this station was last opened, keyed by
    // openSinceKey(file, user); empty when the log cannot be read.
    QHash<QString, QDateTime> openSince();
    static QString openSinceKey(const QString& file, const QString& user) {
        return file.toUpper() + QLatin1Char('\n') + user.toUpper();
    }

    // Closes the open rows of files taken off the list (of this station, in a shared log):
    // no scan asks about them again. "" when done or when there is no log yet.
    QString closeFiles(const QStringList& paths);

    // The name this station's rows carry in a shared log: defaultStation() unless set.
    const QString& station() const { return m_station; }
    void setStation(const QString& station) { m_station = station; }
    // The operating-system user and the host, user@host: two operators of one terminal
    // server, or two desks cloned from one, are told apart.
    static QString defaultStation();

private:
    QString update(LogDb& db, const ScanFileTable& scanFiles);
    QString updateShared(const ScanFileTable& scanFiles);
    // Opens the shared log and claims this station in it; "" or why not.
    QString connectShared();
    // Opens the log, giving it table Log when it has none; "" or why not.
    QString openLog(LogDb& db);
    bool shared() const;
    // The shared log's connection kept between updates, dropped once the server has ended
    // it (restarted, or an administrator ended it): nullptr then, or when none is kept.
    LogDb* keptConnection();

    QString m_databasePath;
    Clock& m_clock;
    Prompts& m_prompts;
    QDate& m_lastScanDate;
    int m_busyTimeoutMs;
    QString m_station;
    bool m_storingShared = false;
    LogWriterLock m_writerLock;
    // A shared log's connection, kept between updates (used from the creating thread).
    std::unique_ptr<LogDb> m_sharedDb;
};

}  // namespace tavrel
