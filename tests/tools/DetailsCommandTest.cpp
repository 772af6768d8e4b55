#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "external/logdb/LogDb.h"
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

TEST_F(DetailsCommandTest, RefusesADateItCannotRead) {
    for (const char* date : {"13/13/03", "31/31/2003", "yesterday"}) {
        const test::CommandRun result = run({"details", date});
        EXPECT_EQ(result.exitCode, 2) << date;
        EXPECT_TRUE(result.err.contains("Invalid date")) << date;
    }
}

}  // namespace
}  // namespace tavrel
