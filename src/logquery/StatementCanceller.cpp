#include "logquery/StatementCanceller.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <QSqlDriver>
#include <QVariant>

namespace tavrel {

namespace {

template <typename Handle>
Handle* driverHandle(const QSqlDatabase& database, const char* typeName) {
    const QVariant handle = database.driver() ? database.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), typeName) != 0) {
        return nullptr;
    }
    return *static_cast<Handle* const*>(handle.constData());
}

}  // namespace

StatementCanceller::StatementCanceller(const QSqlDatabase& database)
    : m_sqlite(driverHandle<sqlite3>(database, "sqlite3*")) {
    // Qt names the type by the struct behind libpq's typedef.
    PGconn* connection = driverHandle<PGconn>(database, "pg_conn*");
    if (connection == nullptr) {
        connection = driverHandle<PGconn>(database, "PGconn*");
    }
    if (connection != nullptr) {
        m_postgres = PQgetCancel(connection);
    }
}

StatementCanceller::~StatementCanceller() {
    if (m_postgres != nullptr) {
        PQfreeCancel(m_postgres);
    }
}

void StatementCanceller::cancel() noexcept {
    if (m_sqlite != nullptr) {
        sqlite3_interrupt(m_sqlite);
    }
    if (m_postgres != nullptr) {
        char error[256];
        PQcancel(m_postgres, error, sizeof error);
    }
}

}  // namespace tavrel
