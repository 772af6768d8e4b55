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
#include "logquery/SingleStatement.h"

namespace tavrel {

namespace {

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
    m_connection = database.connectionName();
    m_postgres = database.driverName() == QLatin1String("QPSQL");
}

void ResultSet::releaseQueries() {
    m_cursor.reset();
    if (m_inTransaction) {
        QSqlDatabase::database(m_connection, false).commit();
        m_inTransaction = false;
    }
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
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isOpen()) {
        fail({LogDb::kCantOpen, QStringLiteral("The log database is not open.")});
        return false;
    }

    beginResetModel();
    auto query = std::make_unique<QSqlQuery>(db);
    query->setForwardOnly(true);
    // PostgreSQL prepares only queries and row changes: its statements run unprepared.
    if (!m_postgres && !query->prepare(m_sqlite)) {
        const LogDbError error = LogDb::errorOf(query->lastError());
        query.reset();
        endResetModel();
        fail(error);
        return false;
    }
    sqlite3_stmt* handle = statementHandle(*query);
    // BEGIN and COMMIT count as read-only too, but return no rows: they run as actions.
    m_readOnly = m_postgres ? readsOnly(m_sqlite)
                            : handle != nullptr && sqlite3_stmt_readonly(handle) != 0 &&
                                  sqlite3_column_count(handle) > 0;
    if (!m_readOnly && mode == RunMode::OnlyReading) {
        query.reset();
        endResetModel();
        fail({SQLITE_READONLY, QStringLiteral("The statement would change the log.")});
        return false;
    }

    if (m_readOnly) {
        if (!m_postgres) {
            for (int c = 0; c < sqlite3_column_count(handle); ++c) {
                m_columns.append(QString::fromUtf8(sqlite3_column_name(handle, c)));
            }
        }
        query.reset();  // the pages read it, a page at a time
        // Fails only when the operator has a transaction open; the result then reads
        // without a snapshot of its own.
        m_inTransaction = db.transaction();
        if (m_postgres) {
            QSqlQuery shape(db);
            if ((m_inTransaction && !shape.exec(QStringLiteral("SET TRANSACTION READ ONLY"))) ||
                !shape.exec(wrapped(m_sqlite, QStringLiteral("SELECT * FROM "),
                                    QStringLiteral(" LIMIT 0")))) {
                const LogDbError error = LogDb::errorOf(shape.lastError());
                shape = QSqlQuery();
                endResetModel();
                fail(error);
                return false;
            }
            const QSqlRecord record = shape.record();
            for (int c = 0; c < record.count(); ++c) {
                m_columns.append(LogDb::columnTitle(record.fieldName(c), m_sqlite));
            }
        }
        QSqlQuery count(db);
        count.setForwardOnly(true);
        // The order changes no count: counted unsorted.
        if (count.exec(wrapped(withoutOrderBy(m_sqlite), QStringLiteral("SELECT COUNT(*) FROM "),
                               QString())) &&
            count.next()) {
            m_count = count.value(0).toLongLong();
        } else {
            // A statement SQLite cannot nest (PRAGMA): small, counted by stepping it.
            count.finish();
            m_count = 0;
            if (!count.exec(m_sqlite)) {
                const LogDbError error = LogDb::errorOf(count.lastError());
                endResetModel();
                fail(error);
                return false;
            }
            while (count.next()) {
                ++m_count;
            }
        }
        endResetModel();
        // The first page now, so that an error SQLite finds only while stepping shows here.
        page(0);
        if (!m_error.description.isEmpty()) {
            const LogDbError error = m_error;
            fail(error);
            return false;
        }
        return true;
    }
    if (!(m_postgres ? query->exec(m_sqlite) : query->exec())) {
        const LogDbError error = LogDb::errorOf(query->lastError());
        query.reset();
        endResetModel();
        fail(error);
        return false;
    }
    const QSqlRecord record = query->record();
    for (int c = 0; c < record.count(); ++c) {
        m_columns.append(m_postgres ? LogDb::columnTitle(record.fieldName(c), m_sqlite)
                                    : record.fieldName(c));
    }
    while (query->isSelect() && query->next()) {
        m_rows.append(currentRow(*query, m_columns.size()));
    }
    if (query->lastError().isValid()) {
        const LogDbError error = LogDb::errorOf(query->lastError());
        query.reset();
        endResetModel();
        fail(error);
        return false;
    }
    m_count = m_rows.size();
    endResetModel();
    return true;
}

bool ResultSet::openCursorAt(qint64 row) {
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
            m_error = LogDb::errorOf(m_cursor->lastError());
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
    const qint64 first = index * kPageRows;
    if (!m_readOnly || first >= m_count) {
        return nullptr;
    }
    if (index == 0 && !(m_cursor && m_cursorRow == 0)) {
        // The first rows alone: SQLite keeps only them while it sorts. Not kept as the
        // cursor, which must go on past them.
        QSqlQuery firstRows(QSqlDatabase::database(m_connection, false));
        firstRows.setForwardOnly(true);
        if (firstRows.exec(wrapped(m_sqlite, QStringLiteral("SELECT * FROM "),
                                   QStringLiteral(" LIMIT %1").arg(kPageRows)))) {
            QList<QVariantList> rows;
            while (firstRows.next()) {
                rows.append(currentRow(firstRows, m_columns.size()));
            }
            if (firstRows.lastError().isValid()) {
                m_error = LogDb::errorOf(firstRows.lastError());
            }
            return keepPage(index, std::move(rows));
        }
    }
    if (!m_cursor || m_cursorRow != first) {
        if (!openCursorAt(first)) {
            return nullptr;
        }
    }
    QList<QVariantList> rows;
    rows.reserve(kPageRows);
    while (rows.size() < kPageRows && m_cursor->next()) {
        rows.append(currentRow(*m_cursor, m_columns.size()));
    }
    m_cursorRow += rows.size();
    if (m_cursor->lastError().isValid()) {
        m_error = LogDb::errorOf(m_cursor->lastError());
    }
    if (rows.size() < kPageRows) {
        m_cursor.reset();  // at the end: nothing more to read from it
    }
    return keepPage(index, std::move(rows));
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
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    if (!query.exec(m_sqlite)) {
        m_error = LogDb::errorOf(query.lastError());
        return false;
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
            return true;
        }
    }
    if (query.lastError().isValid()) {
        m_error = LogDb::errorOf(query.lastError());
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
