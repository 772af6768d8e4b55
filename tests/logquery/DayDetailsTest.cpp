#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "external/logdb/LogDb.h"
#include "logquery/DayDetails.h"
#include "support/PostgresServer.h"

namespace tavrel {
namespace {

struct DateCase {
    const char* text;
    QDate day;  // invalid: "Invalid date"
};

class DateBoxTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateBoxTest, ReadsMonthFirstWhenValidElseDayFirst) {
    const DateCase& c = GetParam();
    EXPECT_EQ(parseDateBox(c.text, QDate(2026, 12, 9)).value_or(QDate()), c.day) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Dates, DateBoxTest,
    ::testing::Values(
        DateCase{"12-01-2003", QDate(2003, 12, 1)}, DateCase{"1.12.2003", QDate(2003, 1, 12)},
        DateCase{"12/08/2026", QDate(2026, 12, 8)}, DateCase{"13/01/2003", QDate(2003, 1, 13)},
        DateCase{"  2/29/2004 ", QDate(2004, 2, 29)}, DateCase{"2003-12-01", QDate(2003, 12, 1)},
        // Short years and a missing one, as the query window's #12/01/03# reads them.
        DateCase{"12/01/03", QDate(2003, 12, 1)}, DateCase{"12/1/29", QDate(2029, 12, 1)},
        DateCase{"1.12.30", QDate(1930, 1, 12)}, DateCase{"3-4-99", QDate(1999, 3, 4)},
        DateCase{"12/1", QDate(2026, 12, 1)}, DateCase{"31.1", QDate(2026, 1, 31)},
        DateCase{"12/1/", QDate()}, DateCase{"2003/12", QDate()},
        DateCase{"2/29/2003", QDate()},                                    // no such day either way
        DateCase{"13/13/2003", QDate()}, DateCase{"12-01.2003", QDate()},  // only "-" is made "/"
        DateCase{"", QDate()}));

// The day's query on an SQLite log and on a shared PostgreSQL one.
class DayQueryTest : public ::testing::TestWithParam<LogDb::Engine> {
protected:
    void SetUp() override {
        QString location = m_dir.path() + QStringLiteral("/tavrel.mdb");
        if (GetParam() == LogDb::Engine::PostgreSQL) {
            TAVREL_REQUIRE_POSTGRES();
            location = test::PostgresServer::shared().newDatabase();
        }
        ASSERT_TRUE(m_db.create(location));
        const auto insert = [this](const char* date, const char* user, int mins, int opens) {
            m_db.exec(QStringLiteral("INSERT INTO Log (Date, File, \"user\", In_Time, Out_Time, "
                                     "In_Times, Out_Times, Mins, Opens, Opened) VALUES "
                                     "(?, 'G:\\APPS\\ORDERS.DBF', ?, '09:15 am', '11:40 am', "
                                     "'09:15 am,01:00 pm,', '11:40 am,', ?, ?, -1)"),
                      {date, user, mins, opens});
        };
        insert("2003-12-01", "JSMITH", 145, 3);
        insert("2003-12-01", "MJONES", 0, 0);
        insert("2003-12-02", "JSMITH", 10, 1);
    }

    QTemporaryDir m_dir;
    LogDb m_db;
};

TEST_P(DayQueryTest, GivesTheDaysRowsWithARealAverage) {
    const LogDbResult result = runDayQuery(m_db, QDate(2003, 12, 1));
    ASSERT_TRUE(result.ok()) << result.error.description.toStdString();
    EXPECT_EQ(result.columns, QStringList({"File", "User", "Mins", "Opens", "Avg Mins", "First In",
                                           "Last Out", "In_Times", "Out_Times", "Opened"}));
    ASSERT_EQ(result.rows.size(), 2);
    EXPECT_DOUBLE_EQ(result.rows[0][daycol::AvgMins].toDouble(), 145.0 / 3.0);
    EXPECT_TRUE(result.rows[1][daycol::AvgMins].isNull());  // no opens: no average
}

TEST_P(DayQueryTest, SummaryOfOneRowHasItsExactLayout) {
    const QDate day(2003, 12, 1);
    const LogDbResult result = runDayQuery(m_db, day);
    ASSERT_FALSE(result.rows.isEmpty());
    const QVariantList& row = result.rows[0];
    const QDateTime now(QDate(2003, 12, 2), QTime(15, 7, 42));
    const InOutList list = FillInOutList(row[daycol::InTimes], row[daycol::OutTimes], day, now);
    EXPECT_EQ(usageSummary(now, QStringLiteral("12-01-2003"), row, list.rows),
              QStringLiteral("File Usage Summary          12/02/2003 03:07 pm\r\n"
                             "\r\n"
                             "Date: 12-01-2003\r\n"
                             "File: G:\\APPS\\ORDERS.DBF\r\n"
                             "User: JSMITH\r\n"
                             "Mins: 145\r\n"
                             "Opens: 3\r\n"
                             "Avg Mins: 48.333333333333336\r\n"
                             "First In: 09:15 am\r\n"
                             "Last Out: 11:40 am\r\n"
                             "\r\n"
                             "In\t\tOut\t\tHrs/Mins\r\n"
                             "\r\n"
                             "09:15 am\t11:40 am\t02:25   \t\r\n"
                             "01:00 pm\t12:00 am\t11:00   \t\r\n"
                             "Total   \t        \t13:25   \t\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Engines, DayQueryTest,
                         ::testing::Values(LogDb::Engine::SQLite, LogDb::Engine::PostgreSQL),
                         [](const ::testing::TestParamInfo<LogDb::Engine>& info) {
                             return info.param == LogDb::Engine::SQLite ? "SQLite" : "PostgreSQL";
                         });

}  // namespace
}  // namespace tavrel
