#include "monitor/LogMigration.h"

#include <QDate>
#include <QHash>
#include <QSqlQuery>
#include <optional>

#include "external/logdb/LogDb.h"
#include "monitor/StationClaim.h"

namespace tavrel {

namespace {

constexpr int kColumns = 10;
// Rows a statement: few statements, well within the server's limit on parameters.
constexpr int kRowsPerInsert = 500;

// A row as the shared log would hold it, every column: two rows are the same row only
// when all their columns are equal, letter case included.
QString keyOf(const QVariantList& row) {
    const QChar unit(0x1f);  // in no text of the log
    QString key;
    for (const QVariant& value : row) {
        key += value.isNull()                       ? QStringLiteral("\x1eNull")
               : value.typeId() == QMetaType::QDate ? value.toDate().toString(Qt::ISODate)
                                                    : value.toString();
        key += unit;
    }
    return key;
}

// The row of the SQLite log made ready for the shared log, or why it cannot be copied as
// it is (the shared log's columns are typed: a date, texts of at most 8 characters for
// the times, small integers).
QString faithful(QVariantList& row) {
    const QVariant date = row[0];
    if (!date.isNull()) {
        const QDate day = QDate::fromString(date.toString(), Qt::ISODate);
        if (!day.isValid() || day.toString(Qt::ISODate) != date.toString()) {
            return QStringLiteral("its Date '%1' is no YYYY-MM-DD date").arg(date.toString());
        }
    }
    for (int c : {3, 4}) {
        if (row[c].toString().size() > 8) {
            return QStringLiteral("its %1 '%2' is longer than 8 characters")
                .arg(c == 3 ? QStringLiteral("In_Time") : QStringLiteral("Out_Time"),
                     row[c].toString());
        }
    }
    const char* const names[] = {"Mins", "Opens", "Opened"};
    for (int c : {7, 8, 9}) {
        if (row[c].isNull()) {
            continue;
        }
        bool number = false;
        const qlonglong value = row[c].toString().toLongLong(&number);
        if (!number || value < -32768 || value > 32767) {
            return QStringLiteral("its %1 '%2' is no small whole number")
                .arg(QLatin1String(names[c - 7]), row[c].toString());
        }
        row[c] = int(value);
    }
    if (row[9].isNull()) {
        row[9] = 0;
    }
    return QString();
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
        result.uncopied.clear();
        return result;
    };
    LogDbResult step = to.exec(QStringLiteral("BEGIN"));
    if (!step.ok()) {
        return failed(step.error);
    }
    // Two copies of one desk's log at once would each find the other's rows missing, and
    // a program storing for the station would see rows appear under it.
    const QString claimed = stationclaim::claim(to, station, true);
    if (!claimed.isEmpty()) {
        return failed({1, claimed});
    }
    // How many of each row the station holds already.
    QHash<QString, int> present;
    {
        const LogDbResult existing = to.exec(
            QStringLiteral("SELECT date, file, \"user\", in_time, out_time, in_times, out_times, "
                           "mins, opens, opened FROM log WHERE station = ?"),
            {station});
        if (!existing.ok()) {
            return failed(existing.error);
        }
        for (const QVariantList& row : existing.rows) {
            ++present[keyOf(row)];
        }
    }

    QSqlQuery rows(from.database());
    rows.setForwardOnly(true);
    if (!rows.exec(
            QStringLiteral("SELECT Date, File, User, In_Time, Out_Time, In_Times, "
                           "Out_Times, Mins, Opens, Opened, rowid FROM Log ORDER BY rowid"))) {
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
        const QString problem = faithful(row);
        if (!problem.isEmpty()) {
            result.uncopied.append(QStringLiteral("row %1 (%2, %3): %4")
                                       .arg(rows.value(kColumns).toString(), row[1].toString(),
                                            row[2].toString(), problem));
            continue;
        }
        const auto there = present.find(keyOf(row));
        if (there != present.end() && *there > 0) {
            --*there;
            ++result.present;
            continue;
        }
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
    // The minute of the desk's last stored scan goes with its rows: a scan in that same
    // minute right after the switch adds no second minute.
    QSqlQuery minute(from.database());
    if (minute.exec(QStringLiteral("SELECT Minute FROM StoredScan")) && minute.next() &&
        !minute.value(0).isNull()) {
        step = to.exec(QStringLiteral("INSERT INTO storedscan (station, minute) VALUES (?, ?) "
                                      "ON CONFLICT (station) DO UPDATE SET minute = "
                                      "GREATEST(storedscan.minute, EXCLUDED.minute)"),
                       {station, minute.value(0).toString()});
        if (!step.ok()) {
            return failed(step.error);
        }
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
