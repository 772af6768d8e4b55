#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

#include "external/logdb/LogDb.h"

class QSqlQuery;

namespace tavrel {

class QueryWorker;

// The rows of one statement run on the log, as a grid model that reads them as they are
// shown. A statement that only reads is counted exactly with SELECT COUNT(*) over it and
// fetched in pages of kPageRows as the grid scrolls (at most kCachedPages kept), all
// inside one read transaction, so the grid, the count and the exports see the same
// snapshot of the log. Any other statement (an action statement, with or without
// RETURNING rows) runs exactly once; rows it returns are kept whole.
//
// The query window and the details window both show their results through it.
class ResultSet : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPageRows = 256;
    static constexpr int kCachedPages = 64;

    explicit ResultSet(QObject* parent = nullptr);
    ~ResultSet() override;

    // The connection statements run on (a LogDb's database()), on the caller's thread.
    void setDatabase(const QSqlDatabase& database);
    // Or a worker's connection: statements and exports then run on its thread while the
    // caller's events go on (the worker can stop them), and page reads wait for it. The
    // worker must outlive the result set's use of it.
    void setWorker(QueryWorker* worker);

    enum class RunMode { Any, OnlyReading };
    // Runs a statement of the old desktop dialect (translated for SQLite first). False when
    // SQLite refused or failed it, when the worker stopped it, or, with OnlyReading, when
    // it would change anything (it is then not run): error() says why, and the result is
    // empty.
    bool run(const QString& statement, RunMode mode = RunMode::Any);
    // Ends the result set and its read transaction.
    void close();

    // The statement last run, as given (the data control's record source).
    const QString& statement() const { return m_statement; }
    // True when the statement only reads (it may then be run again, as a sort does).
    bool readOnly() const { return m_readOnly; }
    // True when the statement returned a row set (columns), even an empty one.
    bool hasRowSet() const { return !m_columns.isEmpty(); }
    qint64 recordCount() const { return m_count; }
    const QStringList& columns() const { return m_columns; }
    const LogDbError& error() const { return m_error; }
    // True when the last run or export failed because the worker stopped it.
    bool stopped() const { return m_stopped; }

    // The value in a row (0-based); an invalid QVariant where there is none.
    QVariant value(qint64 row, int column);

    // Hands every row, first to last, to visit, and stops early when it returns false. A
    // read-only statement is read again forward-only, so no row stays in memory; with a
    // worker, on its thread. False when reading failed or was stopped (error() says why).
    bool forEachRow(const std::function<bool(const QVariantList&)>& visit);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    // What running a statement gave, made on the connection's thread.
    struct Outcome {
        bool readOnly = false;
        bool inTransaction = false;
        QStringList columns;
        qint64 count = 0;
        QList<QVariantList> rows;
        std::optional<QList<QVariantList>> firstPage;
        LogDbError error;
    };
    Outcome execute(RunMode mode);
    // Runs work on the connection's thread; true when the worker stopped it.
    bool onConnection(const std::function<void()>& work, bool mayRunLong);
    bool busy() const;
    // Reads a page on the connection's thread.
    QList<QVariantList> readPage(qint64 index, int columns, LogDbError* error);
    const QList<QVariantList>* page(qint64 index);
    const QList<QVariantList>* keepPage(qint64 index, QList<QVariantList> rows);
    bool openCursorAt(qint64 row, LogDbError* error);
    QString wrapped(const QString& statement, const QString& head, const QString& tail) const;
    void fail(const LogDbError& error);
    void releaseQueries();

    QueryWorker* m_worker = nullptr;
    QString m_connection;
    QString m_statement;
    QString m_sqlite;  // the statement as the engine reads it
    bool m_postgres = false;
    bool m_readOnly = false;
    bool m_inTransaction = false;
    bool m_stopped = false;
    qint64 m_count = 0;
    QStringList m_columns;
    LogDbError m_error;

    // Read-only statements: the cursor and the pages read so far, most recent last.
    std::unique_ptr<QSqlQuery> m_cursor;
    qint64 m_cursorRow = 0;  // the row the cursor gives next
    QHash<qint64, QList<QVariantList>> m_pages;
    QList<qint64> m_recentPages;
    // Other statements: every row they returned.
    QList<QVariantList> m_rows;
};

}  // namespace tavrel
