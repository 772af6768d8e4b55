#pragma once

#include <QDate>
#include <QString>

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
// stores into a log at a time (LogWriterLock).
class UsageLog {
public:
    // The log database's file name in the program's folder.
    static QString databasePathIn(const QString& appFolder);

    // lastScanDate is the day whose open rows were last carried: the caller's own
    // (AutoScan::LastScanDate, or a value a command-line run keeps between runs).
    UsageLog(QString databasePath, Clock& clock, Prompts& prompts, QDate& lastScanDate,
             int busyTimeoutMs = LogDb::kDefaultBusyTimeoutMs);
    UsageLog(const UsageLog&) = delete;
    UsageLog& operator=(const UsageLog&) = delete;

    // Brings the log up to date with a finished scan. Returns "" when the log was
    // updated, otherwise why not (the log is then as it was and the next scan catches
    // up). Takes the writer lock when this log does not hold it yet, and keeps it.
    QString UpdateUsageLog(const ScanFileTable& scanFiles);

    // Claims the log for this writer ahead of the first update; "" or why not.
    QString startStoring() { return m_writerLock.acquire(); }
    // Lets another writer store: call when storing stops (auto scan or "Store Scan
    // Results" switched off, the program or tavrelctl ending).
    void stopStoring() { m_writerLock.release(); }
    bool storing() const { return m_writerLock.held(); }

    const QString& databasePath() const { return m_databasePath; }

private:
    QString update(LogDb& db, const ScanFileTable& scanFiles);

    QString m_databasePath;
    Clock& m_clock;
    Prompts& m_prompts;
    QDate& m_lastScanDate;
    int m_busyTimeoutMs;
    LogWriterLock m_writerLock;
};

}  // namespace tavrel
