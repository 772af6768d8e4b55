#include "monitor/StationClaim.h"

#include "external/logdb/LogDb.h"

namespace tavrel::stationclaim {

namespace {

// The first of the lock's two keys, "Tavr": the station's hash is the second.
constexpr int kStationKey = 0x54617672;

// The program holding the station, as the server lists its connection.
QString holderOf(LogDb& db, const QString& station) {
    const LogDbResult holder = db.exec(
        QStringLiteral("SELECT a.application_name, COALESCE(host(a.client_addr), 'a local "
                       "socket'), a.pid FROM pg_locks l JOIN pg_stat_activity a ON a.pid = l.pid "
                       "WHERE l.locktype = 'advisory' AND l.granted AND l.classid = ?::oid "
                       "AND l.objid = hashtext(?)::oid AND l.objsubid = 2 "
                       "AND l.database = (SELECT oid FROM pg_database "
                       "WHERE datname = current_database())"),
        {kStationKey, station});
    if (holder.kind != LogDbResult::Kind::Rows || holder.rows.isEmpty()) {
        return QStringLiteral("another program");
    }
    const QVariantList& row = holder.rows.first();
    const QString name = row.value(0).toString();
    return (name.isEmpty() ? QStringLiteral("a program")
                           : QLatin1Char('"') + name + QLatin1Char('"')) +
           QStringLiteral(" (connected from %1, server process %2)")
               .arg(row.value(1).toString(), row.value(2).toString());
}

}  // namespace

QString claim(LogDb& db, const QString& station, bool untilCommit) {
    const LogDbResult taken =
        db.exec(untilCommit ? QStringLiteral("SELECT pg_try_advisory_xact_lock(?, hashtext(?))")
                            : QStringLiteral("SELECT pg_try_advisory_lock(?, hashtext(?))"),
                {kStationKey, station});
    if (taken.kind != LogDbResult::Kind::Rows || taken.rows.isEmpty()) {
        return taken.error.description.isEmpty()
                   ? QStringLiteral("the station could not be claimed")
                   : taken.error.description;
    }
    if (taken.rows.first().value(0).toBool()) {
        return QString();
    }
    return QStringLiteral("another program of station %1 is storing into this log: %2")
        .arg(station, holderOf(db, station));
}

}  // namespace tavrel::stationclaim
