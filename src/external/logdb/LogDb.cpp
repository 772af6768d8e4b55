#include "external/logdb/LogDb.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

#include "external/logdb/PgUri.h"

namespace tavrel {

namespace {

QAtomicInt connectionCounter;

// Table Log: the columns, order, sizes and nullability the log has always had. Date is
// ISO text (YYYY-MM-DD); Opened holds -1 (open) or 0. File and User compare without
// regard to case, as the original engine's text comparison did.
const char* const kCreateTable =
    "CREATE TABLE IF NOT EXISTS Log ("
    "Date DATE NULL, "
    "File VARCHAR(255) NULL COLLATE NOCASE, "
    "User VARCHAR(255) NULL COLLATE NOCASE, "
    "In_Time VARCHAR(8) NULL, "
    "Out_Time VARCHAR(8) NULL, "
    "In_Times TEXT NULL, "
    "Out_Times TEXT NULL, "
    "Mins SMALLINT NULL, "
    "Opens SMALLINT NULL, "
    "Opened BOOLEAN NOT NULL DEFAULT 0)";
const char* const kCreateIndex =
    "CREATE INDEX IF NOT EXISTS Log_Date_File_User ON Log "
    "(Date, File COLLATE NOCASE, User COLLATE NOCASE)";

// The shared log: the same columns (lower case, as PostgreSQL folds unquoted names), File
// and User without regard to case through citext, Opened -1 / 0 as an integer, then the
// station that stored the row and the row's number. StoredScan keeps each station's last
// stored minute.
const char* const kPgCreate[] = {
    "CREATE EXTENSION IF NOT EXISTS citext",
    "CREATE TABLE IF NOT EXISTS log ("
    "date DATE NULL, "
    "file CITEXT NULL, "
    "\"user\" CITEXT NULL, "
    "in_time VARCHAR(8) NULL, "
    "out_time VARCHAR(8) NULL, "
    "in_times TEXT NULL, "
    "out_times TEXT NULL, "
    "mins SMALLINT NULL, "
    "opens SMALLINT NULL, "
    "opened SMALLINT NOT NULL DEFAULT 0, "
    "station VARCHAR(255) NOT NULL DEFAULT '', "
    "id BIGSERIAL PRIMARY KEY) "
    // Today's rows change every minute: room in each page lets a new version stay beside
    // the old one, without touching the indexes.
    "WITH (fillfactor = 90)",
    "CREATE INDEX IF NOT EXISTS log_date_file_user ON log (date, file, \"user\")",
    "CREATE TABLE IF NOT EXISTS storedscan (station VARCHAR(255) PRIMARY KEY, minute TEXT)",
};

// Table Actions: the operator's actions, one row per target. Time is ISO text with the
// offset from UTC; Outcome "done" or "failed", with the Reason of a failure. The shared
// log's table holds the station and the row's number after them, as table log does.
const char* const kCreateActions =
    "CREATE TABLE IF NOT EXISTS Actions ("
    "Time VARCHAR(32) NOT NULL, "
    "OsUser VARCHAR(255) NULL, "
    "Program VARCHAR(16) NULL, "
    "Action VARCHAR(32) NOT NULL, "
    "Server VARCHAR(255) NULL, "
    "File VARCHAR(255) NULL COLLATE NOCASE, "
    "User VARCHAR(255) NULL COLLATE NOCASE, "
    "Connection INTEGER NULL, "
    "Message TEXT NULL, "
    "Outcome VARCHAR(8) NOT NULL, "
    "Reason TEXT NULL)";
const char* const kPgCreateActions =
    "CREATE TABLE IF NOT EXISTS actions ("
    "time VARCHAR(32) NOT NULL, "
    "osuser VARCHAR(255) NULL, "
    "program VARCHAR(16) NULL, "
    "action VARCHAR(32) NOT NULL, "
    "server VARCHAR(255) NULL, "
    "file CITEXT NULL, "
    "\"user\" CITEXT NULL, "
    "connection INTEGER NULL, "
    "message TEXT NULL, "
    "outcome VARCHAR(8) NOT NULL, "
    "reason TEXT NULL, "
    "station VARCHAR(255) NOT NULL DEFAULT '', "
    "id BIGSERIAL PRIMARY KEY)";

}  // namespace

LogDb::Engine LogDb::engineOf(const QString& location) {
    return isPostgresLocation(location) ? Engine::PostgreSQL : Engine::SQLite;
}

QString LogDb::columnTitle(const QString& name) {
    static const QStringList kTitles = {
        QStringLiteral("Date"),      QStringLiteral("File"),     QStringLiteral("User"),
        QStringLiteral("In_Time"),   QStringLiteral("Out_Time"), QStringLiteral("In_Times"),
        QStringLiteral("Out_Times"), QStringLiteral("Mins"),     QStringLiteral("Opens"),
        QStringLiteral("Opened"),    QStringLiteral("Station"),  QStringLiteral("Id"),
        QStringLiteral("Time"),      QStringLiteral("OsUser"),   QStringLiteral("Program"),
        QStringLiteral("Action"),    QStringLiteral("Server"),   QStringLiteral("Connection"),
        QStringLiteral("Message"),   QStringLiteral("Outcome"),  QStringLiteral("Reason")};
    for (const QString& title : kTitles) {
        if (title.compare(name, Qt::CaseInsensitive) == 0) {
            return title;
        }
    }
    return name;
}

QString LogDb::rowIdColumn() const {
    return m_engine == Engine::PostgreSQL ? QStringLiteral("id") : QStringLiteral("rowid");
}

LogDb::LogDb(int busyTimeoutMs)
    : m_busyTimeoutMs(busyTimeoutMs),
      m_connectionName(
          QStringLiteral("tavrel-log-%1").arg(connectionCounter.fetchAndAddRelaxed(1))) {}

LogDb::~LogDb() {
    close();
}

QSqlDatabase LogDb::database() const {
    return QSqlDatabase::database(m_connectionName, false);
}

bool LogDb::isOpen() const {
    return database().isOpen();
}

bool LogDb::fail(int number, const QString& description) {
    m_lastError = {number, description};
    close();
    return false;
}

bool LogDb::openPostgres(const QString& uri) {
    const PgUriParse parsed = parsePostgresUri(uri);
    if (!parsed.parts) {
        return fail(kCantOpen, parsed.error);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    if (!db.isValid()) {
        QSqlDatabase::removeDatabase(m_connectionName);
        return fail(kCantOpen, QStringLiteral("The PostgreSQL driver of Qt is not installed "
                                              "(package libqt6sql6-psql)."));
    }
    const PgConnectionParts& parts = *parsed.parts;
    db.setHostName(parts.host);
    db.setPort(parts.port);
    db.setDatabaseName(parts.database);
    db.setUserName(parts.user);
    QStringList options = parts.options;
    // An unreachable server must not hold a scan for libpq's default of forever.
    if (options.filter(QRegularExpression(QStringLiteral("^connect_timeout="))).isEmpty()) {
        options.append(QStringLiteral("connect_timeout=5"));
    }
    db.setConnectOptions(options.join(QLatin1Char(';')));
    m_path = uri;
    if (!db.open()) {
        const LogDbError error = errorOf(db.lastError());
        db = QSqlDatabase();
        return fail(error.number, error.description);
    }
    return true;
}

bool LogDb::openConnection(const QString& path, bool mayCreate) {
    close();
    m_lastError = {};
    m_engine = engineOf(path);
    if (m_engine == Engine::PostgreSQL) {
        return openPostgres(path);
    }
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        return fail(kCantOpen, QStringLiteral("'%1' is not a file.").arg(path));
    }
    if (!mayCreate && !info.exists()) {
        return fail(kCantOpen, QStringLiteral("Could not find file '%1'.").arg(path));
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    if (!db.isValid()) {
        QSqlDatabase::removeDatabase(m_connectionName);
        return fail(kCantOpen, QStringLiteral("The SQLite driver of Qt is not installed."));
    }
    // A URI with mode=rw opens read-write but never creates the file.
    const QString uri = QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded) +
                        (mayCreate ? QStringLiteral("?mode=rwc") : QStringLiteral("?mode=rw"));
    db.setDatabaseName(uri);
    db.setConnectOptions(
        QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs));
    m_path = path;
    if (!db.open()) {
        const LogDbError error = errorOf(db.lastError());
        db = QSqlDatabase();  // no handle may outlive the connection's removal
        return fail(error.number, error.description);
    }
    {
        // A file that is not a database fails here, before anything is written to it.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            const LogDbError error = errorOf(probe.lastError());
            probe.finish();
            probe = QSqlQuery();
            db = QSqlDatabase();
            return fail(error.number, error.description);
        }
        // WAL lets a reader and a writer in another process work at once. A read-only file
        // stays in its journal mode.
        probe.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        probe.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    }
    return true;
}

bool LogDb::open(const QString& path) {
    if (!openConnection(path, false)) {
        return false;
    }
    addActionsTable();
    return true;
}

bool LogDb::create(const QString& path) {
    if (!openConnection(path, true)) {
        return false;
    }
    if (m_engine == Engine::PostgreSQL) {
        for (const char* sql : kPgCreate) {
            const LogDbResult result = exec(QString::fromLatin1(sql));
            if (!result.ok()) {
                return fail(result.error.number, result.error.description);
            }
        }
        addActionsTable();
        return true;
    }
    for (const char* sql : {kCreateTable, kCreateIndex}) {
        const LogDbResult result = exec(QString::fromLatin1(sql));
        if (!result.ok()) {
            return fail(result.error.number, result.error.description);
        }
    }
    addActionsTable();
    return true;
}

bool LogDb::hasTable(const QString& name) {
    const LogDbResult result =
        exec(m_engine == Engine::PostgreSQL
                 ? QStringLiteral("SELECT count(*) FROM information_schema.tables "
                                  "WHERE table_schema = current_schema() AND table_name = ?")
                 : QStringLiteral("SELECT count(*) FROM sqlite_master "
                                  "WHERE type = 'table' AND name = ? COLLATE NOCASE"),
             {m_engine == Engine::PostgreSQL ? name.toLower() : name});
    return result.kind == LogDbResult::Kind::Rows && !result.rows.isEmpty() &&
           result.rows.first().value(0).toInt() > 0;
}

bool LogDb::addActionsTable() {
    // Only a usage log gains the table, and one that holds it already is not written to,
    // so a read-only log still opens.
    if (!hasTable(QStringLiteral("Log"))) {
        return false;
    }
    if (hasTable(QStringLiteral("Actions"))) {
        return true;
    }
    if (m_engine == Engine::SQLite) {
        return exec(QString::fromLatin1(kCreateActions)).ok();
    }
    // Stations opening an older shared log at once would race to create the table.
    if (!exec(QStringLiteral("BEGIN")).ok()) {
        return false;
    }
    const bool made =
        exec(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('tavrel-actions'))")).ok() &&
        exec(QString::fromLatin1(kPgCreateActions)).ok();
    return exec(made ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK")).ok() && made;
}

void LogDb::close() {
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    m_path.clear();
}

bool LogDb::hasLogTable() {
    return hasTable(QStringLiteral("Log"));
}

LogDbResult LogDb::exec(const QString& sql, const QVariantList& params) {
    LogDbResult result;
    if (!isOpen()) {
        result.error = {kCantOpen, QStringLiteral("The log database is not open.")};
        m_lastError = result.error;
        return result;
    }
    QSqlQuery query(database());
    query.setForwardOnly(true);
    // Unprepared without parameters: PostgreSQL prepares only queries and row changes.
    const bool direct = params.isEmpty() && m_engine == Engine::PostgreSQL;
    if (!direct && !query.prepare(sql)) {
        result.error = errorOf(query.lastError());
        m_lastError = result.error;
        return result;
    }
    for (const QVariant& value : params) {
        query.addBindValue(value);
    }
    if (!(direct ? query.exec(sql) : query.exec())) {
        result.error = errorOf(query.lastError());
        m_lastError = result.error;
        return result;
    }
    if (!query.isSelect()) {
        result.kind = LogDbResult::Kind::NoRowSet;
        return result;
    }
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i) {
        result.columns.append(m_engine == Engine::PostgreSQL ? columnTitle(record.fieldName(i))
                                                             : record.fieldName(i));
    }
    while (query.next()) {
        QVariantList row;
        row.reserve(record.count());
        for (int i = 0; i < record.count(); ++i) {
            row.append(query.value(i));
        }
        result.rows.append(std::move(row));
    }
    if (query.lastError().isValid()) {
        result.error = errorOf(query.lastError());
        m_lastError = result.error;
        return result;
    }
    result.kind = LogDbResult::Kind::Rows;
    return result;
}

LogDbError LogDb::errorOf(const QSqlError& error) {
    bool numeric = false;
    const int number = error.nativeErrorCode().toInt(&numeric);
    QString text = error.databaseText();
    if (text.isEmpty()) {
        text = error.driverText();
    }
    // libpq explains a failed connection over several lines; the first says what failed.
    // Its "ERROR:" before a statement's error says nothing a caller's message does not.
    text = text.trimmed();
    if (text.startsWith(QLatin1String("ERROR:"))) {
        text = text.mid(6).trimmed();
    }
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
    if (lineEnd > 0) {
        text = text.left(lineEnd).trimmed();
    }
    return {numeric ? number : 1, text};
}

bool LogDb::LogExists(const QString& path) {
    if (!isPostgresLocation(path) && !QFileInfo(path).isFile()) {
        return false;
    }
    LogDb db;
    return db.open(path) && db.hasLogTable();
}

}  // namespace tavrel
