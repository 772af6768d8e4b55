#include <gtest/gtest.h>

#include "logquery/QueryLog.h"
#include "logquery/ResultSet.h"
#include "logquery/ResultSort.h"

namespace tavrel {
namespace {

class ResultSetTest : public ::testing::Test {
protected:
    ResultSetTest() { result.setDatabase(log.db.database()); }

    // Adds rows so that the result spans several pages.
    void addRows(int count) {
        const LogDbResult insert = log.db.exec(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < %1) INSERT INTO Log (Date, File, User, Mins, Opens, Opened) "
                           "SELECT '2026-01-01', 'F' || i, printf('U%05d', i), i, 1, 0 FROM n")
                .arg(count));
        ASSERT_TRUE(insert.ok()) << insert.error.description.toStdString();
    }

    test::QueryLog log;
    ResultSet result;
};

TEST_F(ResultSetTest, CountsExactlyAndReadsAnyRowOfAResultSpanningManyPages) {
    addRows(1000);
    ASSERT_TRUE(result.run("SELECT User, Mins FROM Log WHERE Date = '2026-01-01' ORDER BY User"));
    EXPECT_TRUE(result.readOnly());
    EXPECT_EQ(result.recordCount(), 1000);
    EXPECT_EQ(result.rowCount(), 1000);
    EXPECT_EQ(result.columns(), QStringList({"User", "Mins"}));
    // Far ahead, back to the start, then on from there.
    for (const qint64 row : {999, 0, 700, 255, 256, 257, 512}) {
        EXPECT_EQ(result.value(row, 0).toString(),
                  QStringLiteral("U%1").arg(row + 1, 5, 10, QChar('0')))
            << row;
    }
    EXPECT_FALSE(result.value(1000, 0).isValid());
    EXPECT_EQ(result.data(result.index(2, 1)).toString(), QStringLiteral("3"));
}

TEST_F(ResultSetTest, CountsMatchTheRowsWhateverTheClausesAfterTheOrder) {
    const std::pair<const char*, qint64> cases[] = {
        {"SELECT User FROM Log ORDER BY User LIMIT 2", 2},
        {"SELECT 'ORDER BY' AS x FROM Log ORDER BY 1;", 3},
        {"SELECT File, count(*) OVER (ORDER BY File) FROM Log ORDER BY 1 LIMIT 5 OFFSET 1", 2},
        {"SELECT User FROM Log -- ORDER BY\n", 3},
        {"PRAGMA table_info(Log)", 10},
    };
    for (const auto& [statement, count] : cases) {
        ASSERT_TRUE(result.run(statement)) << statement << result.error().description.toStdString();
        EXPECT_EQ(result.recordCount(), count) << statement;
        int rows = 0;
        result.forEachRow([&](const QVariantList&) { return ++rows, true; });
        EXPECT_EQ(rows, count) << statement;
    }
    ASSERT_TRUE(result.run("SELECT File, File FROM Log"));
    EXPECT_EQ(result.columns(), QStringList({"File", "File"}));
}

TEST_F(ResultSetTest, ARowsetStaysTheSameSnapshotWhileTheLogChanges) {
    ASSERT_TRUE(result.run("SELECT User FROM Log ORDER BY User"));
    LogDb writer;
    ASSERT_TRUE(writer.open(log.path()));
    EXPECT_TRUE(writer.exec("INSERT INTO Log (User, Opened) VALUES ('AARON', 0)").ok());
    EXPECT_EQ(result.recordCount(), 3);
    std::vector<QString> users;
    result.forEachRow([&](const QVariantList& row) {
        users.push_back(row.at(0).toString());
        return true;
    });
    EXPECT_EQ(users.size(), 3u);
    EXPECT_EQ(users.front(), QStringLiteral("ALICE"));
}

TEST_F(ResultSetTest, AnActionStatementRunsOnceAndReportsNoRowSet) {
    ASSERT_TRUE(result.run("DELETE FROM Log WHERE User = 'BOB'"));
    EXPECT_FALSE(result.hasRowSet());
    EXPECT_FALSE(result.readOnly());
    EXPECT_EQ(result.recordCount(), 0);
    EXPECT_EQ(log.rows(), 2);
}

TEST_F(ResultSetTest, RowsReturnedByAnActionAreKeptAndNeverFetchedByRunningItAgain) {
    ASSERT_TRUE(result.run("UPDATE Log SET Mins = Mins + 1 RETURNING User, Mins"));
    EXPECT_FALSE(result.readOnly());
    EXPECT_EQ(result.recordCount(), 3);
    int rows = 0;
    result.forEachRow([&](const QVariantList&) { return ++rows, true; });
    EXPECT_EQ(rows, 3);
    SortState sort;
    EXPECT_EQ(sortOnColumn(result, sort, 1), QStringLiteral("Can't sort!"));
    EXPECT_EQ(log.db.exec("SELECT sum(Mins) FROM Log").rows.value(0).value(0).toInt(), 78);
}

TEST_F(ResultSetTest, AFailingStatementLeavesAnEmptyResultAndSaysWhy) {
    ASSERT_TRUE(result.run("SELECT * FROM Log"));
    EXPECT_FALSE(result.run("SELECT * FROM Nowhere"));
    EXPECT_EQ(result.error().description, QStringLiteral("no such table: Nowhere"));
    EXPECT_EQ(result.recordCount(), 0);
    EXPECT_EQ(result.columnCount(), 0);
    // A comment line alone, as the window hands it over when no line break follows it.
    EXPECT_FALSE(result.run("'open rows"));
}

TEST_F(ResultSetTest, HeadingSortsAlternatePerFieldAndRewriteTheStatement) {
    ASSERT_TRUE(result.run("SELECT File, User FROM Log order by date"));
    SortState sort;
    EXPECT_EQ(sortOnColumn(result, sort, 1), QStringLiteral("Sorted by 'User' in ascending order"));
    EXPECT_EQ(result.statement(), QStringLiteral("SELECT File, User FROM Log order by 2 ASC"));
    EXPECT_EQ(result.value(0, 1).toString(), QStringLiteral("ALICE"));
    EXPECT_EQ(sortOnColumn(result, sort, 1),
              QStringLiteral("Sorted by 'User' in descending order"));
    EXPECT_EQ(result.value(0, 1).toString(), QStringLiteral("CAROL \"C\""));
    EXPECT_EQ(sortOnColumn(result, sort, 1), QStringLiteral("Sorted by 'User' in ascending order"));
    EXPECT_EQ(sortOnColumn(result, sort, 0), QStringLiteral("Sorted by 'File' in ascending order"));
    EXPECT_EQ(sort.SortField, QStringLiteral("File"));
    EXPECT_TRUE(sort.SortAscending);
}

TEST_F(ResultSetTest, ASortThatFailsSaysSoAndKeepsTheRows) {
    // The clause is not found across a line break, so a second one is appended.
    ASSERT_TRUE(result.run("SELECT User FROM (SELECT User FROM Log) ORDER\nBY User"));
    SortState sort;
    EXPECT_EQ(sortOnColumn(result, sort, 0), QStringLiteral("Can't sort!"));
    EXPECT_EQ(result.recordCount(), 3);
    EXPECT_EQ(result.value(0, 0).toString(), QStringLiteral("ALICE"));

    ResultSet empty;
    empty.setDatabase(log.db.database());
    ASSERT_TRUE(empty.run("SELECT * FROM Log WHERE 0"));
    EXPECT_EQ(sortOnColumn(empty, sort, 0), std::nullopt);
}

}  // namespace
}  // namespace tavrel
