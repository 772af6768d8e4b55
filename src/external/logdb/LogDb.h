#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

class QSqlQuery;

namespace tavrel {

// An error of the log database: the engine's number and its description.
struct LogDbError {
    int number = 0;
    QString description;
};

// What a statement gave: its rows with their column names, or no row set (an action
// statement, which is a success), or an error.
struct LogDbResult {
    enum class Kind { Rows, NoRowSet, Failed };
    Kind kind = Kind::Failed;
    QStringList columns;
    QList<QVariantList> rows;
    LogDbError error;

    bool ok() const { return kind != Kind::Failed; }
};

// One connection to a usage log: an SQLite file through QtSql, in WAL mode with a busy
// timeout so that the program and a second process can use the file together, or a
// PostgreSQL database (a postgresql:// location) shared by several stations. Each LogDb
// owns its own uniquely named Qt connection, released by close() or destruction.
// Opening never creates a file or table Log; create() does. A log opened or created
// gains table Actions when it lacks it and can be written (addActionsTable).
//
// The shared log's table holds two columns more, after Opened: Station (the monitoring
// station that stored the row) and Id (the row's number, as rowid is in SQLite). Its
// names are in lower case, PostgreSQL's folding, so unquoted statements find them.
class LogDb {
public:
    enum class Engine { SQLite, PostgreSQL };

    static constexpr int kDefaultBusyTimeoutMs = 3000;
    // The longest a statement of the shared log waits for a lock, and (a statement of the
    // usage log's update; an operator's query may run longer) runs.
    static constexpr int kLockTimeoutMs = 20000;
    static constexpr int kStatementTimeoutMs = 30000;
    // SQLite's own numbers for the errors this class raises itself.
    static constexpr int kCantOpen = 14;
    static constexpr int kNotADatabase = 26;

    explicit LogDb(int busyTimeoutMs = kDefaultBusyTimeoutMs);
    ~LogDb();
    LogDb(const LogDb&) = delete;
    LogDb& operator=(const LogDb&) = delete;

    // Opens an existing database file or PostgreSQL database; false (see lastError) when
    // the file is missing, is not a database, or the server cannot be reached. The file is
    // left as it was in every case.
    bool open(const QString& location);
    // Opens the file, creating it when missing, and adds table Log (with its index) when
    // the database does not hold it yet. A file that is not a database is refused,
    // untouched.
    bool create(const QString& location);
    // Makes every object of the log that the open database lacks (table Log, its index,
    // StoredScan), all in one transaction and, on a shared log, under a lock, so that
    // programs starting together make them once. True when everything is there.
    bool ensureSchema();
    // The name a shared log's server lists this connection under, set before open():
    // "Tavrel" and the station. Unset, the program's default.
    void setApplicationName(const QString& name) { m_applicationName = name; }
    static void setDefaultApplicationName(const QString& name);
    static QString defaultApplicationName();
    void close();
    bool isOpen() const;
    QString path() const { return m_path; }
    Engine engine() const { return m_engine; }
    // True when an SQLite log's error says another connection holds the database (busy or
    // locked), in the primary code or any extended one (SQLITE_BUSY_SNAPSHOT is 517), which
    // carries the primary code in its low byte.
    bool isLockedByAnother(const LogDbError& error) const;
    // The column that numbers the rows: SQLite's rowid, the shared log's Id.
    QString rowIdColumn() const;

    // True when the open database holds table Log.
    bool hasLogTable();
    // True when the open database holds the table of that name (in any letter case).
    bool hasTable(const QString& name);
    // Gives a usage log that lacks it table Actions, the journal of the operator's
    // actions; open() and create() do so. True when the log holds the table afterwards.
    bool addActionsTable();

    // Runs one statement with positional parameters (?) bound in order.
    LogDbResult exec(const QString& sql, const QVariantList& params = {});

    const LogDbError& lastError() const { return m_lastError; }
    // The Qt connection, for prepared statements and transactions of callers that need them.
    QSqlDatabase database() const;

    // True when the file (or PostgreSQL database) exists and holds table Log.
    static bool LogExists(const QString& location);
    static Engine engineOf(const QString& location);
    // A column's heading: a column of the shared log in the spelling of the SQLite log
    // (date as Date, in_time as In_Time); any other name as it is.
    static QString columnTitle(const QString& name);
    // The same for a column of the given statement's result: an alias (AS Total, or
    // Total written without AS) keeps the letter case it is written in.
    static QString columnTitle(const QString& name, const QString& statement);
    // The number and text of an error from a query run on database().
    static LogDbError errorOf(const QSqlError& error);

private:
    bool openConnection(const QString& path, bool mayCreate);
    bool openPostgres(const QString& uri);
    bool fail(int number, const QString& description);

    int m_busyTimeoutMs;
    QString m_connectionName;
    QString m_path;
    Engine m_engine = Engine::SQLite;
    LogDbError m_lastError;
    QString m_applicationName;
    std::unique_ptr<QSqlQuery> m_failedQuery;
};

}  // namespace tavrel
