#include "external/logdb/PgUri.h"

#include <QUrl>
#include <QUrlQuery>

namespace tavrel {

namespace {

const QString kSchemes[] = {QStringLiteral("postgresql://"), QStringLiteral("postgres://")};

PgUriParse refused(const QString& why) {
    return {std::nullopt, why};
}

}  // namespace

bool isPostgresLocation(const QString& location) {
    for (const QString& scheme : kSchemes) {
        if (location.startsWith(scheme, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

PgUriParse parsePostgresUri(const QString& uri) {
    if (!isPostgresLocation(uri)) {
        return refused(QStringLiteral("'%1' is no postgresql:// address.").arg(uri));
    }
    const QUrl url(uri.trimmed(), QUrl::StrictMode);
    if (!url.isValid()) {
        return refused(
            QStringLiteral("'%1' is not a valid address: %2").arg(uri, url.errorString()));
    }
    if (!url.password().isEmpty()) {
        return refused(QStringLiteral(
            "The address holds a password; put it in ~/.pgpass or PGPASSWORD instead."));
    }
    PgConnectionParts parts;
    parts.host = url.host(QUrl::FullyDecoded);
    parts.user = url.userName(QUrl::FullyDecoded);
    parts.port = url.port(-1);
    QString path = url.path(QUrl::FullyDecoded);
    if (path.startsWith(QLatin1Char('/'))) {
        path.remove(0, 1);
    }
    if (path.contains(QLatin1Char('/'))) {
        return refused(QStringLiteral("'%1' names more than one database.").arg(uri));
    }
    parts.database = path;
    const QUrlQuery query(url);
    for (const auto& [key, encoded] : query.queryItems(QUrl::FullyDecoded)) {
        const QString value = encoded;
        if (key == QLatin1String("password")) {
            return refused(QStringLiteral(
                "The address holds a password; put it in ~/.pgpass or PGPASSWORD instead."));
        }
        if (key == QLatin1String("host")) {
            parts.host = value;
        } else if (key == QLatin1String("user")) {
            parts.user = value;
        } else if (key == QLatin1String("dbname")) {
            parts.database = value;
        } else if (key == QLatin1String("port")) {
            bool numeric = false;
            parts.port = value.toInt(&numeric);
            if (!numeric) {
                return refused(QStringLiteral("The port '%1' is not a number.").arg(value));
            }
        } else if (key.isEmpty() || value.contains(QLatin1Char(';'))) {
            // The driver joins options with ';': one inside a value would split it.
            return refused(QStringLiteral("The option '%1' cannot be used.").arg(key));
        } else {
            parts.options.append(key + QLatin1Char('=') + value);
        }
    }
    if (parts.port == 0 || parts.port > 65535) {
        return refused(QStringLiteral("The port %1 is out of range.").arg(parts.port));
    }
    return {parts, QString()};
}

}  // namespace tavrel
