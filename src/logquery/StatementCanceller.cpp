#include "logquery/StatementCanceller.h"

#include <dlfcn.h>
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

// libpq's cancel functions, from the libpq that Qt's PostgreSQL driver loaded with a
// connection; none while no such connection was made.
struct LibPq {
    decltype(&PQgetCancel) getCancel = nullptr;
    decltype(&PQfreeCancel) freeCancel = nullptr;
    decltype(&PQcancel) cancel = nullptr;
};

LibPq loadedLibPq() {
    LibPq functions;
    // Kept open: the driver's connections need it for the rest of the program anyway.
    void* library = ::dlopen("libpq.so.5", RTLD_LAZY | RTLD_NOLOAD);
    if (library != nullptr) {
        functions.getCancel =
            reinterpret_cast<decltype(&PQgetCancel)>(::dlsym(library, "PQgetCancel"));
        functions.freeCancel =
            reinterpret_cast<decltype(&PQfreeCancel)>(::dlsym(library, "PQfreeCancel"));
        functions.cancel = reinterpret_cast<decltype(&PQcancel)>(::dlsym(library, "PQcancel"));
    }
    if (functions.getCancel == nullptr || functions.freeCancel == nullptr ||
        functions.cancel == nullptr) {
        return LibPq{};
    }
    return functions;
}

const LibPq& libPq() {
    static const LibPq functions = loadedLibPq();
    return functions;
}

}  // namespace

StatementCanceller::StatementCanceller(const QSqlDatabase& database)
    : m_sqlite(driverHandle<sqlite3>(database, "sqlite3*")) {
    // Qt names the type by the struct behind libpq's typedef.
    PGconn* connection = driverHandle<PGconn>(database, "pg_conn*");
    if (connection == nullptr) {
        connection = driverHandle<PGconn>(database, "PGconn*");
    }
    if (connection != nullptr && libPq().getCancel != nullptr) {
        m_postgres = libPq().getCancel(connection);
    }
}

StatementCanceller::~StatementCanceller() {
    if (m_postgres != nullptr) {
        libPq().freeCancel(m_postgres);
    }
}

void StatementCanceller::cancel() noexcept {
    if (m_sqlite != nullptr) {
        sqlite3_interrupt(m_sqlite);
    }
    if (m_postgres != nullptr) {
        char error[256];
        libPq().cancel(m_postgres, error, sizeof error);
    }
}

}  // namespace tavrel
