#include "external/logdb/LogDb.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <span>

#include "external/logdb/PgUri.h"

namespace tavrel {

namespace {

QAtomicInt connectionCounter;

// Every object a log needs, in the order they are made: a check (an SQL expression true
// when the object is there) and the statement that makes it. ensureSchema() goes through
// the list of the log's engine; an object a later version adds joins its list.
struct SchemaObject {
    const char* present;
    const char* create;
};

// Table Log: the columns, order, sizes and nullability the log has always had. Date is
// ISO text (YYYY-MM-DD); Opened holds -1 (open) or 0. File and User compare without
// regard to case, as the original engine's text comparison did. StoredScan keeps the
// minute of the last stored scan.
const SchemaObject kSqliteSchema[] = {
    {"EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'Log')",
     "CREATE TABLE Log ("
     "Date DATE NULL, "
     "File VARCHAR(255) NULL COLLATE NOCASE, "
     "User VARCHAR(255) NULL COLLATE NOCASE, "
     "In_Time VARCHAR(8) NULL, "
     "Out_Time VARCHAR(8) NULL, "
     "In_Times TEXT NULL, "
     "Out_Times TEXT NULL, "
     "Mins SMALLINT NULL, "
     "Opens SMALLINT NULL, "
     "Opened BOOLEAN NOT NULL DEFAULT 0)"},
    {"EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = 'Log_Date_File_User')",
     "CREATE INDEX Log_Date_File_User ON Log "
     "(Date, File COLLATE NOCASE, User COLLATE NOCASE)"},
    {"EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'StoredScan')",
     "CREATE TABLE StoredScan (Minute TEXT)"},
};

// The shared log: the same columns (lower case, as PostgreSQL folds unquoted names), File
// and User without regard to case through citext, Opened -1 / 0 as an integer, then the
// station that stored the row and the row's number. StoredScan keeps each station's last
// stored minute.
const SchemaObject kPgSchema[] = {
    {"EXISTS (SELECT 1 FROM pg_extension WHERE extname = 'citext')", "CREATE EXTENSION citext"},
    {"to_regclass('log') IS NOT NULL",
     "CREATE TABLE log ("
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
     "WITH (fillfactor = 90)"},
    {"to_regclass('log_date_file_user') IS NOT NULL",
     "CREATE INDEX log_date_file_user ON log (date, file, \"user\")"},
    {"to_regclass('storedscan') IS NOT NULL",
     "CREATE TABLE storedscan (station VARCHAR(255) PRIMARY KEY, minute TEXT)"},
};

// libpq's own bounds on a connection, unless the address sets them.
const std::pair<const char*, const char*> kClientTimeouts[] = {
    {"connect_timeout", "5"},     {"keepalives", "1"},       {"keepalives_idle", "15"},
    {"keepalives_interval", "5"}, {"keepalives_count", "3"}, {"tcp_user_timeout", "30000"},
};

QString& defaultName() {
    static QString name = QStringLiteral("Tavrel");
    return name;
}

// Taken while the schema is checked and made, so that stations starting together on an
// empty database make it once.
const char* const kSchemaLock = "SELECT pg_advisory_xact_lock(hashtext('tavrel-schema'))";

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

void LogDb::setDefaultApplicationName(const QString& name) {
    defaultName() = name;
}

QString LogDb::defaultApplicationName() {
    return defaultName();
}

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

QString LogDb::columnTitle(const QString& name, const QString& statement) {
    // PostgreSQL folds an alias written bare (AS Total) to lower case; SQLite keeps it as
    // written, and so do the headings here. Quoted texts are no aliases.
    static const QRegularExpression kQuoted(QStringLiteral("'[^']*'|\"[^\"]*\""));
    static const QRegularExpression kAlias(QStringLiteral("\\bAS\\s+([A-Za-z_][A-Za-z0-9_$]*)"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString bare = statement;
    bare.replace(kQuoted, QStringLiteral("''"));
    for (auto it = kAlias.globalMatch(bare); it.hasNext();) {
        const QString alias = it.next().captured(1);
        if (alias.compare(name, Qt::CaseInsensitive) == 0 && alias.toLower() == name) {
            return alias;
        }
    }
    if (const QString title = columnTitle(name); title != name) {
        return title;
    }
    // An alias written without AS (COUNT(*) Total): the statement's own spelling of it.
    static const QRegularExpression kWord(QStringLiteral("\\b[A-Za-z_][A-Za-z0-9_$]*"));
    for (auto it = kWord.globalMatch(bare); it.hasNext();) {
        const QString word = it.next().captured(0);
        if (word != name && word.toLower() == name) {
            return word;
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
    const auto given = [&](const QString& keyword) {
        return !options.filter(QRegularExpression(QLatin1Char('^') + keyword + QLatin1Char('=')))
                    .isEmpty();
    };
    // An unreachable server must not hold a scan for libpq's default of forever, nor a
    // server that stops answering once connected: keepalives find a silent peer, and the
    // user timeout a peer that does not take what is sent.
    for (const auto& [keyword, value] : kClientTimeouts) {
        if (!given(QString::fromLatin1(keyword))) {
            options.append(QString::fromLatin1(keyword) + QLatin1Char('=') +
                           QString::fromLatin1(value));
        }
    }
    db.setConnectOptions(options.join(QLatin1Char(';')));
    m_path = uri;
    if (!db.open()) {
        const LogDbError error = errorOf(db.lastError());
        db = QSqlDatabase();
        return fail(error.number, error.description);
    }
    // No wait for a lock is unbounded, a client that vanished is let go within a minute
    // or so, a good run prints nothing, and the server's list of connections names the
    // program and its station.
    QString sql = QStringLiteral(
        "SELECT set_config('lock_timeout', ?, false), "
        "set_config('idle_in_transaction_session_timeout', ?, false), "
        "set_config('tcp_keepalives_idle', '15', false), "
        "set_config('tcp_keepalives_interval', '5', false), "
        "set_config('tcp_keepalives_count', '3', false), "
        "set_config('client_min_messages', 'error', false)");
    QVariantList values{QString::number(kLockTimeoutMs), QString::number(2 * kStatementTimeoutMs)};
    if (!given(QStringLiteral("application_name"))) {
        sql += QStringLiteral(", set_config('application_name', ?, false)");
        values.append(m_applicationName.isEmpty() ? defaultApplicationName() : m_applicationName);
    }
    const LogDbResult settings = exec(sql, values);
    if (!settings.ok()) {
        return fail(settings.error.number, settings.error.description);
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
    if (!ensureSchema()) {
        const LogDbError error = m_lastError;
        return fail(error.number, error.description);
    }
    addActionsTable();
    return true;
}

bool LogDb::ensureSchema() {
    const bool shared = m_engine == Engine::PostgreSQL;
    const std::span<const SchemaObject> objects =
        shared ? std::span<const SchemaObject>(kPgSchema)
               : std::span<const SchemaObject>(kSqliteSchema);
    QString check = QStringLiteral("SELECT ");
    for (size_t i = 0; i < objects.size(); ++i) {
        check += (i == 0 ? QString() : QStringLiteral(", ")) + QStringLiteral("CASE WHEN ") +
                 QString::fromLatin1(objects[i].present) + QStringLiteral(" THEN 1 ELSE 0 END");
    }
    QList<size_t> missing;
    const auto findMissing = [&] {
        const LogDbResult present = exec(check);
        if (present.kind != LogDbResult::Kind::Rows || present.rows.isEmpty()) {
            return false;
        }
        missing.clear();
        for (size_t i = 0; i < objects.size(); ++i) {
            if (present.rows.first().value(qsizetype(i)).toInt() == 0) {
                missing.append(i);
            }
        }
        return true;
    };
    if (!findMissing()) {
        return false;
    }
    if (missing.isEmpty()) {
        return true;
    }
    // All or nothing, and once: a second program starting at the same moment waits here
    // and then finds everything made.
    bool done = exec(shared ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE")).ok();
    if (done && shared) {
        done = exec(QString::fromLatin1(kSchemaLock)).ok();
    }
    done = done && findMissing();
    for (qsizetype i = 0; done && i < missing.size(); ++i) {
        done = exec(QString::fromLatin1(objects[missing.at(i)].create)).ok();
    }
    if (done && exec(QStringLiteral("COMMIT")).ok()) {
        return true;
    }
    const LogDbError error = m_lastError;
    exec(QStringLiteral("ROLLBACK"));
    m_lastError = error;
    return false;
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
    m_failedQuery.reset();
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
    // A statement that failed inside a transaction stays until the next one (the ROLLBACK)
    // has run: PostgreSQL could not free it while the transaction is aborted.
    const std::unique_ptr<QSqlQuery> failedBefore = std::move(m_failedQuery);
    auto owned = std::make_unique<QSqlQuery>(database());
    QSqlQuery& query = *owned;
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
        if (m_engine == Engine::PostgreSQL) {
            m_failedQuery = std::move(owned);
        }
        return result;
    }
    if (!query.isSelect()) {
        result.kind = LogDbResult::Kind::NoRowSet;
        return result;
    }
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i) {
        result.columns.append(m_engine == Engine::PostgreSQL ? columnTitle(record.fieldName(i), sql)
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

bool LogDb::isLockedByAnother(const LogDbError& error) const {
    constexpr int kSqliteBusy = 5;
    constexpr int kSqliteLocked = 6;
    const int primary = error.number & 0xff;
    return m_engine == Engine::SQLite && (primary == kSqliteBusy || primary == kSqliteLocked);
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
