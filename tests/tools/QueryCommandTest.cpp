#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "tools/CtlRun.h"

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
    file.write("' how many\r\nSELECT count(*)\r\n AS n FROM Log\r\n");
    file.close();
    const test::CommandRun counted = run({"query", "-f", file.fileName()});
    EXPECT_EQ(counted.out, QStringLiteral("\"n\"\n\"1\"\n"));

    const test::CommandRun failed = run({"query", "SELECT DatePart('yyyy', Date) FROM Log"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.err, QStringLiteral("tavrelctl query: Unable to process SQL statement: "
                                         "no such function: DatePart\n"));
    EXPECT_EQ(run({"query"}).exitCode, 2);
    EXPECT_EQ(run({"query", "--csv", "--json", "SELECT 1"}).exitCode, 2);
}

}  // namespace
}  // namespace tavrel
