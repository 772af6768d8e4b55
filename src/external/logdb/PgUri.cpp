#include "external/logdb/PgUri.h"

#include <QUrl>
#include <QUrlQuery>

namespace tavrel {

namespace {

const QString kSchemes[] = {QStringLiteral("postgresql://"), QStringLiteral("postgres://")};

PgUriParse refused(const QString& why) {
    return {std::nullopt, why};
}

// The driver joins the options into libpq's "key=value key=value" text unquoted: a space,
// quote or backslash in a value would start another keyword or change how it is read.
bool safeOptionValue(const QString& value) {
    for (const QChar c : value) {
        if (c.isSpace() || c.category() == QChar::Other_Control || c == QLatin1Char('\'') ||
            c == QLatin1Char('\\') || c == QLatin1Char(';')) {
            return false;
        }
    }
    return true;
}

}  // namespace

const QStringList& allowedPgOptions() {
    static const QStringList kOptions = {
        QStringLiteral("application_name"),
        QStringLiteral("channel_binding"),
        QStringLiteral("connect_timeout"),
        QStringLiteral("gssencmode"),
        QStringLiteral("keepalives"),
        QStringLiteral("keepalives_count"),
        QStringLiteral("keepalives_idle"),
        QStringLiteral("keepalives_interval"),
        QStringLiteral("krbsrvname"),
        QStringLiteral("sslcert"),
        QStringLiteral("sslcrl"),
        QStringLiteral("sslkey"),
        QStringLiteral("sslmode"),
        QStringLiteral("sslrootcert"),
        QStringLiteral("target_session_attrs"),
        QStringLiteral("tcp_user_timeout"),
    };
    return kOptions;
}

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
        // Not echoed: it may hold a password.
        return refused(
            QStringLiteral("The address is not valid; write it as "
                           "postgresql://[user@]host[:port]/database[?option=value&...]."));
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
        } else if (!allowedPgOptions().contains(key)) {
            return refused(QStringLiteral("The option '%1' cannot be used; the address may "
                                          "hold host, port, user, dbname, %2.")
                               .arg(key, allowedPgOptions().join(QStringLiteral(", "))));
        } else if (!safeOptionValue(value)) {
            return refused(
                QStringLiteral("The value of the option '%1' holds a space, quote, backslash, ';' "
                               "or control character, which the address cannot carry.")
                    .arg(key));
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
