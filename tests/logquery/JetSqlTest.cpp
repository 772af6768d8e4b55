#include <gtest/gtest.h>

#include <QDate>

#include "logquery/JetSql.h"
#include "logquery/QueryLog.h"
#include "logquery/ResultSet.h"
#include "logquery/SingleStatement.h"
#include "support/PostgresServer.h"

namespace tavrel {
namespace {

struct TranslationCase {
    const char* jet;
    const char* firstValue;   // what the engine answers to the translated statement
    bool sqliteOnly = false;  // a form PostgreSQL has no meaning for
};

// One table of cases, run on an SQLite log and on a shared PostgreSQL one.
const TranslationCase kCases[] = {
    {"SELECT User FROM Log WHERE Date = #12/01/2003#", "ALICE"},
    {"SELECT User FROM Log WHERE Date = #12/1/03#", "ALICE"},
    {"SELECT User FROM Log WHERE Date = #2003-12-01#", "ALICE"},
    // No 13th month: read as day/month.
    {"SELECT #13/12/2003#", "2003-12-13"},
    {"SELECT count(*) FROM Log WHERE Opened = True", "2"},
    {"SELECT count(*) FROM Log WHERE Opened = false", "1"},
    {"SELECT count(*) FROM Log WHERE ISNULL(Out_Time)", "2"},
    {"SELECT count(*) FROM Log WHERE ISNULL(Out_Time) = True", "2", true},
    {"SELECT count(*) FROM Log WHERE NOT ISNULL(Out_Time)", "1"},
    {"SELECT User & ' / ' & Mins FROM Log WHERE Opened = 0", "ALICE / 60"},
    {"SELECT UCase('ab') & LCase(\"CD\") & Len('abc')", "ABcd3"},
    {"SELECT Mid('abcdef', 2, 3) & Mid('abcdef', 5)", "bcdef"},
    {"SELECT Left(User, 2) & Right(User, 3) FROM Log WHERE Opened = 0", "ALICE"},
    {"SELECT Right('abc', 0) & '|' & Right('abc', 9) & Left('abc', 0)", "|abc"},
    {"SELECT IIF(Opened, 'open', 'closed') FROM Log ORDER BY Date", "closed", true},
    {"SELECT IIF(Opened = True, 'open', 'closed') FROM Log ORDER BY Date", "closed"},
    {"SELECT Date() = date('now', 'localtime')", "1", true},
    {"SELECT count(*) FROM Log WHERE Date < Date()", "3"},
    {"SELECT length(Now()) FROM Log LIMIT 1", "19", true},
    {"SELECT count(*) FROM Log WHERE Now() > Date", "3"},
    {"SELECT UCase(Left(Mid('xabc', 2), 2))", "AB"},
    // Quoted texts, bracketed and qualified names keep their meaning.
    {"SELECT 'True & #12/01/2003# UCase(x)'", "True & #12/01/2003# UCase(x)"},
    {"SELECT 'it''s True'", "it's True"},
    {"SELECT \"it's\" & 'x'", "it'sx"},
    {"SELECT [x & True] FROM (SELECT 5 AS [x & True])", "5", true},
    {"SELECT [x & True] FROM (SELECT 5 AS [x & True]) AS t", "5"},
    {"SELECT Log.Date FROM Log ORDER BY Date LIMIT 1", "2003-12-01"},
    {"SELECT Date FROM Log WHERE User = 'ALICE' -- & True\n", "2003-12-01"},
    // File and User compare without regard to case on both.
    {"SELECT [File] FROM Log WHERE [User] = 'alice'", "G:\\APPS\\ORDERS.DBF"},
    {"SELECT count(*) FROM Log WHERE File LIKE 'h:%'", "1"},
};

// Every case on one log per engine: a server started per case would cost seconds each.
class JetSqlTest : public ::testing::TestWithParam<LogDb::Engine> {
protected:
    void SetUp() override {
        QString location;
        if (GetParam() == LogDb::Engine::PostgreSQL) {
            TAVREL_REQUIRE_POSTGRES();
            location = test::PostgresServer::shared().newDatabase();
            ASSERT_FALSE(location.isEmpty());
        }
        log = std::make_unique<test::QueryLog>(location);
    }

    std::unique_ptr<test::QueryLog> log;
};

TEST_P(JetSqlTest, KeepsTheStatementsMeaningOnEitherEngine) {
    const LogDb::Engine engine = GetParam();
    for (const TranslationCase& c : kCases) {
        if (c.sqliteOnly && engine != LogDb::Engine::SQLite) {
            continue;
        }
        const std::string translated = translateJetSql(c.jet, engine).toStdString();
        SCOPED_TRACE(translated);
        ResultSet result;
        result.setDatabase(log->db.database());
        if (!result.run(QString::fromLatin1(c.jet))) {
            ADD_FAILURE() << result.error().description.toStdString();
            continue;
        }
        EXPECT_EQ(result.value(0, 0).toString(), QString::fromLatin1(c.firstValue));
    }
}

TEST_P(JetSqlTest, RunsExactlyOneStatementAndNamesWhereASecondBegins) {
    ResultSet result;
    result.setDatabase(log->db.database());
    for (const char* text : {"SELECT count(*) FROM Log; DELETE FROM Log",
                             "SELECT count(*) FROM Log;; /* ; */ -- x\n DELETE FROM Log;",
                             "INSERT INTO Log (Opened) VALUES (0);DELETE FROM Log"}) {
        EXPECT_FALSE(result.run(QString::fromLatin1(text))) << text;
        EXPECT_TRUE(result.error().description.contains("a second one begins at \"DELETE FROM Log"))
            << result.error().description.toStdString();
    }
    EXPECT_FALSE(result.run(" -- nothing\n;"));
    EXPECT_EQ(result.error().description, QStringLiteral("There is no statement to run."));
    EXPECT_EQ(log->rows(), 3);
    for (const char* text : {"SELECT count(*) FROM Log; -- all of them\n",
                             "SELECT count(*) FROM Log WHERE User <> 'a;b' /* ; */ ;;"}) {
        ASSERT_TRUE(result.run(QString::fromLatin1(text)))
            << text << result.error().description.toStdString();
        EXPECT_EQ(result.value(0, 0).toInt(), 3);
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, JetSqlTest,
                         ::testing::Values(LogDb::Engine::SQLite, LogDb::Engine::PostgreSQL),
                         [](const ::testing::TestParamInfo<LogDb::Engine>& info) {
                             return info.param == LogDb::Engine::SQLite ? "SQLite" : "PostgreSQL";
                         });

// Where each engine's quoting would let a ";" hide a second statement, or a quote hide one.
TEST(SingleStatementTest, ReadsQuotesAndCommentsAsTheEngineDoes) {
    const struct {
        LogDb::Engine engine;
        const char* text;
        bool one;
    } cases[] = {
        {LogDb::Engine::PostgreSQL, "SELECT $$ ' $$; DELETE FROM log; --'", false},
        {LogDb::Engine::PostgreSQL, "SELECT $q$ ; $$ ; $q$", true},
        {LogDb::Engine::PostgreSQL, "SELECT /* /* */ ' */ ; DELETE FROM log; --'", false},
        {LogDb::Engine::PostgreSQL, "SELECT E'\\'; DELETE FROM log; SELECT '", true},
        {LogDb::Engine::PostgreSQL, "SELECT '\\'; DELETE FROM log; SELECT '", false},
        {LogDb::Engine::PostgreSQL, "SELECT \"a;b\" FROM log", true},
        {LogDb::Engine::SQLite, "SELECT [a;b], `c;d`, \"e;f\" FROM Log", true},
        {LogDb::Engine::SQLite, "SELECT /* /* */ 1; DELETE FROM Log", false},
    };
    for (const auto& c : cases) {
        const SingleStatement single = singleStatement(QString::fromLatin1(c.text), c.engine);
        EXPECT_EQ(single.error.isEmpty(), c.one) << c.text;
    }
    EXPECT_EQ(singleStatement("SELECT 1 ; -- done", LogDb::Engine::SQLite).statement,
              QStringLiteral("SELECT 1"));
}

// Deep nesting is refused at once with a reason of its own; nesting within the bound, or
// calls that never close, translate in one reading.
TEST(JetSqlTranslationTest, RefusesNestingPastTheBoundAndRepeatedGrowth) {
    const auto nested = [](const char* call, int depth, const char* tail) {
        return QStringLiteral("SELECT ") + QString::fromLatin1(call).repeated(depth) + "'x'" +
               QString::fromLatin1(tail).repeated(depth);
    };
    test::QueryLog log;
    ResultSet result;
    result.setDatabase(log.db.database());
    EXPECT_FALSE(result.run(nested("UCase(", kJetMaxNesting + 1, ")")));
    EXPECT_EQ(result.error().description,
              QStringLiteral("The statement nests parentheses more than 1000 deep."));
    EXPECT_FALSE(result.run(nested("Right(", 40, ", 1)")));
    EXPECT_EQ(result.error().description,
              QStringLiteral("The statement grows too large when translated: Right() nests too "
                             "deep."));
    EXPECT_EQ(translateJetSql(nested("UCase(", 3, ")")),
              QStringLiteral("SELECT upper(upper(upper('x')))"));
    EXPECT_EQ(translateJetSql(nested("Left(", 2, ", 1)")),
              QStringLiteral("SELECT substr(substr('x', 1, 1), 1, 1)"));
    const QString unclosed = QStringLiteral("SELECT ") + QStringLiteral("UCase(").repeated(900);
    EXPECT_EQ(translateJetSql(unclosed), unclosed);
}

// A date literal that names no day is refused with the literal; PostgreSQL's # operator
// between numbers stays an operator.
TEST(JetSqlTranslationTest, AnInvalidDateLiteralIsNamed) {
    QString error;
    for (const char* literal : {"#31/31/2003#", "#2003-13-45#", "# 1/2/3/4 #", "#12/1#"}) {
        for (const LogDb::Engine engine : {LogDb::Engine::SQLite, LogDb::Engine::PostgreSQL}) {
            error.clear();
            EXPECT_EQ(translateJetSql(QStringLiteral("SELECT * FROM Log WHERE Date = %1 OR "
                                                     "Date = #12/1/2003#")
                                          .arg(literal),
                                      engine, &error),
                      QString());
            EXPECT_EQ(error, QStringLiteral("Invalid date %1: write #month/day/year# or "
                                            "#year-month-day#.")
                                 .arg(literal));
        }
    }
    EXPECT_EQ(translateJetSql("SELECT File FROM Log WHERE Mins = 5 # 3 # 1",
                              LogDb::Engine::PostgreSQL, &error),
              QStringLiteral("SELECT File FROM Log WHERE Mins = 5 # 3 # 1"));
}

TEST(JetSqlTranslationTest, UnknownFunctionsAndOddLiteralsReachSQLiteUnchanged) {
    EXPECT_EQ(translateJetSql("SELECT DatePart('yyyy', Date) FROM Log"),
              QStringLiteral("SELECT DatePart('yyyy', Date) FROM Log"));
    EXPECT_EQ(translateJetSql("SELECT Left(x)"), QStringLiteral("SELECT Left(x)"));

    test::QueryLog log;
    ResultSet result;
    result.setDatabase(log.db.database());
    EXPECT_FALSE(result.run("SELECT DatePart('yyyy', Date) FROM Log"));
    EXPECT_EQ(result.error().description, QStringLiteral("no such function: DatePart"));
}

}  // namespace
}  // namespace tavrel
