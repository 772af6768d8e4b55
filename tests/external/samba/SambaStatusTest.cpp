#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include <sys/stat.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>

#include "external/netware/SiteJson.h"
#include "external/samba/SambaNetWare.h"
#include "external/samba/SambaSite.h"
#include "external/samba/SambaStatus.h"
#include "external/samba/SiteBackend.h"
#include "mainwindow/UserActions.h"
#include "monitor/ScanTexts.h"

namespace tavrel {
namespace {

// Trimmed from what smbstatus --json -B of Samba 4.17 printed for two clients: ALICE holds
// ORDERS.DBF for reading and writing, letting others only read, with a byte-range lock, and
// NOTES.TXT for reading; BOB holds ORDERS.DBF for reading. A third file lies outside the
// mapped share.
const char* const kSample = R"({
 "version": "4.17.12-Debian",
 "sessions": {
  "3790": {"session_id": "3790", "server_id": {"pid": "701"}, "uid": 1001, "gid": 1001,
           "username": "alice", "remote_machine": "10.0.0.7", "hostname": "ipv4:10.0.0.7:49152"},
  "4122": {"session_id": "4122", "server_id": {"pid": "702"}, "uid": 1002, "gid": 1002,
           "username": "bob", "remote_machine": "ws2", "hostname": "ipv6:fe80::1:50000"}
 },
 "tcons": {
  "11": {"service": "data", "session_id": "3790", "connected_at": "2026-12-09T08:05:00.250000+00:00"},
  "12": {"service": "data", "session_id": "4122", "connected_at": "2026-12-09T09:30:00.000000+00:00"}
 },
 "open_files": {
  "/srv/data/APPS/ORDERS.DBF": {"service_path": "/srv/data", "filename": "APPS/ORDERS.DBF", "opens": {
   "701/3": {"server_id": {"pid": "701"}, "uid": 1001, "share_file_id": "3",
             "sharemode": {"READ": true, "WRITE": false, "DELETE": false},
             "access_mask": {"READ_DATA": true, "WRITE_DATA": true}},
   "702/9": {"server_id": {"pid": "702"}, "uid": 1002, "share_file_id": "9",
             "sharemode": {"READ": true, "WRITE": true, "DELETE": false},
             "access_mask": {"READ_DATA": true, "WRITE_DATA": false}}}},
  "/srv/data/NOTES.TXT": {"service_path": "/srv/data", "filename": "NOTES.TXT", "opens": {
   "701/5": {"server_id": {"pid": "701"}, "uid": 1001, "share_file_id": "5",
             "sharemode": {"READ": false, "WRITE": false, "DELETE": false},
             "access_mask": {"READ_DATA": true}}}},
  "/srv/other/X.TXT": {"service_path": "/srv/other", "filename": "X.TXT", "opens": {
   "701/6": {"server_id": {"pid": "701"}, "uid": 1001, "share_file_id": "6",
             "sharemode": {"READ": true}, "access_mask": {"READ_DATA": true}}}}
 },
 "byte_range_locks": {
  "/srv/data/APPS/ORDERS.DBF": {"locks": [{"server_id": {"pid": "701"}, "type": "W", "start": 0, "size": 10}]}
 }
})";

SambaConfig sampleConfig() {
    QString error;
    const QJsonObject root = QJsonDocument::fromJson(R"({"backend": "samba", "server": "FILESRV",
        "drives": [{"letter": "G", "share": "data", "folder": "/srv/data"}]})")
                                 .object();
    return parseSambaConfig(root, QStringLiteral("/"), &error).value();
}

TEST(SambaStatusTest, UnreadableAnswersAreRefusedWithTheReason) {
    const struct {
        const char* json;
        const char* reason;
    } cases[] = {
        {"smbstatus: permission denied", "not JSON"},
        {"", "not JSON"},
        {R"({"sessions": {}, "tcons": {}})", "no \"open_files\" object"},
        {R"({"sessions": [], "tcons": {}, "open_files": {}})", "no \"sessions\" object"},
        {"{\"sessions\": {}, \"tcons\": {}, \"open_files\": {\"\xff\": {}}}", "not JSON"},
        {R"({"sessions": {}, "tcons": {}, "open_files": {}} {})", "not JSON"},
        {R"({"sessions": {}, "tcons": {}, "open_files": {"a": [1, 2,]}})", "not JSON"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(parseSambaStatus(c.json, &error)) << c.json;
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    }
}

// The answer reads as QJsonDocument reads it: members in the order of their keys, the last
// of a repeated key, escapes and UTF-8 decoded, ids as strings or numbers.
TEST(SambaStatusTest, TheAnswerIsReadAsJsonIsRead) {
    const QByteArray answer = R"({"tcons": {}, "sessions": {
  "20": {"server_id": {"pid": 702}, "uid": "1002", "hostname": "ipv4:10.0.0.2:1",
         "username": "b\u00f6b \"the\" \\ \/ builder"},
  "10": {"server_id": {"pid": "701"}, "uid": 1001, "username": "alice",
         "username": "jürgen 😀", "hostname": "ipv4:10.0.0.1:1"}},
 "open_files": {"/srv/data/Ä.txt": {"service_path": "/srv/data", "filename": "Ä.txt", "opens": {
  "701/1": {"server_id": {"pid": "701"}, "uid": 1001, "share_file_id": 7,
            "access_mask": {"READ_DATA": true}, "sharemode": {"READ": true, "WRITE": false}},
  "701/0": []}}},
 "byte_range_locks": {"/srv/data/Ä.txt": {"locks": [{"server_id": {"pid": "701"}}]}}})";
    QString error;
    const std::optional<SambaStatus> status = parseSambaStatus(answer, &error);
    ASSERT_TRUE(status) << error.toStdString();
    ASSERT_EQ(status->sessions.size(), 2);
    EXPECT_EQ(status->sessions[0].id, "10");
    EXPECT_EQ(status->sessions[0].user, QString::fromUtf8("jürgen 😀"));
    EXPECT_EQ(status->sessions[0].pid, 701);
    EXPECT_EQ(status->sessions[1].user, QString::fromUtf8("böb \"the\" \\ / builder"));
    EXPECT_EQ(status->sessions[1].pid, 702);
    EXPECT_EQ(status->sessions[1].uid, 1002u);
    EXPECT_EQ(status->sessions[1].address, "10.0.0.2");
    ASSERT_EQ(status->opens.size(), 2);
    EXPECT_EQ(status->opens[0].pid, 0) << "an open that is not an object holds nothing";
    EXPECT_EQ(status->opens[1].fileName, QString::fromUtf8("Ä.txt"));
    EXPECT_EQ(status->opens[1].fileId, 7u);
    EXPECT_TRUE(status->opens[1].read && status->opens[1].othersRead && status->opens[1].locked);
    EXPECT_FALSE(status->opens[1].write || status->opens[1].othersWrite);

    // Escaped as a surrogate pair, the same name.
    const QByteArray escaped =
        QByteArray(answer).replace("jürgen 😀", R"(j\u00fcrgen \ud83d\ude00)");
    EXPECT_EQ(parseSambaStatus(escaped, &error).value().sessions[0].user, status->sessions[0].user);
}

TEST(SessionNumbersTest, EveryProcessNamesASessionAlikeAndTheFileIsWrittenOnlyOnAChange) {
    QTemporaryDir dir;
    const QString file = dir.filePath("samba-connections.json");
    const auto inode = [&file] {
        struct stat info {};
        return ::stat(QFile::encodeName(file).constData(), &info) == 0 ? info.st_ino : 0;
    };
    SessionNumbers window;
    SessionNumbers command;
    window.keepIn(file, "FS1");
    command.keepIn(file, "FS1");
    const QHash<QString, quint16> first = window.update({"s1", "s2"});
    const auto written = inode();
    EXPECT_EQ(command.update({"s2", "s1"}), first);
    EXPECT_EQ(inode(), written) << "the same sessions rewrote the file";
    const QHash<QString, quint16> next = command.update({"s1", "s3"});
    EXPECT_EQ(next.value("s1"), first.value("s1"));
    EXPECT_NE(inode(), written);
    EXPECT_EQ(window.update({"s3", "s1"}), next);
}

TEST(SambaStatusTest, OpensBecomeOpenFilesOfTheSessionsConnections) {
    QString error;
    const SambaStatus status = parseSambaStatus(kSample, &error).value();
    SessionNumbers numbers;
    const SambaSite built = buildSambaSite(sampleConfig(), status, numbers, {});
    ASSERT_EQ(built.site.servers.size(), 1);
    const SiteServer& server = built.site.servers.first();
    EXPECT_EQ(server.name, "FILESRV");

    // path, connection, task, access control (read 1, write 2, deny read 4, deny write 8),
    // lock type (8 shareable), locked
    const struct {
        const char* path;
        quint16 connection;
        quint16 task;
        quint8 access;
        quint8 lockType;
        bool locked;
    } expected[] = {
        {"data:APPS\\ORDERS.DBF", 1, 3, 0x0B, 8, true},
        {"data:APPS\\ORDERS.DBF", 2, 9, 0x01, 8, false},
        {"data:NOTES.TXT", 1, 5, 0x0D, 0, false},
    };
    QList<SiteOpenFile> files = server.openFiles;
    std::sort(files.begin(), files.end(), [](const SiteOpenFile& a, const SiteOpenFile& b) {
        return std::tie(a.path, a.connection) < std::tie(b.path, b.connection);
    });
    ASSERT_EQ(files.size(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(files[i].path, expected[i].path);
        EXPECT_EQ(files[i].connection, expected[i].connection);
        EXPECT_EQ(files[i].task, expected[i].task);
        EXPECT_EQ(files[i].accessControl, expected[i].access);
        EXPECT_EQ(files[i].lockType, expected[i].lockType);
        EXPECT_EQ(files[i].locked, expected[i].locked);
    }

    ASSERT_EQ(server.connections.size(), 2);
    const SiteConnection& alice = server.connections.at(0);
    EXPECT_EQ(server.objects.at(int(alice.object) - 1).name, "alice");
    EXPECT_EQ(alice.address.type, 11);
    EXPECT_EQ(alice.address.net, (std::array<quint8, 4>{10, 0, 0, 7}));
    const QDateTime login =
        QDateTime::fromString("2026-12-09T08:05:00Z", Qt::ISODate).toLocalTime();
    EXPECT_EQ(alice.loginTime.time(), login.time());
    EXPECT_EQ(server.connections.at(1).address.type, 0) << "an IPv6 client has no IP record";
    EXPECT_EQ(built.clients.value(1).pid, 701);
    EXPECT_EQ(built.clients.value(2).shares, QStringList{"data"});
}

TEST(SambaStatusTest, ConnectionNumbersLastAsLongAsTheirSession) {
    SessionNumbers numbers;
    EXPECT_EQ(numbers.update({"a", "b"}), (QHash<QString, quint16>{{"a", 1}, {"b", 2}}));
    // a leaves and c arrives: b keeps its number, and a's is not handed out at once.
    EXPECT_EQ(numbers.update({"b", "c"}), (QHash<QString, quint16>{{"b", 2}, {"c", 3}}));
    EXPECT_EQ(numbers.update({"c", "b", "d"}),
              (QHash<QString, quint16>{{"b", 2}, {"c", 3}, {"d", 4}}));
}

TEST(SambaStatusTest, UnsoundConfigurationsSayWhat) {
    const struct {
        const char* json;
        const char* reason;
    } cases[] = {
        {R"({"backend": "samba"})", "\"drives\" must map"},
        {R"({"drives": [{"letter": "GG", "share": "d", "folder": "/x"}]})", "drive letter A to Z"},
        {R"({"drives": [{"letter": "G", "folder": "/x"}]})", "needs a \"share\""},
        {R"({"drives": [{"letter": "G", "share": "d", "folder": "/x"},
                        {"letter": "g", "share": "e", "folder": "/y"}]})",
         "mapped twice"},
        {R"({"status": "smbstatus --json", "drives": [{"letter": "G", "share": "d", "folder": "/x"}]})",
         "\"status\" must be a list"},
        {R"({"control": [], "drives": [{"letter": "G", "share": "d", "folder": "/x"}]})",
         "\"control\" must be a list"},
        {R"({"contrl": ["ssh"], "drives": [{"letter": "G", "share": "d", "folder": "/x"}]})",
         "unknown key \"contrl\" (known here: backend, server, status, control, rights, drives)"},
        {R"({"drives": [{"letter": "G", "share": "d", "foldr": "/x"}]})",
         "drives[0]: unknown key \"foldr\""},
        // Several servers
        {R"({"servers": []})", "\"servers\" must be a list of at least one server"},
        {R"({"servers": [{"name": "A", "drives": [{"letter": "G", "share": "d", "folder": "/x"}]}],
             "drives": []})",
         "unknown key \"drives\" (known here: backend, servers)"},
        {R"({"servers": [{"server": "A", "drives": [{"letter": "G", "share": "d", "folder": "/x"}]}]})",
         "servers[0]: unknown key \"server\" (known here: name, status, control, rights, drives)"},
        {R"({"servers": [{"drives": [{"letter": "G", "share": "d", "folder": "/x"}]}]})",
         "servers[0]: a server needs a \"name\""},
        {R"({"servers": [{"name": "A", "drives": [{"letter": "G", "share": "d", "folder": "/x"}]},
                         {"name": "a", "drives": [{"letter": "K", "share": "d", "folder": "/y"}]}]})",
         "servers[1]: the server name a is given twice"},
        {R"({"servers": [{"name": "A", "drives": [{"letter": "G", "share": "d", "folder": "/x"}]},
                         {"name": "B", "drives": [{"letter": "g", "share": "d", "folder": "/y"}]}]})",
         "servers[1]: drive G: is mapped twice (also on A)"},
        {R"({"servers": [{"name": "A", "status": "smbstatus",
                          "drives": [{"letter": "G", "share": "d", "folder": "/x"}]}]})",
         "servers[0]: \"status\" must be a list"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(parseSambaConfig(QJsonDocument::fromJson(c.json).object(), "/", &error))
            << c.json;
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    }
}

TEST(SambaStatusTest, TheSiteFileIsReadAsSambaWhateverItsSizeAndATypoIsPlaced) {
    QTemporaryDir dir;
    const QString path = dir.filePath("site.json");
    const struct {
        QByteArray text;
        const char* failure;
    } cases[] = {
        {"{\"backend\": \"samba\",\n \"contrl\": [\"smbcontrol\"],\n \"drives\": []}",
         "is not sound: line 2, column 2: unknown key \"contrl\""},
        // The key text is known at the top, but not in a drive: the drive's is placed.
        {"{\"backend\": \"samba\", \"server\": \"FS\",\n \"drives\": [\n"
         "  {\"letter\": \"G\", \"share\": \"d\", \"folder\": \"/x\", \"path\": "
         "\"\\\"server\\\":\"},\n"
         "  {\"letter\": \"H\", \"share\": \"e\", \"folder\": \"/y\", \"server\": \"FS\"}]}",
         "is not sound: line 4, column 49: drives[1]: unknown key \"server\""},
        {"{\"backend\" : \"samba\", \"drives\": [{\"letter\": \"G\", \"share\": \"data\", "
         "\"folder\": \"/x\"}]}" +
             QByteArray(2 * 1024 * 1024, ' '),
         ""},
    };
    for (const auto& c : cases) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.text);
        file.close();
        EXPECT_TRUE(isSambaSiteFile(path));
        const std::unique_ptr<EmulatedNetWare> client = openSiteClient(path);
        ASSERT_NE(dynamic_cast<SambaNetWare*>(client.get()), nullptr);
        EXPECT_EQ(client->NWCallsInit() == nwcode::kSuccessful, *c.failure == 0)
            << client->initFailureReason().toStdString();
        EXPECT_TRUE(client->initFailureReason().contains(QLatin1String(c.failure)))
            << client->initFailureReason().toStdString();
    }
}

TEST(SambaStatusTest, ASessionWithoutAUserNameIsLeftOutWithANote) {
    QString error;
    const SambaStatus status =
        parseSambaStatus(QByteArray(kSample).replace(R"("username": "alice")", R"("username": "")"),
                         &error)
            .value();
    SessionNumbers numbers;
    const SambaSite built = buildSambaSite(sampleConfig(), status, numbers, {});
    const SiteServer& server = built.site.servers.first();
    ASSERT_EQ(server.connections.size(), 1);
    EXPECT_EQ(server.objects.at(int(server.connections.first().object) - 1).name, "bob");
    EXPECT_EQ(server.openFiles.size(), 1);
    EXPECT_EQ(built.notes, QStringList{"session 3790 left out: the server gave no user name"});
    EXPECT_EQ(checkSite(built.site), "");
}

// The client over a scripted smbstatus and smbcontrol.
class SambaNetWareTest : public ::testing::Test {
protected:
    SambaNetWareTest()
        : client(sampleConfig(), [this](const QStringList& command) {
              calls.append(command);
              if (command.first() == "smbstatus") {
                  return status;
              }
              if (command.contains("close-share") && !afterClear.isEmpty()) {
                  status.out = afterClear;
              }
              return command.contains("ping") ? ping : control;
          }) {}

    int scanFiles(int count) {
        client.beginScan();
        int users = 0;
        const NWCONN_HANDLE conn = client.connectionHandle("FILESRV");
        for (int i = 0; i < count; ++i) {
            qint16 iteration = 0;
            ConnUsingFile one{};
            ConnsUsingFile answer{};
            if (client.NWScanConnectionsUsingFile(conn, 0, "data:APPS\\ORDERS.DBF", iteration, one,
                                                  answer) == nwcode::kSuccessful) {
                users += answer.connCount;
            }
        }
        return users;
    }

    CommandOutput status{true, false, 0, kSample, {}};
    CommandOutput ping{true, false, 0, "PONG from pid 1", {}};
    CommandOutput control{true, false, 0, {}, {}};
    QByteArray afterClear;  // the server's answer once smbcontrol was called
    QList<QStringList> calls;
    SambaNetWare client;
};

TEST_F(SambaNetWareTest, AScanReadsTheServerOnceHoweverManyFilesItHas) {
    ASSERT_EQ(client.NWCallsInit(), nwcode::kSuccessful);
    EXPECT_EQ(scanFiles(1000), 2000);
    EXPECT_EQ(scanFiles(10), 20);
    EXPECT_EQ(client.reads(), 2);
    EXPECT_EQ(calls.first(), (QStringList{"smbstatus", "--json", "-B"}));
}

TEST_F(SambaNetWareTest, AFailingOrGarbledAnswerFailsEveryFileAndSaysWhy) {
    ASSERT_EQ(client.NWCallsInit(), nwcode::kSuccessful);
    const struct {
        CommandOutput output;
        const char* says;
    } cases[] = {
        {{true, false, 1, {}, "smbstatus: must be root\nmore"},
         "Samba server not read: smbstatus failed with exit code 1: smbstatus: must be root"},
        {{true, false, 0, "{\"sessions\": ", {}},
         "Samba server not read: smbstatus printed what is not its JSON answer: not JSON"},
        {{false, false, -1, {}, {}}, "Samba server not read: smbstatus could not be started"},
    };
    for (const auto& c : cases) {
        status = c.output;
        EXPECT_EQ(scanFiles(3), 0);
        EXPECT_TRUE(client.scanProblem().startsWith(QLatin1String(c.says)))
            << client.scanProblem().toStdString();
    }
    status = CommandOutput{true, false, 0, kSample, {}};
    EXPECT_EQ(scanFiles(1), 2);
    EXPECT_EQ(client.scanProblem(), "");
}

TEST_F(SambaNetWareTest, ClearingCallsSmbcontrolAndTheRestSaysItIsNotSupported) {
    ASSERT_EQ(client.NWCallsInit(), nwcode::kSuccessful);
    const NWCONN_HANDLE conn = client.connectionHandle("FILESRV");
    calls.clear();
    afterClear = QByteArray(kSample).replace(R"("session_id": "4122", "connected_at")",
                                             R"("session_id": "0", "connected_at")");
    EXPECT_EQ(client.NWClearConnectionNumber(conn, 2), nwcode::kSuccessful);
    EXPECT_EQ(calls, (QList<QStringList>{{"smbstatus", "--json", "-B"},
                                         {"smbcontrol", "702", "close-share", "data"},
                                         {"smbstatus", "--json", "-B"}}));
    EXPECT_EQ(client.NWClearConnectionNumber(conn, 9), nwcode::kBadStationNumber);

    // A share name that a shell at the far end of ssh could read as more than a word is
    // never passed on.
    status.out = kSample;
    afterClear.clear();
    status.out.replace(R"("service": "data", "session_id": "4122")",
                       R"("service": "data;reboot", "session_id": "4122")");
    calls.clear();
    EXPECT_EQ(client.NWClearConnectionNumber(conn, 2), nwcode::kNoConsolePrivileges);
    EXPECT_EQ(calls.size(), 1);
    EXPECT_TRUE(client.scanProblem().contains("data;reboot"));

    NWCCODE code = 0;
    EXPECT_FALSE(SendBroadcast(client, 1, "Backup at 10", conn, &code));
    EXPECT_EQ(messageSentText("ALICE", false, code),
              "Message could not be sent to ALICE: not supported by a Samba server.");
    EXPECT_EQ(unlockFileStatus(client.NWClearFileLock2(conn, 0, "data:NOTES.TXT")),
              "Unable to clear file lock - not supported by a Samba server.");
    EXPECT_EQ(unlockAllStatus(client.NWClearFileLockSet(0)),
              "Unable to clear file locks - not supported by a Samba server.");
}

TEST_F(SambaNetWareTest, AnAnswerOfNobodyIsBelievedOnlyFromARunningServer) {
    ASSERT_EQ(client.NWCallsInit(), nwcode::kSuccessful);
    EXPECT_EQ(scanFiles(1), 2);
    EXPECT_EQ(calls.size(), 1) << "a server with sessions is not pinged";

    const QByteArray nobody = R"({"sessions": {}, "tcons": {}, "open_files": {}})";
    const QByteArray others = QByteArray(kSample).replace("3790", "5790").replace("4122", "5122");
    const CommandOutput down{true, false, 1, {}, "Can't find pid for destination 'smbd'"};
    const struct {
        QByteArray answer;
        CommandOutput ping;
        int users;
        const char* problem;
    } cases[] = {
        {nobody, down, 0,
         "Samba server not read: smbd is not running (smbcontrol failed with exit code 1: "
         "Can't find pid for destination 'smbd')"},
        {nobody,
         {false, false, -1, {}, {}},
         0,
         "Samba server not read: smbd is not running (smbcontrol could not be started)"},
        {others, down, 0, "Samba server not read: smbd is not running"},
        {nobody, CommandOutput{true, false, 0, "PONG", {}}, 0, ""},
        {others, CommandOutput{true, false, 0, "PONG", {}}, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problem);
        status.out = kSample;
        ASSERT_EQ(scanFiles(1), 2);
        status.out = c.answer;
        ping = c.ping;
        calls.clear();
        EXPECT_EQ(scanFiles(1), c.users);
        EXPECT_EQ(client.scanProblem().left(qsizetype(qstrlen(c.problem))), c.problem);
        EXPECT_EQ(calls.value(1), (QStringList{"smbcontrol", "smbd", "ping"}));
        qint16 iteration = 0;
        ConnUsingFile one{};
        ConnsUsingFile answer{};
        const NWCCODE rc = client.NWScanConnectionsUsingFile(
            client.connectionHandle("FILESRV"), 0, "data:NOTES.TXT", iteration, one, answer);
        EXPECT_EQ(rc == nwcode::kSuccessful || rc == nwcode::kNoMoreEntries, *c.problem == 0)
            << "a server not read fails the file";
    }
}

TEST_F(SambaNetWareTest, AClearIsRefusedWithoutAProcessAndReportedOnlyWhenSeen) {
    ASSERT_EQ(client.NWCallsInit(), nwcode::kSuccessful);
    const NWCONN_HANDLE conn = client.connectionHandle("FILESRV");
    for (const char* pid : {"0", "-5", "x", ""}) {
        SCOPED_TRACE(pid);
        status.out = QByteArray(kSample).replace(
            R"("server_id": {"pid": "702"}, "uid": 1002, "gid")",
            QByteArray(R"("server_id": {"pid": ")") + pid + R"("}, "uid": 1002, "gid")");
        calls.clear();
        EXPECT_EQ(client.NWClearConnectionNumber(conn, 2), nwcode::kNoConsolePrivileges);
        EXPECT_EQ(calls.size(), 1) << "nothing is passed to smbcontrol";
        EXPECT_EQ(client.scanProblem(),
                  "Connection not cleared: cannot clear: the server gave no process for it");
    }
    // smbcontrol exits 0 but the session keeps its share.
    status.out = kSample;
    control = CommandOutput{true, false, 0, {}, "Can't find pid for destination '702'\n"};
    EXPECT_EQ(client.NWClearConnectionNumber(conn, 2), nwcode::kNoConsolePrivileges);
    EXPECT_EQ(client.scanProblem(),
              "Connection could not be cleared: share data is still connected (smbcontrol: "
              "Can't find pid for destination '702')");
}

TEST(SambaCommandTest, WhatACommandPrintedAndHowItEnded) {
    const struct {
        QStringList command;
        bool started;
        int exitCode;
        qsizetype outSize;
        const char* failure;
    } cases[] = {
        {{"/nonexistent/smbstatus"}, false, -1, 0, "/nonexistent/smbstatus could not be started"},
        {{"sh", "-c", "printf 12345; printf 'no such share\\nmore' >&2; exit 3"},
         true,
         3,
         5,
         "sh failed with exit code 3: no such share"},
        {{"sh", "-c", "kill -9 $$"}, true, -1, 0, "sh failed with exit code -1"},
        // Larger than any pipe: read whole, in pieces.
        {{"head", "-c", "3000000", "/dev/zero"}, true, 0, 3000000, ""},
        // A child left behind holding the output is not waited for.
        {{"sh", "-c", "sleep 60 & printf done"}, true, 0, 4, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command.join(' ').toStdString());
        QElapsedTimer timer;
        timer.start();
        const CommandOutput output = runCommand(c.command);
        EXPECT_LT(timer.elapsed(), 10000);
        EXPECT_EQ(output.started, c.started);
        EXPECT_EQ(output.exitCode, c.exitCode);
        EXPECT_EQ(output.out.size(), c.outSize);
        EXPECT_EQ(commandSucceeded(output), *c.failure == 0);
        if (*c.failure != 0) {
            EXPECT_EQ(commandFailureText(c.command, output), c.failure);
        }
    }
}

TEST(SambaCommandTest, ACommandIsEndedWithItsChildrenAndItsAnswerIsCapped) {
    const CommandOutput endless = runCommand({"yes"});
    EXPECT_TRUE(endless.tooLarge);
    EXPECT_FALSE(commandSucceeded(endless));
    EXPECT_EQ(commandFailureText({"yes"}, endless), "yes gave an answer too large (over 64 MB)");

    QTemporaryDir dir;
    const QString pidFile = dir.filePath("pid");
    const CommandOutput hung =
        runCommandWithin({"sh", "-c", "sleep 1000 & echo $! > '" + pidFile + "'; wait"}, 500);
    EXPECT_TRUE(hung.timedOut);
    QFile file(pidFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString stat = QStringLiteral("/proc/%1/stat").arg(file.readAll().trimmed().toInt());
    // Gone, or a zombie for whoever adopted it to reap.
    const auto alive = [&stat] {
        QFile process(stat);
        return process.open(QIODevice::ReadOnly) && !process.readAll().contains(") Z ");
    };
    for (int i = 0; i < 500 && alive(); ++i) {
        QThread::msleep(20);
    }
    EXPECT_FALSE(alive()) << "the command's child outlived it";
}

TEST(SambaRightsTest, PosixPermissionsGiveTheUsersRights) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving the file another owner needs root";
    }
    QTemporaryDir dir;
    const QString file = dir.filePath("f");
    QFile(file).open(QIODevice::WriteOnly);
    const QByteArray name = QFile::encodeName(file);
    ASSERT_EQ(::chown(name.constData(), 65534, 65534), 0);
    const struct {
        mode_t mode;
        uint uid;
        uint gid;
        const char* rights;
    } cases[] = {
        {0640, 65534, 100, "Read,Write,Create,Delete,AccessCtrl,FileScan,Modify"},
        {0640, 65533, 65534, "Read,FileScan"},
        {0604, 65533, 100, "Read,FileScan"},
        {0660, 65533, 100, ""},
        {0600, 0, 0, "Read,Write,Create,Delete,AccessCtrl,FileScan,Modify,Supervisor"},
    };
    for (const auto& c : cases) {
        ::chmod(name.constData(), c.mode);
        EXPECT_EQ(RightsToText(posixRightsOf(c.uid, c.gid, file)), c.rights) << c.mode;
    }
    EXPECT_EQ(posixRightsOf(65534, 65534, dir.filePath("missing")), 0);
}

TEST(SambaRightsTest, GroupsAreAskedForOnlyWhereTheyChangeTheRights) {
    QTemporaryDir dir;
    const QString file = dir.filePath("f");
    QFile(file).open(QIODevice::WriteOnly);
    const QByteArray name = QFile::encodeName(file);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(name.constData(), 65533, 65533), 0);  // root has every right
    }
    struct stat info {};
    ASSERT_EQ(::stat(name.constData(), &info), 0);
    const uint owner = info.st_uid;
    const struct {
        mode_t mode;
        uint uid;
        bool member;
        int asked;
        const char* rights;
    } cases[] = {
        {0640, owner, false, 0, "Read,Write,Create,Delete,AccessCtrl,FileScan,Modify"},
        {0644, owner + 1, false, 0, "Read,FileScan"},
        {0640, owner + 1, true, 1, "Read,FileScan"},
        {0640, owner + 1, false, 1, ""},
    };
    for (const auto& c : cases) {
        ::chmod(name.constData(), c.mode);
        int asked = 0;
        const auto isMember = [&](uint) { return ++asked, c.member; };
        EXPECT_EQ(RightsToText(posixRightsOf(c.uid, isMember, file)), c.rights) << c.mode;
        EXPECT_EQ(asked, c.asked) << c.mode;
    }
}

TEST(SambaServersTest, EveryServerIsAskedAtTheSameTime) {
    // Each smbstatus answers only once both were called: asked one after the other, the
    // first gives up and its server is not read.
    std::mutex mutex;
    std::condition_variable called;
    int asked = 0;
    const auto runner = [&](const QStringList&) {
        std::unique_lock lock(mutex);
        ++asked;
        called.notify_all();
        const bool together =
            called.wait_for(lock, std::chrono::seconds(5), [&] { return asked >= 2; });
        return together ? CommandOutput{true, false, 0, kSample, {}}
                        : CommandOutput{true, false, 1, {}, "asked alone"};
    };
    SambaConfig first = sampleConfig();
    first.server = "FS1";
    SambaConfig second = sampleConfig();
    second.server = "FS2";
    second.drives.first().letter = 'K';
    SambaNetWare client(QList<SambaConfig>{first, second}, runner);
    ASSERT_EQ(client.NWCallsInit(), nwcode::kSuccessful);
    EXPECT_EQ(client.readServers().toStdString(), "");
    ASSERT_EQ(client.site().servers.size(), 2);
    EXPECT_EQ(client.site().servers.at(1).openFiles.size(), 3);
}

}  // namespace
}  // namespace tavrel
