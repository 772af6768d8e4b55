#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>

#include <QDir>
#include <QFile>

#include "logquery/QueryExports.h"
#include "logquery/QueryLog.h"
#include "logquery/QueryText.h"
#include "logquery/ResultSet.h"
#include "support/FakeClock.h"
#include "support/FileSizeLimit.h"
#include "support/RecordingPlatform.h"
#include "support/ScriptedPrompts.h"

namespace tavrel {
namespace {

using test::ScriptedPrompts;

class QueryExportsTest : public ::testing::Test {
protected:
    QueryExportsTest() {
        result.setDatabase(log.db.database());
        EXPECT_TRUE(result.run("SELECT File, User, Out_Time FROM Log ORDER BY User"));
    }
    QByteArray fileBytes(const QString& name) {
        QFile file(log.folder() + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    QString lastMessage() { return prompts.messages().value(prompts.messages().size() - 1); }

    test::QueryLog log;
    ResultSet result;
    ScriptedPrompts prompts;
    test::RecordingPlatform platform;
    test::FakeClock clock;
    QueryExports exports{prompts, platform, clock, log.folder()};
};

const char* const kCsvRows =
    "\"G:\\APPS\\ORDERS.DBF\",\"ALICE\",\"10:00 am\"\r\n"
    "\"G:\\APPS\\ORDERS.DBF\",\"BOB\",\"\"\r\n"
    "\"H:\\BUDGET.XLS\",\"CAROL \"\"C\"\"\",\"\"\r\n";

TEST_F(QueryExportsTest, CopyWithCommasQuotesEveryValueAndDoublesQuotes) {
    prompts.answer(MessageAnswer::Yes);
    EXPECT_EQ(exports.copyRecords(result), QString::number(QString::fromLatin1(kCsvRows).size()) +
                                               " characters copied to Clipboard.");
    EXPECT_EQ(platform.clipboard, QString::fromLatin1(kCsvRows));
    ASSERT_EQ(prompts.asked().size(), 1);
    EXPECT_EQ(prompts.asked()[0].message.text,
              QStringLiteral("Seperate field values with commas?"));
    EXPECT_EQ(prompts.asked()[0].message.icon, MessageIcon::Question);
}

TEST_F(QueryExportsTest, CopyWithSpacesPutsThemAfterEveryValue) {
    prompts.answer(MessageAnswer::No);
    prompts.answerText(" 3 ");
    ASSERT_TRUE(exports.copyRecords(result));
    EXPECT_TRUE(
        platform.clipboard.startsWith("G:\\APPS\\ORDERS.DBF   ALICE   10:00 am   \r\n"
                                      "G:\\APPS\\ORDERS.DBF   BOB      \r\n"));
    EXPECT_EQ(prompts.asked()[1].input.prompt,
              QStringLiteral("Number of spaces between field values"));
    EXPECT_EQ(prompts.asked()[1].input.defaultText, QStringLiteral("2"));
}

TEST_F(QueryExportsTest, ASpacesAnswerThatIsNoSmallNumberCopiesNothing) {
    // No number: nothing is said. A number out of range: the range is.
    const std::pair<const char*, std::optional<QString>> answers[] = {
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"100", QStringLiteral("Nothing copied: the number of spaces must be from 0 to 99.")},
        {"1e9", QStringLiteral("Nothing copied: the number of spaces must be from 0 to 99.")},
        {"-3", QStringLiteral("Nothing copied: the number of spaces must be from 0 to 99.")},
    };
    for (const auto& [answer, status] : answers) {
        prompts.answer(MessageAnswer::No);
        prompts.answerText(answer);
        EXPECT_EQ(exports.copyRecords(result), status) << answer;
    }
    EXPECT_TRUE(platform.clipboard.isEmpty());
}

TEST_F(QueryExportsTest, SavedCsvHasAQuotedHeadingAndLandsInTheProgramFolder) {
    for (const auto& [answer, file] :
         {std::pair{"Results", "results.csv"}, std::pair{"report.CSV", "report.csv"}}) {
        prompts.answerText(answer);
        EXPECT_EQ(exports.saveCsv(result), log.folder() + file);
        EXPECT_EQ(fileBytes(file),
                  QByteArray("\"File\",\"User\",\"Out_Time\"\r\n") + QByteArray(kCsvRows));
    }
    const InputBoxRequest& asked = prompts.asked()[0].input;
    EXPECT_EQ(asked.prompt, QStringLiteral("Enter file name"));
    EXPECT_EQ(asked.title, QStringLiteral("Create a Comma Seperated Values (CSV) File"));
    EXPECT_EQ(asked.defaultText, QStringLiteral("results.csv"));
}

TEST_F(QueryExportsTest, OpeningTheSavedFileIsOfferedAndItsFailureTold) {
    const QString path = log.folder() + "results.csv";
    prompts.answer(MessageAnswer::Yes);
    platform.openerWorks = false;
    exports.offerToOpen(path);
    EXPECT_EQ(prompts.messages(),
              QStringList({"File " + path + " has been created.\r\nDo you want to open the file?",
                           "Can't open file."}));
    EXPECT_EQ(platform.opened, QStringList{path});
    EXPECT_EQ(platform.beeps, 1);
}

TEST_F(QueryExportsTest, ANameThatIsAPathIsRefusedAndNothingIsWritten) {
    prompts.answerText("../escape");
    EXPECT_EQ(exports.saveCsv(result), std::nullopt);
    EXPECT_EQ(lastMessage(), QStringLiteral("Error 52 : Bad file name or number"));
    EXPECT_EQ(prompts.asked().last().message.title, QStringLiteral("Error Message"));
    EXPECT_EQ(prompts.asked().last().message.icon, MessageIcon::Exclamation);
    EXPECT_FALSE(QFile::exists(log.dir.path() + "/../escape.csv"));
    EXPECT_EQ(platform.beeps, 1);
}

TEST_F(QueryExportsTest, AFileThatCannotBeOpenedForWritingIsTheOnlyOneAlreadyOpen) {
    ASSERT_TRUE(QDir(log.folder()).mkdir("folder.csv"));
    prompts.answerText("folder");
    EXPECT_EQ(exports.saveCsv(result), std::nullopt);
    EXPECT_TRUE(lastMessage().startsWith("Error 75 : ")) << lastMessage().toStdString();
    EXPECT_FALSE(lastMessage().contains("File is already open."));

    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes a read-only file, so permission is never denied";
    }
    QFile locked(log.folder() + "results.csv");
    ASSERT_TRUE(locked.open(QIODevice::WriteOnly));
    locked.write("kept");
    locked.close();
    locked.setPermissions(QFileDevice::ReadOwner);
    prompts.answerText("results");
    EXPECT_EQ(exports.saveCsv(result), std::nullopt);
    EXPECT_EQ(lastMessage(),
              QStringLiteral("Error 70 : Permission denied\r\nFile is already open."));
    EXPECT_EQ(fileBytes("results.csv"), QByteArray("kept"));
}

// A text value that a spreadsheet would run as a formula gets a leading '; numbers, and
// texts that begin otherwise, stay as they are.
TEST_F(QueryExportsTest, TextsThatWouldBeFormulasAreNeutralisedInCsvAndClipboard) {
    ASSERT_TRUE(log.db
                    .exec("INSERT INTO Log (Date, File, User, Out_Time, Mins, Opened) VALUES "
                          "('2003-12-01', '=HYPERLINK(\"x\")', '+1', '@SUM(A1)', -5, 0), "
                          "('2003-12-02', '-2', 'AL-ICE', '\t=1', 3, 0)")
                    .ok());
    ASSERT_TRUE(
        result.run("SELECT File, User, Out_Time, Mins FROM Log WHERE Opened = 0 AND "
                   "Date > '2003-12-01' OR Mins < 0 ORDER BY Date"));
    const QString csvRows =
        "\"'=HYPERLINK(\"\"x\"\")\",\"'+1\",\"'@SUM(A1)\",\"-5\"\r\n"
        "\"'-2\",\"AL-ICE\",\"'\t=1\",\"3\"\r\n";
    prompts.answer(MessageAnswer::Yes);
    ASSERT_TRUE(exports.copyRecords(result));
    EXPECT_EQ(platform.clipboard, csvRows);
    prompts.answer(MessageAnswer::No);
    prompts.answerText("1");
    ASSERT_TRUE(exports.copyRecords(result));
    EXPECT_EQ(platform.clipboard,
              "'=HYPERLINK(\"x\") '+1 '@SUM(A1) -5 \r\n'-2 AL-ICE '\t=1 3 \r\n");
    prompts.answerText("formulas");
    ASSERT_TRUE(exports.saveCsv(result));
    EXPECT_EQ(fileBytes("formulas.csv"),
              "\"File\",\"User\",\"Out_Time\",\"Mins\"\r\n" + csvRows.toUtf8());
}

// Save and Save SQL on a file that cannot grow: the system's reason is told, and the file
// that was there stays as it was, with no half file beside it.
TEST_F(QueryExportsTest, AWriteThatFailsIsToldInTheSystemsWordsAndLeavesNoHalfFile) {
    for (const char* name : {"results.csv", "query.sql"}) {
        QFile kept(log.folder() + name);
        ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
        kept.write("kept");
    }
    const QStringList before = QDir(log.folder()).entryList(QDir::Files);
    const QString reason = QString::fromLocal8Bit(strerror(EFBIG));
    QString sqlError;
    {
        const test::FileSizeLimit limit;
        prompts.answerText("results");
        EXPECT_EQ(exports.saveCsv(result), std::nullopt);
        EXPECT_FALSE(querytext::writeSqlFile(log.folder() + "query.sql",
                                             QString(100, QLatin1Char('x')), &sqlError));
    }
    EXPECT_EQ(lastMessage(), QStringLiteral("Error 75 : ") + reason);
    EXPECT_EQ(sqlError, reason);
    EXPECT_EQ(fileBytes("results.csv"), QByteArray("kept"));
    EXPECT_EQ(fileBytes("query.sql"), QByteArray("kept"));
    EXPECT_EQ(QDir(log.folder()).entryList(QDir::Files), before);
}

TEST_F(QueryExportsTest, PrintingListsTheStatementTheRowsAndTheCount) {
    EXPECT_EQ(exports.printRecords(result, "SELECT File, User, Out_Time\nFROM Log"),
              QStringLiteral("Records sent to printer"));
    ASSERT_EQ(platform.printed.size(), 1);
    const PrintJob& job = platform.printed[0];
    EXPECT_EQ(job.fontFamily, QStringLiteral("Courier New"));
    EXPECT_EQ(job.headingLines, QStringList({"  SELECT File, User, Out_Time", "FROM Log"}));
    EXPECT_EQ(job.lines, QStringList({"", "", "  G:\\APPS\\ORDERS.DBF  ALICE  10:00 am  ",
                                      "  G:\\APPS\\ORDERS.DBF  BOB    ",
                                      "  H:\\BUDGET.XLS  CAROL \"C\"    ", " ", "  3 records"}));

    platform.printResult = {PrintResult::Kind::SavedAsPdf, log.folder() + "records.pdf"};
    EXPECT_EQ(exports.printRecords(result, "x"),
              "No printer: records saved to " + log.folder() + "records.pdf");
    EXPECT_TRUE(platform.printed[1].pdfPath.startsWith(log.folder()));
}

}  // namespace
}  // namespace tavrel
