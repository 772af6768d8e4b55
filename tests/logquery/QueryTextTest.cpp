#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "logquery/QueryText.h"

namespace tavrel {
namespace {

using namespace querytext;

TEST(QueryTextTest, OnlyATextOfSpacesHidesTheStatementButtons) {
    EXPECT_FALSE(offersStatementButtons(""));
    EXPECT_FALSE(offersStatementButtons("     "));
    EXPECT_TRUE(offersStatementButtons("  x "));
    EXPECT_TRUE(offersStatementButtons("\n"));  // only spaces are trimmed
}

struct StatementCase {
    const char* text;
    const char* statement;
};

class RunStatementTest : public ::testing::TestWithParam<StatementCase> {};

TEST_P(RunStatementTest, DropsAFirstCommentLineUpToItsCarriageReturn) {
    EXPECT_EQ(runStatement(QString::fromLatin1(GetParam().text)),
              QString::fromLatin1(GetParam().statement));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunStatementTest,
    ::testing::Values(StatementCase{"  SELECT 1  ", "SELECT 1"},
                      StatementCase{"'open rows\r\nSELECT * FROM Log", "\nSELECT * FROM Log"},
                      StatementCase{"'open rows\nSELECT * FROM Log", "\nSELECT * FROM Log"},
                      StatementCase{"'first\r\n'second\r\nSELECT 1", "\n'second\r\nSELECT 1"},
                      StatementCase{"'only a comment", "'only a comment"},
                      StatementCase{"SELECT 1 -- 'x\r\n", "SELECT 1 -- 'x\r\n"}));

TEST(QueryTextTest, SqlFileLinesJoinWithLineBreaks) {
    EXPECT_EQ(joinSqlFileLines({"SELECT User", "FROM Log"}),
              QStringLiteral("SELECT User\r\nFROM Log"));
    EXPECT_EQ(joinSqlFileLines({"' open rows", "SELECT * -- all", "FROM Log WHERE Opened", ""}),
              QStringLiteral("' open rows\r\nSELECT * -- all\r\nFROM Log WHERE Opened\r\n"));
}

// -f and Open SQL read UTF-8 text of a sane size from a regular file, and refuse the rest
// saying why.
TEST(QueryTextTest, SqlFilesAreUtf8TextOfASaneSizeOrRefused) {
    QTemporaryDir dir;
    const auto file = [&](const QByteArray& bytes) {
        QFile f(dir.filePath("q.sql"));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    QString error;
    EXPECT_EQ(readSqlFile(file("\xef\xbb\xbfSELECT 'Gr\xc3\xbc\xc3\x9f'\n"), &error),
              QStringLiteral("SELECT 'Grüß'"));
    const std::pair<QByteArray, const char*> refused[] = {
        {QByteArray("\xff\xfeS\0E\0L\0", 8), "UTF-16"},
        {QByteArray("\xfe\xff\0S\0E\0L", 8), "UTF-16"},
        {QByteArray("SELECT 1\0 DROP", 15), "NUL"},
        {"SELECT 'caf\xe9'", "not UTF-8"},
        {QByteArray(1024 * 1024 + 1, ' '), "larger than 1 MB"},
    };
    for (const auto& [bytes, reason] : refused) {
        EXPECT_EQ(readSqlFile(file(bytes), &error), std::nullopt) << reason;
        EXPECT_TRUE(error.contains(QLatin1String(reason))) << error.toStdString();
    }
    for (const QString& path : {QStringLiteral("/dev/zero"), dir.path()}) {
        EXPECT_EQ(readSqlFile(path, &error), std::nullopt);
        EXPECT_TRUE(error.contains("not a regular file")) << error.toStdString();
    }
}

TEST(QueryTextTest, SqlFilesGetTheirExtensionUnlessTheyHaveItInAnyCase) {
    EXPECT_EQ(sqlFilePath("/q/open"), QStringLiteral("/q/open.sql"));
    EXPECT_EQ(sqlFilePath("/q/open.SQL"), QStringLiteral("/q/open.SQL"));
    EXPECT_EQ(sqlFilePath("/q/open.Sql"), QStringLiteral("/q/open.Sql"));
    EXPECT_EQ(sqlFilePath("/q/open.sqlite"), QStringLiteral("/q/open.sqlite.sql"));
}

TEST(QueryTextTest, SqlFilesRoundTripWithCrLfLineEnds) {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.sql");
    QString error;
    ASSERT_TRUE(writeSqlFile(path, "'today's rows\nSELECT *\nFROM Log", &error));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("'today's rows\r\nSELECT *\r\nFROM Log\r\n"));
    EXPECT_EQ(readSqlFile(path, &error), QStringLiteral("'today's rows\r\nSELECT *\r\nFROM Log"));

    EXPECT_FALSE(readSqlFile(dir.filePath("missing.sql"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(writeSqlFile(dir.filePath("no/such/folder.sql"), "x", &error));
}

struct SortCase {
    const char* statement;
    int column;
    bool ascending;
    const char* sorted;
};

class SortedStatementTest : public ::testing::TestWithParam<SortCase> {};

TEST_P(SortedStatementTest, ReplacesOrAppendsTheOrderByClause) {
    const SortCase& c = GetParam();
    EXPECT_EQ(sortedStatement(QString::fromLatin1(c.statement), c.column, c.ascending),
              QString::fromLatin1(c.sorted));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SortedStatementTest,
    ::testing::Values(SortCase{"SELECT * FROM Log ORDER BY Date,File,User\r\n", 2, true,
                               "SELECT * FROM Log ORDER BY 2 ASC"},
                      SortCase{"SELECT * FROM Log where x order by date", 1, false,
                               "SELECT * FROM Log where x order by 1 DESC"},
                      SortCase{"SELECT * FROM Log", 3, true, "SELECT * FROM Log ORDER BY 3 ASC"},
                      SortCase{"SELECT * FROM Log;\r\n", 3, true,
                               "SELECT * FROM Log ORDER BY 3 ASC"},
                      SortCase{"SELECT * FROM Log ORDER BY User LIMIT 5", 1, true,
                               "SELECT * FROM Log ORDER BY 1 ASC"}));

TEST(QueryTextTest, CaptionsAndLabels) {
    EXPECT_EQ(runCaption(25, 0.046875), QStringLiteral("25 records in 0.0469 seconds."));
    EXPECT_EQ(runCaption(0, 0.0), QStringLiteral("0 records in 0.0000 seconds."));
    EXPECT_EQ(runCaption(3, 12.5), QStringLiteral("3 records in 12.5000 seconds."));
    EXPECT_EQ(positionCaption(4, 730000), QStringLiteral("Record 4 of 730000"));
    EXPECT_EQ(countCaption(7), QStringLiteral("7 records"));
    EXPECT_EQ(sortLabel("User", true), QStringLiteral("Sorted by 'User' in ascending order"));
    EXPECT_EQ(sortLabel("User", false), QStringLiteral("Sorted by 'User' in descending order"));
}

TEST(QueryTextTest, CopySpacesAreWholeNumbersFromZeroTo99RoundedHalfToEven) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"2", 2},
        {" 3 ", 3},
        {"2.5", 2},
        {"3.5", 4},
        {"0", 0},
        {"99", 99},
        {"99.4", 99},
        {"-0.4", 0},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"abc", std::nullopt},
        {"3x", std::nullopt},
        {"-1", std::nullopt},
        {"100", std::nullopt},
        {"1e9", std::nullopt},
        {"nan", std::nullopt},
    };
    for (const auto& [answer, spaces] : cases) {
        EXPECT_EQ(copySpaces(QString::fromLatin1(answer)), spaces) << answer;
    }
}

TEST(QueryTextTest, CsvNamesAreLowerCaseWithTheirExtensionAndNeverAPath) {
    EXPECT_EQ(csvFileName("Results"), QStringLiteral("results.csv"));
    EXPECT_EQ(csvFileName("report.CSV"), QStringLiteral("report.csv"));
    EXPECT_EQ(csvFileName("results.csv"), QStringLiteral("results.csv"));
    for (const char* bad : {"", "../x", "a/b", "a\\b", "..", "x..csv"}) {
        EXPECT_TRUE(csvFileName(QString::fromLatin1(bad)).isEmpty()) << bad;
    }
}

}  // namespace
}  // namespace tavrel
