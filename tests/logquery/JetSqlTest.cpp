#include <gtest/gtest.h>

#include <QDate>

#include "logquery/JetSql.h"
#include "logquery/QueryLog.h"
#include "logquery/ResultSet.h"

namespace tavrel {
namespace {

struct TranslationCase {
    const char* jet;
    const char* firstValue;  // what SQLite answers to the translated statement
};

class JetSqlTest : public ::testing::TestWithParam<TranslationCase> {
protected:
    test::QueryLog log;
};

TEST_P(JetSqlTest, KeepsTheStatementsMeaningOnSQLite) {
    ResultSet result;
    result.setDatabase(log.db.database());
    ASSERT_TRUE(result.run(QString::fromLatin1(GetParam().jet)))
        << translateJetSql(GetParam().jet).toStdString() << ": "
        << result.error().description.toStdString();
    EXPECT_EQ(result.value(0, 0).toString(), QString::fromLatin1(GetParam().firstValue))
        << translateJetSql(GetParam().jet).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rules, JetSqlTest,
    ::testing::Values(
        TranslationCase{"SELECT User FROM Log WHERE Date = #12/01/2003#", "ALICE"},
        TranslationCase{"SELECT User FROM Log WHERE Date = #12/1/03#", "ALICE"},
        TranslationCase{"SELECT User FROM Log WHERE Date = #2003-12-01#", "ALICE"},
        // No 13th month: read as day/month.
        TranslationCase{"SELECT #13/12/2003#", "2003-12-13"},
        TranslationCase{"SELECT count(*) FROM Log WHERE Opened = True", "2"},
        TranslationCase{"SELECT count(*) FROM Log WHERE Opened = false", "1"},
        TranslationCase{"SELECT count(*) FROM Log WHERE ISNULL(Out_Time)", "2"},
        TranslationCase{"SELECT count(*) FROM Log WHERE ISNULL(Out_Time) = True", "2"},
        TranslationCase{"SELECT count(*) FROM Log WHERE NOT ISNULL(Out_Time)", "1"},
        TranslationCase{"SELECT User & ' / ' & Mins FROM Log WHERE Opened = 0", "ALICE / 60"},
        TranslationCase{"SELECT UCase('ab') & LCase(\"CD\") & Len('abc')", "ABcd3"},
        TranslationCase{"SELECT Mid('abcdef', 2, 3) & Mid('abcdef', 5)", "bcdef"},
        TranslationCase{"SELECT Left(User, 2) & Right(User, 3) FROM Log WHERE Opened = 0", "ALICE"},
        TranslationCase{"SELECT Right('abc', 0) & '|' & Right('abc', 9) & Left('abc', 0)", "|abc"},
        TranslationCase{"SELECT IIF(Opened, 'open', 'closed') FROM Log ORDER BY Date", "closed"},
        TranslationCase{"SELECT Date() = date('now', 'localtime')", "1"},
        TranslationCase{"SELECT length(Now()) FROM Log LIMIT 1", "19"},
        TranslationCase{"SELECT UCase(Left(Mid('xabc', 2), 2))", "AB"},
        // Quoted texts, bracketed and qualified names stay as they are.
        TranslationCase{"SELECT 'True & #12/01/2003# UCase(x)'", "True & #12/01/2003# UCase(x)"},
        TranslationCase{"SELECT 'it''s True'", "it's True"},
        TranslationCase{"SELECT [x & True] FROM (SELECT 5 AS [x & True])", "5"},
        TranslationCase{"SELECT Log.Date FROM Log ORDER BY Date LIMIT 1", "2003-12-01"},
        TranslationCase{"SELECT Date FROM Log WHERE User = 'ALICE' -- & True\n", "2003-12-01"}));

TEST(JetSqlTranslationTest, UnknownFunctionsAndOddLiteralsReachSQLiteUnchanged) {
    EXPECT_EQ(translateJetSql("SELECT DatePart('yyyy', Date) FROM Log"),
              QStringLiteral("SELECT DatePart('yyyy', Date) FROM Log"));
    EXPECT_EQ(translateJetSql("SELECT #31/31/2003#"), QStringLiteral("SELECT #31/31/2003#"));
    EXPECT_EQ(translateJetSql("SELECT Left(x)"), QStringLiteral("SELECT Left(x)"));

    test::QueryLog log;
    ResultSet result;
    result.setDatabase(log.db.database());
    EXPECT_FALSE(result.run("SELECT DatePart('yyyy', Date) FROM Log"));
    EXPECT_EQ(result.error().description, QStringLiteral("no such function: DatePart"));
}

}  // namespace
}  // namespace tavrel
