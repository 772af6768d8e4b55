#pragma once

#include <QLockFile>
#include <QString>

namespace tavrel {

// The right to store scan results in one usage log: a lock file beside the database.
// Two writers would each count every minute, so the one that comes second is refused.
// A writer that stores scan after scan (the main window, tavrelctl watch --store) keeps
// the lock from its first update until it stops storing; a one-off writer holds it for
// one update.
class LogWriterLock {
public:
    // A lock not touched for this long, whose holder cannot be checked (it runs on
    // another machine), is taken as left behind by a crash. A holder refreshes it at
    // every update, that is about once a minute.
    static constexpr int kStaleAfterMs = 10 * 60 * 1000;
    // A writer puts its name into the lock file microseconds after making it; a lock file
    // still empty after this long was left by a writer killed in between.
    static constexpr int kEmptyStaleAfterMs = 5 * 1000;

    explicit LogWriterLock(const QString& databasePath);
    LogWriterLock(const LogWriterLock&) = delete;
    LogWriterLock& operator=(const LogWriterLock&) = delete;

    // Takes the lock, or refreshes it when already held. Returns "" or why the lock could
    // not be had. A lock left by a writer that has died is taken over, and so is an empty
    // lock file older than kEmptyStaleAfterMs. A lock path that is no lock file (a folder,
    // or a file naming no writer) is reported as such.
    QString acquire();
    void release();
    bool held() const { return m_lock.isLocked(); }

    // The lock file of a usage log: its name with ".lock" added.
    static QString pathFor(const QString& databasePath);

private:
    QString holderText() const;
    QString refusal() const;
    void removeIfLeftEmpty() const;

    QString m_path;
    QLockFile m_lock;
};

}  // namespace tavrel
