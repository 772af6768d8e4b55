#include "logquery/ResultSet.h"

#include <sqlite3.h>

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <limits>

#include "logquery/ExportText.h"
#include "logquery/JetSql.h"
#include "logquery/QueryWorker.h"
#include "logquery/SingleStatement.h"

namespace tavrel {

namespace {

const QString kStopped = QStringLiteral("The statement was stopped.");

// The prepared SQLite statement behind a query, or nullptr when the driver is not SQLite's.
sqlite3_stmt* statementHandle(const QSqlQuery& query) {
    const QVariant handle = query.result() ? query.result()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0) {
        return nullptr;
    }
    return *static_cast<sqlite3_stmt* const*>(handle.constData());
}

// A statement PostgreSQL can only read with: its first word reads, and the read-only
// transaction it runs in refuses a write hidden inside (a data-changing WITH).
bool readsOnly(const QString& statement) {
    static const QRegularExpression first(
        QStringLiteral("^(?:\\s|--[^\\n]*\\n?|/\\*.*?\\*/)*(\\w+)"),
        QRegularExpression::DotMatchesEverythingOption);
    const QString word = first.match(statement).captured(1).toUpper();
    return word == QLatin1String("SELECT") || word == QLatin1String("WITH") ||
           word == QLatin1String("VALUES") || word == QLatin1String("TABLE");
}

QVariantList currentRow(const QSqlQuery& query, int columns) {
    QVariantList row;
    row.reserve(columns);
    for (int c = 0; c < columns; ++c) {
        row.append(query.value(c));
    }
    return row;
}

}  // namespace

ResultSet::ResultSet(QObject* parent) : QAbstractTableModel(parent) {}

ResultSet::~ResultSet() {
    releaseQueries();
}

void ResultSet::setDatabase(const QSqlDatabase& database) {
    close();
    m_worker = nullptr;
    m_connection = database.connectionName();
    m_postgres = database.driverName() == QLatin1String("QPSQL");
}

void ResultSet::setWorker(QueryWorker* worker) {
    close();
    m_worker = worker;
    m_connection = worker->connectionName();
    m_postgres = worker->engine() == LogDb::Engine::PostgreSQL;
}

bool ResultSet::onConnection(const std::function<void()>& work, bool mayRunLong) {
    if (m_worker == nullptr) {
        work();
        return false;
    }
    if (mayRunLong) {
        return m_worker->runResponsive(work);
    }
    m_worker->run(work);
    return false;
}

bool ResultSet::busy() const {
    return m_worker != nullptr && m_worker->running();
}

void ResultSet::releaseQueries() {
    if (!m_cursor && !m_inTransaction) {
        return;
    }
    onConnection(
        [this] {
            m_cursor.reset();
            if (m_inTransaction) {
                QSqlDatabase::database(m_connection, false).commit();
            }
        },
        false);
    m_inTransaction = false;
}

void ResultSet::close() {
    beginResetModel();
    releaseQueries();
    m_pages.clear();
    m_recentPages.clear();
    m_rows.clear();
    m_columns.clear();
    m_count = 0;
    m_cursorRow = 0;
    m_readOnly = false;
    endResetModel();
}

void ResultSet::fail(const LogDbError& error) {
    close();
    m_error = error;
}

QString ResultSet::wrapped(const QString& statement, const QString& head,
                           const QString& tail) const {
    QString inner = statement;
    while (!inner.isEmpty() && (inner.back().isSpace() || inner.back() == QLatin1Char(';'))) {
        inner.chop(1);
    }
    // The line break ends a comment the statement may close with; PostgreSQL wants the
    // subquery named.
    return head + QLatin1Char('(') + inner + QStringLiteral("\n) AS q") + tail;
}

bool ResultSet::run(const QString& statement, RunMode mode) {
    close();
    m_error = {};
    m_stopped = false;
    m_statement = statement;
    // One statement only, on both engines: a second one behind a ";" is refused, never run.
    const LogDb::Engine engine = m_postgres ? LogDb::Engine::PostgreSQL : LogDb::Engine::SQLite;
    QString refused;
    const SingleStatement single =
        singleStatement(translateJetSql(statement, engine, &refused), engine);
    if (!refused.isEmpty() || !single.error.isEmpty()) {
        fail({SQLITE_ERROR, refused.isEmpty() ? single.error : refused});
        return false;
    }
    m_sqlite = single.statement;

    Outcome outcome;
    m_stopped = onConnection([&] { outcome = execute(mode); }, true);
    beginResetModel();
    m_readOnly = outcome.readOnly;
    m_inTransaction = outcome.inTransaction;
    m_columns = outcome.columns;
    m_count = outcome.count;
    m_rows = std::move(outcome.rows);
    if (outcome.firstPage) {
        keepPage(0, std::move(*outcome.firstPage));
    }
    endResetModel();
    if (m_stopped || !outcome.error.description.isEmpty()) {
        fail(m_stopped ? LogDbError{SQLITE_INTERRUPT, kStopped} : outcome.error);
        return false;
    }
    return true;
}

ResultSet::Outcome ResultSet::execute(RunMode mode) {
    Outcome outcome;
    const auto failed = [&outcome](const QSqlError& error) {
        outcome.error = LogDb::errorOf(error);
        return std::move(outcome);
    };
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isOpen()) {
        outcome.error = {LogDb::kCantOpen, QStringLiteral("The log database is not open.")};
        return outcome;
    }
    auto query = std::make_unique<QSqlQuery>(db);
    query->setForwardOnly(true);
    // PostgreSQL prepares only queries and row changes: its statements run unprepared.
    if (!m_postgres && !query->prepare(m_sqlite)) {
        return failed(query->lastError());
    }
    sqlite3_stmt* handle = statementHandle(*query);
    // BEGIN and COMMIT count as read-only too, but return no rows: they run as actions.
    outcome.readOnly = m_postgres ? readsOnly(m_sqlite)
                                  : handle != nullptr && sqlite3_stmt_readonly(handle) != 0 &&
                                        sqlite3_column_count(handle) > 0;
    if (!outcome.readOnly && mode == RunMode::OnlyReading) {
        outcome.error = {SQLITE_READONLY, QStringLiteral("The statement would change the log.")};
        return outcome;
    }

    if (outcome.readOnly) {
        if (!m_postgres) {
            for (int c = 0; c < sqlite3_column_count(handle); ++c) {
                outcome.columns.append(QString::fromUtf8(sqlite3_column_name(handle, c)));
            }
        }
        query.reset();  // the pages read it, a page at a time
        // Fails only when the operator has a transaction open; the result then reads
        // without a snapshot of its own.
        outcome.inTransaction = db.transaction();
        if (m_postgres) {
            QSqlQuery shape(db);
            if ((outcome.inTransaction &&
                 !shape.exec(QStringLiteral("SET TRANSACTION READ ONLY"))) ||
                !shape.exec(wrapped(m_sqlite, QStringLiteral("SELECT * FROM "),
                                    QStringLiteral(" LIMIT 0")))) {
                return failed(shape.lastError());
            }
            const QSqlRecord record = shape.record();
            for (int c = 0; c < record.count(); ++c) {
                outcome.columns.append(LogDb::columnTitle(record.fieldName(c), m_sqlite));
            }
        }
        QSqlQuery count(db);
        count.setForwardOnly(true);
        // The order changes no count: counted unsorted.
        if (count.exec(wrapped(withoutOrderBy(m_sqlite), QStringLiteral("SELECT COUNT(*) FROM "),
                               QString())) &&
            count.next()) {
            outcome.count = count.value(0).toLongLong();
        } else {
            // A statement SQLite cannot nest (PRAGMA): small, counted by stepping it.
            count.finish();
            if (!count.exec(m_sqlite)) {
                return failed(count.lastError());
            }
            while (count.next()) {
                ++outcome.count;
            }
        }
        // The first page now, so that an error SQLite finds only while stepping shows here.
        if (outcome.count > 0) {
            outcome.firstPage = readPage(0, outcome.columns.size(), &outcome.error);
        }
        return outcome;
    }
    if (!(m_postgres ? query->exec(m_sqlite) : query->exec())) {
        return failed(query->lastError());
    }
    const QSqlRecord record = query->record();
    for (int c = 0; c < record.count(); ++c) {
        outcome.columns.append(m_postgres ? LogDb::columnTitle(record.fieldName(c), m_sqlite)
                                          : record.fieldName(c));
    }
    while (query->isSelect() && query->next()) {
        outcome.rows.append(currentRow(*query, outcome.columns.size()));
    }
    if (query->lastError().isValid()) {
        return failed(query->lastError());
    }
    outcome.count = outcome.rows.size();
    return outcome;
}

bool ResultSet::openCursorAt(qint64 row, LogDbError* error) {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    m_cursor = std::make_unique<QSqlQuery>(db);
    m_cursor->setForwardOnly(true);
    m_cursorRow = row;
    const QString skip = m_postgres ? QStringLiteral(" OFFSET %1").arg(row)
                                    : QStringLiteral(" LIMIT -1 OFFSET %1").arg(row);
    if (row == 0 || !m_cursor->exec(wrapped(m_sqlite, QStringLiteral("SELECT * FROM "), skip))) {
        // From the top, stepping over the rows before the wanted one.
        m_cursor->finish();
        if (!m_cursor->exec(m_sqlite)) {
            *error = LogDb::errorOf(m_cursor->lastError());
            m_cursor.reset();
            return false;
        }
        for (qint64 skipped = 0; skipped < row; ++skipped) {
            if (!m_cursor->next()) {
                break;
            }
        }
    }
    return true;
}

const QList<QVariantList>* ResultSet::page(qint64 index) {
    const auto cached = m_pages.constFind(index);
    if (cached != m_pages.constEnd()) {
        m_recentPages.removeOne(index);
        m_recentPages.append(index);
        return &cached.value();
    }
    // While a statement or an export runs, the grid shows what it holds and reads no more.
    if (!m_readOnly || index * kPageRows >= m_count || busy()) {
        return nullptr;
    }
    QList<QVariantList> rows;
    onConnection([&] { rows = readPage(index, m_columns.size(), &m_error); }, false);
    return keepPage(index, std::move(rows));
}

QList<QVariantList> ResultSet::readPage(qint64 index, int columns, LogDbError* error) {
    QList<QVariantList> rows;
    if (index == 0 && !(m_cursor && m_cursorRow == 0)) {
        // The first rows alone: SQLite keeps only them while it sorts. Not kept as the
        // cursor, which must go on past them.
        QSqlQuery firstRows(QSqlDatabase::database(m_connection, false));
        firstRows.setForwardOnly(true);
        if (firstRows.exec(wrapped(m_sqlite, QStringLiteral("SELECT * FROM "),
                                   QStringLiteral(" LIMIT %1").arg(kPageRows)))) {
            while (firstRows.next()) {
                rows.append(currentRow(firstRows, columns));
            }
            if (firstRows.lastError().isValid()) {
                *error = LogDb::errorOf(firstRows.lastError());
            }
            return rows;
        }
    }
    const qint64 first = index * kPageRows;
    if ((!m_cursor || m_cursorRow != first) && !openCursorAt(first, error)) {
        return rows;
    }
    rows.reserve(kPageRows);
    while (rows.size() < kPageRows && m_cursor->next()) {
        rows.append(currentRow(*m_cursor, columns));
    }
    m_cursorRow += rows.size();
    if (m_cursor->lastError().isValid()) {
        *error = LogDb::errorOf(m_cursor->lastError());
    }
    if (rows.size() < kPageRows) {
        m_cursor.reset();  // at the end: nothing more to read from it
    }
    return rows;
}

const QList<QVariantList>* ResultSet::keepPage(qint64 index, QList<QVariantList> rows) {
    if (m_recentPages.size() >= kCachedPages) {
        m_pages.remove(m_recentPages.takeFirst());
    }
    m_recentPages.append(index);
    return &m_pages.insert(index, std::move(rows)).value();
}

QVariant ResultSet::value(qint64 row, int column) {
    if (row < 0 || row >= m_count || column < 0 || column >= m_columns.size()) {
        return {};
    }
    if (!m_readOnly) {
        return m_rows.at(row).value(column);
    }
    const QList<QVariantList>* rows = page(row / kPageRows);
    if (rows == nullptr) {
        return {};
    }
    const qint64 offset = row % kPageRows;
    return offset < rows->size() ? rows->at(offset).value(column) : QVariant();
}

bool ResultSet::forEachRow(const std::function<bool(const QVariantList&)>& visit) {
    if (!m_readOnly) {
        for (const QVariantList& row : std::as_const(m_rows)) {
            if (!visit(row)) {
                break;
            }
        }
        return true;
    }
    LogDbError error;
    m_stopped = onConnection(
        [&] {
            QSqlQuery query(QSqlDatabase::database(m_connection, false));
            query.setForwardOnly(true);
            if (!query.exec(m_sqlite)) {
                error = LogDb::errorOf(query.lastError());
                return;
            }
            const int columns = m_columns.size();
            QVariantList row;
            row.reserve(columns);
            while (query.next()) {
                row.clear();
                for (int c = 0; c < columns; ++c) {
                    row.append(query.value(c));
                }
                if (!visit(row)) {
                    return;
                }
            }
            if (query.lastError().isValid()) {
                error = LogDb::errorOf(query.lastError());
            }
        },
        true);
    if (m_worker != nullptr && rowCount() > 0) {
        // Rows the grid could not read meanwhile show now.
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
    if (m_stopped || !error.description.isEmpty()) {
        m_error = m_stopped ? LogDbError{SQLITE_INTERRUPT, kStopped} : error;
        return false;
    }
    return true;
}

int ResultSet::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    return static_cast<int>(std::min<qint64>(m_count, std::numeric_limits<int>::max()));
}

int ResultSet::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ResultSet::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) {
        return {};
    }
    // Reading a page changes only the cache, not what the model shows.
    return exporttext::valueText(const_cast<ResultSet*>(this)->value(index.row(), index.column()));
}

QVariant ResultSet::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal) {
        return m_columns.value(section);
    }
    return section + 1;
}

}  // namespace tavrel
