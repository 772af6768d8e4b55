#include "monitor/UsageLog.h"

#include <pwd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QSysInfo>
#include <algorithm>
#include <optional>

#include "common/Clock.h"
#include "common/TimeText.h"
#include "monitor/CreateLogDatabase.h"
#include "monitor/StationClaim.h"

namespace tavrel {

namespace {

const QString kNotCreated = QStringLiteral("the log database could not be created");
const QString kLocked = QStringLiteral("the database is locked by another program");

// Rows changed alike go in one statement; well below SQLite's limit on parameters, and
// small enough that binding stays cheap.
constexpr qsizetype kRowidsPerStatement = 100;

QString reasonOf(const LogDb& db, const LogDbError& error) {
    if (db.isLockedByAnother(error)) {
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
    const LogDbResult result =
        db.exec(QStringLiteral("SELECT ") + db.rowIdColumn() +
                    QStringLiteral(", File, \"user\", Opened FROM Log WHERE Date = ?") +
                    scope.clause + QStringLiteral(" ORDER BY File, \"user\", ") + db.rowIdColumn(),
                QVariantList{dateText(today)} + scope.params);
    if (!result.ok()) {
        return reasonOf(db, result.error);
    }
    for (const QVariantList& values : result.rows) {
        const TodayRow row{values.value(0).toLongLong(), values.value(3).toInt() != 0};
        PairKey key = pairKey(values.value(1).toString(), values.value(2).toString());
        if (row.opened) {
            rows.open.append({row.rowid, key});
        }
        if (!rows.first.contains(key)) {
            rows.first.insert(std::move(key), row);
        }
    }
    return QString();
}

// The clock minute of a stored scan as kept in the log: the day and the "hh:mm" that the
// times written show, so two scans share a minute exactly when their times read alike.
const QString kMinuteFormat = QStringLiteral("yyyy-MM-dd HH:mm");

QString minuteText(const QDateTime& moment) {
    return moment.toString(kMinuteFormat);
}

QDateTime minuteOf(const QString& text) {
    return QDateTime::fromString(text, kMinuteFormat);
}

// A scan this close after the previous stored one continues it (a tick may be missed);
// after a longer gap nobody saw what happened in between.
constexpr qint64 kContinuousSecs = 2 * 60;

// Closes the open rows of days before today that match the condition (with its
// parameters). Scans that ran on into today close them now, with this scan's minute, as
// the first scan of a day always did. After a gap (the desk was off, the server away) a
// row is closed at the last stored minute of its day, the last time a scan saw it open,
// and no minute is added for the time nobody saw; with no stored minute on that day, at
// the day's last minute.
QString closeEarlierDays(LogDb& db, const Scope& scope, const QString& condition,
                         const QVariantList& params, const QDateTime& previous,
                         const QDateTime& now, int minute, bool mayContinue = true) {
    const QDateTime nowMinute = minuteOf(minuteText(now));
    const bool continuous =
        mayContinue && previous.isValid() && previous.secsTo(nowMinute) <= kContinuousSecs;
    const QString lastMinute = timeText(QTime(23, 59));
    const bool byDay = !continuous && previous.isValid();
    const QString closeTime =
        byDay ? QStringLiteral("CASE WHEN Date = ? THEN ? ELSE ? END") : QStringLiteral("?");
    const QVariantList closeValues =
        byDay ? QVariantList{dateText(previous.date()), timeText(previous.time()), lastMinute}
              : QVariantList{continuous ? timeText(now.time()) : lastMinute};
    return execOrReason(
        db,
        QStringLiteral("UPDATE Log SET Opened = 0, Mins = Mins + ?, Out_Time = ") + closeTime +
            QStringLiteral(", Out_Times = COALESCE(Out_Times, '') || ") + closeTime +
            QStringLiteral(" || ',' WHERE Opened <> 0 AND ") + condition + scope.clause,
        QVariantList{continuous ? minute : 0} + closeValues + closeValues + params + scope.params);
}

// The minute of the previous stored scan lives in the log itself, in a table of its own
// beside Log, so that every writer of the log (the window, tavrelctl log from cron,
// tavrelctl watch) counts a clock minute once between them. Read and replaced inside the
// update's transaction, it is stored with the scan or not at all.
// In the shared log each station keeps its own minute: their scans count apart.
QString readLastStoredMinute(LogDb& db, const QString& station, QDateTime* previous) {
    const bool shared = db.engine() == LogDb::Engine::PostgreSQL;
    QString reason =
        shared ? QString()
               : execOrReason(
                     db, QStringLiteral("CREATE TABLE IF NOT EXISTS StoredScan (Minute TEXT)"));
    if (!reason.isEmpty()) {
        return reason;
    }
    const LogDbResult stored =
        shared
            ? db.exec(QStringLiteral("SELECT minute FROM storedscan WHERE station = ?"), {station})
            : db.exec(QStringLiteral("SELECT Minute FROM StoredScan"));
    if (!stored.ok()) {
        return reasonOf(db, stored.error);
    }
    *previous =
        stored.rows.size() == 1 ? minuteOf(stored.rows.first().value(0).toString()) : QDateTime();
    return QString();
}

QString swapLastStoredMinute(LogDb& db, const QString& station, const QDateTime& now,
                             QDateTime* previous) {
    QString reason = readLastStoredMinute(db, station, previous);
    if (!reason.isEmpty()) {
        return reason;
    }
    const QString minute = minuteText(now);
    const bool shared = db.engine() == LogDb::Engine::PostgreSQL;
    const QString where = shared ? QStringLiteral(" WHERE station = ?") : QString();
    const QVariantList key = shared ? QVariantList{station} : QVariantList{};
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

// IMMEDIATE takes SQLite's write lock at once (waiting up to the busy timeout), so a
// writer never finds itself half-way with the database taken by another.
QString beginWriting(LogDb& db) {
    return execOrReason(db, db.engine() == LogDb::Engine::PostgreSQL
                                ? QStringLiteral("BEGIN")
                                : QStringLiteral("BEGIN IMMEDIATE"));
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
    QDateTime previous;
    QString reason = swapLastStoredMinute(db, station, now, &previous);
    if (!reason.isEmpty()) {
        return reason;
    }
    const int minute = previous.isValid() && minuteText(previous) == minuteText(now) ? 0 : 1;

    // A new day: the rows of the last day still open are closed.
    if (lastScanDate.isValid() && lastScanDate != today) {
        reason = closeEarlierDays(db, scope, QStringLiteral("Date = ?"), {dateText(lastScanDate)},
                                  previous, now, minute);
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
    // The scan speaks for the files it could fully ask about: an open row of any other
    // file (one the scan failed for, or not in its list: another program's file of the
    // log) stays exactly as it is unless its user was seen.
    QSet<QString> determined;
    for (const ScanFileEntry& entry : scanFiles) {
        if (entry.UsersComplete) {
            determined.insert(entry.Path.toUpper());
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
            if (!determined.contains(key.first)) {
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
    const QString todayText = dateText(today);
    const QString row = shared ? QStringLiteral("(?, ?, ?, ?, ?, 0, 1, -1, ?)")
                               : QStringLiteral("(?, ?, ?, ?, ?, 0, 1, -1)");
    for (qsizetype start = 0; start < added.size(); start += kRowidsPerStatement) {
        const qsizetype count = std::min(kRowidsPerStatement, added.size() - start);
        QVariantList params;
        for (qsizetype i = start; i < start + count; ++i) {
            const Sighting* s = added.at(i);
            params += QVariantList{todayText, s->file, s->user, time, timeItem};
            if (shared) {
                params.append(station);
            }
        }
        reason = execOrReason(
            db,
            QStringLiteral("INSERT INTO Log (Date, File, \"user\", In_Time, In_Times, Mins, Opens, "
                           "Opened") +
                (shared ? QStringLiteral(", station) VALUES ") : QStringLiteral(") VALUES ")) +
                (row + QLatin1Char(',')).repeated(count - 1) + row,
            params);
        if (!reason.isEmpty()) {
            return reason;
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
      m_station(defaultStation()),
      m_writerLock(m_databasePath) {}

QString UsageLog::defaultStation() {
    const passwd* account = ::getpwuid(::geteuid());
    const QString user = account != nullptr ? QString::fromLocal8Bit(account->pw_name)
                                            : qEnvironmentVariable("USER");
    const QString host = QSysInfo::machineHostName();
    return user.isEmpty() ? host : user + QLatin1Char('@') + host;
}

QString UsageLog::startStoring() {
    if (!shared()) {
        return m_writerLock.acquire();
    }
    m_storingShared = true;
    return m_sharedDb ? QString() : connectShared();
}

QString UsageLog::connectShared() {
    auto db = std::make_unique<LogDb>(m_busyTimeoutMs);
    db->setApplicationName(QStringLiteral("Tavrel %1 (%2 %3)")
                               .arg(m_station, QCoreApplication::applicationName())
                               .arg(QCoreApplication::applicationPid()));
    QString reason = openLog(*db);
    if (reason.isEmpty()) {
        reason = stationclaim::claim(*db, m_station);
    }
    if (reason.isEmpty()) {
        m_sharedDb = std::move(db);
    }
    return reason;
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
            const QString reason = connectShared();
            if (!reason.isEmpty()) {
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

LogDb* UsageLog::keptConnection() {
    if (m_sharedDb && !m_sharedDb->isOpen()) {
        m_sharedDb.reset();
    }
    return m_sharedDb.get();
}

QHash<QString, QDateTime> UsageLog::openSince() {
    using Since = QHash<QString, QDateTime>;
    const auto read = [this](LogDb& db) -> std::optional<Since> {
        Since since;
        const Scope scope = scopeOf(db, m_station);
        QSqlQuery query(db.database());
        query.setForwardOnly(true);
        if (!query.prepare(QStringLiteral("SELECT File, \"user\", In_Times FROM Log "
                                          "WHERE Date = ? AND Opened <> 0") +
                           scope.clause)) {
            return std::nullopt;
        }
        const QDate today = m_clock.now().date();
        query.addBindValue(dateText(today));
        for (const QVariant& value : scope.params) {
            query.addBindValue(value);
        }
        if (!query.exec()) {
            return std::nullopt;
        }
        while (query.next()) {
            // In_Times lists the opens as "hh:mm am," items; the last is the open that lasts.
            const QStringList opens =
                query.value(2).toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
            const QTime time = QTime::fromString(opens.value(opens.size() - 1).trimmed(),
                                                 QStringLiteral("hh:mm ap"));
            if (time.isValid()) {
                since.insert(openSinceKey(query.value(0).toString(), query.value(1).toString()),
                             QDateTime(today, time));
            }
        }
        return since;
    };
    // The kept connection while the server keeps it; else, or when the read finds that
    // the server has ended it, one of its own.
    if (LogDb* kept = keptConnection()) {
        if (const std::optional<Since> since = read(*kept)) {
            return *since;
        }
        if (keptConnection() != nullptr) {
            return {};
        }
    }
    LogDb own(m_busyTimeoutMs);
    if ((!shared() && !QFileInfo::exists(m_databasePath)) || !own.open(m_databasePath)) {
        return {};
    }
    return read(own).value_or(Since());
}

QString UsageLog::openLog(LogDb& db) {
    if (!db.open(m_databasePath)) {
        return reasonOf(db, db.lastError());
    }
    if (db.engine() == LogDb::Engine::PostgreSQL) {
        if (!db.ensureSchema()) {
            return kNotCreated + QStringLiteral(": ") + reasonOf(db, db.lastError());
        }
        // An update is small: one that runs this long has met a server in trouble.
        return execOrReason(db, QStringLiteral("SELECT set_config('statement_timeout', ?, false)"),
                            {QString::number(LogDb::kStatementTimeoutMs)});
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
    // In the shared log one program stores for a station (it holds the station's claim);
    // different stations touch different rows and run side by side.
    QString reason = beginWriting(db);
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

QString UsageLog::closeFiles(const QStringList& paths) {
    if (paths.isEmpty() || (!shared() && !QFileInfo::exists(m_databasePath))) {
        return QString();
    }
    // Closed now, with no minute: the scan that would have counted it is not made.
    const QDateTime now = m_clock.now();
    const auto close = [&](LogDb& db) {
        const Scope scope = scopeOf(db, m_station);
        const QString time = timeText(now.time());
        QDateTime previous;
        QString reason = beginWriting(db);
        if (reason.isEmpty()) {
            reason = readLastStoredMinute(db, m_station, &previous);
        }
        for (const QString& path : paths) {
            if (reason.isEmpty()) {
                reason = closeEarlierDays(db, scope, QStringLiteral("Date < ? AND File = ?"),
                                          {dateText(now.date()), path}, previous, now, 0, false);
            }
            if (reason.isEmpty()) {
                reason = execOrReason(
                    db,
                    QStringLiteral("UPDATE Log SET Opened = 0, Out_Time = ?, "
                                   "Out_Times = COALESCE(Out_Times, '') || ? "
                                   "WHERE Opened <> 0 AND Date = ? AND File = ?") +
                        scope.clause,
                    QVariantList{time, time + QLatin1Char(','), dateText(now.date()), path} +
                        scope.params);
            }
        }
        if (reason.isEmpty()) {
            reason = execOrReason(db, QStringLiteral("COMMIT"));
        }
        if (!reason.isEmpty()) {
            db.exec(QStringLiteral("ROLLBACK"));
        }
        return reason;
    };
    // The kept connection while the server keeps it; else, or when the server turns out
    // to have ended it, one of its own.
    if (LogDb* kept = keptConnection()) {
        const QString reason = close(*kept);
        if (reason.isEmpty() || keptConnection() != nullptr) {
            return reason;
        }
    }
    LogDb own(m_busyTimeoutMs);
    if (!own.open(m_databasePath)) {
        return reasonOf(own, own.lastError());
    }
    if (!own.hasLogTable()) {
        return reasonOf(own, own.lastError());  // "" when there is no log yet
    }
    return close(own);
}

}  // namespace tavrel
