#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "external/logdb/LogDb.h"
#include "support/PostgresServer.h"
#include "tools/CtlRun.h"

#include <csignal>

namespace tavrel {
namespace {

// tavrelctl query, run as a separate process on a program folder of its own.
class QueryCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        environment.insert("TAVREL_HOME", dir.path());
        environment.insert("HOME", dir.filePath("home"));
        environment.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        const test::CommandRun insert =
            run({"query",
                 "INSERT INTO Log (Date, File, User, Opens, Opened) VALUES "
                 "(#12/01/2003#, 'G:\\ORDERS.DBF', 'AL \"Q\"', 1, True)"});
        ASSERT_EQ(insert.exitCode, 0) << insert.err.toStdString();
        EXPECT_EQ(insert.out, QString());
    }
    test::CommandRun run(const QStringList& args) const {
        return test::runTavrelctl(args, environment);
    }

    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(QueryCommandTest, PrintsRowsAsQuotedCsvWithAHeading) {
    const test::CommandRun csv =
        run({"query", "SELECT Date, User, Out_Time, Opens FROM Log WHERE Opened = True"});
    EXPECT_EQ(csv.exitCode, 0) << csv.err.toStdString();
    EXPECT_EQ(csv.out, QStringLiteral("\"Date\",\"User\",\"Out_Time\",\"Opens\"\n"
                                      "\"2003-12-01\",\"AL \"\"Q\"\"\",\"\",\"1\"\n"));
}

TEST_F(QueryCommandTest, PrintsJsonWithNullsAndNumbers) {
    const test::CommandRun json = run({"query", "--json", "SELECT User, Out_Time, Opens FROM Log"});
    EXPECT_EQ(json.exitCode, 0) << json.err.toStdString();
    EXPECT_EQ(json.out,
              QStringLiteral("{\"columns\": [\"User\",\"Out_Time\",\"Opens\"], \"rows\": [\n"
                             "  [\"AL \\\"Q\\\"\", null, 1]\n]}\n"));
}

TEST_F(QueryCommandTest, ReadsSqlFilesAsTheWindowDoesAndReportsFailures) {
    QFile file(dir.filePath("count.sql"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("' how many\r\nSELECT count(*) -- every row\r\n AS n FROM Log\r\n");
    file.close();
    const test::CommandRun counted = run({"query", "-f", file.fileName()});
    EXPECT_EQ(counted.out, QStringLiteral("\"n\"\n\"1\"\n")) << counted.err.toStdString();
    const test::CommandRun endless = run({"query", "-f", "/dev/zero"});
    EXPECT_EQ(endless.exitCode, 2);
    EXPECT_EQ(endless.err, "tavrelctl query: /dev/zero: not a regular file\n");
    const test::CommandRun date = run({"query", "SELECT 1 FROM Log WHERE Date = #2/30/2003#"});
    EXPECT_EQ(date.exitCode, 1);
    EXPECT_TRUE(date.err.contains("Invalid date #2/30/2003#")) << date.err.toStdString();

    const test::CommandRun failed = run({"query", "SELECT DatePart('yyyy', Date) FROM Log"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.err, QStringLiteral("tavrelctl query: Unable to process SQL statement: "
                                         "no such function: DatePart\n"));
    EXPECT_EQ(run({"query"}).exitCode, 2);
    EXPECT_EQ(run({"query", "--csv", "--json", "SELECT 1"}).exitCode, 2);
}

// A full disk (/dev/full) under any command's output: said, and never a success.
TEST_F(QueryCommandTest, OutputThatCannotBeWrittenFailsTheCommand) {
    ASSERT_EQ(run({"files", "add", "G:\\APPS\\ORDERS.DBF"}).exitCode, 0);
    const QStringList commands[] = {{"query", "SELECT * FROM Log"},
                                    {"query", "--json", "SELECT * FROM Log"},
                                    {"details", "12/01/2003"},
                                    {"files", "list"},
                                    {"scan"},
                                    {"help"}};
    for (const QStringList& args : commands) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.start(QStringLiteral(TAVRELCTL_PATH), args);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 74) << args.join(' ').toStdString();
        EXPECT_TRUE(QString::fromUtf8(process.readAllStandardError())
                        .endsWith("tavrelctl: cannot write the output: No space left on device\n"))
            << args.join(' ').toStdString();
    }
}

TEST_F(QueryCommandTest, RefusesASecondStatementAndStopsOneThatRunsTooLong) {
    const test::CommandRun two = run({"query", "SELECT count(*) FROM Log; DELETE FROM Log"});
    EXPECT_EQ(two.exitCode, 1);
    EXPECT_TRUE(two.err.contains("a second one begins at \"DELETE FROM Log\""))
        << two.err.toStdString();
    EXPECT_EQ(run({"query", "SELECT count(*) FROM Log; -- all\n"}).out, "\"count(*)\"\n\"1\"\n");

    const test::CommandRun endless =
        run({"query", "--timeout", "1",
             "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) "
             "SELECT count(*) FROM n"});
    EXPECT_EQ(endless.exitCode, 1);
    EXPECT_EQ(endless.err,
              "tavrelctl query: the statement ran longer than 1 seconds and was stopped\n");
    EXPECT_EQ(run({"query", "--timeout", "0", "SELECT 1"}).exitCode, 2);
}

// On the shared log: only the address options known to be harmless, one statement only,
// and a statement that runs out of time ends on the server.
TEST_F(QueryCommandTest, OnASharedLogRunsOneStatementWithinItsTime) {
    TAVREL_REQUIRE_POSTGRES();
    const QString uri = test::PostgresServer::shared().newDatabase();
    ASSERT_FALSE(uri.isEmpty());
    // Options that would override the address's user or carry a password are refused
    // before anything is stored; a known one is used.
    for (const char* injected : {"?application_name=x%20password=secret",
                                 "?sslmode=disable%20user=postgres", "?options=-csearch_path=x"}) {
        const test::CommandRun refused = run({"log", "location", uri + injected});
        EXPECT_EQ(refused.exitCode, 2) << injected;
        EXPECT_FALSE(refused.out.contains("secret") || refused.err.contains("secret"));
    }
    ASSERT_EQ(run({"log", "location", uri + "?application_name=desk7"}).exitCode, 0);
    test::CommandRun r = run(
        {"query", "SELECT application_name FROM pg_stat_activity WHERE pid = pg_backend_pid()"});
    EXPECT_EQ(r.out, "\"application_name\"\n\"desk7\"\n") << r.err.toStdString();
    EXPECT_EQ(run({"log", "location"}).out, uri + "?application_name=desk7\n");
    ASSERT_EQ(run({"query", "INSERT INTO Log (Date, Opened) VALUES (#12/01/2003#, 0)"}).exitCode,
              0);

    r = run({"query", "SELECT count(*) FROM Log; DELETE FROM Log"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("a second one begins at \"DELETE FROM Log\""))
        << r.err.toStdString();
    r = run({"query", "SELECT count(*) AS n FROM Log;"});
    EXPECT_EQ(r.out, "\"n\"\n\"1\"\n") << r.err.toStdString();

    r = run({"query", "--timeout", "1", "SELECT pg_sleep(60)"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "tavrelctl query: the statement ran longer than 1 seconds and was stopped\n");
}

// A signal stops the statement on the server before the command ends.
TEST_F(QueryCommandTest, OnASharedLogASignalCancelsTheStatementOnTheServer) {
    TAVREL_REQUIRE_POSTGRES();
    const QString uri = test::PostgresServer::shared().newDatabase();
    ASSERT_FALSE(uri.isEmpty());
    ASSERT_EQ(run({"log", "location", uri}).exitCode, 0);
    LogDb watcher;
    ASSERT_TRUE(watcher.open(uri));
    const auto sleeping = [&] {
        return watcher
            .exec(
                "SELECT count(*) FROM pg_stat_activity WHERE state = 'active' "
                "AND query LIKE 'SELECT pg_sleep(61)%'")
            .rows.value(0)
            .value(0)
            .toInt();
    };
    for (const int signalNumber : {SIGINT, SIGTERM}) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TAVRELCTL_PATH), {"query", "SELECT pg_sleep(61)"});
        ASSERT_TRUE(process.waitForStarted());
        for (int i = 0; i < 200 && sleeping() == 0; ++i) {
            QThread::msleep(50);
        }
        ASSERT_EQ(sleeping(), 1);
        ::kill(static_cast<pid_t>(process.processId()), signalNumber);
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitCode(), 128 + signalNumber);
        for (int i = 0; i < 200 && sleeping() != 0; ++i) {
            QThread::msleep(50);
        }
        EXPECT_EQ(sleeping(), 0) << "the statement still runs on the server";
    }
}

}  // namespace
}  // namespace tavrel
