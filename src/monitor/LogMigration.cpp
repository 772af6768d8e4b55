#include "monitor/LogMigration.h"

#include <QDate>
#include <QSet>
#include <QSqlQuery>
#include <optional>

#include "external/logdb/LogDb.h"

namespace tavrel {

namespace {

constexpr int kColumns = 10;
// Rows a statement: few statements, well within the server's limit on parameters.
constexpr int kRowsPerInsert = 500;

using RowKey = QString;

// Date, File, User and In_Time: File and User without regard to case, as the log
// compares them.
RowKey keyOf(const QVariant& date, const QVariant& file, const QVariant& user,
             const QVariant& inTime) {
    const QChar unit(0x1f);  // in no text of the log
    return (date.isNull() ? QString() : date.toDate().toString(Qt::ISODate)) + unit +
           file.toString().toUpper() + unit + user.toString().toUpper() + unit + inTime.toString();
}

QString valuesList(int rows) {
    const QString one = QStringLiteral("(?,?,?,?,?,?,?,?,?,?,?)");
    QString text = one;
    for (int r = 1; r < rows; ++r) {
        text += QLatin1Char(',') + one;
    }
    return text;
}

// Copies the SQLite log's table Actions into the shared one as the station's rows,
// leaving out a row the shared log holds already (every column equal), so a second run
// adds nothing. Runs inside the caller's transaction.
std::optional<LogDbError> copyActions(LogDb& from, LogDb& to, const QString& station,
                                      qint64* copied) {
    constexpr int kActionColumns = 11;
    const QString columns = QStringLiteral(
        "Time, OsUser, Program, Action, Server, File, \"user\", Connection, Message, Outcome, "
        "Reason");
    if (!from.hasTable(QStringLiteral("Actions"))) {
        return std::nullopt;
    }
    if (!to.hasTable(QStringLiteral("Actions"))) {  // added when the log was opened
        return LogDbError{1, QStringLiteral("the shared log has no table Actions")};
    }
    const auto keyOfRow = [](const QVariantList& row) {
        QString key;
        for (const QVariant& value : row) {
            key += (value.isNull() ? QStringLiteral("\x1e") : value.toString()) + QChar(0x1f);
        }
        return key;
    };
    QSet<QString> present;
    const LogDbResult existing = to.exec(
        QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM actions WHERE station = ?"),
        {station});
    if (!existing.ok()) {
        return existing.error;
    }
    for (const QVariantList& row : existing.rows) {
        present.insert(keyOfRow(row));
    }
    const LogDbResult rows = from.exec(QStringLiteral("SELECT ") + columns +
                                       QStringLiteral(" FROM Actions ORDER BY rowid"));
    if (!rows.ok()) {
        return rows.error;
    }
    for (const QVariantList& row : rows.rows) {
        if (present.contains(keyOfRow(row))) {
            continue;
        }
        present.insert(keyOfRow(row));
        QVariantList params = row;
        params.append(station);
        const LogDbResult inserted =
            to.exec(QStringLiteral("INSERT INTO actions (") + columns +
                        QStringLiteral(", station) VALUES (?") +
                        QStringLiteral(",?").repeated(kActionColumns) + QLatin1Char(')'),
                    params);
        if (!inserted.ok()) {
            return inserted.error;
        }
        ++*copied;
    }
    return std::nullopt;
}

}  // namespace

LogMigrationResult migrateLog(const QString& fromPath, const QString& toUri,
                              const QString& station) {
    LogMigrationResult result;
    if (LogDb::engineOf(toUri) != LogDb::Engine::PostgreSQL) {
        result.error = QStringLiteral("'%1' is no postgresql:// address.").arg(toUri);
        return result;
    }
    LogDb from;
    if (!LogDb::LogExists(fromPath) || !from.open(fromPath)) {
        result.error = QStringLiteral("No usage log in %1").arg(fromPath);
        return result;
    }
    LogDb to;
    if (!(LogDb::LogExists(toUri) ? to.open(toUri) : to.create(toUri))) {
        result.error = to.lastError().description;
        return result;
    }
    auto failed = [&](const LogDbError& error) {
        to.exec(QStringLiteral("ROLLBACK"));
        result.error = error.description;
        result.copied = 0;
        return result;
    };
    LogDbResult step = to.exec(QStringLiteral("BEGIN"));
    if (!step.ok()) {
        return failed(step.error);
    }
    // Two copies of one desk's log at once would each find the other's rows missing.
    step = to.exec(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext(?))"),
                   {QStringLiteral("tavrel-station:") + station});
    if (!step.ok()) {
        return failed(step.error);
    }
    QSet<RowKey> present;
    {
        QSqlQuery existing(to.database());
        existing.setForwardOnly(true);
        existing.prepare(
            QStringLiteral("SELECT date, file, \"user\", in_time FROM log WHERE station = ?"));
        existing.addBindValue(station);
        if (!existing.exec()) {
            return failed(LogDb::errorOf(existing.lastError()));
        }
        while (existing.next()) {
            present.insert(
                keyOf(existing.value(0), existing.value(1), existing.value(2), existing.value(3)));
        }
    }

    QSqlQuery rows(from.database());
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT Date, File, User, In_Time, Out_Time, In_Times, "
                                  "Out_Times, Mins, Opens, Opened FROM Log ORDER BY rowid"))) {
        return failed(LogDb::errorOf(rows.lastError()));
    }
    QVariantList batch;
    int batchRows = 0;
    auto flush = [&]() -> std::optional<LogDbError> {
        if (batchRows == 0) {
            return std::nullopt;
        }
        const LogDbResult inserted = to.exec(
            QStringLiteral("INSERT INTO log (date, file, \"user\", in_time, out_time, in_times, "
                           "out_times, mins, opens, opened, station) VALUES ") +
                valuesList(batchRows),
            batch);
        batch.clear();
        result.copied += inserted.ok() ? batchRows : 0;
        batchRows = 0;
        return inserted.ok() ? std::nullopt : std::optional<LogDbError>(inserted.error);
    };
    while (rows.next()) {
        QVariantList row;
        for (int c = 0; c < kColumns; ++c) {
            row.append(rows.value(c));
        }
        // The SQLite log holds dates as text; a text that is no date stays empty.
        const QDate date = QDate::fromString(row[0].toString(), Qt::ISODate);
        row[0] = date.isValid() ? QVariant(date.toString(Qt::ISODate)) : QVariant();
        if (row[9].isNull()) {
            row[9] = 0;
        }
        const RowKey key =
            keyOf(date.isValid() ? QVariant(date) : QVariant(), row[1], row[2], row[3]);
        if (present.contains(key)) {
            ++result.present;
            continue;
        }
        present.insert(key);
        batch += row;
        batch.append(station);
        if (++batchRows == kRowsPerInsert) {
            if (const auto error = flush()) {
                return failed(*error);
            }
        }
    }
    if (rows.lastError().isValid()) {
        return failed(LogDb::errorOf(rows.lastError()));
    }
    if (const auto error = flush()) {
        return failed(*error);
    }
    if (const auto error = copyActions(from, to, station, &result.actionsCopied)) {
        result.actionsCopied = 0;
        return failed(*error);
    }
    step = to.exec(QStringLiteral("COMMIT"));
    if (!step.ok()) {
        return failed(step.error);
    }
    return result;
}

}  // namespace tavrel
