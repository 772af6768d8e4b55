#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include "external/logdb/LogDb.h"

namespace tavrel {

class Clock;
class DriveMap;
class SettingsStore;

// One operator action on one target, as table Actions of the usage log keeps it.
struct JournalEntry {
    QString action;  // one of the kAction texts
    QString server;
    QString file;
    QString user;
    int connection = 0;  // 0: no connection (stored as NULL)
    QString message;     // the message sent, or the description of a monitored file
    bool done = false;
    QString reason;  // why it failed
};

// The actions' names in the journal.
namespace journal {
inline const QString kMessage = QStringLiteral("message");
inline const QString kClear = QStringLiteral("clear");
inline const QString kUnlock = QStringLiteral("unlock");
inline const QString kUnlockAll = QStringLiteral("unlock all");
inline const QString kAddFile = QStringLiteral("add file");
inline const QString kEditFile = QStringLiteral("edit file");
inline const QString kDeleteFile = QStringLiteral("delete file");
// The programs that act.
inline const QString kWindow = QStringLiteral("tavrel");
inline const QString kTavrelctl = QStringLiteral("tavrelctl");
}  // namespace journal

// Writes the operator's actions into the usage log the user's settings name (tavrel.mdb
// in the program's folder, made when missing, or the shared log), after the action, with
// its outcome: when it was done (ISO time with offset), the operating-system user, the
// program and, in a shared log, the station.
class ActionJournal {
public:
    ActionJournal(SettingsStore& settings, QString appFolder, Clock& clock, QString program);

    // Writes a row per entry, all or none; "" when written, otherwise why not.
    QString record(const QList<JournalEntry>& entries);
    QString record(const JournalEntry& entry) { return record(QList<JournalEntry>{entry}); }

    // The name of the user this program runs as.
    static QString operatingSystemUser();

private:
    SettingsStore& m_settings;
    QString m_appFolder;
    Clock& m_clock;
    QString m_program;
};

// What the operator is told when an action was not journaled: in a message, and on the
// status line after the action's own text.
QString notJournaledText(const QString& reason);
QString notJournaledStatus(const QString& status);

// The server of a drive-letter path, as the
// drive map names it; "" for a path not on a network drive.
QString serverOfDrivePath(const DriveMap& drives, const QString& path);

// The journal's entry of an action on a file (an unlock, or an add, edit or delete of a
// monitored file with its description): done when failure is "", else failed with it.
JournalEntry fileJournalEntry(const DriveMap& drives, const QString& action, const QString& path,
                              const QString& description, const QString& failure);

// The journal, newest first: rows from the day since on (all when it is null) and, when
// user is given, only those whose target user or operating-system user it names.
LogDbResult readJournal(LogDb& db, const QDate& since, const QString& user);
// The actions of one day, in the order they were done.
LogDbResult journalOfDay(LogDb& db, const QDate& day);
// The columns both give, in order.
QStringList journalColumns();

// One row of the journal as it is shown: time, operator (the operating-system user, with
// "@" and the station on a shared log), program, action, target (user with server and
// connection, or the server), file, message in quotes, and the outcome with the reason.
// An empty value stays an empty text.
QStringList actionTexts(const QVariantList& row);
// The headings of those texts.
QStringList dayActionsHeadings();
// The texts the details window lists for a row of the journal: the time of day only.
QStringList dayActionTexts(const QVariantList& row);

}  // namespace tavrel
