#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <future>
#include <thread>

#include "external/logdb/LogDb.h"
#include "monitor/LogMigration.h"
#include "monitor/UsageLog.h"
#include "support/FakeClock.h"
#include "support/LogRows.h"
#include "support/PostgresServer.h"
#include "support/ScriptedPrompts.h"

namespace tavrel {
namespace {

const QString kOrders = QStringLiteral("G:\\ORDERS.DBF");
const QString kLedger = QStringLiteral("H:\\LEDGER.DAT");

QDateTime at(int hour, int minute) {
    return QDateTime(QDate(2026, 12, 9), QTime(hour, minute));
}

// The shared log's rows: station, file, user, times, minutes, opens and Opened.
QStringList sharedRows(const QString& uri) {
    LogDb db;
    if (!db.open(uri)) {
        return {QStringLiteral("no log: ") + db.lastError().description};
    }
    const LogDbResult result = db.exec(QStringLiteral(
        "SELECT station, date, file, \"user\", in_time, out_time, mins, opens, opened "
        "FROM log ORDER BY station, date, file, \"user\", id"));
    return test::rowsText(result);
}

class SharedLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        TAVREL_REQUIRE_POSTGRES();
        m_uri = test::PostgresServer::shared().newDatabase();
        ASSERT_FALSE(m_uri.isEmpty());
    }

    UsageLog& station(const QString& name, QDate& lastScanDate) {
        m_logs.push_back(std::make_unique<UsageLog>(m_uri, m_clock, m_prompts, lastScanDate));
        m_logs.back()->setStation(name);
        return *m_logs.back();
    }

    QString m_uri;
    test::FakeClock m_clock{at(9, 0)};
    test::ScriptedPrompts m_prompts;
    std::vector<std::unique_ptr<UsageLog>> m_logs;
};

TEST_F(SharedLogTest, TwoStationsWatchingOneFileEachKeepTheirOwnMinutes) {
    QDate firstDay;
    QDate secondDay;
    UsageLog& first = station(QStringLiteral("DESK1"), firstDay);
    UsageLog& second = station(QStringLiteral("DESK2"), secondDay);
    // Neither needs the other to stop storing: there is no writer lock on a shared log.
    EXPECT_EQ(first.startStoring(), QString());
    EXPECT_EQ(second.startStoring(), QString());
    for (int minute = 0; minute <= 10; ++minute) {
        m_clock.set(at(9, minute));
        ASSERT_EQ(first.UpdateUsageLog({{kOrders, {"ALICE"}}}), QString());
        ASSERT_EQ(second.UpdateUsageLog({{kOrders, {"ALICE"}}}), QString());
    }
    EXPECT_EQ(sharedRows(m_uri),
              QStringList({"DESK1 | 2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:00 am | Null | 10 "
                           "| 1 | -1",
                           "DESK2 | 2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:00 am | Null | 10 "
                           "| 1 | -1"}));
    EXPECT_EQ(first.openSince(), (QHash<QString, QDateTime>{{"G:\\ORDERS.DBF\nALICE", at(9, 0)}}));
}

TEST_F(SharedLogTest, AServerStoppedDuringAnUpdateLosesNothingAndTheNextScanGoesOn) {
    test::PostgresServer& server = test::PostgresServer::shared();
    QDate lastScanDate;
    UsageLog& log = station(QStringLiteral("DESK1"), lastScanDate);
    m_clock.set(at(9, 5));
    ASSERT_EQ(log.UpdateUsageLog({{kOrders, {"ALICE"}}}), QString());
    const QStringList before = sharedRows(m_uri);
    log.stopStoring();  // the station's next writer is another program

    // Another connection holds ALICE's row, so the next update stops half-way, after
    // writing its minute, until the server goes.
    LogDb holder;
    ASSERT_TRUE(holder.open(m_uri));
    ASSERT_TRUE(holder.exec(QStringLiteral("BEGIN")).ok());
    ASSERT_TRUE(holder.exec(QStringLiteral("SELECT * FROM log FOR UPDATE")).ok());
    m_clock.set(at(9, 6));
    std::atomic<bool> done{false};
    QString reason;
    // A connection belongs to the thread that made it: this writer works in its own.
    std::thread update([&] {
        QDate otherLastScanDate = lastScanDate;
        UsageLog other(m_uri, m_clock, m_prompts, otherLastScanDate);
        other.setStation(QStringLiteral("DESK1"));
        reason = other.UpdateUsageLog({{kOrders, {"ALICE", "BOB"}}});
        done = true;
    });
    bool waiting = false;
    for (int tries = 0; tries < 100 && !waiting; ++tries) {
        QThread::msleep(50);
        LogDb probe;
        waiting =
            probe.open(m_uri) && probe.exec(QStringLiteral("SELECT count(*) FROM pg_stat_activity "
                                                           "WHERE wait_event_type = 'Lock'"))
                                         .rows.value(0)
                                         .value(0)
                                         .toInt() > 0;
    }
    EXPECT_TRUE(waiting);
    EXPECT_TRUE(server.stop());
    update.join();
    EXPECT_TRUE(done);
    EXPECT_FALSE(reason.isEmpty());
    holder.close();

    // While the server is away every update says why it stored nothing.
    m_clock.set(at(9, 7));
    EXPECT_FALSE(log.UpdateUsageLog({{kOrders, {"ALICE", "BOB"}}}).isEmpty());

    ASSERT_TRUE(server.start());
    EXPECT_EQ(sharedRows(m_uri), before);
    m_clock.set(at(9, 8));
    ASSERT_EQ(log.UpdateUsageLog({{kOrders, {"ALICE", "BOB"}}}), QString());
    EXPECT_EQ(sharedRows(m_uri),
              QStringList({"DESK1 | 2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | Null | 1 "
                           "| 1 | -1",
                           "DESK1 | 2026-12-09 | G:\\ORDERS.DBF | BOB | 09:08 am | Null | 0 "
                           "| 1 | -1"}));
}

TEST_F(SharedLogTest, MigratingTwiceAddsNothingAndTheStationGoesOnFromTheCopy) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/tavrel.mdb");
    QDate lastScanDate;
    {
        UsageLog desk(path, m_clock, m_prompts, lastScanDate);
        for (int minute : {5, 6, 7}) {
            m_clock.set(at(9, minute));
            ASSERT_EQ(desk.UpdateUsageLog({{kOrders, {"ALICE", minute == 5 ? "BOB" : ""}}}),
                      QString());
        }
    }
    const LogMigrationResult first = migrateLog(path, m_uri, QStringLiteral("DESK1"));
    EXPECT_EQ(first.error, QString());
    EXPECT_EQ(first.copied, 2);
    const QStringList copied = sharedRows(m_uri);
    EXPECT_EQ(copied,
              QStringList({"DESK1 | 2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | Null | 2 "
                           "| 1 | -1",
                           "DESK1 | 2026-12-09 | G:\\ORDERS.DBF | BOB | 09:05 am | 09:06 am | 1 "
                           "| 1 | 0"}));
    const LogMigrationResult second = migrateLog(path, m_uri, QStringLiteral("DESK1"));
    EXPECT_EQ(second.error, QString());
    EXPECT_EQ(second.copied, 0);
    EXPECT_EQ(second.present, 2);
    EXPECT_EQ(sharedRows(m_uri), copied);

    // The desk switched to the shared log carries its open row on.
    UsageLog& shared = station(QStringLiteral("DESK1"), lastScanDate);
    m_clock.set(at(9, 8));
    ASSERT_EQ(shared.UpdateUsageLog({{kOrders, {"ALICE"}}}), QString());
    EXPECT_EQ(sharedRows(m_uri).value(0),
              "DESK1 | 2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | Null | 3 | 1 | -1");

    EXPECT_FALSE(migrateLog(path, test::PostgresServer::shared().uri(QStringLiteral("nodb")),
                            QStringLiteral("DESK1"))
                     .error.isEmpty());
    EXPECT_FALSE(
        migrateLog(dir.path() + QStringLiteral("/none.mdb"), m_uri, QStringLiteral("DESK1"))
            .error.isEmpty());
}

TEST_F(SharedLogTest, OneProgramStoresForAStationAndASecondIsToldWhich) {
    QDate firstDay;
    QDate secondDay;
    UsageLog& first = station(QStringLiteral("DESK1"), firstDay);
    UsageLog& second = station(QStringLiteral("DESK1"), secondDay);
    ASSERT_EQ(first.UpdateUsageLog({{kOrders, {"ALICE"}}}), QString());
    const QString refusal = second.UpdateUsageLog({{kOrders, {""}}});
    EXPECT_TRUE(
        refusal.startsWith("another program of station DESK1 is storing into this log: "
                           "\"Tavrel DESK1 ("))
        << refusal.toStdString();
    // The refused program closed nothing; the server lists the one storing by its station.
    EXPECT_EQ(sharedRows(m_uri).value(0).section(" | ", 5), "Null | 0 | 1 | -1");
    LogDb probe;
    ASSERT_TRUE(probe.open(m_uri));
    EXPECT_EQ(probe
                  .exec(QStringLiteral("SELECT count(*) FROM pg_stat_activity "
                                       "WHERE application_name LIKE 'Tavrel DESK1 (%'"))
                  .rows.value(0)
                  .value(0)
                  .toInt(),
              1);
    first.stopStoring();
    m_clock.set(at(9, 1));
    EXPECT_EQ(second.UpdateUsageLog({{kOrders, {""}}}), QString());
}

TEST_F(SharedLogTest, StationsStartingTogetherOnAnEmptyDatabaseAllStore) {
    constexpr int kStations = 6;
    for (int trial = 0; trial < 3; ++trial) {
        const QString uri = test::PostgresServer::shared().newDatabase();
        std::atomic<int> ready{0};
        QStringList reasons(kStations);
        std::vector<std::thread> stations;
        for (int s = 0; s < kStations; ++s) {
            stations.emplace_back([&, s] {
                test::ScriptedPrompts prompts;
                QDate lastScanDate;
                UsageLog log(uri, m_clock, prompts, lastScanDate);
                log.setStation(QStringLiteral("DESK%1").arg(s));
                ++ready;
                while (ready < kStations) {
                    std::this_thread::yield();
                }
                reasons[s] = log.UpdateUsageLog({{kOrders, {"ALICE"}}});
            });
        }
        for (std::thread& t : stations) {
            t.join();
        }
        EXPECT_EQ(reasons, QStringList(kStations)) << "trial " << trial;
        EXPECT_EQ(sharedRows(uri).size(), kStations);
    }
}

TEST_F(SharedLogTest, AWriterWaitsForALockNoLongerThanItsTimeout) {
    QDate lastScanDate;
    UsageLog& log = station(QStringLiteral("DESK1"), lastScanDate);
    ASSERT_EQ(log.UpdateUsageLog({{kOrders, {"ALICE"}}}), QString());
    // A stalled program holds the table.
    LogDb holder;
    ASSERT_TRUE(holder.open(m_uri));
    ASSERT_TRUE(holder.exec(QStringLiteral("BEGIN")).ok());
    ASSERT_TRUE(holder.exec(QStringLiteral("LOCK TABLE log IN ACCESS EXCLUSIVE MODE")).ok());
    m_clock.set(at(9, 1));
    auto update = std::async(std::launch::async, [&] {
        QDate otherDay;
        test::ScriptedPrompts prompts;
        UsageLog other(m_uri, m_clock, prompts, otherDay);
        other.setStation(QStringLiteral("DESK2"));
        return other.UpdateUsageLog({{kOrders, {"BOB"}}});
    });
    const bool ended = update.wait_for(std::chrono::seconds(90)) == std::future_status::ready;
    holder.close();
    ASSERT_TRUE(ended);
    EXPECT_EQ(update.get(), "canceling statement due to lock timeout");
}

TEST_F(SharedLogTest, ARemovedFileHasItsOpenRowsOfThisStationClosedAtOnce) {
    QDate firstDay;
    QDate secondDay;
    UsageLog& first = station(QStringLiteral("DESK1"), firstDay);
    UsageLog& second = station(QStringLiteral("DESK2"), secondDay);
    for (int minute : {5, 6}) {
        m_clock.set(at(9, minute));
        ASSERT_EQ(first.UpdateUsageLog({{kOrders, {"ALICE"}}, {kLedger, {"CAROL"}}}), QString());
        ASSERT_EQ(second.UpdateUsageLog({{kLedger, {"CAROL"}}}), QString());
    }
    m_clock.set(at(9, 7).addSecs(30));
    EXPECT_EQ(first.closeFiles({QStringLiteral("h:\\ledger.dat")}), QString());
    EXPECT_EQ(sharedRows(m_uri),
              QStringList({"DESK1 | 2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | Null | 1 "
                           "| 1 | -1",
                           "DESK1 | 2026-12-09 | H:\\LEDGER.DAT | CAROL | 09:05 am | 09:07 am "
                           "| 1 | 1 | 0",
                           "DESK2 | 2026-12-09 | H:\\LEDGER.DAT | CAROL | 09:05 am | Null | 1 "
                           "| 1 | -1"}));
}

TEST_F(SharedLogTest, AConnectionTheServerEndedIsMadeAfreshForWhatFollows) {
    QDate lastScanDate;
    UsageLog& log = station(QStringLiteral("DESK1"), lastScanDate);
    m_clock.set(at(9, 5));
    ASSERT_EQ(log.UpdateUsageLog({{kOrders, {"ALICE"}}}), QString());
    // The server ends the station's connection (a restart, an administrator).
    LogDb admin;
    ASSERT_TRUE(admin.open(m_uri));
    ASSERT_EQ(admin
                  .exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                       "WHERE application_name LIKE 'Tavrel DESK1%'"))
                  .rows.size(),
              1);
    EXPECT_EQ(log.openSince(), (QHash<QString, QDateTime>{{"G:\\ORDERS.DBF\nALICE", at(9, 5)}}));
    m_clock.set(at(9, 6));
    EXPECT_EQ(log.closeFiles({kOrders}), QString());
    EXPECT_EQ(sharedRows(m_uri),
              QStringList({"DESK1 | 2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | 09:06 am "
                           "| 0 | 1 | 0"}));
}

TEST_F(SharedLogTest, MigrationCopiesEveryDistinctRowWithTheMinuteAndNamesWhatItCannot) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/tavrel.mdb");
    {
        LogDb desk;
        ASSERT_TRUE(desk.create(path));
        ASSERT_TRUE(
            desk.exec(QStringLiteral(
                          "INSERT INTO Log VALUES "
                          "('2026-12-09', 'G:\\A.DBF', 'ALICE', '09:00 am', NULL, "
                          "'09:00 am,', NULL, 5, 1, -1), "
                          "('2026-12-09', 'G:\\A.DBF', 'alice', '09:00 am', NULL, "
                          "'09:00 am,', NULL, 7, 1, -1), "
                          "(NULL, 'G:\\A.DBF', 'BOB', '09:00 am', NULL, NULL, NULL, 1, 1, 0), "
                          "(NULL, 'G:\\A.DBF', 'CAROL', '09:00 am', NULL, NULL, NULL, 1, 1, 0), "
                          "('12/09/2026', 'G:\\A.DBF', 'DAN', '09:00 am', NULL, NULL, NULL, "
                          "1, 1, 0), "
                          "('2026-12-08', 'G:\\A.DBF', 'EVE', '09:00 am', NULL, NULL, NULL, "
                          "2, 1, 0), "
                          "('2026-12-08', 'G:\\A.DBF', 'EVE', '09:00 am', NULL, NULL, NULL, "
                          "2, 1, 0)"))
                .ok());
        ASSERT_TRUE(
            desk.exec(QStringLiteral("INSERT INTO StoredScan VALUES ('2026-12-09 09:07')")).ok());
    }
    for (int run = 0; run < 2; ++run) {
        const LogMigrationResult result = migrateLog(path, m_uri, QStringLiteral("DESK1"));
        EXPECT_EQ(result.error, QString());
        EXPECT_EQ(result.copied, run == 0 ? 6 : 0);
        EXPECT_EQ(result.present, run == 0 ? 0 : 6);
        EXPECT_EQ(
            result.uncopied,
            QStringList{"row 5 (G:\\A.DBF, DAN): its Date '12/09/2026' is no YYYY-MM-DD date"});
    }
    LogDb shared;
    ASSERT_TRUE(shared.open(m_uri));
    EXPECT_EQ(test::rowsText(shared.exec(QStringLiteral("SELECT * FROM storedscan"))),
              QStringList{"DESK1 | 2026-12-09 09:07"});
    // A scan in that same minute right after the switch adds no second minute.
    QDate lastScanDate(2026, 12, 9);
    UsageLog& desk = station(QStringLiteral("DESK1"), lastScanDate);
    m_clock.set(at(9, 7).addSecs(40));
    ASSERT_EQ(desk.UpdateUsageLog({{QStringLiteral("G:\\A.DBF"), {"ALICE"}}}), QString());
    EXPECT_EQ(test::rowsText(shared.exec(QStringLiteral(
                  "SELECT \"user\", mins FROM log WHERE \"user\" = 'ALICE' ORDER BY mins"))),
              QStringList({"ALICE | 5", "alice | 7"}));
}

}  // namespace
}  // namespace tavrel
