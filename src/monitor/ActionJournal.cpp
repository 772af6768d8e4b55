#include "monitor/ActionJournal.h"

#include <pwd.h>
#include <unistd.h>

#include <QSqlQuery>

#include "common/Clock.h"
#include "common/DriveMap.h"
#include "common/PrintableText.h"
#include "monitor/LogLocation.h"

namespace tavrel {

namespace {

QString selectJournal(const LogDb& db) {
    const bool shared = db.engine() == LogDb::Engine::PostgreSQL;
    return QStringLiteral("SELECT Time, ") +
           (shared ? QStringLiteral("station") : QStringLiteral("'' AS Station")) +
           QStringLiteral(
               ", OsUser, Program, Action, Server, File, \"user\", Connection, "
               "Message, Outcome, Reason FROM Actions");
}

QVariant textOrNull(const QString& text) {
    return text.isEmpty() ? QVariant() : QVariant(text);
}

}  // namespace

ActionJournal::ActionJournal(SettingsStore& settings, QString appFolder, Clock& clock,
                             QString program)
    : m_settings(settings),
      m_appFolder(std::move(appFolder)),
      m_clock(clock),
      m_program(std::move(program)) {}

QString ActionJournal::operatingSystemUser() {
    if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr) {
        return QString::fromLocal8Bit(entry->pw_name);
    }
    return qEnvironmentVariable("USER");
}

QString ActionJournal::record(const QList<JournalEntry>& entries) {
    if (entries.isEmpty()) {
        return QString();
    }
    const QString location = loglocation::current(m_settings, m_appFolder);
    LogDb db;
    if (!(LogDb::LogExists(location) ? db.open(location) : db.create(location))) {
        return db.lastError().description;
    }
    if (!db.hasTable(QStringLiteral("Actions"))) {  // added when the log was opened
        return QStringLiteral("the log has no table Actions and it could not be added");
    }
    const bool shared = db.engine() == LogDb::Engine::PostgreSQL;
    const QDateTime now = m_clock.now();
    const QString time = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
    const QString osUser = operatingSystemUser();
    const QString station = shared ? loglocation::station(m_settings) : QString();
    QSqlDatabase connection = db.database();
    if (!connection.transaction()) {
        return LogDb::errorOf(connection.lastError()).description;
    }
    QSqlQuery insert(connection);
    QString problem;
    if (!insert.prepare(QStringLiteral("INSERT INTO Actions (Time, OsUser, Program, Action, "
                                       "Server, File, \"user\", Connection, Message, "
                                       "Outcome, Reason") +
                        (shared ? QStringLiteral(", station) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)")
                                : QStringLiteral(") VALUES (?,?,?,?,?,?,?,?,?,?,?)")))) {
        problem = LogDb::errorOf(insert.lastError()).description;
    }
    for (qsizetype i = 0; problem.isEmpty() && i < entries.size(); ++i) {
        const JournalEntry& entry = entries.at(i);
        for (const QVariant& value :
             {QVariant(time), QVariant(osUser), QVariant(m_program), QVariant(entry.action),
              textOrNull(entry.server), textOrNull(entry.file), textOrNull(entry.user),
              entry.connection > 0 ? QVariant(entry.connection) : QVariant(),
              textOrNull(entry.message),
              QVariant(entry.done ? QStringLiteral("done") : QStringLiteral("failed")),
              textOrNull(entry.reason)}) {
            insert.addBindValue(value);
        }
        if (shared) {
            insert.addBindValue(station);
        }
        if (!insert.exec()) {
            problem = LogDb::errorOf(insert.lastError()).description;
        }
    }
    // Rolled back while the statement is still there: a shared log's server then frees
    // it outside the aborted transaction, without a complaint.
    if (!problem.isEmpty()) {
        connection.rollback();
        return problem;
    }
    if (!connection.commit()) {
        const QString reason = LogDb::errorOf(connection.lastError()).description;
        connection.rollback();
        return reason;
    }
    return QString();
}

QString notJournaledText(const QString& reason) {
    return QStringLiteral("The action was not journaled: ") + reason;
}

QString notJournaledStatus(const QString& status) {
    return status + QStringLiteral(" (not journaled)");
}

QString serverOfDrivePath(const DriveMap& drives, const QString& path) {
    QChar letter;
    QStringList components;
    if (!splitDosPath(path, &letter, &components)) {
        return QString();
    }
    const std::optional<MappedDrive> drive = drives.drive(letter);
    return drive && drive->isNetwork() ? drive->server : QString();
}

JournalEntry fileJournalEntry(const DriveMap& drives, const QString& action, const QString& path,
                              const QString& description, const QString& failure) {
    JournalEntry entry;
    entry.action = action;
    entry.file = path;
    entry.server = serverOfDrivePath(drives, path);
    entry.message = description;
    entry.done = failure.isEmpty();
    entry.reason = failure;
    return entry;
}

QStringList journalColumns() {
    return {QStringLiteral("Time"),    QStringLiteral("Station"), QStringLiteral("OsUser"),
            QStringLiteral("Program"), QStringLiteral("Action"),  QStringLiteral("Server"),
            QStringLiteral("File"),    QStringLiteral("User"),    QStringLiteral("Connection"),
            QStringLiteral("Message"), QStringLiteral("Outcome"), QStringLiteral("Reason")};
}

QStringList actionTexts(const QVariantList& row) {
    enum {
        Time,
        Station,
        OsUser,
        Program,
        Action,
        Server,
        File,
        User,
        Connection,
        Message,
        Outcome,
        Reason
    };
    const auto text = [&row](int column) { return printableText(row.value(column).toString()); };
    const QString target = !text(User).isEmpty()
                               ? QStringLiteral("%1 (%2, connection %3)")
                                     .arg(text(User), text(Server), text(Connection))
                               : text(Server);
    return {
        text(Time),
        text(OsUser) + (text(Station).isEmpty() ? QString() : QLatin1Char('@') + text(Station)),
        text(Program),
        text(Action),
        target,
        text(File),
        text(Message).isEmpty() ? QString() : QLatin1Char('"') + text(Message) + QLatin1Char('"'),
        text(Reason).isEmpty() ? text(Outcome)
                               : text(Outcome) + QStringLiteral(": ") + text(Reason)};
}

QStringList dayActionsHeadings() {
    return {QStringLiteral("Time"),    QStringLiteral("Operator"), QStringLiteral("Program"),
            QStringLiteral("Action"),  QStringLiteral("Target"),   QStringLiteral("File"),
            QStringLiteral("Message"), QStringLiteral("Outcome")};
}

QStringList dayActionTexts(const QVariantList& row) {
    QStringList texts = actionTexts(row);
    texts[0] = texts[0].mid(11, 8);  // hh:mm:ss of the ISO time
    return texts;
}

LogDbResult readJournal(LogDb& db, const QDate& since, const QString& user) {
    QStringList where;
    QVariantList params;
    if (since.isValid()) {
        where.append(QStringLiteral("substr(Time, 1, 10) >= ?"));
        params.append(since.toString(Qt::ISODate));
    }
    if (!user.isEmpty()) {
        where.append(QStringLiteral("(upper(\"user\") = upper(?) OR upper(OsUser) = upper(?))"));
        params += {user, user};
    }
    return db.exec(
        selectJournal(db) +
            (where.isEmpty() ? QString()
                             : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "))) +
            QStringLiteral(" ORDER BY ") + db.rowIdColumn() + QStringLiteral(" DESC"),
        params);
}

LogDbResult journalOfDay(LogDb& db, const QDate& day) {
    return db.exec(selectJournal(db) + QStringLiteral(" WHERE substr(Time, 1, 10) = ? ORDER BY ") +
                       db.rowIdColumn(),
                   {day.toString(Qt::ISODate)});
}

}  // namespace tavrel
