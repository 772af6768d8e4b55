#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include "common/AppContext.h"
#include "external/netware/EmulatedNetWare.h"
#include "logquery/NavigatorBar.h"
#include "logquery/QueryLog.h"
#include "logquery/ResultGrid.h"
#include "logquery/frmData.h"
#include "support/FakeClock.h"
#include "support/MemorySettingsStore.h"
#include "support/PostgresServer.h"
#include "support/RecordingPlatform.h"
#include "support/ScriptedPrompts.h"

namespace tavrel {
namespace {

class frmDataTest : public ::testing::Test {
protected:
    frmData& load(const QString& folder) {
        context.AppFolder = folder;
        form = std::make_unique<frmData>(context);
        form->Form_Load();
        return *form;
    }
    bool shown(const QWidget* w) const { return w->isVisibleTo(form.get()); }
    bool exportsShown() const {
        return shown(form->Command6) && shown(form->Command7) && shown(form->Command8);
    }
    void run(const QString& text) {
        form->Text1->setPlainText(text);
        form->Command3_Click();
    }

    test::QueryLog log;
    test::MemorySettingsStore settings;
    test::FakeClock clock;
    test::ScriptedPrompts prompts;
    test::RecordingPlatform platform;
    EmulatedNetWare netware{NetWareSite{}};
    AppContext context{settings, clock, prompts, platform, netware, netware};
    std::unique_ptr<frmData> form;
};

TEST_F(frmDataTest, OpensOnTheWholeLogOrderedByDateFileAndUser) {
    frmData& w = load(log.folder());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Query Log Table"));
    EXPECT_EQ(w.Text1->toPlainText(),
              QStringLiteral("SELECT * FROM Log ORDER BY Date,File,User\n"));
    EXPECT_EQ(w.statusText(), QStringLiteral("Data retrieved"));
    EXPECT_TRUE(exportsShown());
    EXPECT_TRUE(shown(w.Command1) && shown(w.Command4));
    EXPECT_EQ(w.DataGrid1->model()->rowCount(), 3);
    EXPECT_EQ(w.DataGrid1->model()->headerData(2, Qt::Horizontal).toString(),
              QStringLiteral("User"));
    EXPECT_EQ(w.DataGrid1->model()->index(0, 2).data().toString(), QStringLiteral("ALICE"));
    EXPECT_EQ(w.Adodc1->caption(), QStringLiteral("Record 1 of 3"));
    w.Form_Paint();
    EXPECT_EQ(w.Adodc1->caption(), QStringLiteral("3 records"));
    w.grid->setCurrentRecord(2);
    EXPECT_EQ(w.Adodc1->caption(), QStringLiteral("Record 2 of 3"));
}

// The settings name a shared log: the window reads, sorts and changes it as it does tavrel.mdb.
TEST_F(frmDataTest, WorksOnASharedLog) {
    TAVREL_REQUIRE_POSTGRES();
    const QString uri = test::PostgresServer::shared().newDatabase();
    test::QueryLog shared(uri);
    ASSERT_TRUE(settings.SaveSetting("Tavrel", "Log", "Location", uri));
    frmData& w = load(log.folder());
    EXPECT_EQ(w.statusText(), QStringLiteral("Data retrieved"));
    EXPECT_EQ(w.Adodc1->caption(), QStringLiteral("Record 1 of 3"));
    EXPECT_EQ(w.DataGrid1->model()->headerData(2, Qt::Horizontal).toString(),
              QStringLiteral("User"));
    EXPECT_EQ(w.DataGrid1->model()->headerData(10, Qt::Horizontal).toString(),
              QStringLiteral("Station"));
    w.DataGrid1->horizontalHeader()->sectionClicked(2);
    w.DataGrid1->horizontalHeader()->sectionClicked(2);
    EXPECT_EQ(w.Label2->text(), QStringLiteral("Sorted by 'User' in descending order"));
    EXPECT_EQ(w.DataGrid1->model()->index(0, 2).data().toString(), QStringLiteral("CAROL \"C\""));

    // A second statement is refused whole: the server's multi-statement text never runs.
    run("SELECT count(*) FROM Log; DELETE FROM Log");
    EXPECT_TRUE(w.statusText().startsWith(QStringLiteral("Unable to process SQL statement")))
        << w.statusText().toStdString();
    EXPECT_EQ(shared.rows(), 3);
    run("DELETE FROM Log WHERE User = 'bob'; -- closing comment");
    EXPECT_EQ(w.statusText(), QStringLiteral("SQL statement processed successfully"));
    EXPECT_EQ(shared.rows(), 2);
    EXPECT_EQ(log.rows(), 3);  // tavrel.mdb is not the log in use
    run("SELECT * FROM Nowhere");
    EXPECT_TRUE(w.statusText().startsWith(
        QStringLiteral("Unable to process SQL statement: relation \"nowhere\" does not exist")))
        << w.statusText().toStdString();
}

// A statement that never ends runs beside the window: its timers go on firing, the other
// controls wait, and Esc or Stop ends it (on the server too), after which the window
// works as before.
TEST_F(frmDataTest, AStatementThatNeverEndsRunsBesideTheWindowUntilStopped) {
    const QString endless = QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT i FROM n");
    for (const bool postgres : {false, true}) {
        std::unique_ptr<test::QueryLog> shared;
        if (postgres) {
            TAVREL_REQUIRE_POSTGRES();
            const QString uri = test::PostgresServer::shared().newDatabase();
            shared = std::make_unique<test::QueryLog>(uri);
            ASSERT_TRUE(settings.SaveSetting("Tavrel", "Log", "Location", uri));
        }
        for (const bool esc : {true, false}) {
            SCOPED_TRACE((postgres ? "PostgreSQL, " : "SQLite, ") +
                         std::string(esc ? "Esc" : "Stop"));
            frmData& w = load(log.folder());
            w.show();
            int ticks = 0;
            bool heldWhileRunning = false;
            QTimer tick;
            QObject::connect(&tick, &QTimer::timeout, &w, [&] {
                if (++ticks < 3) {
                    return;
                }
                tick.stop();
                heldWhileRunning = w.grid->running() && !w.Command3->isEnabled() &&
                                   !w.Command4->isEnabled() && shown(w.grid->cmdStop) &&
                                   w.statusText().startsWith("Running SQL statement");
                if (esc) {
                    QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                    QCoreApplication::sendEvent(w.Text1, &key);
                } else {
                    w.grid->cmdStop->click();
                }
            });
            // Only the endless statement: the ones after it run to their end.
            QObject::connect(w.grid, &ResultGrid::runningChanged, &tick, [&](bool running) {
                if (running && ticks == 0) {
                    tick.start(1);
                }
            });
            run(endless);
            EXPECT_TRUE(heldWhileRunning);
            EXPECT_EQ(
                w.statusText(),
                QStringLiteral("Unable to process SQL statement: The statement was stopped."));
            EXPECT_TRUE(w.isVisible());
            EXPECT_TRUE(w.Command3->isEnabled() && !shown(w.grid->cmdStop));
            EXPECT_EQ(w.DataGrid1->model()->rowCount(), 0);
            if (shared) {
                EXPECT_EQ(shared->db
                              .exec("SELECT count(*) FROM pg_stat_activity WHERE state = 'active' "
                                    "AND query LIKE '%RECURSIVE%' AND pid <> pg_backend_pid()")
                              .rows.value(0)
                              .value(0)
                              .toInt(),
                          0);
            }
            run("SELECT * FROM Log WHERE Mins > 5");
            EXPECT_EQ(w.statusText(), QStringLiteral("SQL statement processed successfully"));
            EXPECT_EQ(w.DataGrid1->model()->rowCount(), 2);
            w.DataGrid1->horizontalHeader()->sectionClicked(2);  // a sort ends as it began
            EXPECT_EQ(w.statusText(), QStringLiteral("SQL statement processed successfully"));
        }
    }
}

TEST_F(frmDataTest, OpensOnAMissingLogByCreatingItAndFindsNoData) {
    QTemporaryDir empty;
    frmData& w = load(empty.path() + "/");
    EXPECT_TRUE(LogDb::LogExists(empty.path() + "/tavrel.mdb"));
    EXPECT_EQ(w.statusText(), QStringLiteral("No data found"));
    EXPECT_FALSE(shown(w.Command6) || shown(w.Command7) || shown(w.Command8));
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(frmDataTest, ALogThatCannotBeCreatedIsToldAndTheWindowStaysEmpty) {
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir("tavrel.mdb"));
    frmData& w = load(folder.path() + "/");
    EXPECT_EQ(prompts.messages().last(), "Unable to create " + folder.path() + "/tavrel.mdb");
    EXPECT_EQ(prompts.asked().last().message.icon, MessageIcon::Exclamation);
    EXPECT_EQ(w.DataGrid1->model()->rowCount(), 0);
}

TEST_F(frmDataTest, StatementButtonsShowExactlyWhileTheTextHasMoreThanSpaces) {
    frmData& w = load(log.folder());
    w.Text1->setPlainText("    ");
    EXPECT_FALSE(shown(w.Command2) || shown(w.Command3) || shown(w.Command5));
    w.Text1->setPlainText(" SELECT 1");
    EXPECT_TRUE(shown(w.Command2) && shown(w.Command3) && shown(w.Command5));
    w.Command5_Click();
    EXPECT_EQ(w.Text1->toPlainText(), QString());
    EXPECT_EQ(w.statusText(), QStringLiteral("SQL cleared"));
    EXPECT_FALSE(shown(w.Command3));
}

TEST_F(frmDataTest, RunningAnActionAfterACommentLineSucceedsAndHidesTheExports) {
    frmData& w = load(log.folder());
    run("'BOB has left\nDELETE FROM Log WHERE User = 'BOB'");
    EXPECT_EQ(w.statusText(), QStringLiteral("SQL statement processed successfully"));
    EXPECT_EQ(log.rows(), 2);
    EXPECT_FALSE(exportsShown());
    EXPECT_TRUE(w.Adodc1->caption().startsWith("0 records in 0."))
        << w.Adodc1->caption().toStdString();

    run("SELECT User FROM Log WHERE Opened = True");
    EXPECT_TRUE(exportsShown());
    EXPECT_TRUE(w.Adodc1->caption().startsWith("1 records in "));
}

TEST_F(frmDataTest, AFailingStatementIsReportedAndTheGridKeepsItsRows) {
    frmData& w = load(log.folder());
    w.Label2->setText("Sorted by 'User' in ascending order");
    w.grid->setCurrentRecord(3);
    run("SELECT * FROM Nowhere");
    EXPECT_EQ(w.statusText(),
              QStringLiteral("Unable to process SQL statement: no such table: Nowhere"));
    EXPECT_EQ(w.DataGrid1->model()->rowCount(), 3);
    EXPECT_TRUE(exportsShown());
    EXPECT_EQ(w.Label2->text(), QStringLiteral("Sorted by 'User' in ascending order"));
    // The grid stays where it was.
    EXPECT_EQ(w.grid->currentRecord(), 3);
    EXPECT_EQ(w.Adodc1->caption(), QStringLiteral("Record 3 of 3"));
}

TEST_F(frmDataTest, AHeadingClickSortsAndLabelsTheGrid) {
    frmData& w = load(log.folder());
    w.DataGrid1->horizontalHeader()->sectionClicked(2);
    EXPECT_EQ(w.Label2->text(), QStringLiteral("Sorted by 'User' in ascending order"));
    w.DataGrid1->horizontalHeader()->sectionClicked(2);
    EXPECT_EQ(w.Label2->text(), QStringLiteral("Sorted by 'User' in descending order"));
    EXPECT_EQ(w.DataGrid1->model()->index(0, 2).data().toString(), QStringLiteral("CAROL \"C\""));
    EXPECT_EQ(w.Text1->toPlainText(),
              QStringLiteral("SELECT * FROM Log ORDER BY Date,File,User\n"));
}

TEST_F(frmDataTest, PrintAndCopyKeepTheCurrentRowAndSaveMakesTheFirstCurrent) {
    frmData& w = load(log.folder());
    w.grid->setCurrentRecord(3);
    w.Command6_Click();
    EXPECT_EQ(w.statusText(), QStringLiteral("Records sent to printer"));
    EXPECT_EQ(w.grid->currentRecord(), 3);
    prompts.answer(MessageAnswer::Yes);
    w.Command7_Click();
    EXPECT_TRUE(w.statusText().endsWith(" characters copied to Clipboard."));
    EXPECT_EQ(w.grid->currentRecord(), 3);
    prompts.answerText("Results");
    prompts.answer(MessageAnswer::No);
    w.Command8_Click();
    EXPECT_EQ(w.statusText(), QStringLiteral("File created"));
    EXPECT_EQ(w.grid->currentRecord(), 1);
    EXPECT_TRUE(QFile::exists(log.folder() + "results.csv"));
}

TEST_F(frmDataTest, SqlFilesAreSavedWithTheirExtensionAndOpenedAndRun) {
    frmData& w = load(log.folder());
    w.Text1->setPlainText("'open rows\nSELECT User\nFROM Log WHERE Opened");
    prompts.answerText(log.folder() + "open");
    w.Command2_Click();
    EXPECT_EQ(w.statusText(), QStringLiteral("File saved"));
    EXPECT_EQ(prompts.asked().first().file.filter, QStringLiteral("SQL Files (*.sql)|*.sql"));

    w.Text1->clear();
    prompts.answerText(log.folder() + "open.sql");
    w.Command1_Click();
    EXPECT_EQ(w.Text1->toPlainText(),
              QStringLiteral("'open rows\nSELECT User\nFROM Log WHERE Opened"));
    EXPECT_EQ(w.statusText(), QStringLiteral("SQL statement processed successfully"));

    w.Text1->setPlainText("kept");
    prompts.answerText(log.folder() + "missing.sql");
    w.Command1_Click();
    EXPECT_EQ(w.Text1->toPlainText(), QStringLiteral("kept"));
    EXPECT_TRUE(w.statusText().startsWith("Unable to open ")) << w.statusText().toStdString();

    prompts.answerText(log.folder() + "no/such/folder/x");
    w.Command2_Click();
    EXPECT_TRUE(w.statusText().startsWith("Unable to save ")) << w.statusText().toStdString();
}

TEST_F(frmDataTest, SaveSqlAsksAboutTheFileItWritesWhateverWasTyped) {
    frmData& w = load(log.folder());
    QFile kept(log.folder() + "report.sql");
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("SELECT 1\r\n");
    kept.close();
    w.Text1->setPlainText("SELECT User FROM Log");
    const auto fileText = [&] {
        QFile file(log.folder() + "report.sql");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    for (const char* typed : {"report", "report.sql"}) {
        prompts.clear();
        prompts.answerText(log.folder() + typed);
        prompts.answer(MessageAnswer::No);
        w.Command2_Click();
        ASSERT_EQ(prompts.asked().size(), 2) << typed;
        const MessageBoxRequest& question = prompts.asked()[1].message;
        EXPECT_EQ(question.text, QDir::toNativeSeparators(log.folder() + "report.sql") +
                                     " already exists.\nDo you want to replace it?");
        EXPECT_EQ(question.defaultButton, MessageAnswer::No);
        EXPECT_EQ(fileText(), QByteArray("SELECT 1\r\n")) << typed;
    }
    prompts.answerText(log.folder() + "report");
    prompts.answer(MessageAnswer::Yes);
    w.Command2_Click();
    EXPECT_EQ(fileText(), QByteArray("SELECT User FROM Log\r\n"));
    EXPECT_EQ(w.statusText(), QStringLiteral("File saved"));

    // A new file is created only when the operator says so.
    prompts.clear();
    prompts.answerText(log.folder() + "new");
    prompts.answer(MessageAnswer::No);
    w.Command2_Click();
    EXPECT_EQ(prompts.messages(), QStringList{QDir::toNativeSeparators(log.folder() + "new.sql") +
                                              " does not exist.\nDo you want to create it?"});
    EXPECT_FALSE(QFile::exists(log.folder() + "new.sql"));
}

}  // namespace
}  // namespace tavrel
