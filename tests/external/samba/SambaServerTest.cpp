#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "external/logdb/LogDb.h"
#include "support/SambaServer.h"
#include "support/TestEnvironment.h"
#include "tools/CtlRun.h"

namespace tavrel {
namespace {

// tavrelctl on a Samba site file, against an smbd of the test's own that SMB clients hold
// files open on, as a server decides who may open what.
class SambaServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString why = m_server.start(2);
        if (!why.isEmpty()) {
            GTEST_SKIP() << "no Samba server to test on: " << why.toStdString();
        }
        ASSERT_TRUE(m_dir.isValid());
        m_environment = test::programEnvironment(m_dir);
        ASSERT_TRUE(m_server.writeSiteFile(site()));
        m_server.addFile("ORDERS.DBF");
        m_server.addFile("APPS/NOTES.TXT");
        ASSERT_EQ(run({"files", "add", "G:\\ORDERS.DBF", "Orders"}).exitCode, 0);
        ASSERT_EQ(run({"files", "add", "G:\\APPS\\NOTES.TXT", "Notes"}).exitCode, 0);
    }

    QString site() const { return m_dir.filePath("site.json"); }
    test::CommandRun run(const QStringList& args) const {
        return test::runTavrelctl(args, m_environment);
    }
    // The scan's tree without the detail lines, one line per file and user.
    QStringList tree() const {
        QStringList lines;
        for (const QString& line : run({"scan"}).out.split('\n')) {
            if (line.startsWith("  ") && !line.startsWith("      ")) {
                lines.append(line.trimmed());
            }
        }
        return lines;
    }
    // The Log rows as "FILE USER Opened".
    QStringList rows() const {
        LogDb db;
        if (!db.open(m_dir.filePath("app/tavrel.mdb"))) {
            return {};
        }
        QStringList result;
        for (const QVariantList& row :
             db.exec("SELECT File, User, Opened FROM Log ORDER BY File, User").rows) {
            result.append(row[0].toString() + ' ' + row[1].toString() + ' ' + row[2].toString());
        }
        return result;
    }

    test::SambaServer m_server;
    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
};

TEST_F(SambaServerTest, ScansShowWhoHoldsWhatAsTheServerDecided) {
    // User 1 reads and writes ORDERS.DBF, letting others only read, and locks a range of
    // it; user 2's attempt to write it is refused, reading it is not.
    const auto first = m_server.hold(1, {"ORDERS.DBF:rw:r:L", "APPS/NOTES.TXT:r:rw"});
    ASSERT_EQ(first->opened, (QStringList{"ORDERS.DBF", "APPS/NOTES.TXT"}));
    const auto refused = m_server.hold(2, {"ORDERS.DBF:rw:rw"});
    EXPECT_EQ(refused->refused, QStringList{"ORDERS.DBF"});
    refused->close();
    auto second = m_server.hold(2, {"ORDERS.DBF:r:rw"});
    ASSERT_EQ(second->opened, QStringList{"ORDERS.DBF"});

    const test::CommandRun scan = run({"scan"});
    EXPECT_EQ(scan.exitCode, 0) << scan.err.toStdString();
    const QString out = scan.out;
    const qsizetype user1 = out.indexOf("    TAVRELSMB1\n");
    const qsizetype user2 = out.indexOf("    TAVRELSMB2\n");
    ASSERT_GE(user1, 0) << out.toStdString();
    ASSERT_GE(user2, 0) << out.toStdString();
    const QString details1 = out.mid(user1, user2 > user1 ? user2 - user1 : -1);
    EXPECT_TRUE(details1.contains("File Rights: Read,Write,Deny Write\n")) << out.toStdString();
    EXPECT_TRUE(details1.contains("Locked: Yes\n"));
    EXPECT_TRUE(details1.contains("Directory Rights: Read,Write,Create,Delete,FileScan,Modify\n"));
    EXPECT_TRUE(details1.contains("Network Address: IP:127.0.0.1\n"));
    EXPECT_TRUE(out.contains("Status: Idle\n"));
    EXPECT_EQ(tree(), (QStringList{"G:\\ORDERS.DBF[2]", "TAVRELSMB1", "TAVRELSMB2",
                                   "G:\\APPS\\NOTES.TXT[1]", "TAVRELSMB1"}));

    // The extended information reads the share's file.
    EXPECT_EQ(run({"info", "G:\\ORDERS.DBF"}).exitCode, 0);

    // A client that disconnects is gone from the next scan.
    second->close();
    EXPECT_EQ(tree(), (QStringList{"G:\\ORDERS.DBF[1]", "TAVRELSMB1", "G:\\APPS\\NOTES.TXT[1]",
                                   "TAVRELSMB1"}));

    // Clear Connection closes the user's files; messages and unlocking are refused plainly.
    const test::CommandRun message = run({"message", "--all", "Backup at ten"});
    EXPECT_EQ(message.exitCode, 1);
    EXPECT_TRUE(message.out.contains("not supported by a Samba server"))
        << message.out.toStdString();
    const test::CommandRun unlock = run({"unlock", "G:\\ORDERS.DBF"});
    EXPECT_NE(unlock.exitCode, 0);
    EXPECT_TRUE((unlock.out + unlock.err)
                    .contains("Unable to clear file lock - not supported by a Samba server."));
    const test::CommandRun clear = run({"clear", "G:\\ORDERS.DBF", "TAVRELSMB1", "--yes"});
    EXPECT_EQ(clear.exitCode, 0) << clear.out.toStdString() << clear.err.toStdString();
    EXPECT_EQ(tree(), (QStringList{"G:\\ORDERS.DBF[0]", "G:\\APPS\\NOTES.TXT[0]"}));

    // site show reads the same server.
    const test::CommandRun show = run({"site", "show"});
    EXPECT_EQ(show.exitCode, 0) << show.err.toStdString();
    EXPECT_TRUE(show.out.contains("FILESRV (Samba server)")) << show.out.toStdString();
}

TEST_F(SambaServerTest, TheUsageLogFollowsTheServerAndKeepsItsRowsWhenItCannotBeRead) {
    auto first = m_server.hold(1, {"ORDERS.DBF:r:rw"});
    ASSERT_EQ(run({"log"}).exitCode, 0);
    EXPECT_EQ(rows(), (QStringList{"G:\\ORDERS.DBF TAVRELSMB1 -1"}));

    auto second = m_server.hold(2, {"ORDERS.DBF:r:rw", "APPS/NOTES.TXT:r:rw"});
    ASSERT_EQ(run({"log"}).exitCode, 0);
    first->close();
    ASSERT_EQ(run({"log"}).exitCode, 0);
    const QStringList kept{"G:\\APPS\\NOTES.TXT TAVRELSMB2 -1", "G:\\ORDERS.DBF TAVRELSMB1 0",
                           "G:\\ORDERS.DBF TAVRELSMB2 -1"};
    EXPECT_EQ(rows(), kept);

    // A status command that fails, or prints what is not its answer: the log closes nobody
    // although user 2 has left meanwhile, and the reason is printed.
    second->close();
    QStringList textAnswer = m_server.statusCommand();  // as a Samba before 4.16 answers
    textAnswer.removeAll("--json");
    const struct {
        QStringList command;
        const char* says;
    } failures[] = {
        {textAnswer, "tavrelctl log: Samba server not read: the server's Samba (4."},
        {{"sh", "-c", "echo 'smbstatus: --json: unknown option' >&2; exit 1"},
         "tavrelctl log: Samba server not read: the server's Samba is too old for smbstatus "
         "--json: Samba 4.16 or later is needed"},
        {{"false"}, "tavrelctl log: Samba server not read: false failed with exit code 1"},
        {{"echo", "{\"sessions\": {"},
         "tavrelctl log: Samba server not read: echo printed what is "
         "not its JSON answer"},
    };
    for (const auto& failure : failures) {
        ASSERT_TRUE(m_server.writeSiteFile(site(), failure.command));
        const test::CommandRun log = run({"log"});
        EXPECT_EQ(log.exitCode, 1);
        EXPECT_TRUE(log.err.startsWith(failure.says)) << log.err.toStdString();
        EXPECT_EQ(rows(), kept);
        EXPECT_TRUE(run({"scan"}).out.contains("Status: Idle (Samba server not read: "));
    }
}

}  // namespace
}  // namespace tavrel
