#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <csignal>

#include "common/AppContext.h"
#include "common/IniSettingsStore.h"
#include "external/logdb/LogDb.h"
#include "external/netware/EmulatedNetWare.h"
#include "external/netware/SiteFile.h"
#include "filelist/FileListStore.h"
#include "monitor/LogLocation.h"
#include "monitor/ScanCycle.h"
#include "monitor/ScanRecorder.h"
#include "support/FakeClock.h"
#include "support/PostgresServer.h"
#include "support/RecordingPlatform.h"
#include "support/ScriptedPrompts.h"
#include "support/TestSite.h"
#include "tools/CtlRun.h"

namespace tavrel {
namespace {

// tavrelctl message, clear, unlock and unlock-all on a site file, with a program that
// runs meanwhile on the same file and sees what they did.
class ActionCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_environment.insert("TAVREL_HOME", m_dir.filePath("app"));
        m_environment.insert("TAVREL_SITE", sitePath());
        m_environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        m_environment.insert("HOME", m_dir.filePath("home"));
        QDir().mkpath(m_dir.filePath("app"));
        test::touchFile(m_dir.filePath("fs2vol1/ACCOUNTS/LEDGER.DAT"));
        ASSERT_EQ(SiteFile(sitePath()).save(test::makeTestSite(m_dir.path())), QString());
        IniSettingsStore store(m_dir.filePath("config"));
        ASSERT_TRUE(SaveFileEntry(store, 1, "G:\\APPS\\ORDERS.DBF", QString()));
        ASSERT_TRUE(SaveFileEntry(store, 2, "K:\\ACCOUNTS\\LEDGER.DAT", QString()));
        m_netware = std::make_unique<EmulatedNetWare>(sitePath());
        m_netware->setClock(m_clock);
        ASSERT_EQ(m_netware->NWCallsInit(), 0);
        m_context.emplace(m_settings, m_clock, m_prompts, m_platform, *m_netware, *m_netware);
    }

    QString sitePath() const { return m_dir.filePath("site.json"); }
    test::CommandRun run(const QStringList& args) const {
        return test::runTavrelctl(args, m_environment);
    }
    NetWareSite site() const { return *SiteFile(sitePath()).load().site; }
    // The users the running program's next scan shows.
    QStringList scannedUsers() {
        m_clock.advanceSeconds(1);  // past the pause between looks at the site file
        ScanRecorder view;
        ScanCycle cycle(*m_context, view);
        EXPECT_EQ(cycle.cmdScan_Click({false, false, false, false}), ScanOutcome::Completed);
        QStringList users;
        for (const ScanRecorder::Node& node : view.nodes) {
            if (node.tag.startsWith("3,")) {
                users.append(node.text);
            }
        }
        return users;
    }

    QTemporaryDir m_dir;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    IniSettingsStore m_settings{m_dir.filePath("config")};
    test::FakeClock m_clock;
    test::ScriptedPrompts m_prompts;
    test::RecordingPlatform m_platform;
    std::unique_ptr<EmulatedNetWare> m_netware;
    std::optional<AppContext> m_context;
};

TEST_F(ActionCommandTest, ClearListsFirstThenClearsAndTheRunningProgramSeesIt) {
    EXPECT_EQ(scannedUsers(), QStringList({"ALICE", "BOB", "ADMIN", "SUPERVISOR"}));
    const NetWareSite before = site();
    test::CommandRun r = run({"clear", "1", "alice"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              "ALICE (FS1, connection 3): would clear\n"
              "Nothing was cleared: add --yes to clear these connections.\n");
    EXPECT_EQ(site(), before);

    r = run({"clear", "G:\\APPS\\ORDERS.DBF", "ALICE", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "ALICE (FS1, connection 3): cleared\n");
    EXPECT_EQ(scannedUsers(), QStringList({"BOB", "ADMIN", "SUPERVISOR"}));

    // A user who does not hold the file (gone, misspelt, a part of a name) is not cleared.
    for (const char* user : {"ALICE", "BO", "BOBB"}) {
        r = run({"clear", "1", user, "--yes", "--json"});
        EXPECT_EQ(r.exitCode, 1) << user;
        EXPECT_FALSE(QJsonDocument::fromJson(r.out.toUtf8()).object().value("changed").toBool());
        EXPECT_EQ(r.err, QStringLiteral("tavrelctl clear: %1 does not hold G:\\APPS\\ORDERS.DBF "
                                        "(held by BOB, ADMIN): nothing was cleared\n")
                             .arg(user));
    }
    EXPECT_TRUE(QJsonDocument::fromJson(run({"clear", "1", "BOB", "--yes", "--json"}).out.toUtf8())
                    .object()
                    .value("changed")
                    .toBool());

    r = run({"clear", "2", "--json"});
    const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_FALSE(json.value("changed").toBool());
    const QJsonObject supervisor = json.value("users").toArray().at(0).toObject();
    EXPECT_EQ(supervisor.value("user").toString(), "SUPERVISOR");
    EXPECT_EQ(supervisor.value("server").toString(), "FS2");
    EXPECT_EQ(supervisor.value("connection").toInt(), 1);

    for (const QStringList& wrong :
         {QStringList{"clear"}, QStringList{"clear", "3"}, QStringList{"clear", "D:\\X.DBF"},
          QStringList{"clear", "1", "A", "B"}, QStringList{"clear", "1", "--force"}}) {
        EXPECT_EQ(run(wrong).exitCode, 2) << wrong.join(' ').toStdString();
    }
    EXPECT_EQ(scannedUsers(), QStringList({"ADMIN", "SUPERVISOR"}));
}

TEST_F(ActionCommandTest, MessageReachesEachHolderOnceAndSaysWhoFailed) {
    test::CommandRun r = run({"message", "1", "Backup", "at", "ten"});
    EXPECT_EQ(r.exitCode, 1);  // BOB refuses messages
    EXPECT_EQ(r.out,
              "ALICE (FS1, connection 3): sent\n"
              "BOB (FS1, connection 4): failed\n"
              "ADMIN (FS1, connection 1): sent\n");
    QStringList held;
    for (const SiteMessage& m : site().messages) {
        held.append(QStringLiteral("%1/%2 %3").arg(m.server).arg(m.connection).arg(m.text));
    }
    EXPECT_EQ(held, QStringList({"FS1/3 Backup at ten", "FS1/1 Backup at ten"}));

    r = run({"message", "--all", "Bye", "--json"});
    const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(json.value("sent").toInt(), 3);
    EXPECT_EQ(json.value("failed").toInt(), 1);
    EXPECT_EQ(site().messages.size(), 5);

    EXPECT_EQ(run({"message", "1", "  "}).exitCode, 2);
    EXPECT_EQ(run({"message", "--all"}).exitCode, 2);
}

TEST_F(ActionCommandTest, AFileWhoseUsersCouldNotBeReadIsNotActedOn) {
    ASSERT_EQ(run({"site", "fail", "NWScanConnectionsUsingFile", "0x8996", "--path",
                   "G:\\APPS\\ORDERS.DBF"})
                  .exitCode,
              0);
    const NetWareSite before = site();
    const QStringList commands[] = {{"message", "1", "Backup"},
                                    {"message", "--all", "Backup"},
                                    {"clear", "1", "--yes", "--json"},
                                    {"clear", "1", "ALICE", "--yes"}};
    for (const QStringList& command : commands) {
        const test::CommandRun r = run(command);
        EXPECT_EQ(r.exitCode, 2) << command.join(' ').toStdString();
        EXPECT_TRUE(
            r.err.contains("the users of G:\\APPS\\ORDERS.DBF could not be read: [Error : "))
            << r.err.toStdString();
        EXPECT_FALSE(QJsonDocument::fromJson(r.out.toUtf8()).object().value("changed").toBool());
    }
    EXPECT_EQ(site(), before);
    // The other file was read: it is acted on.
    EXPECT_EQ(run({"clear", "2", "--yes"}).exitCode, 0);
}

TEST_F(ActionCommandTest, UnlockAndUnlockAll) {
    EXPECT_EQ(run({"scan"}).out.count("Locked: Yes"), 3);
    test::CommandRun r = run({"unlock", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "File lock has been cleared.\n");
    EXPECT_EQ(run({"scan"}).out.count("Locked: Yes"), 1);  // SUPERVISOR on the other server
    const NetWareSite unlocked = site();
    for (const SiteOpenFile& open : unlocked.servers[0].openFiles) {
        EXPECT_EQ(open.locked, open.path == "DATA:X\\Y.DAT") << open.path.toStdString();
    }

    // What names no existing file on a server drive is refused, and nothing is unlocked.
    const NetWareSite locked = site();
    for (const char* path : {"Q:\\X.DBF", "G:\\APPS\\ORDER.DBF", "G:\\APPS", "G:\\APPS\\*.DBF",
                             "G:\\APPS\\ORDERS.DBF\nX", "C:\\ORDERS.DBF"}) {
        r = run({"unlock", path, "--json"});
        EXPECT_EQ(r.exitCode, 2) << path;
        EXPECT_TRUE(r.err.endsWith("is not an existing file on a server drive\n"))
            << r.err.toStdString();
        EXPECT_FALSE(QJsonDocument::fromJson(r.out.toUtf8()).object().value("changed").toBool());
    }
    EXPECT_EQ(site(), locked);
    EXPECT_EQ(run({"unlock", "g:/apps/orders.dbf"}).exitCode, 0);

    r = run({"unlock-all", "1"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "All file locks have been cleared.\n");
    EXPECT_FALSE(site().servers[0].openFiles[3].locked);
    EXPECT_TRUE(site().servers[1].openFiles[1].locked);
    EXPECT_EQ(run({"unlock-all"}).exitCode, 0);
    EXPECT_FALSE(site().servers[1].openFiles[1].locked);
}

TEST_F(ActionCommandTest, WaitEndsWhenTheFileIsFreeOrAtTheTimeout) {
    for (const QStringList& bad : {QStringList{"wait"}, QStringList{"wait", "9"},
                                   QStringList{"wait", "1", "--interval", "0"}}) {
        EXPECT_EQ(run(bad).exitCode, 2) << bad.join(' ').toStdString();
    }
    test::CommandRun r = run({"wait", "1", "--timeout", "1", "--interval", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "tavrelctl wait: G:\\APPS\\ORDERS.DBF is still held by ALICE, BOB, ADMIN\n");

    QProcess waiting;
    QProcess interrupted;
    for (QProcess* process : {&waiting, &interrupted}) {
        process->setProcessEnvironment(m_environment);
        process->start(TAVRELCTL_PATH, {"wait", "G:\\apps\\orders.dbf", "--interval", "1"});
        ASSERT_TRUE(process->waitForStarted());
    }
    EXPECT_FALSE(waiting.waitForFinished(2500));  // still held
    ::kill(pid_t(interrupted.processId()), SIGINT);
    ASSERT_TRUE(interrupted.waitForFinished(10000));
    EXPECT_EQ(interrupted.exitCode(), 1);
    EXPECT_TRUE(interrupted.readAllStandardError().contains("still held by ALICE"));
    NetWareSite freed = site();
    freed.servers[0].openFiles.clear();
    ASSERT_EQ(SiteFile(sitePath()).save(freed), QString());
    ASSERT_TRUE(waiting.waitForFinished(20000));
    EXPECT_EQ(waiting.exitCode(), 0) << waiting.readAllStandardError().toStdString();
    EXPECT_EQ(waiting.readAllStandardOutput(), "G:\\APPS\\ORDERS.DBF is free.\n");
}

// A name from the server or the log, and a message's text, print escaped in every text
// output: they cannot forge lines or retitle the terminal.
TEST_F(ActionCommandTest, NamesAndMessagesPrintWithTheirControlCharactersEscaped) {
    const QString forged = QStringLiteral("AL\x1b]0;X\aICE\r\nFAKE");
    const QString shown = QStringLiteral("AL\\x1b]0;X\\x07ICE\\r\\nFAKE");
    NetWareSite edited = site();
    edited.servers[0].objects[1].name = forged;  // ALICE
    edited.messages.append({"FS1", 3, "hi" + forged, QDateTime()});
    ASSERT_EQ(SiteFile(sitePath()).save(edited), QString());
    LogDb log;
    ASSERT_TRUE(log.create(m_dir.filePath("app/tavrel.mdb")));
    ASSERT_TRUE(log.exec("INSERT INTO Log VALUES ('2003-12-01', ?, ?, '09:15 am', '11:40 am', "
                         "'09:15 am,', '11:40 am,', 145, 1, 0)",
                         {"G:\\" + forged, forged})
                    .ok());
    const QStringList commands[] = {{"message", "1", "hi"},
                                    {"clear", "1"},
                                    {"wait", "1", "--timeout", "0"},
                                    {"site", "messages"},
                                    {"details", "2003-12-01"}};
    for (const QStringList& args : commands) {
        const test::CommandRun r = run(args);
        const QString text = r.out + r.err;
        EXPECT_TRUE(text.contains(shown)) << text.toStdString();
        EXPECT_FALSE(text.contains(QLatin1Char('\x1b')) || text.contains(QLatin1Char('\r')) ||
                     text.contains(QLatin1String("\nFAKE")))
            << text.toStdString();
    }
}

// The journal of tavrelctl's actions, as "tavrelctl actions --json" reads it back: action,
// user, file and outcome (with the reason) of each row, newest first.
QStringList journalOf(const test::CommandRun& r) {
    QStringList rows;
    for (const QJsonValue& value :
         QJsonDocument::fromJson(r.out.toUtf8()).object().value("actions").toArray()) {
        const QJsonObject row = value.toObject();
        QStringList cells;
        for (const char* key : {"program", "action", "user", "file", "outcome", "reason"}) {
            cells.append(row.value(key).isNull() ? "-" : row.value(key).toVariant().toString());
        }
        rows.append(cells.join(' '));
    }
    return rows;
}

TEST_F(ActionCommandTest, EachActionIsJournaledWithItsOutcome) {
    EXPECT_EQ(run({"actions"}).exitCode, 1);                 // no log yet
    EXPECT_EQ(run({"message", "1", "Backup"}).exitCode, 1);  // BOB refuses messages
    EXPECT_EQ(run({"clear", "1", "ADMIN"}).exitCode, 0);     // only lists: not an action
    ASSERT_EQ(run({"site", "fail", "NWClearConnectionNumber", "0x8801"}).exitCode, 0);
    EXPECT_EQ(run({"clear", "1", "ALICE", "--yes"}).exitCode, 1);
    ASSERT_EQ(run({"site", "clear-faults"}).exitCode, 0);
    EXPECT_EQ(run({"unlock", "1"}).exitCode, 0);
    EXPECT_EQ(run({"unlock-all"}).exitCode, 0);
    EXPECT_EQ(run({"files", "add", "Q:\\X.DBF"}).exitCode, 1);
    EXPECT_EQ(run({"files", "delete", "2"}).exitCode, 0);

    const test::CommandRun r = run({"actions", "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    QStringList rows = journalOf(r);
    ASSERT_EQ(rows.size(), 8) << r.out.toStdString();
    // A refused add is journaled as failed, with the reason it was refused.
    EXPECT_TRUE(rows.value(1).startsWith("tavrelctl add file - Q:\\X.DBF failed ") &&
                !rows.value(1).endsWith(" failed -"))
        << rows.value(1).toStdString();
    rows.removeAt(1);
    EXPECT_EQ(rows, QStringList({"tavrelctl delete file - K:\\ACCOUNTS\\LEDGER.DAT done -",
                                 "tavrelctl unlock all - - done -",
                                 "tavrelctl unlock - G:\\APPS\\ORDERS.DBF done -",
                                 "tavrelctl clear ALICE G:\\APPS\\ORDERS.DBF failed not cleared",
                                 "tavrelctl message ADMIN G:\\APPS\\ORDERS.DBF done -",
                                 "tavrelctl message BOB G:\\APPS\\ORDERS.DBF failed failed",
                                 "tavrelctl message ALICE G:\\APPS\\ORDERS.DBF done -"}));
    EXPECT_EQ(journalOf(run({"actions", "--user", "bob", "--json"})),
              QStringList({"tavrelctl message BOB G:\\APPS\\ORDERS.DBF failed failed"}));
    EXPECT_EQ(run({"actions", "--since", "2000-01-01"}).out.count('\n'), 8);
    EXPECT_EQ(run({"actions", "--since", "2999-01-01"}).out, "No actions.\n");
    EXPECT_EQ(run({"actions", "--since", "tomorrow"}).exitCode, 2);
    // The query window's dialect reads the table too.
    EXPECT_EQ(run({"query",
                   "SELECT User, Reason FROM Actions WHERE NOT ISNULL(User) AND "
                   "Outcome = 'failed' ORDER BY User"})
                  .out,
              "\"User\",\"Reason\"\n\"ALICE\",\"not cleared\"\n\"BOB\",\"failed\"\n");
}

TEST_F(ActionCommandTest, AnActionThatCouldNotBeJournaledExitsWith3AndSaysSo) {
    QFile notALog(m_dir.filePath("app/tavrel.mdb"));
    ASSERT_TRUE(notALog.open(QIODevice::WriteOnly));
    notALog.write(QByteArray(4096, 'x'));
    notALog.close();
    test::CommandRun r = run({"unlock", "1"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, "File lock has been cleared.\n");  // the action's outcome stands
    EXPECT_EQ(r.err, "tavrelctl: The action was not journaled: file is not a database\n");
    EXPECT_EQ(run({"scan"}).out.count("Locked: Yes"), 1);
    // A failed action keeps its own status, and still says it was not journaled.
    ASSERT_EQ(run({"site", "fail", "NWClearFileLock2", "0x8801"}).exitCode, 0);
    r = run({"unlock", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("not journaled")) << r.err.toStdString();
}

TEST_F(ActionCommandTest, OnASharedLogTheJournalNamesTheStation) {
    TAVREL_REQUIRE_POSTGRES();
    const QString uri = test::PostgresServer::shared().newDatabase();
    IniSettingsStore store(m_dir.filePath("config"));
    ASSERT_EQ(loglocation::set(store, uri), QString());
    store.SaveSetting("Tavrel", loglocation::kSection, loglocation::kStationKey, "DESK7");
    EXPECT_EQ(run({"message", "2", "Backup"}).exitCode, 0);
    const test::CommandRun r = run({"actions"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(
        r.out.contains("@DESK7  tavrelctl  message  SUPERVISOR (FS2, connection 1)  "
                       "K:\\ACCOUNTS\\LEDGER.DAT  \"Backup\"  done\n"))
        << r.out.toStdString();
}

}  // namespace
}  // namespace tavrel
