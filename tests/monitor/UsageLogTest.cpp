#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <memory>

#include "external/logdb/LogDb.h"
#include "monitor/AutoScan.h"
#include "monitor/CreateLogDatabase.h"
#include "monitor/LogWriterLock.h"
#include "monitor/UsageLog.h"
#include "support/FakeClock.h"
#include "support/LogRows.h"
#include "support/PostgresServer.h"
#include "support/ScriptedPrompts.h"

namespace tavrel {
namespace {

const QString kOrders = QStringLiteral("G:\\ORDERS.DBF");
const QString kLedger = QStringLiteral("H:\\LEDGER.DAT");

// 9 December 2026 is day 1.
QDateTime at(int day, int hour, int minute, int second = 0) {
    return QDateTime(QDate(2026, 12, 8 + day), QTime(hour, minute, second));
}

// Every row of the log, oldest day first, each column in order, Null spelt out.
QStringList logRows(const QString& path) {
    LogDb db;
    if (!db.open(path)) {
        return {QStringLiteral("no log: ") + db.lastError().description};
    }
    const LogDbResult result = db.exec(
        QStringLiteral("SELECT Date, File, \"user\", In_Time, Out_Time, In_Times, Out_Times, "
                       "Mins, Opens, Opened FROM Log ORDER BY Date, File, \"user\", ") +
        db.rowIdColumn());
    return test::rowsText(result);
}

class UsageLogTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.path() + QStringLiteral("/tavrel.mdb"); }

    QTemporaryDir m_dir;
    test::FakeClock m_clock{at(1, 9, 0)};
    test::ScriptedPrompts m_prompts;
    AutoScan m_autoScan{m_clock};
};

struct Step {
    QDateTime at;
    ScanFileTable scan;
    bool switchOn = false;   // auto scan switched on just before this scan
    bool newWriter = false;  // stored by another writer of the log (tavrelctl log, say)
};

struct Scenario {
    const char* name;
    QList<Step> steps;
    QStringList rows;
};

void PrintTo(const Scenario& scenario, std::ostream* os) {
    *os << scenario.name;
}

// Every scenario runs on both engines: an SQLite file and a shared PostgreSQL log.
class UsageLogScenario : public UsageLogTest,
                         public ::testing::WithParamInterface<std::tuple<LogDb::Engine, Scenario>> {
protected:
    void SetUp() override {
        if (std::get<0>(GetParam()) == LogDb::Engine::SQLite) {
            m_location = path();
            return;
        }
        TAVREL_REQUIRE_POSTGRES();
        m_location = test::PostgresServer::shared().newDatabase();
        ASSERT_FALSE(m_location.isEmpty());
    }

    QString m_location;
};

TEST_P(UsageLogScenario, LeavesTheseRows) {
    const Scenario& scenario = std::get<1>(GetParam());
    const QString location = m_location;
    auto log = std::make_unique<UsageLog>(location, m_clock, m_prompts, m_autoScan.LastScanDate);
    for (const Step& step : scenario.steps) {
        m_clock.set(step.at);
        if (step.switchOn) {
            m_autoScan.switchOn();
        }
        if (step.newWriter) {
            log.reset();
            log = std::make_unique<UsageLog>(location, m_clock, m_prompts, m_autoScan.LastScanDate);
        }
        ASSERT_EQ(log->UpdateUsageLog(step.scan), QString()) << step.at.toString().toStdString();
        EXPECT_EQ(m_autoScan.LastScanDate, step.at.date());
    }
    EXPECT_EQ(logRows(location), scenario.rows);
    EXPECT_TRUE(m_prompts.asked().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    UsageLog, UsageLogScenario,
    ::testing::Combine(
        ::testing::Values(LogDb::Engine::SQLite, LogDb::Engine::PostgreSQL),
        ::testing::Values(
            Scenario{
                "FirstSighting",
                {{at(1, 9, 5), {{kOrders, {"ALICE"}}}, true}},
                {"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | Null | 09:05 am, | Null | 0 "
                 "| 1 | -1"}},
            Scenario{
                "AMinutePerLaterScan",
                {{at(1, 9, 5), {{kOrders, {"ALICE"}}}, true},
                 {at(1, 9, 6), {{kOrders, {"ALICE"}}}},
                 {at(1, 9, 7), {{kOrders, {"ALICE"}}}}},
                {"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | Null | 09:05 am, | Null | 2 "
                 "| 1 | -1"}},
            Scenario{
                "ClosedAtTheFirstScanThatMissesTheUser",
                {{at(1, 9, 5), {{kOrders, {"ALICE"}}}, true},
                 {at(1, 9, 6), {{kOrders, {"ALICE"}}}},
                 {at(1, 9, 7), {{kOrders, {""}}}},
                 {at(1, 9, 8), {{kOrders, {""}}}}},
                {"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | 09:07 am | 09:05 am, | 09:07 "
                 "am, | 2 | 1 | 0"}},
            Scenario{
                "Reopened",
                {{at(1, 9, 5), {{kOrders, {"ALICE"}}}, true},
                 {at(1, 9, 6), {{kOrders, {""}}}},
                 {at(1, 13, 40), {{kOrders, {"ALICE"}}}},
                 {at(1, 13, 41), {{kOrders, {"ALICE"}}}}},
                {"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | 09:06 am | 09:05 am,01:40 pm, "
                 "| 09:06 am, | 2 | 2 | -1"}},
            Scenario{
                "SeveralUsersAndFiles",
                {{at(1, 9, 5), {{kOrders, {"ALICE", "BOB"}}, {kLedger, {"CAROL"}}}, true},
                 {at(1, 9, 6), {{kOrders, {"ALICE"}}, {kLedger, {"CAROL", "BOB"}}}}},
                {"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | Null | 09:05 am, | Null | 1 "
                 "| 1 | -1",
                 "2026-12-09 | G:\\ORDERS.DBF | BOB | 09:05 am | 09:06 am | 09:05 am, | 09:06 "
                 "am, | 1 | 1 | 0",
                 "2026-12-09 | H:\\LEDGER.DAT | BOB | 09:06 am | Null | 09:06 am, | Null | 0 | 1 "
                 "| -1",
                 "2026-12-09 | H:\\LEDGER.DAT | CAROL | 09:05 am | Null | 09:05 am, | Null | 1 "
                 "| 1 | -1"}},
            Scenario{
                "AVanishedFileClosesItsUsers",
                {{at(1, 9, 5), {{kOrders, {"ALICE", "BOB"}}, {kLedger, {"CAROL"}}}, true},
                 {at(1, 9, 6), {{kOrders, {""}}, {kLedger, {"CAROL"}}}}},
                {"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | 09:06 am | 09:05 am, | 09:06 "
                 "am, | 1 | 1 | 0",
                 "2026-12-09 | G:\\ORDERS.DBF | BOB | 09:05 am | 09:06 am | 09:05 am, | 09:06 "
                 "am, | 1 | 1 | 0",
                 "2026-12-09 | H:\\LEDGER.DAT | CAROL | 09:05 am | Null | 09:05 am, | Null | 1 "
                 "| 1 | -1"}},
            // A failed connection scan, at the first answer or a later one, or a connection
            // whose user could not be named: the users not seen are neither closed nor counted.
            Scenario{
                "WhoTheScanCouldNotSeeIsLeftAsItWas",
                {{at(1, 9, 5), {{kOrders, {"ALICE", "BOB"}}, {kLedger, {"CAROL", "DAN"}}}, true},
                 {at(1, 9, 6), {{kOrders, {""}, false}, {kLedger, {"", "DAN"}, false}}},
                 {at(1, 9, 7), {{kOrders, {"BOB"}, false}, {kLedger, {"DAN"}}}}},
                {"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | Null | 09:05 am, | Null | 0 "
                 "| 1 | -1",
                 "2026-12-09 | G:\\ORDERS.DBF | BOB | 09:05 am | Null | 09:05 am, | Null | 1 "
                 "| 1 | -1",
                 "2026-12-09 | H:\\LEDGER.DAT | CAROL | 09:05 am | 09:07 am | 09:05 am, | 09:07 "
                 "am, | 1 | 1 | 0",
                 "2026-12-09 | H:\\LEDGER.DAT | DAN | 09:05 am | Null | 09:05 am, | Null | 2 "
                 "| 1 | -1"}},
            // Opens and closes are stored at once; the minute is counted once, by whichever
            // writer stores first in it.
            Scenario{
                "ScansInOneClockMinuteAddOneMinute",
                {{at(1, 9, 5, 0), {{kOrders, {"ALICE"}}}, true},
                 {at(1, 9, 5, 40), {{kOrders, {"ALICE"}}}, false, true},
                 {at(1, 9, 6, 10), {{kOrders, {"ALICE", "BOB"}}}},
                 {at(1, 9, 6, 50), {{kOrders, {"BOB"}}}, false, true},
                 {at(1, 9, 6, 55), {{kOrders, {"ALICE", "BOB"}}}},
                 {at(1, 9, 7, 0), {{kOrders, {"ALICE", "BOB"}}}, false, true},
                 {at(1, 9, 7, 30), {{kOrders, {""}}}}},
                {"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | 09:07 am | 09:05 am,09:06 am, "
                 "| 09:06 am,09:07 am, | 2 | 2 | 0",
                 "2026-12-09 | G:\\ORDERS.DBF | BOB | 09:06 am | 09:07 am | 09:06 am, | 09:07 "
                 "am, | 1 | 1 | 0"}},
            Scenario{
                "MidnightWhileAutoScanRuns",
                {{at(1, 23, 58), {{kOrders, {"ALICE", "BOB"}}}, true},
                 {at(1, 23, 59), {{kOrders, {"ALICE"}}}},
                 {at(2, 0, 1), {{kOrders, {"ALICE"}}}}},
                {"2026-12-09 | G:\\ORDERS.DBF | ALICE | 11:58 pm | 12:01 am | 11:58 pm, | 12:01 "
                 "am, | 2 | 1 | 0",
                 "2026-12-09 | G:\\ORDERS.DBF | BOB | 11:58 pm | 11:59 pm | 11:58 pm, | 11:59 "
                 "pm, | 1 | 1 | 0",
                 "2026-12-10 | G:\\ORDERS.DBF | ALICE | 12:01 am | Null | 12:01 am, | Null | 0 "
                 "| 1 | -1"}},
            // Nobody saw the night: the row ends when a scan last saw it open, with no
            // minute for the gap (here the 9:05 scan, stored as the day's last).
            Scenario{
                "AGapOverMidnightClosesAtTheLastStoredMinute",
                {{at(1, 9, 0), {{kOrders, {"ALICE"}}}, true},
                 {at(1, 9, 5), {{kOrders, {"ALICE"}}}},
                 {at(2, 8, 0), {{kOrders, {"ALICE"}}}}},
                {"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:00 am | 09:05 am | 09:00 am, | 09:05 "
                 "am, | 1 | 1 | 0",
                 "2026-12-10 | G:\\ORDERS.DBF | ALICE | 08:00 am | Null | 08:00 am, | Null | 0 "
                 "| 1 | -1"}},
            // A scan speaks only for the files it asked about.
            Scenario{
                "AFileTheScanDidNotAskAboutIsLeftAsItWas",
                {{at(1, 9, 5), {{kOrders, {"ALICE"}}, {kLedger, {"CAROL"}}}, true},
                 {at(1, 9, 6), {{kOrders, {"ALICE"}}}}},
                {"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | Null | 09:05 am, | Null | 1 "
                 "| 1 | -1",
                 "2026-12-09 | H:\\LEDGER.DAT | CAROL | 09:05 am | Null | 09:05 am, | Null | 0 "
                 "| 1 | -1"}},
            Scenario{
                "AutoScanSwitchedOnAgainOnALaterDayLeavesOldRowsOpen",
                {{at(1, 9, 5), {{kOrders, {"ALICE"}}}, true},
                 {at(3, 10, 0), {{kOrders, {"BOB"}}}, true}},
                {"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | Null | 09:05 am, | Null | 0 "
                 "| 1 | -1",
                 "2026-12-11 | G:\\ORDERS.DBF | BOB | 10:00 am | Null | 10:00 am, | Null | 0 | 1 "
                 "| -1"}},
            Scenario{
                "Apostrophes",
                {{at(1, 9, 5), {{"G:\\O'BRIEN\\IT'S.DBF", {"O'NEIL"}}}, true},
                 {at(1, 9, 6), {{"G:\\O'BRIEN\\IT'S.DBF", {"O'NEIL"}}}},
                 {at(1, 9, 7), {{"G:\\O'BRIEN\\IT'S.DBF", {""}}}}},
                {"2026-12-09 | G:\\O'BRIEN\\IT'S.DBF | O'NEIL | 09:05 am | 09:07 am | 09:05 am, "
                 "| 09:07 am, | 2 | 1 | 0"}},
            Scenario{
                "OneMinutePerScanWhateverTheConnections",
                {{at(1, 9, 5), {{kOrders, {"ALICE", "BOB", "ALICE", "ALICE"}}}, true},
                 {at(1, 9, 6), {{kOrders, {"ALICE", "", "BOB", "ALICE"}}}}},
                {"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | Null | 09:05 am, | Null | 1 "
                 "| 1 | -1",
                 "2026-12-09 | G:\\ORDERS.DBF | BOB | 09:05 am | Null | 09:05 am, | Null | 1 | 1 "
                 "| -1"}},
            Scenario{
                "PathAndUserMatchWithoutRegardToCase",
                {{at(1, 9, 5), {{kOrders, {"ALICE"}}}, true},
                 {at(1, 9, 6), {{"g:\\orders.dbf", {"alice"}}, {kOrders, {"ALICE"}}}}},
                {"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | Null | 09:05 am, | Null | 1 "
                 "| 1 | -1"}})),
    [](const ::testing::TestParamInfo<std::tuple<LogDb::Engine, Scenario>>& info) {
        return std::string(std::get<0>(info.param) == LogDb::Engine::SQLite ? "SQLite_"
                                                                            : "PostgreSQL_") +
               std::get<1>(info.param).name;
    });

TEST_F(UsageLogTest, OpenSinceGivesTheLastOpenOfTodaysOpenRows) {
    UsageLog log(path(), m_clock, m_prompts, m_autoScan.LastScanDate);
    EXPECT_TRUE(log.openSince().isEmpty());  // no log yet
    const std::pair<QDateTime, ScanFileTable> scans[] = {
        {at(1, 9, 0), {{kOrders, {"ANNA", "BOB"}}, {kLedger, {"BOB"}}}},
        {at(1, 9, 5), {{kOrders, {"BOB"}}, {kLedger, {"BOB"}}}},
        {at(1, 13, 20), {{kOrders, {"ANNA", "BOB"}}, {kLedger, {""}}}},
    };
    for (const auto& [moment, scan] : scans) {
        m_clock.set(moment);
        ASSERT_EQ(log.UpdateUsageLog(scan), QString());
    }
    EXPECT_EQ(log.openSince(), (QHash<QString, QDateTime>{{"G:\\ORDERS.DBF\nANNA", at(1, 13, 20)},
                                                          {"G:\\ORDERS.DBF\nBOB", at(1, 9, 0)}}));
}

TEST_F(UsageLogTest, ASecondRowOfAPairAddedByHandIsPassedOverAndClosed) {
    UsageLog log(path(), m_clock, m_prompts, m_autoScan.LastScanDate);
    m_autoScan.switchOn();
    m_clock.set(at(1, 9, 5));
    ASSERT_EQ(log.UpdateUsageLog({{kOrders, {"ALICE"}}}), QString());
    {
        LogDb db;
        ASSERT_TRUE(db.open(path()));
        ASSERT_TRUE(db.exec(QStringLiteral("INSERT INTO Log SELECT * FROM Log")).ok());
    }
    for (int minute : {6, 7}) {
        m_clock.set(at(1, 9, minute));
        ASSERT_EQ(log.UpdateUsageLog({{kOrders, {"ALICE"}}}), QString());
    }
    m_clock.set(at(1, 9, 8));
    ASSERT_EQ(log.UpdateUsageLog({{kOrders, {""}}}), QString());
    EXPECT_EQ(logRows(path()),
              QStringList({"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | 09:08 am | 09:05 am, "
                           "| 09:08 am, | 3 | 1 | 0",
                           "2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | 09:08 am | 09:05 am, "
                           "| 09:08 am, | 1 | 1 | 0"}));
}

TEST_F(UsageLogTest, ADatabaseErrorRollsTheWholeUpdateBack) {
    UsageLog log(path(), m_clock, m_prompts, m_autoScan.LastScanDate);
    m_autoScan.switchOn();
    m_clock.set(at(1, 9, 5));
    ASSERT_EQ(log.UpdateUsageLog({{kOrders, {"ALICE", "BOB"}}}), QString());
    {
        LogDb db;
        ASSERT_TRUE(db.open(path()));
        ASSERT_TRUE(db.exec(QStringLiteral("CREATE TRIGGER NoBoom BEFORE INSERT ON Log "
                                           "WHEN NEW.User = 'BOOM' BEGIN "
                                           "SELECT RAISE(ABORT, 'the disk is full'); END"))
                        .ok());
    }
    const QStringList before = logRows(path());

    // The day change, a close and an insert come before the failing insert.
    m_clock.set(at(2, 8, 0));
    const ScanFileTable scan{{kOrders, {"ALICE"}}, {kLedger, {"BOOM"}}};
    EXPECT_EQ(log.UpdateUsageLog(scan), QStringLiteral("the disk is full"));
    EXPECT_EQ(logRows(path()), before);
    EXPECT_EQ(m_autoScan.LastScanDate, at(1, 0, 0).date());

    {
        LogDb db;
        ASSERT_TRUE(db.open(path()));
        ASSERT_TRUE(db.exec(QStringLiteral("DROP TRIGGER NoBoom")).ok());
    }
    m_clock.set(at(2, 8, 1));
    ASSERT_EQ(log.UpdateUsageLog(scan), QString());
    EXPECT_EQ(m_autoScan.LastScanDate, at(2, 0, 0).date());
    EXPECT_EQ(logRows(path()),
              QStringList({"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | 09:05 am | 09:05 am, "
                           "| 09:05 am, | 0 | 1 | 0",
                           "2026-12-09 | G:\\ORDERS.DBF | BOB | 09:05 am | 09:05 am | 09:05 am, | "
                           "09:05 am, | 0 | 1 | 0",
                           "2026-12-10 | G:\\ORDERS.DBF | ALICE | 08:01 am | Null | 08:01 am, | "
                           "Null | 0 | 1 | -1",
                           "2026-12-10 | H:\\LEDGER.DAT | BOOM | 08:01 am | Null | 08:01 am, | "
                           "Null | 0 | 1 | -1"}));
}

TEST_F(UsageLogTest, ADatabaseAnotherProgramIsWritingIsSkippedWithNothingLost) {
    UsageLog log(path(), m_clock, m_prompts, m_autoScan.LastScanDate, 50);
    m_autoScan.switchOn();
    m_clock.set(at(1, 9, 5));
    ASSERT_EQ(log.UpdateUsageLog({{kOrders, {"ALICE"}}}), QString());
    const QStringList before = logRows(path());

    LogDb other;
    ASSERT_TRUE(other.open(path()));
    ASSERT_TRUE(other.exec(QStringLiteral("BEGIN IMMEDIATE")).ok());
    m_clock.set(at(2, 0, 1));
    EXPECT_EQ(log.UpdateUsageLog({{kOrders, {"ALICE"}}}),
              QStringLiteral("the database is locked by another program"));
    EXPECT_EQ(m_autoScan.LastScanDate, at(1, 0, 0).date());
    ASSERT_TRUE(other.exec(QStringLiteral("ROLLBACK")).ok());
    EXPECT_EQ(logRows(path()), before);

    m_clock.set(at(2, 0, 2));
    ASSERT_EQ(log.UpdateUsageLog({{kOrders, {"ALICE"}}}), QString());
    EXPECT_EQ(logRows(path()),
              QStringList({"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | 09:05 am | 09:05 am, "
                           "| 09:05 am, | 0 | 1 | 0",
                           "2026-12-10 | G:\\ORDERS.DBF | ALICE | 12:02 am | Null | 12:02 am, | "
                           "Null | 0 | 1 | -1"}));
}

TEST_F(UsageLogTest, ASecondWriterIsRefusedUntilTheFirstStopsStoring) {
    QDate otherLastScanDate = at(1, 0, 0).date();
    UsageLog first(path(), m_clock, m_prompts, m_autoScan.LastScanDate);
    UsageLog second(path(), m_clock, m_prompts, otherLastScanDate);
    m_autoScan.switchOn();
    const ScanFileTable scan{{kOrders, {"ALICE"}}};
    for (int minute : {5, 6, 7}) {
        m_clock.set(at(1, 9, minute));
        ASSERT_EQ(first.UpdateUsageLog(scan), QString());
        EXPECT_EQ(second.UpdateUsageLog(scan),
                  QStringLiteral("scan results are already being stored by %1, process %2 on %3")
                      .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName())
                      .arg(QCoreApplication::applicationPid())
                      .arg(QSysInfo::machineHostName()));
    }
    EXPECT_EQ(logRows(path()),
              QStringList({"2026-12-09 | G:\\ORDERS.DBF | ALICE | 09:05 am | Null | 09:05 am, | "
                           "Null | 2 | 1 | -1"}));

    first.stopStoring();
    EXPECT_FALSE(first.storing());
    m_clock.set(at(1, 9, 8));
    EXPECT_EQ(second.UpdateUsageLog(scan), QString());
    EXPECT_TRUE(second.storing());
    EXPECT_NE(first.UpdateUsageLog(scan), QString());
}

struct LeftLock {
    const char* name;
    QString holder;  // pid, program, host, host id, boot id: one a line
    int ageSeconds;
    QString refusal;  // "" when the lock is taken over; %1 stands for the lock file
};

void PrintTo(const LeftLock& lock, std::ostream* os) {
    *os << lock.name;
}

class LeftLockTest : public UsageLogTest, public ::testing::WithParamInterface<LeftLock> {};

TEST_P(LeftLockTest, IsTakenOverOnlyWhenItsHolderIsGone) {
    const QString lockPath = LogWriterLock::pathFor(path());
    QFile file(lockPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(GetParam().holder.toUtf8());
    file.flush();
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-GetParam().ageSeconds),
                                 QFileDevice::FileModificationTime));
    file.close();

    LogWriterLock lock(path());
    const QString reason = lock.acquire();
    const bool takenOver = GetParam().refusal.isEmpty();
    EXPECT_EQ(reason, takenOver ? QString() : GetParam().refusal.arg(lockPath));
    EXPECT_EQ(lock.held(), takenOver);
}

const QString kThisMachine = QSysInfo::machineHostName() + QLatin1Char('\n') +
                             QString::fromUtf8(QSysInfo::machineUniqueId());
const QString kFarAway = QStringLiteral("4321\ntavrelctl\nfar-away\nfar-away-id\nboot\n");
const QString kStoredByFarAway =
    QStringLiteral("scan results are already being stored by tavrelctl, process 4321 on far-away");

INSTANTIATE_TEST_SUITE_P(
    UsageLog, LeftLockTest,
    ::testing::Values(
        LeftLock{"DeadProcessHere",
                 QStringLiteral("2147480000\ntavrelctl\n") + kThisMachine + QLatin1Char('\n') +
                     QString::fromUtf8(QSysInfo::bootUniqueId()) + QLatin1Char('\n'),
                 0, QString()},
        LeftLock{"BeforeTheLastRestart",
                 QStringLiteral("%1\n%2\n")
                         .arg(QCoreApplication::applicationPid())
                         .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName()) +
                     kThisMachine + QStringLiteral("\nan-earlier-boot\n"),
                 0, QString()},
        LeftLock{"ElsewhereAndStillRefreshed", kFarAway, 2 * 60, kStoredByFarAway},
        LeftLock{"ElsewhereAndSilentForElevenMinutes", kFarAway, 11 * 60, QString()},
        // A writer killed between making the file and writing its name into it.
        LeftLock{"EmptyForSomeSeconds", QString(), 10, QString()},
        LeftLock{"EmptyThisMoment", QString(), 0,
                 QStringLiteral("scan results are already being stored by another program")},
        LeftLock{"HoldingSomethingElse", QStringLiteral("not a lock\n"), 60,
                 QStringLiteral("the lock file %1 does not name a program storing scan results "
                                "(it holds something else); remove it if no other program "
                                "stores them")}),
    [](const ::testing::TestParamInfo<LeftLock>& info) { return std::string(info.param.name); });

TEST_F(UsageLogTest, ALockPathThatIsAFolderIsReportedAsOne) {
    const QString lockPath = LogWriterLock::pathFor(path());
    ASSERT_TRUE(QDir().mkpath(lockPath));
    LogWriterLock lock(path());
    EXPECT_EQ(lock.acquire(),
              QStringLiteral("the lock file %1 is a folder, not a file; remove it so that scan "
                             "results can be stored")
                  .arg(lockPath));
    EXPECT_FALSE(lock.held());
    EXPECT_TRUE(QFileInfo(lockPath).isDir());
}

// A holder on another machine sees only the lock file's age: the holder's refresh at
// every update keeps it from looking left behind.
TEST_F(UsageLogTest, AHeldLockIsKeptYoungSoNobodyTakesItOver) {
    const QString lockPath = LogWriterLock::pathFor(path());
    LogWriterLock holder(path());
    ASSERT_EQ(holder.acquire(), QString());
    QFile file(lockPath);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-11 * 60),
                                 QFileDevice::FileModificationTime));
    file.close();

    ASSERT_EQ(holder.acquire(), QString());
    EXPECT_LT(QFileInfo(lockPath).lastModified().msecsTo(QDateTime::currentDateTime()),
              LogWriterLock::kStaleAfterMs);
    LogWriterLock other(path());
    EXPECT_NE(other.acquire(), QString());
    EXPECT_TRUE(holder.held());
    EXPECT_TRUE(QFile::exists(lockPath));
}

TEST_F(UsageLogTest, CreationFailureIsShownOncePerAttemptAndSkipsTheUpdate) {
    // A dangling link: no file there, and none can be made through it.
    ASSERT_TRUE(QFile::link(m_dir.path() + QStringLiteral("/missing/tavrel.mdb"), path()));
    UsageLog log(path(), m_clock, m_prompts, m_autoScan.LastScanDate);
    m_autoScan.switchOn();
    const QDate before = m_autoScan.LastScanDate;
    m_clock.set(at(2, 9, 5));
    for (int attempt = 1; attempt <= 2; ++attempt) {
        EXPECT_EQ(log.UpdateUsageLog({{kOrders, {"ALICE"}}}),
                  QStringLiteral("the log database could not be created"));
        ASSERT_EQ(m_prompts.asked().size(), attempt);
    }
    EXPECT_EQ(m_autoScan.LastScanDate, before);
    const MessageBoxRequest& shown = m_prompts.asked().first().message;
    EXPECT_FALSE(shown.text.isEmpty());
    EXPECT_EQ(shown.title, QStringLiteral("Tavrel"));
    EXPECT_EQ(shown.icon, MessageIcon::None);
    EXPECT_EQ(shown.buttons, MessageButtons::Ok);
}

TEST_F(UsageLogTest, CreateLogDatabaseMakesTheLogOrShowsWhyNot) {
    EXPECT_TRUE(CreateLogDatabase(m_prompts, path()));
    EXPECT_TRUE(LogDb::LogExists(path()));
    EXPECT_TRUE(m_prompts.asked().isEmpty());

    const QString notes = m_dir.path() + QStringLiteral("/notes.txt");
    QFile file(notes);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a database\n");
    file.close();
    for (const QString& bad : {notes, notes + QStringLiteral("/tavrel.mdb"), m_dir.path()}) {
        m_prompts.clear();
        EXPECT_FALSE(CreateLogDatabase(m_prompts, bad)) << bad.toStdString();
        ASSERT_EQ(m_prompts.messages().size(), 1) << bad.toStdString();
        EXPECT_FALSE(m_prompts.messages().first().isEmpty());
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("not a database\n"));
}

}  // namespace
}  // namespace tavrel
