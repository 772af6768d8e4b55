#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include "external/netware/EmulatedNetWare.h"
#include "external/netware/SiteFile.h"
#include "support/TestSite.h"
#include "tools/CtlRun.h"

namespace tavrel {
namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class SiteCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("site.json"));
        ASSERT_EQ(SiteFile(m_path).save(test::makeTestSite(m_dir.path())), QString());
    }

    QStringList siteArgs(const QStringList& args) const {
        return QStringList{QStringLiteral("site"), QStringLiteral("--site"), m_path} + args;
    }

    test::CommandRun run(const QStringList& args) const {
        return test::runTavrelctl(siteArgs(args));
    }

    QList<ConnUsingFile> usersOf(const QString& path) const {
        EmulatedNetWare nw(m_path);
        EXPECT_EQ(nw.NWCallsInit(), 0) << nw.initFailureReason().toStdString();
        QList<ConnUsingFile> entries;
        qint16 iter = 0;
        ConnUsingFile one;
        ConnsUsingFile all;
        while (nw.NWScanConnectionsUsingFile(nw.connectionHandle(QStringLiteral("FS1")), 0, path,
                                             iter, one, all) == 0) {
            for (int i = 0; i < all.connCount; ++i) {
                entries.append(all.connInfo[i]);
            }
        }
        return entries;
    }

    QTemporaryDir m_dir;
    QString m_path;
};

TEST_F(SiteCommandTest, RefusedCommandsSayWhyAndChangeNothing) {
    struct Case {
        QStringList args;
        const char* message;
    };
    const Case cases[] = {
        {{"open", "99", "G:\\APPS\\ORDERS.DBF"}, "FS1 has no connection 99"},
        {{"open", "3", "Q:\\APPS\\ORDERS.DBF"}, "drive Q: is not mapped"},
        {{"open", "3", "D:\\README.TXT"}, "drive D: is a local drive"},
        {{"open", "3", "G:\\APPS\\MISSING.DBF"}, "FS1 has no file SYS:APPS\\MISSING.DBF"},
        {{"open", "3", "NOVOL:APPS\\ORDERS.DBF"}, "no server has a volume NOVOL"},
        {{"open", "3", "G:\\"}, "names a volume's root"},
        {{"open", "3", "G:\\APPS\\ORDERS.DBF", "--mode", "rw"}, "--mode takes r, w, dr and dw"},
        {{"open", "3", "SYS:APPS\\ORDERS.DBF", "--server", "FS9"}, "the site has no server FS9"},
        {{"open", "3", "K:\\ACCOUNTS", "--server", "FS1"}, "lies on FS2, not on FS1"},
        {{"open", "3", "G:\\APPS\\ORDERS.DBF", "--bogus"}, "unknown option --bogus"},
        {{"open", "3"}, "wrong number of arguments"},
        {{"login", "NOBODY"}, "no server has a user NOBODY"},
        {{"login", "ALICE", "--conn", "3"}, "FS1 already has connection 3 (ALICE)"},
        {{"login", "ALICE", "--ip", "10.1.2"}, "A.B.C.D for --ip"},
        {{"login", "ALICE", "--ipx", "0000ABCD:00A0C91E2F30"}, "NET:NODE:SOCKET"},
        {{"login", "ALICE", "--ip", "10.1.2.3", "--ipx", "0:0:0"}, "give one address"},
        {{"logout", "1"}, "connection 1 exists on FS1 and FS2"},
        {{"logout", "12"}, "no server has a connection 12"},
        {{"logout", "3", "--server", "FS9"}, "the site has no server FS9"},
        {{"close", "3", "G:\\APPS\\CUSTOMER.DBF"},
         "connection 3 on FS1 does not have SYS:APPS\\CUSTOMER.DBF open"},
        {{"lock", "4", "H:\\CUSTOMER.DBF"}, "connection 4 on FS1 does not have"},
        {{"unlock", "K:\\NOBODY.DAT"}, "nobody on FS2 has VOL1:NOBODY.DAT open"},
        {{"fail", "NWFrobnicate", "1"}, "NWFrobnicate is not a NetWare call"},
        {{"fail", "NWGetInetAddr", "0"}, "CODE must be a non-zero result code"},
        {{"fail", "NWGetInetAddr", "0x8801", "--path", "G:\\X"}, "NWGetInetAddr takes no path"},
        {{"fail", "NWParsePath", "0x899C", "--server", "FS9"}, "the site has no server FS9"},
        {{"fail", "NWParsePath", "0x899C", "--path", "nowhere"}, "nowhere"},
        {{"frobnicate"}, "unknown command frobnicate"},
    };
    const QByteArray before = readAll(m_path);
    for (const Case& c : cases) {
        const test::CommandRun result = run(c.args);
        EXPECT_NE(result.exitCode, 0) << c.args.join(' ').toStdString();
        EXPECT_TRUE(result.err.contains(QString::fromLatin1(c.message)))
            << c.args.join(' ').toStdString() << ": " << result.err.toStdString();
        EXPECT_EQ(readAll(m_path), before) << c.args.join(' ').toStdString();
    }
}

TEST_F(SiteCommandTest, EditsReachTheEmulatedServers) {
    test::CommandRun r =
        run({"login", "bob", "--server", "fs1", "--ipx", "0000ABCD:00A0C9000001:4003"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QLatin1String("BOB logged in on FS1 as connection 2")))
        << r.out.toStdString();
    {
        EmulatedNetWare nw(m_path);
        InetAddr addr;
        ASSERT_EQ(nw.NWGetInetAddr(nw.connectionHandle(QStringLiteral("FS1")), 2, addr), 0);
        EXPECT_EQ(addr.connType[0], nwconntype::kIpx);
        EXPECT_EQ(addr.netNodeAddr, (std::array<quint8, 6>{0x00, 0xA0, 0xC9, 0x00, 0x00, 0x01}));
    }

    r = run({"open", "2", "h:\\orders.dbf", "--mode", "r,w,dw", "--task", "4", "--shareable",
             "--locked"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QList<ConnUsingFile> users = usersOf(QStringLiteral("SYS:APPS\\ORDERS.DBF"));
    ASSERT_EQ(users.size(), 4);
    EXPECT_EQ(users.last().connNumber, 2);
    EXPECT_EQ(users.last().taskNumber, 4);
    EXPECT_EQ(users.last().lockType, 8);
    EXPECT_EQ(users.last().accessControl, 0x0B);
    EXPECT_NE(users.last().lockFlag, 0);

    ASSERT_EQ(run({"unlock", "2", "G:\\APPS\\ORDERS.DBF"}).exitCode, 0);
    EXPECT_EQ(usersOf(QStringLiteral("SYS:APPS\\ORDERS.DBF")).last().lockFlag, 0);
    ASSERT_EQ(run({"lock", "2", "SYS:APPS\\ORDERS.DBF"}).exitCode, 0);
    EXPECT_NE(usersOf(QStringLiteral("SYS:APPS\\ORDERS.DBF")).last().lockFlag, 0);
    ASSERT_EQ(run({"close", "2", "fs1\\sys:apps\\orders.dbf"}).exitCode, 0);
    EXPECT_EQ(usersOf(QStringLiteral("SYS:APPS\\ORDERS.DBF")).size(), 3);

    ASSERT_EQ(run({"open", "2", "G:\\APPS\\CUSTOMER.DBF"}).exitCode, 0);
    ASSERT_EQ(run({"logout", "2", "--server", "FS1"}).exitCode, 0);
    EXPECT_TRUE(usersOf(QStringLiteral("SYS:APPS\\CUSTOMER.DBF")).isEmpty());

    ASSERT_EQ(
        run({"fail", "NWScanConnectionsUsingFile", "0x8996", "--path", "G:\\APPS\\ORDERS.DBF"})
            .exitCode,
        0);
    {
        EmulatedNetWare nw(m_path);
        qint16 iter = 0;
        ConnUsingFile one;
        ConnsUsingFile all;
        EXPECT_EQ(
            nw.NWScanConnectionsUsingFile(nw.connectionHandle(QStringLiteral("FS1")), 0,
                                          QStringLiteral("SYS:APPS\\ORDERS.DBF"), iter, one, all),
            0x8996);
        const NWCONN_NUM to[] = {3};
        quint8 result[] = {0};
        ASSERT_EQ(nw.NWSendBroadcastMessage(nw.connectionHandle(QStringLiteral("FS1")),
                                            QByteArray("Closing at five"), to, result),
                  0);
    }
    r = run({"clear-faults"});
    EXPECT_TRUE(r.out.contains(QLatin1String("1 fault(s) cleared"))) << r.out.toStdString();
    EXPECT_EQ(usersOf(QStringLiteral("SYS:APPS\\ORDERS.DBF")).size(), 3);

    r = run({"messages"});
    EXPECT_TRUE(r.out.contains(QLatin1String("FS1 connection 3 (ALICE): Closing at five")))
        << r.out.toStdString();
    ASSERT_EQ(run({"messages", "--clear"}).exitCode, 0);
    EXPECT_EQ(run({"messages"}).out, QStringLiteral("No messages.\n"));

    r = run({"show"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains(QLatin1String("FS1 (NetWare 4, directory service)")));
    EXPECT_TRUE(r.out.contains(QLatin1String("H: FS1\\SYS:APPS")));
}

// Two tavrelctl processes opening files at the same time, over and over: each open is
// made under the site's lock against the file as it then is, so none is lost.
TEST_F(SiteCommandTest, SimulateChangesTheSiteForAWhileAndThenEnds) {
    for (const QStringList& bad :
         {QStringList{"--every", "0"}, QStringList{"--for", "x"}, QStringList{"--seed", "-1"}}) {
        EXPECT_EQ(run(QStringList{"simulate"} + bad).exitCode, 2) << bad.join(' ').toStdString();
    }
    const test::CommandRun simulated =
        run({"simulate", "--seed", "3", "--every", "0.02", "--for", "0.3"});
    EXPECT_EQ(simulated.exitCode, 0) << simulated.err.toStdString();
    EXPECT_GE(simulated.out.count('\n'), 5);
    const SiteLoad after = SiteFile(m_path).load();
    ASSERT_TRUE(after.site) << after.error.toStdString();
    EXPECT_NE(*after.site, test::makeTestSite(m_dir.path()));
}

TEST_F(SiteCommandTest, ConcurrentOpensAllSurvive) {
    constexpr int kOpensPerLane = 100;
    struct Lane {
        QProcess process;
        QString connection;
        QString path;
        int started = 0;
        int finished = 0;
        QStringList failures;
    };
    Lane lanes[2];
    lanes[0].connection = QStringLiteral("3");
    lanes[0].path = QStringLiteral("G:\\APPS\\ORDERS.DBF");
    lanes[1].connection = QStringLiteral("4");
    lanes[1].path = QStringLiteral("SYS:APPS\\CUSTOMER.DBF");
    const auto startNext = [&](Lane& lane) {
        const QString task = QString::number(1000 + lane.started++);
        lane.process.start(QStringLiteral(TAVRELCTL_PATH),
                           siteArgs({QStringLiteral("open"), lane.connection, lane.path,
                                     QStringLiteral("--task"), task}));
    };
    for (Lane& lane : lanes) {
        startNext(lane);
    }
    QElapsedTimer elapsed;
    elapsed.start();
    while ((lanes[0].finished < kOpensPerLane || lanes[1].finished < kOpensPerLane) &&
           elapsed.elapsed() < 240000) {
        for (Lane& lane : lanes) {
            if (lane.finished == lane.started || !lane.process.waitForFinished(5)) {
                continue;
            }
            ++lane.finished;
            if (lane.process.exitStatus() != QProcess::NormalExit || lane.process.exitCode() != 0) {
                lane.failures.append(QString::fromUtf8(lane.process.readAllStandardError()));
            }
            if (lane.started < kOpensPerLane) {
                startNext(lane);
            }
        }
    }
    for (const Lane& lane : lanes) {
        EXPECT_EQ(lane.finished, kOpensPerLane);
        EXPECT_TRUE(lane.failures.isEmpty()) << lane.failures.join('\n').toStdString();
    }

    const SiteLoad load = SiteFile(m_path).load();
    ASSERT_TRUE(load.site) << load.error.toStdString();
    QSet<QString> opens;
    for (const SiteOpenFile& open : load.site->servers.at(0).openFiles) {
        if (open.task >= 1000) {
            opens.insert(QStringLiteral("%1/%2").arg(open.connection).arg(open.task));
        }
    }
    EXPECT_EQ(opens.size(), 2 * kOpensPerLane);
    EXPECT_FALSE(QFile::exists(m_path + QStringLiteral(".lock")));
}

}  // namespace
}  // namespace tavrel
