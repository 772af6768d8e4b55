#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
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
        const test::CommandRun scan = run({"scan"});
        EXPECT_TRUE(scan.out.contains("Status: Idle (Samba server not read: "));
        EXPECT_EQ(scan.exitCode, 2) << "nothing could be scanned";
        const test::CommandRun wait = run({"wait", "G:\\ORDERS.DBF", "--timeout", "0"});
        EXPECT_EQ(wait.exitCode, 1);
        EXPECT_TRUE(wait.err.contains("who holds it could not be read (Samba server not read"))
            << wait.err.toStdString();
    }
}

TEST_F(SambaServerTest, AStoppedServerIsNotReadAsEverybodyClosing) {
    auto first = m_server.hold(1, {"ORDERS.DBF:r:rw"});
    auto second = m_server.hold(2, {"ORDERS.DBF:r:rw"});
    ASSERT_EQ(run({"log"}).exitCode, 0);
    const QStringList open{"G:\\ORDERS.DBF TAVRELSMB1 -1", "G:\\ORDERS.DBF TAVRELSMB2 -1"};
    ASSERT_EQ(rows(), open);

    m_server.stop();
    const test::CommandRun down = run({"log"});
    EXPECT_EQ(down.exitCode, 1);
    EXPECT_TRUE(down.err.startsWith("tavrelctl log: Samba server not read: smbd is not running"))
        << down.err.toStdString();
    EXPECT_EQ(rows(), open) << "nobody was closed";
    const test::CommandRun scan = run({"scan"});
    EXPECT_EQ(scan.exitCode, 2);
    EXPECT_TRUE(scan.out.contains("G:\\ORDERS.DBF[Error : ")) << scan.out.toStdString();

    // The clients come back with the server: each user's stay goes on, once opened.
    first->close();
    second->close();
    ASSERT_EQ(m_server.restart(), "");
    first = m_server.hold(1, {"ORDERS.DBF:r:rw"});
    second = m_server.hold(2, {"ORDERS.DBF:r:rw"});
    ASSERT_EQ(run({"log"}).exitCode, 0);
    EXPECT_EQ(rows(), open);
    LogDb db;
    ASSERT_TRUE(db.open(m_dir.filePath("app/tavrel.mdb")));
    EXPECT_EQ(db.exec("SELECT Opens FROM Log").rows, (QList<QVariantList>{{1}, {1}}));
}

TEST_F(SambaServerTest, FilesWhoseNamesDifferOnlyInCaseAreTwoFiles) {
    m_server.addFile("APPS/Dup.txt");
    m_server.addFile("APPS/DUP.TXT");
    ASSERT_EQ(run({"files", "delete", "1"}).exitCode, 0);
    ASSERT_EQ(run({"files", "delete", "1"}).exitCode, 0);
    ASSERT_EQ(run({"files", "add", "G:\\APPS\\Dup.txt"}).exitCode, 0);
    // A spelling that is neither names no one file: both are named.
    const test::CommandRun ambiguous = run({"files", "add", "G:\\APPS\\dup.TXT"});
    EXPECT_EQ(ambiguous.exitCode, 1);
    EXPECT_TRUE(
        ambiguous.err.contains("G:\\APPS\\DUP.TXT and G:\\APPS\\Dup.txt differ from it "
                               "only in letter case"))
        << ambiguous.err.toStdString();
    // The other file is no duplicate of the first on a share.
    const test::CommandRun other = run({"files", "add", "G:\\APPS\\DUP.TXT"});
    EXPECT_EQ(other.exitCode, 0) << other.err.toStdString();
    EXPECT_EQ(run({"files", "add", "G:\\APPS\\Dup.txt"}).exitCode, 1) << "a duplicate";
    auto upper = m_server.hold(1, {"APPS/DUP.TXT:r:rw"});
    auto exact = m_server.hold(2, {"APPS/Dup.txt:r:rw"});
    ASSERT_EQ(upper->opened, QStringList{"APPS/DUP.TXT"});
    ASSERT_EQ(exact->opened, QStringList{"APPS/Dup.txt"});
    EXPECT_EQ(tree(), (QStringList{"G:\\APPS\\Dup.txt[1]", "TAVRELSMB2", "G:\\APPS\\DUP.TXT[1]",
                                   "TAVRELSMB1"}));
    exact->close();
    EXPECT_EQ(tree(), (QStringList{"G:\\APPS\\Dup.txt[0]", "G:\\APPS\\DUP.TXT[1]", "TAVRELSMB1"}));
}

TEST_F(SambaServerTest, EveryRunNamesASessionByTheSameNumberForItsLife) {
    // Each user's connection number in the details of a scan.
    const auto connections = [this] {
        QMap<QString, QString> found;
        QString user;
        for (const QString& line : run({"scan"}).out.split('\n')) {
            if (line.startsWith("    ") && !line.startsWith("      ")) {
                user = line.trimmed();
            } else if (line.startsWith("      Connection No: ")) {
                found.insert(user, line.section(": ", 1));
            }
        }
        return found;
    };
    auto first = m_server.hold(1, {"ORDERS.DBF:r:rw"});
    auto second = m_server.hold(2, {"ORDERS.DBF:r:rw"});
    const QMap<QString, QString> both = connections();
    ASSERT_EQ(both.size(), 2);
    first->close();
    // Another run, with user 1 gone: user 2 keeps the number the first run gave it.
    EXPECT_EQ(connections(), (QMap<QString, QString>{{"TAVRELSMB2", both.value("TAVRELSMB2")}}));
    first = m_server.hold(1, {"ORDERS.DBF:r:rw"});
    const QMap<QString, QString> again = connections();
    EXPECT_EQ(again.value("TAVRELSMB2"), both.value("TAVRELSMB2"));
    EXPECT_NE(again.value("TAVRELSMB1"), both.value("TAVRELSMB1"))
        << "a new session is not given a number just freed";
    // A clear names the session by the number the scans showed.
    EXPECT_TRUE(run({"clear", "1", "TAVRELSMB2"})
                    .out.contains("connection " + both.value("TAVRELSMB2") + ")"));
}

TEST_F(SambaServerTest, AClearIsReportedOnlyWhenTheServerNoLongerShowsIt) {
    auto first = m_server.hold(1, {"ORDERS.DBF:r:rw"});
    ASSERT_EQ(tree(), (QStringList{"G:\\ORDERS.DBF[1]", "TAVRELSMB1", "G:\\APPS\\NOTES.TXT[0]"}));
    const QString status = m_server.statusCommand().join(' ');
    const struct {
        QStringList status;
        QStringList control;
        const char* says;
    } cases[] = {
        // The server names no process for the session: nothing is passed to smbcontrol.
        {{"sh", "-c", status + R"( | sed 's/"pid": *"\{0,1\}[0-9]*"\{0,1\}/"pid": "x"/g')"},
         m_server.controlCommand(),
         "cannot clear: the server gave no process for it"},
        // The control command exits 0 as smbcontrol does when it finds no process: the
        // session is still there.
        {m_server.statusCommand(),
         {"sh", "-c", R"(printf "Can't find pid for destination '%s'\n" "$1" >&2)", "--"},
         "could not be cleared: share data is still connected (sh: Can't find pid for "
         "destination '"},
    };
    for (const auto& c : cases) {
        QJsonObject root = QJsonDocument::fromJson([&] {
                               QFile file(site());
                               file.open(QIODevice::ReadOnly);
                               return file.readAll();
                           }())
                               .object();
        root["status"] = QJsonArray::fromStringList(c.status);
        root["control"] = QJsonArray::fromStringList(c.control);
        QFile file(site());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(root).toJson());
        file.close();
        const test::CommandRun clear = run({"clear", "1", "TAVRELSMB1", "--yes", "--json"});
        EXPECT_EQ(clear.exitCode, 1);
        const QJsonObject json = QJsonDocument::fromJson(clear.out.toUtf8()).object();
        EXPECT_FALSE(json.value("changed").toBool()) << clear.out.toStdString();
        EXPECT_TRUE((clear.out + clear.err).contains(QLatin1String(c.says)))
            << clear.out.toStdString() << clear.err.toStdString();
        EXPECT_EQ(first->opened, QStringList{"ORDERS.DBF"});
    }
    ASSERT_TRUE(m_server.writeSiteFile(site()));
    EXPECT_EQ(tree(), (QStringList{"G:\\ORDERS.DBF[1]", "TAVRELSMB1", "G:\\APPS\\NOTES.TXT[0]"}));
}

TEST_F(SambaServerTest, SeveralServersAreReadTogetherAndOneUnreadFailsOnlyItsOwnFiles) {
    // FS1 is the fixture's server on G:, FS2 another smbd on K: with the same share name,
    // FS3 a server whose smbstatus fails, on M:.
    test::SambaServer second;
    const QString why = second.start(2);
    ASSERT_EQ(why, "");
    second.addFile("ORDERS.DBF");
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("third"));
    QFile thirdFile(m_dir.filePath("third/ORDERS.DBF"));
    ASSERT_TRUE(thirdFile.open(QIODevice::WriteOnly));
    thirdFile.close();
    const auto writeSite = [&](const QStringList& firstStatus) {
        QJsonObject first = m_server.siteServer("FS1", "G");
        first["status"] = QJsonArray::fromStringList(firstStatus);
        const QJsonObject third{
            {"name", "FS3"},
            {"status", QJsonArray{"false"}},
            {"control", QJsonArray{"false"}},
            {"drives",
             QJsonArray{QJsonObject{{"letter", "M"}, {"share", "data"}, {"folder", "third"}}}}};
        QFile file(site());
        return file.open(QIODevice::WriteOnly) &&
               file.write(
                   QJsonDocument(
                       QJsonObject{
                           {"backend", "samba"},
                           {"servers", QJsonArray{first, second.siteServer("FS2", "K"), third}}})
                       .toJson()) > 0;
    };
    ASSERT_TRUE(writeSite(m_server.statusCommand()));
    ASSERT_EQ(run({"files", "delete", "2"}).exitCode, 0);
    ASSERT_EQ(run({"files", "add", "K:\\ORDERS.DBF"}).exitCode, 0);
    ASSERT_EQ(run({"files", "add", "M:\\ORDERS.DBF"}).exitCode, 0);
    auto first = m_server.hold(1, {"ORDERS.DBF:r:rw"});
    auto other = second.hold(2, {"ORDERS.DBF:r:rw"});

    const test::CommandRun log = run({"log"});
    EXPECT_EQ(log.exitCode, 1);
    EXPECT_TRUE(log.err.contains("Samba server FS3 not read: false failed with exit code 1"))
        << log.err.toStdString();
    EXPECT_EQ(rows(),
              (QStringList{"G:\\ORDERS.DBF TAVRELSMB1 -1", "K:\\ORDERS.DBF TAVRELSMB2 -1"}));
    const test::CommandRun scan = run({"scan"});
    EXPECT_EQ(scan.exitCode, 1) << "two servers of three were read";
    EXPECT_EQ(scan.out.count("Connection No: 1\n"), 2) << "each server numbers its own sessions";
    EXPECT_EQ(tree(), (QStringList{"G:\\ORDERS.DBF[1]", "TAVRELSMB1", "K:\\ORDERS.DBF[1]",
                                   "TAVRELSMB2", "M:\\ORDERS.DBF[Error : Directory I/O error]"}));
    const test::CommandRun show = run({"site", "show"});
    EXPECT_EQ(show.exitCode, 1);
    for (const char* line :
         {"FS1 (Samba server)\n", "FS2 (Samba server)\n", "FS3 (Samba server, not read)\n"}) {
        EXPECT_TRUE(show.out.contains(line)) << show.out.toStdString();
    }

    // Connection 1 of FS2 is cleared, not connection 1 of FS1.
    const test::CommandRun clear = run({"clear", "K:\\ORDERS.DBF", "TAVRELSMB2", "--yes"});
    EXPECT_EQ(clear.exitCode, 0) << clear.out.toStdString() << clear.err.toStdString();
    EXPECT_EQ(tree(), (QStringList{"G:\\ORDERS.DBF[1]", "TAVRELSMB1", "K:\\ORDERS.DBF[0]",
                                   "M:\\ORDERS.DBF[Error : Directory I/O error]"}));

    // FS1 can no longer be read while its user leaves: the log keeps that user's row open
    // and closes the cleared one of FS2.
    ASSERT_TRUE(writeSite({"false"}));
    first->close();
    EXPECT_EQ(run({"log"}).exitCode, 1);
    EXPECT_EQ(rows(), (QStringList{"G:\\ORDERS.DBF TAVRELSMB1 -1", "K:\\ORDERS.DBF TAVRELSMB2 0"}));
}

}  // namespace
}  // namespace tavrel
