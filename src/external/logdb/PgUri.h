#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tavrel {

// Where a PostgreSQL log lives, in the parts Qt's QPSQL driver takes separately. Empty
// parts (and port -1) are left to libpq's own defaults (local socket, the login name).
struct PgConnectionParts {
    QString host;
    int port = -1;
    QString database;
    QString user;
    QStringList options;  // further libpq keywords, "key=value"
};

// A PostgreSQL URI, or why it cannot be used.
struct PgUriParse {
    std::optional<PgConnectionParts> parts;
    QString error;
};

// The libpq options an address may carry besides host, port, user and dbname (a
// password, a service file or server options never).
const QStringList& allowedPgOptions();

// True when a log location names a PostgreSQL database rather than an SQLite file.
bool isPostgresLocation(const QString& location);

// Reads postgresql://[user@][host][:port][/database][?keyword=value&...] (also
// postgres://). A password is refused: it belongs in ~/.pgpass or PGPASSWORD, where libpq
// reads it, never in the settings. So is any option not in allowedPgOptions(), and a
// value that could start another keyword.
PgUriParse parsePostgresUri(const QString& uri);

}  // namespace tavrel
