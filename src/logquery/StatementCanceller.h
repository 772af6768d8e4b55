#pragma once

#include <QSqlDatabase>

struct pg_cancel;
struct sqlite3;

namespace tavrel {

// Stops the statement running on a connection, from any thread or from a signal handler:
// SQLite's interrupt, or PostgreSQL's cancel request, which the server obeys by ending
// the statement with an error. Made on the connection's own thread while it is open; it
// must not outlive the connection.
class StatementCanceller {
public:
    explicit StatementCanceller(const QSqlDatabase& database);
    ~StatementCanceller();
    StatementCanceller(const StatementCanceller&) = delete;
    StatementCanceller& operator=(const StatementCanceller&) = delete;

    // Safe in a signal handler. Does nothing when no statement runs.
    void cancel() noexcept;

private:
    sqlite3* m_sqlite = nullptr;
    pg_cancel* m_postgres = nullptr;
};

}  // namespace tavrel
