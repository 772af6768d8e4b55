// The usage log on both engines in one run, each holding a year of 100 files x 20 users
// (730,000 rows, today's open): one log update of a scan that sees all 100 x 20 pairs, and
// the query window's statement until its first rows and exact count are known. Argument
// 0 is the SQLite file, 1 a PostgreSQL database on a server the program starts itself
// (127.0.0.1, the server's default durability: fsync and synchronous commit on).
//
//   bin/tavrel_sharedlog_bench       (from the build folder)

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "common/Prompts.h"
#include "external/logdb/LogDb.h"
#include "logquery/QueryText.h"
#include "logquery/ResultSet.h"
#include "monitor/UsageLog.h"
#include "support/FakeClock.h"
#include "support/LogRows.h"
#include "support/PostgresServer.h"
#include "support/ScriptedPrompts.h"

namespace tavrel {
namespace {

constexpr int kFiles = 100;
constexpr int kUsers = 20;
const QDateTime kNow(QDate(2026, 12, 8), QTime(14, 30));
const QString kStation = QStringLiteral("BENCH");

const char* const kFillPostgres =
    "INSERT INTO log (date, file, \"user\", in_time, out_time, in_times, out_times, mins, "
    "opens, opened, station) "
    "SELECT DATE '2026-12-08' - d, 'G:\\DATA\\FILE' || lpad(f::text, 3, '0') || '.DBF', "
    "'USER' || lpad(u::text, 2, '0'), '08:00 am', CASE WHEN d = 0 THEN NULL ELSE '12:00 pm' END, "
    "'08:00 am,', CASE WHEN d = 0 THEN NULL ELSE '12:00 pm,' END, 240, 1, "
    "CASE WHEN d = 0 THEN -1 ELSE 0 END, 'BENCH' "
    "FROM generate_series(364, 0, -1) d, generate_series(0, 99) f, generate_series(0, 19) u "
    "ORDER BY 1, 2, 3";

// A year of the log on one engine, made once per run.
class YearOfLog {
public:
    explicit YearOfLog(LogDb::Engine engine) {
        if (engine == LogDb::Engine::PostgreSQL) {
            test::PostgresServer& server = test::PostgresServer::shared(true);
            if (!server.running()) {
                m_problem = server.reason();
                return;
            }
            m_location = server.newDatabase();
        } else {
            m_location = m_dir.path() + QStringLiteral("/tavrel.mdb");
        }
        LogDb db;
        if (!db.create(m_location)) {
            m_problem = db.lastError().description;
            return;
        }
        const LogDbResult fill = db.exec(QString::fromLatin1(
            engine == LogDb::Engine::PostgreSQL ? kFillPostgres : test::kYearOfLogSql));
        if (!fill.ok()) {
            m_problem = fill.error.description;
            return;
        }
        db.exec(engine == LogDb::Engine::PostgreSQL
                    ? QStringLiteral("VACUUM ANALYZE log")
                    : QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        m_rows =
            db.exec(QStringLiteral("SELECT count(*) FROM Log")).rows.value(0).value(0).toLongLong();
    }

    const QString& location() const { return m_location; }
    const QString& problem() const { return m_problem; }
    qint64 rows() const { return m_rows; }

private:
    QTemporaryDir m_dir;
    QString m_location;
    QString m_problem;
    qint64 m_rows = 0;
};

const YearOfLog& yearOfLog(int64_t engine) {
    static const YearOfLog sqlite(LogDb::Engine::SQLite);
    static const YearOfLog postgres(LogDb::Engine::PostgreSQL);
    return engine == 0 ? sqlite : postgres;
}

ScanFileTable fullScan() {
    ScanFileTable scan;
    for (int f = 0; f < kFiles; ++f) {
        ScanFileEntry entry{QStringLiteral("G:\\DATA\\FILE%1.DBF").arg(f, 3, 10, QLatin1Char('0')),
                            {}};
        for (int u = 0; u < kUsers; ++u) {
            entry.Users.append(QStringLiteral("USER%1").arg(u, 2, 10, QLatin1Char('0')));
        }
        scan.append(entry);
    }
    return scan;
}

void BM_LogUpdate(benchmark::State& state) {
    const YearOfLog& log = yearOfLog(state.range(0));
    if (!log.problem().isEmpty()) {
        state.SkipWithError(qPrintable(log.problem()));
        return;
    }
    test::FakeClock clock(kNow);
    test::ScriptedPrompts prompts;
    QDate lastScanDate = kNow.date();
    UsageLog usageLog(log.location(), clock, prompts, lastScanDate);
    usageLog.setStation(kStation);
    const ScanFileTable scan = fullScan();
    int minute = 0;
    for (auto _ : state) {
        // Every update in a minute of its own, so each one counts its minute.
        clock.set(kNow.addSecs(60 * ++minute));
        const QString reason = usageLog.UpdateUsageLog(scan);
        if (!reason.isEmpty()) {
            state.SkipWithError(qPrintable(reason));
            break;
        }
    }
    usageLog.stopStoring();
    state.counters["rows"] = double(log.rows());
}

void BM_FirstRowsAndCount(benchmark::State& state) {
    const YearOfLog& log = yearOfLog(state.range(0));
    LogDb db;
    if (!log.problem().isEmpty() || !db.open(log.location())) {
        state.SkipWithError("no log");
        return;
    }
    ResultSet result;
    result.setDatabase(db.database());
    for (auto _ : state) {
        if (!result.run(querytext::initialStatement())) {
            state.SkipWithError(qPrintable(result.error().description));
            break;
        }
        benchmark::DoNotOptimize(result.value(0, 0));
    }
    state.counters["records"] = double(result.recordCount());
}

BENCHMARK(BM_LogUpdate)
    ->ArgName("postgres")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_FirstRowsAndCount)
    ->ArgName("postgres")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace tavrel

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    tavrel::test::PostgresServer::stopShared();
    return 0;
}
