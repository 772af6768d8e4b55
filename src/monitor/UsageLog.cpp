#include "monitor/UsageLog.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QSysInfo>
#include <algorithm>

#include "common/Clock.h"
#include "common/TimeText.h"
#include "monitor/CreateLogDatabase.h"

namespace tavrel {

namespace {

const QString kNotCreated = QStringLiteral("the log database could not be created");
const QString kLocked = QStringLiteral("the database is locked by another program");

// SQLite's primary result codes for a database another connection is writing.
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;

// Rows changed alike go in one statement; well below SQLite's limit on parameters, and
// small enough that binding stays cheap.
constexpr qsizetype kRowidsPerStatement = 100;

QString reasonOf(const LogDb& db, const LogDbError& error) {
    const int primary = error.number & 0xff;  // extended codes carry it in the low byte
    if (db.engine() == LogDb::Engine::SQLite &&
        (primary == kSqliteBusy || primary == kSqliteLocked)) {
        return kLocked;
    }
    if (error.description.isEmpty()) {
        return QStringLiteral("database error %1").arg(error.number);
    }
    return error.description;
}

// Dates are stored as ISO text, so a day's rows are found by value whatever the locale.
QString dateText(const QDate& date) {
    return date.toString(Qt::ISODate);
}

// File and user compare without regard to case. Upper case, the form the scan gives user
// names in, costs nothing for texts already in it.
using PairKey = std::pair<QString, QString>;

PairKey pairKey(const QString& file, const QString& user) {
    return {file.toUpper(), user.toUpper()};
}

struct Sighting {
    QString file;
    QString user;
    PairKey key;
};

// What one scan saw: each (file, user) pair once, however many connections the user
// holds the file through and wherever they stand in the server's answer.
QList<Sighting> sightingsOf(const ScanFileTable& scanFiles) {
    QList<Sighting> sightings;
    QSet<PairKey> seen;
    for (const ScanFileEntry& entry : scanFiles) {
        for (const QString& user : entry.Users) {
            if (user.isEmpty()) {
                continue;
            }
            PairKey key = pairKey(entry.Path, user);
            if (seen.contains(key)) {
                continue;
            }
            seen.insert(key);
            sightings.append({entry.Path, user, std::move(key)});
        }
    }
    return sightings;
}

QString execOrReason(LogDb& db, const QString& sql, const QVariantList& params = {}) {
    const LogDbResult result = db.exec(sql, params);
    return result.ok() ? QString() : reasonOf(db, result.error);
}

// The rows one update works on: in the shared log only the station's own.
struct Scope {
    QString clause;
    QVariantList params;
};

Scope scopeOf(const LogDb& db, const QString& station) {
    if (db.engine() == LogDb::Engine::PostgreSQL) {
        return {QStringLiteral(" AND station = ?"), {station}};
    }
    return {};
}

QString placeholders(qsizetype count) {
    return count == 0 ? QString() : QStringLiteral("?") + QStringLiteral(",?").repeated(count - 1);
}

// Applies one set of assignments to the rows given by rowid.
QString updateRows(LogDb& db, const QString& assignments, const QVariantList& values,
                   const QList<qint64>& rowids) {
    const QString rowid = db.rowIdColumn();
    for (qsizetype start = 0; start < rowids.size(); start += kRowidsPerStatement) {
        const qsizetype count = std::min(kRowidsPerStatement, rowids.size() - start);
        QVariantList params = values;
        params.reserve(values.size() + count);
        for (qsizetype i = start; i < start + count; ++i) {
            params.append(rowids.at(i));
        }
        const QString reason = execOrReason(
            db,
            QStringLiteral("UPDATE Log SET ") + assignments + QStringLiteral(" WHERE ") + rowid +
                QStringLiteral(" IN (") + placeholders(count) + QLatin1Char(')'),
            params);
        if (!reason.isEmpty()) {
            return reason;
        }
    }
    return QString();
}

struct TodayRow {
    qint64 rowid = 0;
    bool opened = false;
};

// Today's rows: the first of each pair (the one the update works on; the log holds one
// per pair unless someone added more by hand) and every open one.
struct TodayRows {
    QHash<PairKey, TodayRow> first;
    QList<std::pair<qint64, PairKey>> open;
};

QString readToday(LogDb& db, const Scope& scope, const QDate& today, TodayRows& rows) {
    QSqlQuery query(db.database());
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT ") + db.rowIdColumn() +
                       QStringLiteral(", File, \"user\", Opened FROM Log WHERE Date = ?") +
                       scope.clause + QStringLiteral(" ORDER BY File, \"user\", ") +
                       db.rowIdColumn())) {
        return reasonOf(db, LogDb::errorOf(query.lastError()));
    }
    query.addBindValue(dateText(today));
    for (const QVariant& value : scope.params) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        return reasonOf(db, LogDb::errorOf(query.lastError()));
    }
    while (query.next()) {
        const TodayRow row{query.value(0).toLongLong(), query.value(3).toInt() != 0};
        PairKey key = pairKey(query.value(1).toString(), query.value(2).toString());
        if (row.opened) {
            rows.open.append({row.rowid, key});
        }
        if (!rows.first.contains(key)) {
            rows.first.insert(std::move(key), row);
        }
    }
    if (query.lastError().isValid()) {
        return reasonOf(db, LogDb::errorOf(query.lastError()));
    }
    return QString();
}

// The clock minute of a stored scan as kept in the log: the day and the "hh:mm" that the
// times written show, so two scans share a minute exactly when their times read alike.
QString minuteText(const QDateTime& moment) {
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

// The minute of the previous stored scan lives in the log itself, in a table of its own
// beside Log, so that every writer of the log (the window, tavrelctl log from cron,
// tavrelctl watch) counts a clock minute once between them. Read and replaced inside the
// update's transaction, it is stored with the scan or not at all.
// In the shared log each station keeps its own minute: their scans count apart.
QString swapLastStoredMinute(LogDb& db, const QString& station, const QString& minute,
                             bool* sameMinute) {
    const bool shared = db.engine() == LogDb::Engine::PostgreSQL;
    QString reason =
        shared ? QString()
               : execOrReason(
                     db, QStringLiteral("CREATE TABLE IF NOT EXISTS StoredScan (Minute TEXT)"));
    if (!reason.isEmpty()) {
        return reason;
    }
    const QString where = shared ? QStringLiteral(" WHERE station = ?") : QString();
    const QVariantList key = shared ? QVariantList{station} : QVariantList{};
    const LogDbResult previous =
        db.exec(QStringLiteral("SELECT Minute FROM StoredScan") + where, key);
    if (!previous.ok()) {
        return reasonOf(db, previous.error);
    }
    *sameMinute = previous.rows.size() == 1 && previous.rows.first().value(0).toString() == minute;
    reason = execOrReason(db, QStringLiteral("DELETE FROM StoredScan") + where, key);
    if (reason.isEmpty()) {
        reason =
            shared ? execOrReason(db,
                                  QStringLiteral("INSERT INTO StoredScan (station, minute) "
                                                 "VALUES (?, ?)"),
                                  {station, minute})
                   : execOrReason(db, QStringLiteral("INSERT INTO StoredScan (Minute) VALUES (?)"),
                                  {minute});
    }
    return reason;
}

// Every statement of one update, inside the caller's transaction.
QString storeScan(LogDb& db, const QString& station, const ScanFileTable& scanFiles,
                  const QDate& lastScanDate, const QDateTime& now) {
    const Scope scope = scopeOf(db, station);
    const QDate today = now.date();
    const QString time = timeText(now.time());
    const QString timeItem = time + QLatin1Char(',');

    // A scan in the same clock minute as the previous stored one records opens and
    // closes but adds no minute: minutes count time, not scans.
    bool sameMinute = false;
    QString reason = swapLastStoredMinute(db, station, minuteText(now), &sameMinute);
    if (!reason.isEmpty()) {
        return reason;
    }
    const int minute = sameMinute ? 0 : 1;

    // A new day: the rows of the last day still open are closed now, one minute more.
    if (lastScanDate.isValid() && lastScanDate != today) {
        reason = execOrReason(
            db,
            QStringLiteral("UPDATE Log SET Opened = 0, Mins = Mins + ?, "
                           "Out_Time = ?, Out_Times = COALESCE(Out_Times, '') || ? "
                           "WHERE Date = ? AND Opened <> 0") +
                scope.clause,
            QVariantList{minute, time, timeItem, dateText(lastScanDate)} + scope.params);
        if (!reason.isEmpty()) {
            return reason;
        }
    }

    TodayRows rows;
    reason = readToday(db, scope, today, rows);
    if (!reason.isEmpty()) {
        return reason;
    }
    const QList<Sighting> sightings = sightingsOf(scanFiles);
    QSet<PairKey> seen;
    seen.reserve(sightings.size());
    for (const Sighting& s : sightings) {
        seen.insert(s.key);
    }
    // Files the scan could not fully ask about: their open rows whose users were not
    // seen stay exactly as they are.
    QSet<QString> undetermined;
    for (const ScanFileEntry& entry : scanFiles) {
        if (!entry.UsersComplete) {
            undetermined.insert(entry.Path.toUpper());
        }
    }

    // An open row is closed when its user no longer holds the file, and counted on when
    // the user still does; both add this scan's minute. A second row of a pair is never
    // reached by the lookup, so a seen one is passed over; so is a row the scan says
    // nothing about.
    QList<qint64> closed;
    QList<qint64> passedOver;
    for (const auto& [rowid, key] : rows.open) {
        if (!seen.contains(key)) {
            if (undetermined.contains(key.first)) {
                passedOver.append(rowid);
            } else {
                closed.append(rowid);
            }
        } else if (rows.first.value(key).rowid != rowid) {
            passedOver.append(rowid);
        }
    }
    QList<qint64> reopened;
    QList<const Sighting*> added;
    for (const Sighting& s : sightings) {
        const auto row = rows.first.constFind(s.key);
        if (row == rows.first.cend()) {
            added.append(&s);
        } else if (!row->opened) {
            reopened.append(row->rowid);
        }
    }

    // One statement counts the minute of every open row, before the closes clear Opened;
    // when many rows are passed over (a server that failed for many files) the others are
    // named instead, a batch of rows a statement.
    if (minute != 0 && passedOver.size() > kRowidsPerStatement) {
        const QSet<qint64> skipped(passedOver.cbegin(), passedOver.cend());
        QList<qint64> counted;
        for (const auto& open : rows.open) {
            if (!skipped.contains(open.first)) {
                counted.append(open.first);
            }
        }
        reason = updateRows(db, QStringLiteral("Mins = Mins + 1"), {}, counted);
    } else if (minute != 0) {
        QVariantList params = QVariantList{dateText(today)} + scope.params;
        QString sql =
            QStringLiteral("UPDATE Log SET Mins = Mins + 1 WHERE Date = ? AND Opened <> 0") +
            scope.clause;
        if (!passedOver.isEmpty()) {
            sql += QStringLiteral(" AND ") + db.rowIdColumn() + QStringLiteral(" NOT IN (") +
                   placeholders(passedOver.size()) + QLatin1Char(')');
            for (qint64 rowid : passedOver) {
                params.append(rowid);
            }
        }
        reason = execOrReason(db, sql, params);
    }
    if (reason.isEmpty()) {
        reason = updateRows(
            db,
            QStringLiteral("Opened = 0, Out_Time = ?, Out_Times = COALESCE(Out_Times, '') || ?"),
            {time, timeItem}, closed);
    }
    if (reason.isEmpty()) {
        reason = updateRows(
            db,
            QStringLiteral(
                "Opens = Opens + 1, In_Times = COALESCE(In_Times, '') || ?, Opened = -1"),
            {timeItem}, reopened);
    }
    if (!reason.isEmpty() || added.isEmpty()) {
        return reason;
    }

    // Out_Time and Out_Times stay Null until the first close.
    const bool shared = db.engine() == LogDb::Engine::PostgreSQL;
    QSqlQuery insert(db.database());
    if (!insert.prepare(shared ? QStringLiteral("INSERT INTO Log (Date, File, \"user\", In_Time, "
                                                "In_Times, Mins, Opens, Opened, station) "
                                                "VALUES (?, ?, ?, ?, ?, 0, 1, -1, ?)")
                               : QStringLiteral("INSERT INTO Log (Date, File, \"user\", In_Time, "
                                                "In_Times, Mins, Opens, Opened) "
                                                "VALUES (?, ?, ?, ?, ?, 0, 1, -1)"))) {
        return reasonOf(db, LogDb::errorOf(insert.lastError()));
    }
    const QString todayText = dateText(today);
    for (const Sighting* s : added) {
        insert.bindValue(0, todayText);
        insert.bindValue(1, s->file);
        insert.bindValue(2, s->user);
        insert.bindValue(3, time);
        insert.bindValue(4, timeItem);
        if (shared) {
            insert.bindValue(5, station);
        }
        if (!insert.exec()) {
            return reasonOf(db, LogDb::errorOf(insert.lastError()));
        }
    }
    return QString();
}

}  // namespace

QString UsageLog::databasePathIn(const QString& appFolder) {
    return appFolder + QStringLiteral("tavrel.mdb");
}

UsageLog::~UsageLog() = default;

UsageLog::UsageLog(QString databasePath, Clock& clock, Prompts& prompts, QDate& lastScanDate,
                   int busyTimeoutMs)
    : m_databasePath(std::move(databasePath)),
      m_clock(clock),
      m_prompts(prompts),
      m_lastScanDate(lastScanDate),
      m_busyTimeoutMs(busyTimeoutMs),
      m_station(QSysInfo::machineHostName()),
      m_writerLock(m_databasePath) {}

QString UsageLog::startStoring() {
    if (shared()) {
        m_storingShared = true;
        return QString();
    }
    return m_writerLock.acquire();
}

void UsageLog::stopStoring() {
    m_storingShared = false;
    m_writerLock.release();
    m_sharedDb.reset();
}

bool UsageLog::storing() const {
    return m_storingShared || m_writerLock.held();
}

bool UsageLog::shared() const {
    return LogDb::engineOf(m_databasePath) == LogDb::Engine::PostgreSQL;
}

QString UsageLog::UpdateUsageLog(const ScanFileTable& scanFiles) {
    // Several stations store into a shared log at once: the server keeps them apart.
    const QString reason = startStoring();
    if (!reason.isEmpty()) {
        return reason;
    }
    if (!shared() && !QFileInfo::exists(m_databasePath) &&
        !CreateLogDatabase(m_prompts, m_databasePath)) {
        return kNotCreated;
    }
    if (shared()) {
        return updateShared(scanFiles);
    }
    LogDb db(m_busyTimeoutMs);
    const QString notOpened = openLog(db);
    return notOpened.isEmpty() ? update(db, scanFiles) : notOpened;
}

QString UsageLog::updateShared(const ScanFileTable& scanFiles) {
    // The connection to a server is kept from one update to the next. One that has died
    // (the server restarted since) is found out by the update, which then runs once more
    // on a new one: it was rolled back whole.
    for (;;) {
        const bool fresh = !m_sharedDb;
        if (fresh) {
            m_sharedDb = std::make_unique<LogDb>(m_busyTimeoutMs);
            const QString reason = openLog(*m_sharedDb);
            if (!reason.isEmpty()) {
                m_sharedDb.reset();
                return reason;
            }
        }
        const QString reason = update(*m_sharedDb, scanFiles);
        if (reason.isEmpty()) {
            return reason;
        }
        m_sharedDb.reset();
        if (fresh) {
            return reason;
        }
    }
}

QHash<QString, QDateTime> UsageLog::openSince() {
    QHash<QString, QDateTime> since;
    LogDb own(m_busyTimeoutMs);
    LogDb* db = m_sharedDb.get();
    if (db == nullptr) {
        if ((!shared() && !QFileInfo::exists(m_databasePath)) || !own.open(m_databasePath)) {
            return since;
        }
        db = &own;
    }
    const Scope scope = scopeOf(*db, m_station);
    QSqlQuery query(db->database());
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT File, \"user\", In_Times FROM Log "
                                      "WHERE Date = ? AND Opened <> 0") +
                       scope.clause)) {
        return since;
    }
    const QDate today = m_clock.now().date();
    query.addBindValue(dateText(today));
    for (const QVariant& value : scope.params) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        return since;
    }
    while (query.next()) {
        // In_Times lists the opens as "hh:mm am," items; the last is the open that lasts.
        const QStringList opens =
            query.value(2).toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
        const QTime time =
            QTime::fromString(opens.value(opens.size() - 1).trimmed(), QStringLiteral("hh:mm ap"));
        if (time.isValid()) {
            since.insert(openSinceKey(query.value(0).toString(), query.value(1).toString()),
                         QDateTime(today, time));
        }
    }
    return since;
}

QString UsageLog::openLog(LogDb& db) {
    if (!db.open(m_databasePath)) {
        return reasonOf(db, db.lastError());
    }
    if (!db.hasLogTable()) {
        if (!db.lastError().description.isEmpty()) {
            return reasonOf(db, db.lastError());
        }
        // A database without the log's table (an empty file, say) gets it.
        db.close();
        if (!CreateLogDatabase(m_prompts, m_databasePath)) {
            return kNotCreated;
        }
        if (!db.open(m_databasePath)) {
            return reasonOf(db, db.lastError());
        }
    }
    return QString();
}

QString UsageLog::update(LogDb& db, const ScanFileTable& scanFiles) {
    // One moment for the whole update, so the date and the times written agree even when
    // the update runs across midnight.
    const QDateTime now = m_clock.now();
    // IMMEDIATE takes the write lock at once (waiting up to the busy timeout), so the
    // update never finds itself half-way with the database taken by another writer.
    // In the shared log one station's updates (the window and tavrelctl, say) wait for each
    // other; different stations touch different rows and run side by side.
    const bool sharedLog = db.engine() == LogDb::Engine::PostgreSQL;
    QString reason =
        execOrReason(db, sharedLog ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    if (!reason.isEmpty()) {
        return reason;
    }
    if (sharedLog) {
        reason = execOrReason(db, QStringLiteral("SELECT pg_advisory_xact_lock(hashtext(?))"),
                              {QStringLiteral("tavrel-station:") + m_station});
    }
    if (reason.isEmpty()) {
        reason = storeScan(db, m_station, scanFiles, m_lastScanDate, now);
    }
    if (reason.isEmpty()) {
        reason = execOrReason(db, QStringLiteral("COMMIT"));
    }
    if (!reason.isEmpty()) {
        db.exec(QStringLiteral("ROLLBACK"));
        return reason;
    }
    // Only now: had the day change not been stored, the old day's open rows must still be
    // closed by the next update.
    m_lastScanDate = now.date();
    return QString();
}

}  // namespace tavrel
