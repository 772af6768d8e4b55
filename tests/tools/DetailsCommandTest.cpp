#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "external/logdb/LogDb.h"
#include "support/PrometheusServer.h"
#include "tools/CtlRun.h"

namespace tavrel {
namespace {

// tavrelctl details on a usage log of its own: one past day with one row.
class DetailsCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_environment.insert("TAVREL_HOME", m_dir.filePath("app"));
        m_environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        m_environment.insert("HOME", m_dir.filePath("home"));
        QDir().mkpath(m_dir.filePath("app"));
        LogDb db;
        ASSERT_TRUE(db.create(m_dir.filePath("app/tavrel.mdb")));
        db.exec(
            QStringLiteral("INSERT INTO Log VALUES ('2003-12-01', 'G:\\APPS\\ORDERS.DBF', "
                           "'JSMITH', '11:15 pm', '12:10 am', '09:15 am,11:15 pm,', "
                           "'11:40 am,12:10 am,', 200, 2, 0)"));
    }

    test::CommandRun run(const QStringList& args) const {
        return test::runTavrelctl(args, m_environment);
    }

    QTemporaryDir m_dir;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(DetailsCommandTest, PrintsEachRowWithItsStaysInTheSummaryLayout) {
    const test::CommandRun result = run({"details", "1.12.2003"});  // day first: 12 January
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "No data found\n");

    const test::CommandRun day = run({"details", "12-01-2003"});
    ASSERT_EQ(day.exitCode, 0) << day.err.toStdString();
    // The first line carries the time of the run.
    EXPECT_EQ(day.out.section('\n', 1),
              "\n"
              "Date: 12-01-2003\n"
              "File: G:\\APPS\\ORDERS.DBF\n"
              "User: JSMITH\n"
              "Mins: 200\n"
              "Opens: 2\n"
              "Avg Mins: 100\n"
              "First In: 11:15 pm\n"
              "Last Out: 12:10 am\n"
              "\n"
              "In\t\tOut\t\tHrs/Mins\n"
              "\n"
              "09:15 am\t11:40 am\t02:25   \t\n"
              "11:15 pm\t12:10 am\t00:55   \t\n"
              "Total   \t        \t03:20   \t\n");
}

TEST_F(DetailsCommandTest, JsonGivesStaysAsIsoTimesAndMinutes) {
    const test::CommandRun result = run({"details", "2003-12-01", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QJsonObject document = QJsonDocument::fromJson(result.out.toUtf8()).object();
    EXPECT_EQ(document["date"].toString(), "2003-12-01");
    const QJsonObject row = document["rows"].toArray().first().toObject();
    EXPECT_EQ(row["user"].toString(), "JSMITH");
    EXPECT_EQ(row["totalMinutes"].toInt(), 200);
    const QJsonArray stays = row["stays"].toArray();
    ASSERT_EQ(stays.size(), 2);
    EXPECT_EQ(stays[1].toObject()["in"].toString(), "2003-12-01T23:15:00");
    EXPECT_EQ(stays[1].toObject()["out"].toString(), "2003-12-02T00:10:00");
    EXPECT_EQ(stays[1].toObject()["minutes"].toInt(), 55);
}

// On the days the clocks change, the stays keep the times the day's wall clock showed.
TEST_F(DetailsCommandTest, JsonTimesFollowTheWallClockOnDaylightSavingDays) {
    m_environment.insert("TZ", "Europe/Berlin");
    for (const char* date : {"2026-03-29", "2026-10-25"}) {
        LogDb db;
        ASSERT_TRUE(db.open(m_dir.filePath("app/tavrel.mdb")));
        db.exec(QStringLiteral("INSERT INTO Log VALUES ('%1', 'G:\\APPS\\ORDERS.DBF', "
                               "'JSMITH', '01:30 am', '12:10 am', '01:30 am,11:15 pm,', "
                               "'09:40 am,12:10 am,', 555, 2, 0)")
                    .arg(date));
        const test::CommandRun result = run({"details", date, "--json"});
        ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
        const QJsonArray stays = QJsonDocument::fromJson(result.out.toUtf8())
                                     .object()["rows"]
                                     .toArray()
                                     .first()
                                     .toObject()["stays"]
                                     .toArray();
        ASSERT_EQ(stays.size(), 2) << date;
        const QString day = QString::fromLatin1(date);
        const QString next = QDate::fromString(day, Qt::ISODate).addDays(1).toString(Qt::ISODate);
        EXPECT_EQ(stays[0].toObject()["in"].toString(), day + "T01:30:00");
        EXPECT_EQ(stays[0].toObject()["out"].toString(), day + "T09:40:00");
        EXPECT_EQ(stays[1].toObject()["in"].toString(), day + "T23:15:00");
        EXPECT_EQ(stays[1].toObject()["out"].toString(), next + "T00:10:00");
    }
}

TEST_F(DetailsCommandTest, RefusesADateItCannotRead) {
    for (const char* date : {"13/13/03", "31/31/2003", "yesterday"}) {
        const test::CommandRun result = run({"details", date});
        EXPECT_EQ(result.exitCode, 2) << date;
        EXPECT_TRUE(result.err.contains("Invalid date")) << date;
    }
}

// A log that cannot be read is a failure (exit 2 and the reason), never a quiet day
// (exit 1): a folder, a FIFO or a file that is no database in the log's place, or a shared
// log nobody answers. The log is left as it was.
TEST_F(DetailsCommandTest, ALogThatCannotBeReadIsAFailureNotAQuietDay) {
    const QString log = m_dir.filePath("app/tavrel.mdb");
    const QString closedPort = QStringLiteral("postgresql://127.0.0.1:%1/tavrel?connect_timeout=5")
                                   .arg(test::freeLoopbackPort());
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"not a database",
         [&] {
             QFile file(log);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write("no database at all, only text that is long enough to look at");
         }},
        {"is not a file", [&] { ASSERT_TRUE(QDir().mkdir(log)); }},
        {"is not a file", [&] { ASSERT_EQ(::mkfifo(log.toLocal8Bit().constData(), 0600), 0); }},
        {"127.0.0.1",
         [&] {
             ASSERT_EQ(run({"log", "location", closedPort, "--no-check"}).exitCode, 0);
         }},
    };
    for (const auto& [reason, make] : cases) {
        SCOPED_TRACE(reason);
        QFile::remove(log);
        QDir().rmdir(log);
        make();
        const QFileInfo before(log);
        const test::CommandRun r = run({"details", "2003-12-01"});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.startsWith("tavrelctl details: ") && r.err.contains(reason))
            << r.err.toStdString();
        EXPECT_EQ(QFileInfo(log).size(), before.size());
        run({"log", "location", "default"});
    }
    QFile::remove(log);
    EXPECT_EQ(run({"details", "2003-12-01"}).exitCode, 1);  // no log yet: nothing was used
}

// Settings that cannot be read name no log: the command says so and touches nothing, so
// no local log is created in place of the one configured.
TEST_F(DetailsCommandTest, UnreadableSettingsStopQueryAndDetailsBeforeAnyLog) {
    QFile::remove(m_dir.filePath("app/tavrel.mdb"));
    const QString settings = m_dir.filePath("config/Tavrel/Tavrel.ini");
    ASSERT_TRUE(QDir().mkpath(settings));
    for (const QStringList& args :
         {QStringList{"details", "2003-12-01"}, QStringList{"query", "SELECT count(*) FROM Log"}}) {
        const test::CommandRun r = run(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("The settings file " + settings + " cannot be read."))
            << r.err.toStdString();
        EXPECT_EQ(r.out, QString());
    }
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("app/tavrel.mdb")));
    EXPECT_TRUE(QFileInfo(settings).isDir());
}

}  // namespace
}  // namespace tavrel
