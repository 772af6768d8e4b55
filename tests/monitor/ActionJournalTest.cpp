#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <thread>

#include "external/logdb/LogDb.h"
#include "monitor/ActionJournal.h"
#include "monitor/LogLocation.h"
#include "monitor/LogMigration.h"
#include "support/FakeClock.h"
#include "support/LogRows.h"
#include "support/MemorySettingsStore.h"
#include "support/PostgresServer.h"

namespace tavrel {
namespace {

JournalEntry entry(const QString& action, const QString& user, int connection, bool done,
                   const QString& reason = QString()) {
    JournalEntry e;
    e.action = action;
    e.server = QStringLiteral("FS1");
    e.file = QStringLiteral("G:\\APPS\\ORDERS.DBF");
    e.user = user;
    e.connection = connection;
    e.message = action == journal::kMessage ? QStringLiteral("Backup at ten") : QString();
    e.done = done;
    e.reason = reason;
    return e;
}

// The journal on the SQLite file or on a shared log, through the settings that name it.
class ActionJournalTest : public ::testing::TestWithParam<LogDb::Engine> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_appFolder = m_dir.path() + QLatin1Char('/');
        if (shared()) {
            TAVREL_REQUIRE_POSTGRES();
            const QString uri = test::PostgresServer::shared().newDatabase();
            ASSERT_FALSE(uri.isEmpty());
            ASSERT_EQ(loglocation::set(m_settings, uri), QString());
            m_settings.SaveSetting("Tavrel", loglocation::kSection, loglocation::kStationKey,
                                   "DESK1");
        }
        m_location = loglocation::current(m_settings, m_appFolder);
    }
    bool shared() const { return GetParam() == LogDb::Engine::PostgreSQL; }
    ActionJournal journal(test::MemorySettingsStore& settings) {
        return ActionJournal(settings, m_appFolder, m_clock, journal::kTavrelctl);
    }
    // The journal as tavrelctl actions reads it: a line per row.
    QStringList rows(const QDate& since = {}, const QString& user = {}) {
        LogDb db;
        if (!db.open(m_location)) {
            return {db.lastError().description};
        }
        return test::rowsText(readJournal(db, since, user));
    }
    QString station() const { return shared() ? "DESK1" : ""; }

    QTemporaryDir m_dir;
    QString m_appFolder;
    QString m_location;
    test::MemorySettingsStore m_settings;
    test::FakeClock m_clock{QDateTime(QDate(2026, 12, 9), QTime(10, 0), QTimeZone(3600))};
};

TEST_P(ActionJournalTest, EachTargetIsARowWithItsOutcomeNewestFirst) {
    // No log yet: the journal makes it.
    ASSERT_EQ(journal(m_settings)
                  .record({entry(journal::kMessage, "ALICE", 3, true),
                           entry(journal::kMessage, "BOB", 4, false, "refused")}),
              QString());
    m_clock.set(QDateTime(QDate(2026, 12, 10), QTime(8, 30), QTimeZone(3600)));
    ASSERT_EQ(journal(m_settings).record(entry(journal::kClear, "BOB", 4, true)), QString());

    const QString os = ActionJournal::operatingSystemUser();
    const QString who = station() + " | " + os + " | tavrelctl | ";
    const QString clear = "2026-12-10T08:30:00+01:00 | " + who +
                          "clear | FS1 | G:\\APPS\\ORDERS.DBF | BOB | 4 | Null | done | Null";
    const QString refused = "2026-12-09T10:00:00+01:00 | " + who +
                            "message | FS1 | G:\\APPS\\ORDERS.DBF | BOB | 4 | Backup at ten | "
                            "failed | refused";
    const QString sent = "2026-12-09T10:00:00+01:00 | " + who +
                         "message | FS1 | G:\\APPS\\ORDERS.DBF | ALICE | 3 | Backup at ten | "
                         "done | Null";
    EXPECT_EQ(rows(), QStringList({clear, refused, sent}));
    EXPECT_EQ(rows(QDate(2026, 12, 10)), QStringList({clear}));
    EXPECT_EQ(rows({}, "alice"), QStringList({sent}));
    EXPECT_EQ(rows({}, os).size(), 3);  // the operator's own actions
    EXPECT_TRUE(LogDb::LogExists(m_location));
}

TEST_P(ActionJournalTest, AnOlderLogGainsTheTableWhenOpenedAndItsRowsStayAsTheyWere) {
    {
        LogDb db;
        ASSERT_TRUE(db.create(m_location)) << db.lastError().description.toStdString();
        ASSERT_TRUE(db.exec("DROP TABLE Actions").ok());
        ASSERT_TRUE(db.exec("INSERT INTO Log (Date, File, \"user\", Mins, Opens, Opened) "
                            "VALUES ('2026-12-09', 'G:\\ORDERS.DBF', 'ALICE', 5, 1, 0)")
                        .ok());
        ASSERT_FALSE(db.hasTable("Actions"));
    }
    LogDb db;
    ASSERT_TRUE(db.open(m_location));
    EXPECT_TRUE(db.hasTable("Actions"));
    EXPECT_EQ(test::rowsText(db.exec("SELECT File, \"user\", Mins FROM Log")),
              QStringList({"G:\\ORDERS.DBF | ALICE | 5"}));
}

TEST_P(ActionJournalTest, AJournalThatCannotBeWrittenSaysWhy) {
    if (shared()) {
        // A database the server keeps read-only.
        LogDb db;
        ASSERT_TRUE(db.create(m_location));
        const QString name = m_location.section('/', -1);
        ASSERT_TRUE(
            db.exec("ALTER DATABASE " + name + " SET default_transaction_read_only = on").ok());
    } else {
        QFile file(m_location);  // something that is not a database
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
    const QString problem = journal(m_settings).record(entry(journal::kClear, "BOB", 4, true));
    EXPECT_FALSE(problem.isEmpty());
    EXPECT_TRUE(problem.contains(shared() ? "read-only" : "not a database"))
        << problem.toStdString();
}

TEST_P(ActionJournalTest, ActionsOfTwoStationsAtOnceAllLand) {
    ASSERT_EQ(journal(m_settings).record(entry(journal::kUnlockAll, "", 0, true)), QString());
    test::MemorySettingsStore other;
    if (shared()) {
        ASSERT_EQ(loglocation::set(other, m_location), QString());
        other.SaveSetting("Tavrel", loglocation::kSection, loglocation::kStationKey, "DESK2");
    }
    constexpr int kEach = 15;
    auto act = [this](test::MemorySettingsStore* settings, const QString& user, int* failures) {
        for (int i = 0; i < kEach; ++i) {
            *failures +=
                journal(*settings).record(entry(journal::kClear, user, i + 1, true)).isEmpty() ? 0
                                                                                               : 1;
        }
    };
    int failuresA = 0;
    int failuresB = 0;
    std::thread a(act, &m_settings, QStringLiteral("ALICE"), &failuresA);
    std::thread b(act, &other, QStringLiteral("BOB"), &failuresB);
    a.join();
    b.join();
    EXPECT_EQ(failuresA + failuresB, 0);
    LogDb db;
    ASSERT_TRUE(db.open(m_location));
    const QString stationColumn = shared() ? "station" : "''";
    EXPECT_EQ(test::rowsText(db.exec("SELECT " + stationColumn +
                                     ", \"user\", count(*) FROM Actions WHERE Action = 'clear' "
                                     "GROUP BY 1, 2 ORDER BY 2")),
              QStringList({station() + " | ALICE | 15",
                           (shared() ? "DESK2" : "") + QString(" | BOB | 15")}));
}

INSTANTIATE_TEST_SUITE_P(Engines, ActionJournalTest,
                         ::testing::Values(LogDb::Engine::SQLite, LogDb::Engine::PostgreSQL),
                         [](const auto& info) {
                             return info.param == LogDb::Engine::SQLite ? "SQLite" : "PostgreSQL";
                         });

TEST(ActionJournalMigrationTest, LogMigrateCarriesTheJournalOnce) {
    TAVREL_REQUIRE_POSTGRES();
    QTemporaryDir dir;
    test::MemorySettingsStore settings;
    test::FakeClock clock{QDateTime(QDate(2026, 12, 9), QTime(10, 0), QTimeZone(0))};
    ActionJournal local(settings, dir.path() + "/", clock, journal::kWindow);
    ASSERT_EQ(local.record({entry(journal::kMessage, "ALICE", 3, true),
                            entry(journal::kMessage, "BOB", 4, false, "refused")}),
              QString());
    const QString uri = test::PostgresServer::shared().newDatabase();
    for (int run = 0; run < 2; ++run) {
        const LogMigrationResult result = migrateLog(dir.filePath("tavrel.mdb"), uri, "DESK1");
        EXPECT_EQ(result.error, QString());
        EXPECT_EQ(result.actionsCopied, run == 0 ? 2 : 0);
    }
    LogDb db;
    ASSERT_TRUE(db.open(uri));
    EXPECT_EQ(test::rowsText(db.exec("SELECT station, time, program, \"user\", outcome, reason "
                                     "FROM actions ORDER BY id")),
              QStringList({"DESK1 | 2026-12-09T10:00:00Z | tavrel | ALICE | done | Null",
                           "DESK1 | 2026-12-09T10:00:00Z | tavrel | BOB | failed | refused"}));
}

}  // namespace
}  // namespace tavrel
