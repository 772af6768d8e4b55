#include <sys/stat.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/Module1.h"
#include "external/netware/DemoSite.h"
#include "external/netware/EmulatedNetWare.h"
#include "external/netware/SiteFile.h"
#include "external/netware/SiteJson.h"
#include "support/FakeClock.h"
#include "support/FileSizeLimit.h"
#include "support/TestSite.h"

namespace tavrel {
namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

int connectionsUsing(EmulatedNetWare& nw, const QString& server, const QString& path) {
    qint16 iter = 0;
    ConnUsingFile one;
    ConnsUsingFile all;
    const NWCCODE rc =
        nw.NWScanConnectionsUsingFile(nw.connectionHandle(server), 0, path, iter, one, all);
    return rc == 0 ? all.connCount : -int(rc);
}

TEST(SiteJson, WritesWhatItReadsAndReadsWhatItWrites) {
    QFile demo(QStringLiteral(":/demo/site.json"));
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    const QByteArray text = demo.readAll();
    const SiteParse parsed = parseSiteJson(text);
    ASSERT_TRUE(parsed.site) << parsed.error.toStdString();
    EXPECT_EQ(siteToJson(*parsed.site), text);  // the demo is kept in the written layout

    QTemporaryDir dir;
    const NetWareSite built = test::makeTestSite(dir.path());
    const QByteArray written = siteToJson(built);
    const SiteParse reread = parseSiteJson(written);
    ASSERT_TRUE(reread.site) << reread.error.toStdString();
    EXPECT_EQ(siteToJson(*reread.site), written);
    EXPECT_EQ(reread.site->servers.at(0).connections.at(1).loginTime.toString(Qt::ISODate),
              QStringLiteral("2003-06-09T08:05:00Z"));
}

TEST(SiteJson, AcceptsTheShortForms) {
    const SiteParse parsed = parseSiteJson(R"({"servers": [{"name": "FS1", "version": 3,
        "volumes": [{"name": "SYS", "number": 0}],
        "objects": [{"id": 5, "name": "ANN"}],
        "connections": [{"number": 2, "object": "0x5", "loginTime": "2003-06-09 08:05",
                         "address": {"type": 2, "net": [0, 0, 171, 205],
                                     "node": "00-A0-C9-1E-2F-30", "socket": "40:03"}}],
        "openFiles": [{"connection": 2, "path": "sys:apps/orders.dbf"}]}],
        "drives": [{"letter": "g:", "server": "fs1", "volume": "sys"}]})");
    ASSERT_TRUE(parsed.site) << parsed.error.toStdString();
    const SiteConnection& connection = parsed.site->servers.at(0).connections.at(0);
    EXPECT_EQ(connection.object, 5u);
    EXPECT_EQ(connection.loginTime.time(), QTime(8, 5));
    EXPECT_EQ(connection.address.type, 2);
    EXPECT_EQ(connection.address.net, (std::array<quint8, 4>{0, 0, 0xAB, 0xCD}));
    EXPECT_EQ(connection.address.socket, (std::array<quint8, 2>{0x40, 0x03}));
    const SiteOpenFile& open = parsed.site->servers.at(0).openFiles.at(0);
    EXPECT_EQ(open.task, 1);
    EXPECT_EQ(open.accessControl, 0x01);
    EXPECT_FALSE(open.locked);
    EXPECT_EQ(parsed.site->drives.at(0).letter, QLatin1Char('G'));
}

struct Malformed {
    const char* json;
    const char* reason;
};

class MalformedSiteTest : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedSiteTest, ClearErrorFileNeverRewritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("site.json"));
    const QByteArray text = GetParam().json;
    writeAll(path, text);

    EmulatedNetWare nw(path);
    EXPECT_NE(nw.NWCallsInit(), 0);
    const QString reason = nw.initFailureReason();
    EXPECT_TRUE(reason.contains(path)) << reason.toStdString();
    EXPECT_TRUE(reason.contains(QLatin1String(GetParam().reason))) << reason.toStdString();

    // Nothing the program or tavrelctl tries writes over it.
    EXPECT_NE(nw.NWClearConnectionNumber(nw.connectionHandle(QStringLiteral("FS1")), 1), 0);
    EXPECT_NE(nw.NWClearFileLockSet(0), 0);
    const SiteUpdate update = SiteFile(path).update([](NetWareSite& site) {
        site.messages.append({QStringLiteral("FS1"), 1, QStringLiteral("x"), {}});
        return QString();
    });
    EXPECT_FALSE(update.ok);
    EXPECT_EQ(readAll(path), text);
}

// What the reader refuses, a site made in code must not pass either: it would be written.
TEST(SiteFile, AServerVersionBelowOneIsRefused) {
    NetWareSite site;
    SiteServer server;
    server.name = QStringLiteral("FS1");
    server.version = 0;
    site.servers.append(server);
    EXPECT_EQ(checkSite(site), "servers[0].version: expected a version from 1 to 255");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedSiteTest,
    ::testing::Values(
        Malformed{"{\"servers\": [", "line 1, column"},
        Malformed{"{\n  \"servers\": [],\n  \"drives\": [}\n}", "line 3, column"},
        Malformed{"", "offset 0"}, Malformed{"[]", "one JSON object"},
        Malformed{"{\"servers\": {}}", "servers: expected a list"},
        Malformed{"{\"servers\": [{\"name\": \"FS1\", \"version\": \"four\"}]}",
                  "servers[0].version: expected a whole number"},
        Malformed{"{\"servers\": [{\"name\": \"FS1\", \"version\": 4.5}]}", "servers[0].version"},
        Malformed{R"({"servers": [{"name": "FS1", "version": 4,
            "objects": [{"id": 1, "name": "ANN"}],
            "connections": [{"number": 0, "object": 1}]}]})",
                  "connection number 0 is not allowed"},
        Malformed{R"({"servers": [{"name": "FS1", "version": 4,
            "objects": [{"id": 1, "name": "ANN"}],
            "connections": [{"number": 3, "object": 1, "loginTime": "2156-01-01T08:00:00"}]}]})",
                  "a login time must lie between 1900 and 2155"},
        Malformed{"{\"servers\": [{\"name\": 7, \"version\": 4}]}",
                  "servers[0].name: expected a text"},
        Malformed{"{\"servers\": [{\"name\": \"FS1\", \"version\": 4, \"volumez\": []}]}",
                  "unknown key \"volumez\""},
        Malformed{"{\"servers\": [{\"name\": \"FS1\", \"version\": 4}, "
                  "{\"name\": \"fs1\", \"version\": 3}]}",
                  "server fs1 appears twice"},
        Malformed{"{\"servers\": [], \"drives\": [{\"letter\": \"G\", \"server\": \"FS9\", "
                  "\"volume\": \"SYS\"}]}",
                  "drives[0].server: drive G: names server FS9"},
        Malformed{"{\"servers\": [], \"drives\": [{\"letter\": \"GG\", \"local\": \"/\"}]}",
                  "expected a drive letter"},
        Malformed{"{\"servers\": [], \"drives\": [{\"letter\": \"G\", \"local\": \"/\"}, "
                  "{\"letter\": \"g\", \"local\": \"/tmp\"}]}",
                  "drive G: is mapped twice"},
        Malformed{R"({"servers": [{"name": "FS1", "version": 4,
            "volumes": [{"name": "SYS", "number": 0}],
            "objects": [{"id": 1, "name": "ANN"}],
            "connections": [{"number": 3, "object": 1}, {"number": 3, "object": 1}]}]})",
                  "servers[0].connections[1]: connection number 3 is used twice on FS1"},
        Malformed{R"({"servers": [{"name": "FS1", "version": 4,
            "volumes": [{"name": "SYS", "number": 0}],
            "objects": [{"id": 1, "name": "ANN"}],
            "connections": [{"number": 3, "object": 1,
                             "address": {"type": "IP", "net": "10.1.2.300"}}]}]})",
                  "servers[0].connections[0].address.net: expected 4 bytes"},
        Malformed{R"({"servers": [{"name": "FS1", "version": 4,
            "volumes": [{"name": "SYS", "number": 0}],
            "objects": [{"id": 1, "name": "ANN"}],
            "connections": [{"number": 3, "object": 1,
                             "address": {"type": "IPX", "node": "00A0C91E2F"}}]}]})",
                  "address.node: expected 6 bytes"},
        Malformed{R"({"servers": [{"name": "FS1", "version": 4,
            "volumes": [{"name": "SYS", "number": 0}],
            "objects": [{"id": 1, "name": "ANN"}],
            "connections": [{"number": 3, "object": 1,
                             "address": {"type": "IP", "net": [10, 1, 2, 256]}}]}]})",
                  "address.net: expected 4 bytes"},
        Malformed{R"({"servers": [{"name": "FS1", "version": 4,
            "volumes": [{"name": "SYS", "number": 0}],
            "objects": [{"id": 1, "name": "ANN"}],
            "connections": [{"number": 3, "object": 2}]}]})",
                  "FS1 has no object with ID 0x00000002"},
        Malformed{R"({"servers": [{"name": "FS1", "version": 4,
            "volumes": [{"name": "SYS", "number": 0}],
            "objects": [{"id": 1, "name": "ANN"}],
            "connections": [{"number": 3, "object": 1, "loginTime": "yesterday"}]}]})",
                  "loginTime: expected a date and time"},
        Malformed{R"({"servers": [{"name": "FS1", "version": 4,
            "volumes": [{"name": "SYS", "number": 0}],
            "openFiles": [{"connection": 9, "path": "SYS:A.DAT"}]}]})",
                  "FS1 has no connection 9"},
        Malformed{R"({"servers": [{"name": "FS1", "version": 4,
            "volumes": [{"name": "SYS", "number": 0}],
            "objects": [{"id": 1, "name": "ANN"}],
            "connections": [{"number": 3, "object": 1}],
            "openFiles": [{"connection": 3, "path": "VOL9:A.DAT"}]}]})",
                  "FS1 has no volume VOL9"},
        Malformed{R"({"servers": [{"name": "FS1", "version": 4,
            "volumes": [{"name": "S", "number": 0}]}]})",
                  "two characters or more"},
        Malformed{R"({"servers": [{"name": "FS1", "version": 4,
            "volumes": [{"name": "SYS", "number": 0}],
            "files": [{"path": "SYS:A.DAT", "dosName": "TOOLONGNAME.DAT"}]}]})",
                  "not an 8.3 name"},
        Malformed{R"({"servers": [], "faults": [{"call": "NWFrobnicate", "code": 1}]})",
                  "is not a NetWare call"},
        Malformed{R"({"servers": [], "faults": [{"call": "NWGetInetAddr", "code": "0x8801",
            "path": "G:\\X"}]})",
                  "NWGetInetAddr takes no path"},
        Malformed{R"({"servers": [], "faults": [{"call": "NWGetInetAddr", "code": 0}]})",
                  "non-zero code"},
        Malformed{R"({"servers": [], "workstation": {"connections": [{"server": "FS1",
            "number": 1}]}})",
                  "the site has no server \"FS1\""},
        Malformed{"{\"servers\": [],\n \"drives\": [], \"servers\": []}",
                  "line 2, column 16 (offset 31): duplicate key"},
        Malformed{R"({"servers": [{"name": "FS1", "version": 4, "n\u0061me": "FS2"}]})",
                  "line 1, column 44 (offset 43): duplicate key"},
        Malformed{R"({"servers": [{"name": "FS1", "version": 4,
            "volumes": [{"name": "SYS", "number": 0}],
            "objects": [{"id": 1, "name": "AN\u0000N"}]}]})",
                  "servers[0].objects[0]: an object name may not hold a NUL character"}));

TEST(SiteFile, MissingFileFailsInitWithItsName) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("none.json"));
    EmulatedNetWare nw(path);
    EXPECT_EQ(nw.NWCallsInit(), nwcode::kClientNotPresent);
    EXPECT_TRUE(nw.initFailureReason().contains(path));
    EXPECT_TRUE(nw.initFailureReason().contains(QLatin1String("no such file")));
    EXPECT_FALSE(QFile::exists(path));
}

class SiteFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("site.json"));
        ASSERT_EQ(SiteFile(m_path).save(test::makeTestSite(m_dir.path())), QString());
    }

    // Another process's change, made through the same code as tavrelctl's.
    void openElsewhere(quint16 connection, const QString& path) {
        const SiteUpdate update = SiteFile(m_path).update([&](NetWareSite& site) {
            site.servers[0].openFiles.append({connection, path, 9, 0, 0x01, false});
            return QString();
        });
        ASSERT_TRUE(update.ok) << update.error.toStdString();
    }

    QTemporaryDir m_dir;
    QString m_path;
    test::FakeClock m_clock;
};

TEST_F(SiteFileTest, ReadsAgainOnlyWhenTheFileChanged) {
    EmulatedNetWare nw(m_path);
    nw.setClock(m_clock);
    ASSERT_EQ(nw.NWCallsInit(), 0) << nw.initFailureReason().toStdString();
    const QString orders = QStringLiteral("SYS:APPS\\ORDERS.DBF");
    EXPECT_EQ(connectionsUsing(nw, QStringLiteral("FS1"), orders), 3);

    openElsewhere(3, orders);
    EXPECT_EQ(connectionsUsing(nw, QStringLiteral("FS1"), orders), 3);  // not looked at yet
    m_clock.advanceMs(EmulatedNetWare::kCheckIntervalMs);
    EXPECT_EQ(connectionsUsing(nw, QStringLiteral("FS1"), orders), 4);

    // Broken while running: the last good site stays, the reason is kept.
    writeAll(m_path, "{\"servers\": [ oops");
    m_clock.advanceMs(EmulatedNetWare::kCheckIntervalMs);
    EXPECT_EQ(connectionsUsing(nw, QStringLiteral("FS1"), orders), 4);
    EXPECT_TRUE(nw.siteProblem().contains(QLatin1String("line 1")))
        << nw.siteProblem().toStdString();
    EXPECT_EQ(nw.NWClearConnectionNumber(nw.connectionHandle(QStringLiteral("FS1")), 3),
              nwcode::kDirectoryIoError);
    EXPECT_EQ(readAll(m_path), QByteArray("{\"servers\": [ oops"));

    // Mended: read again, the problem goes.
    ASSERT_EQ(SiteFile(m_path).save(test::makeTestSite(m_dir.path())), QString());
    m_clock.advanceMs(EmulatedNetWare::kCheckIntervalMs);
    EXPECT_EQ(connectionsUsing(nw, QStringLiteral("FS1"), orders), 3);
    EXPECT_EQ(nw.siteProblem(), QString());
}

TEST_F(SiteFileTest, ProgramChangesAreWrittenBackWithoutLosingOthers) {
    EmulatedNetWare program(m_path);
    program.setClock(m_clock);
    ASSERT_EQ(program.NWCallsInit(), 0);
    const NWCONN_HANDLE fs1 = program.connectionHandle(QStringLiteral("FS1"));
    const QString customer = QStringLiteral("SYS:APPS\\CUSTOMER.DBF");

    // Changed by another process since the program last looked: both changes survive.
    openElsewhere(3, customer);
    ASSERT_EQ(program.NWClearConnectionNumber(fs1, 4), 0);
    const NWCONN_NUM to[] = {1};
    quint8 result[] = {0xEE};
    ASSERT_EQ(program.NWSendBroadcastMessage(fs1, QByteArray("Back up at six"), to, result), 0);
    ASSERT_EQ(program.NWClearFileLockSet(0), 0);

    const SiteLoad load = SiteFile(m_path).load();
    ASSERT_TRUE(load.site) << load.error.toStdString();
    const SiteServer& server = load.site->servers.at(0);
    EXPECT_EQ(server.connections.size(), 2);
    bool openedElsewhere = false;
    for (const SiteOpenFile& open : server.openFiles) {
        EXPECT_NE(open.connection, 4);
        EXPECT_FALSE(open.connection == 1 && open.locked);
        openedElsewhere = openedElsewhere || open.path == customer;
    }
    EXPECT_TRUE(openedElsewhere);
    ASSERT_EQ(load.site->messages.size(), 1);
    EXPECT_EQ(load.site->messages.at(0).text, QStringLiteral("Back up at six"));
    EXPECT_EQ(load.site->messages.at(0).time.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
              QStringLiteral("2026-12-08 09:05"));
    EXPECT_EQ(connectionsUsing(program, QStringLiteral("FS1"), customer), 1);
    EXPECT_FALSE(QFile::exists(m_path + QStringLiteral(".lock")));
}

// A change that cannot be written whole (a full disk) is refused with the system's reason,
// and the site file stays as it was.
TEST_F(SiteFileTest, AChangeThatCannotBeWrittenLeavesTheSiteFileAsItWas) {
    const QByteArray before = readAll(m_path);
    ASSERT_GT(before.size(), 1024);
    SiteUpdate update;
    {
        const test::FileSizeLimit limit(1024);  // room for the lock file, not the site
        update = SiteFile(m_path).update([](NetWareSite& site) {
            site.servers[0].openFiles.clear();
            return QString();
        });
    }
    EXPECT_FALSE(update.ok);
    EXPECT_TRUE(update.error.contains(QLatin1String("cannot write the site file")))
        << update.error.toStdString();
    EXPECT_EQ(readAll(m_path), before);
    EXPECT_EQ(QDir(m_dir.path()).entryList({QStringLiteral("site.json*")}, QDir::Files),
              QStringList{QStringLiteral("site.json")});
}

TEST_F(SiteFileTest, FaultsOfTheFileReachTheCaller) {
    const SiteUpdate update = SiteFile(m_path).update([](NetWareSite& site) {
        site.faults.append({QStringLiteral("NWScanConnectionsUsingFile"), 0x89A8,
                            QStringLiteral("G:\\APPS\\ORDERS.DBF"), std::nullopt, QString()});
        site.faults.append({QStringLiteral("NWCallsInit"), nwcode::kClientNotPresent, QString(),
                            std::nullopt, QString()});
        return QString();
    });
    ASSERT_TRUE(update.ok) << update.error.toStdString();
    EmulatedNetWare nw(m_path);
    EXPECT_EQ(nw.NWCallsInit(), nwcode::kClientNotPresent);
    EXPECT_TRUE(nw.initFailureReason().contains(QLatin1String("NWCallsInit")));
    EXPECT_EQ(connectionsUsing(nw, QStringLiteral("FS1"), QStringLiteral("SYS:APPS\\ORDERS.DBF")),
              -0x89A8);
}

TEST(SiteFile, WhatIsNoRegularSiteFileIsRefusedAndNeverReplaced) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo.json"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString loop = dir.filePath(QStringLiteral("site.json"));
    ASSERT_TRUE(QFile::link(loop, loop));
    const struct {
        QString path;
        const char* reason;
    } cases[] = {
        {fifo, "not a regular file"},
        {QStringLiteral("/dev/zero"), "not a regular file"},
        {dir.path(), "not a regular file"},
        {loop, "symbolic links"},
    };
    for (const auto& c : cases) {
        EmulatedNetWare nw(c.path);
        EXPECT_NE(nw.NWCallsInit(), 0);
        EXPECT_TRUE(nw.initFailureReason().contains(QLatin1String(c.reason)))
            << nw.initFailureReason().toStdString();
    }
    // The unreadable site file is the operator's to mend, not replaced by the demo.
    QString problem;
    EXPECT_EQ(ensureSiteFile(dir.path(), &problem), loop);
    EXPECT_EQ(problem, QString());
    EXPECT_TRUE(QFileInfo(loop).isSymLink());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("volumes"))));

    // A program folder that is a file is named itself.
    const QString file = dir.filePath(QStringLiteral("home"));
    writeAll(file, "x");
    ensureSiteFile(file, &problem);
    EXPECT_TRUE(problem.endsWith(QStringLiteral("cannot create the folder ") + file))
        << problem.toStdString();
}

TEST(DemoSite, WrittenOnceAndUsable) {
    QTemporaryDir dir;
    QString problem = QStringLiteral("unset");
    const QString path = ensureSiteFile(dir.path(), &problem);
    EXPECT_EQ(problem, QString());
    EXPECT_EQ(path, dir.filePath(QStringLiteral("site.json")));

    EmulatedNetWare nw(path);
    ASSERT_EQ(nw.NWCallsInit(), 0) << nw.initFailureReason().toStdString();
    EXPECT_TRUE(FileExists(nw, QStringLiteral("G:\\APPS\\ORDERS.DBF")));  // orders.dbf on disk
    EXPECT_TRUE(FileExists(nw, QStringLiteral("K:\\LEDGER.DAT")));
    EXPECT_EQ(connectionsUsing(nw, QStringLiteral("FS1"), QStringLiteral("SYS:APPS\\ORDERS.DBF")),
              3);

    // An existing site is left as it is.
    writeAll(path, "{\"servers\": []}");
    EXPECT_EQ(ensureSiteFile(dir.path()), path);
    EXPECT_EQ(readAll(path), QByteArray("{\"servers\": []}"));

    qputenv("TAVREL_SITE", QFile::encodeName(dir.filePath(QStringLiteral("other.json"))));
    EXPECT_EQ(ensureSiteFile(dir.path()), dir.filePath(QStringLiteral("other.json")));
    qunsetenv("TAVREL_SITE");
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("other.json"))));
}

}  // namespace
}  // namespace tavrel
