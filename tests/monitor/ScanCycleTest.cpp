#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "common/AppContext.h"
#include "external/netware/EmulatedNetWare.h"
#include "filelist/FileListStore.h"
#include "monitor/RightsLookup.h"
#include "monitor/ScanCycle.h"
#include "monitor/ScanRecorder.h"
#include "monitor/ScanTexts.h"
#include "support/FakeClock.h"
#include "support/MemorySettingsStore.h"
#include "support/RecordingNetWare.h"
#include "support/RecordingPlatform.h"
#include "support/ScriptedPrompts.h"

namespace tavrel {
namespace {

constexpr quint32 kAlice = 0x11;
constexpr quint32 kBob = 0x12;
constexpr quint32 kCarol = 0x13;

SiteAddress ipAddress(quint8 last) {
    SiteAddress a;
    a.type = nwconntype::kIp;
    a.net = {10, 1, 2, last};
    return a;
}

// A site of three servers, each with a volume SYS: FS1 and FS3 speak the directory
// service, FS2 is a bindery server. G: is FS1\SYS:, H: FS2\SYS:, J: FS3\SYS:, D: a
// local folder. Tests add connections and open files before the scan starts.
class ScanCycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        for (const char* name : {"FS1", "FS2", "FS3"}) {
            SiteServer server;
            server.name = QLatin1String(name);
            server.version = QLatin1String(name) == QLatin1String("FS2") ? 3 : 4;
            server.volumes = {{QStringLiteral("SYS"), 0, folder(name)}};
            server.objects = {{kAlice, QStringLiteral("alice"), 1, QStringLiteral("ALICE.SALES")},
                              {kBob, QStringLiteral("Bob"), 1, QString()},
                              {kCarol, QStringLiteral("CAROL"), 1, QString()}};
            m_site.servers.append(server);
        }
        m_site.drives = {
            {QLatin1Char('G'), "FS1", "SYS", QString(), QString()},
            {QLatin1Char('H'), "FS2", "SYS", QString(), QString()},
            {QLatin1Char('J'), "FS3", "SYS", QString(), QString()},
            {QLatin1Char('D'), QString(), QString(), QString(), folder("local")},
        };
        QDir().mkpath(folder("local"));
    }

    QString folder(const char* name) const { return m_dir.path() + QLatin1Char('/') + name; }

    SiteServer& server(int n) { return m_site.servers[n - 1]; }

    // A real file on a server's volume, monitored under the drive-letter path.
    void monitor(const QString& dosPath, const char* serverFolder = "FS1", bool create = true) {
        if (create) {
            const QString local = folder(serverFolder) + QLatin1Char('/') +
                                  dosPath.mid(3).replace(QLatin1Char('\\'), QLatin1Char('/'));
            QDir().mkpath(QFileInfo(local).path());
            QFile file(local);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        ASSERT_TRUE(SaveFileEntry(m_store, fileListCount(m_store) + 1, dosPath, QString()));
    }

    void connect(int serverNumber, quint16 number, quint32 object,
                 SiteAddress address = ipAddress(3),
                 QDateTime login = QDateTime(QDate(2026, 12, 2), QTime(13, 40))) {
        server(serverNumber).connections.append({number, object, login, address, true});
    }

    void open(int serverNumber, quint16 connection, const QString& path, quint8 access = 0x01,
              quint8 lockType = 0, bool locked = false, quint16 task = 1) {
        server(serverNumber).openFiles.append({connection, path, task, lockType, access, locked});
    }

    // Builds the emulator and the context from the site as the test left it.
    void start() {
        m_netware = std::make_unique<EmulatedNetWare>(m_site);
        ASSERT_EQ(m_netware->NWCallsInit(), 0) << m_netware->initFailureReason().toStdString();
        m_recording = std::make_unique<test::RecordingNetWare>(*m_netware);
        m_context = std::make_unique<AppContext>(m_store, m_clock, m_prompts, m_platform,
                                                 *m_recording, *m_netware);
        m_cycle = std::make_unique<ScanCycle>(*m_context, m_view);
        m_cycle->setLogUpdate([this](const ScanFileTable& files) {
            m_logged = files;
            return m_logFailure;
        });
    }

    ScanOutcome scan(bool details = true, bool autoScan = false, bool store = false,
                     bool pictures = true) {
        if (!m_cycle) {
            start();
        }
        return m_cycle->cmdScan_Click({pictures, details, autoScan, store});
    }

    QString handle(const char* serverName) const {
        return QString::number(m_netware->connectionHandle(QLatin1String(serverName)));
    }
    // The texts of a node's children.
    QStringList childTexts(int index) const {
        QStringList texts;
        for (int child : m_view.node(index).children) {
            texts.append(m_view.node(child).text);
        }
        return texts;
    }
    // The index of the n-th file node (1-based).
    int fileNode(int n) const { return m_view.node(1).children.value(n - 1); }
    // The detail line of a user node that starts with the given label.
    QString detail(int userNode, const QString& label) const {
        for (const QString& text : childTexts(userNode)) {
            if (text.startsWith(label)) {
                return text.mid(label.size());
            }
        }
        return QStringLiteral("<none>");
    }

    QTemporaryDir m_dir;
    NetWareSite m_site;
    test::MemorySettingsStore m_store;
    test::FakeClock m_clock;
    test::ScriptedPrompts m_prompts;
    test::RecordingPlatform m_platform;
    std::unique_ptr<EmulatedNetWare> m_netware;
    std::unique_ptr<test::RecordingNetWare> m_recording;
    std::unique_ptr<AppContext> m_context;
    ScanRecorder m_view;
    std::unique_ptr<ScanCycle> m_cycle;
    std::optional<ScanFileTable> m_logged;
    QString m_logFailure;
};

TEST_F(ScanCycleTest, AnEmptyListLeavesTheTreeAsItWas) {
    m_view.addNode(0, "Tree", "Tree", "tree");
    EXPECT_EQ(scan(true, true, true), ScanOutcome::EmptyList);
    EXPECT_EQ(m_view.nodes.size(), 1u);
    EXPECT_EQ(m_view.statusTexts.last(),
              QStringLiteral("No files exist. Click the Add File Button to add some."));
    EXPECT_EQ(m_view.focused, ScanButton::AddFile);
    EXPECT_FALSE(m_view.busy);
    EXPECT_FALSE(m_logged);
    EXPECT_FALSE(m_context->TreeScanned);
}

TEST_F(ScanCycleTest, TheSummaryCountsTheFilesAndEachHolderOnce) {
    connect(1, 5, kAlice);
    connect(1, 6, kBob);
    open(1, 5, "SYS:APPS\\A.DBF");
    open(1, 6, "SYS:APPS\\A.DBF");
    open(1, 5, "SYS:APPS\\B.DBF");
    monitor("G:\\APPS\\A.DBF");
    monitor("G:\\APPS\\B.DBF");
    monitor("G:\\APPS\\C.DBF", "FS1", false);
    start();
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(m_view.summary.files, 3);
    EXPECT_EQ(m_view.summary.users, 2);
    EXPECT_TRUE(m_view.summary.problems.isEmpty());
    EXPECT_EQ(scanSummaryText(3, 2), QStringLiteral("Idle \u2014 3 files, 2 users"));
    EXPECT_EQ(scanSummaryText(1, 1), QStringLiteral("Idle \u2014 1 file, 1 user"));
    EXPECT_EQ(scanSummaryText(2, 0), QStringLiteral("Idle \u2014 2 files, 0 users"));
}

TEST_F(ScanCycleTest, FileNodesForOpenUnusedMissingAndFailingFiles) {
    connect(1, 5, kAlice);
    connect(1, 6, kBob);
    open(1, 5, "SYS:APPS\\ORDERS.DBF");
    open(1, 6, "SYS:apps\\orders.dbf", 0x01, 0, true);
    monitor("G:\\APPS\\ORDERS.DBF");
    monitor("G:\\APPS\\EMPTY.DBF");
    monitor("G:\\APPS\\GONE.DBF", "FS1", false);
    monitor("G:\\APPS\\DENIED.DBF");
    start();
    ASSERT_EQ(m_netware->addFault({"NWScanConnectionsUsingFile", nwcode::kAccessDenied,
                                   "SYS:APPS\\DENIED.DBF", std::nullopt, QString()}),
              QString());

    ASSERT_EQ(scan(false, true, true), ScanOutcome::Completed);
    const ScanRecorder::Node& root = m_view.node(1);
    EXPECT_EQ(root.key, QStringLiteral("Tree"));
    EXPECT_EQ(root.text, QStringLiteral("Tree"));
    EXPECT_EQ(root.tag, QStringLiteral("1"));
    EXPECT_EQ(root.image, QStringLiteral("tree"));
    EXPECT_EQ(childTexts(1), QStringList({"G:\\APPS\\ORDERS.DBF[2]", "G:\\APPS\\EMPTY.DBF[0]",
                                          "G:\\APPS\\GONE.DBF[N/A]",
                                          "G:\\APPS\\DENIED.DBF[Error : Access denied]"}));
    const QString h = handle("FS1");
    const QStringList tags = {"2," + h + ",1", "2," + h + ",2", "2,0,3", "2,0,4"};
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(m_view.node(fileNode(n)).tag, tags[n - 1]);
        EXPECT_EQ(m_view.node(fileNode(n)).image, QStringLiteral("file"));
        EXPECT_TRUE(m_view.node(fileNode(n)).key.isEmpty());
    }
    EXPECT_EQ(childTexts(fileNode(1)), QStringList({"ALICE", "BOB"}));
    EXPECT_EQ(m_view.node(m_view.node(fileNode(1)).children[0]).tag, QStringLiteral("3,5"));
    EXPECT_EQ(m_view.node(m_view.node(fileNode(1)).children[1]).image, QStringLiteral("user"));
    EXPECT_TRUE(childTexts(m_view.node(fileNode(1)).children[0]).isEmpty());  // no details

    ASSERT_TRUE(m_logged);
    ASSERT_EQ(m_logged->size(), 4);
    EXPECT_EQ((*m_logged)[0].Path, QStringLiteral("G:\\APPS\\ORDERS.DBF"));
    EXPECT_EQ((*m_logged)[0].Users, QStringList({"ALICE", "BOB"}));
    for (int k = 1; k < 4; ++k) {
        EXPECT_EQ((*m_logged)[k].Users, QStringList{QString()}) << k;
    }
    // Only the failing file leaves its holders undetermined; a missing one has none.
    // Each names its server (a missing one, its drive's); only those asked were answered.
    for (int k = 0; k < 4; ++k) {
        const ScanFileEntry& entry = (*m_logged)[k];
        EXPECT_EQ(entry.UsersComplete, k != 3) << k;
        EXPECT_EQ(entry.Server, QStringLiteral("FS1")) << k;
        EXPECT_EQ(entry.Answered, k < 2) << k;
        EXPECT_EQ(entry.Connections, k == 0 ? 2 : 0) << k;
        EXPECT_EQ(entry.Locked, k == 0) << k;
    }
    EXPECT_TRUE(m_cycle->ScanFiles().isEmpty());  // erased at the normal end

    EXPECT_EQ(m_view.statusTexts.first(), QStringLiteral("Scanning..."));
    EXPECT_EQ(m_view.statusTexts.last(), QStringLiteral("Idle"));
    EXPECT_TRUE(m_context->TreeScanned);
    EXPECT_EQ(m_view.expandCaption, QStringLiteral("Expand All [F3]"));
    EXPECT_TRUE(m_view.visible(ScanButton::Expand));
    EXPECT_TRUE(m_view.visible(ScanButton::Find));
    EXPECT_FALSE(m_view.visible(ScanButton::EditFile));
    EXPECT_FALSE(m_view.visible(ScanButton::DeleteFile));
    EXPECT_FALSE(m_view.visible(ScanButton::Stop));
    EXPECT_FALSE(m_view.visible(ScanButton::Scan));  // auto scan keeps Scan hidden
    EXPECT_EQ(m_view.focused, ScanButton::Expand);
    EXPECT_FALSE(m_view.busy);
}

class ScanErrorCodeTest : public ScanCycleTest,
                          public ::testing::WithParamInterface<std::pair<NWCCODE, const char*>> {};

TEST_P(ScanErrorCodeTest, TheCodesTextStandsInTheFileNode) {
    const auto [code, text] = GetParam();
    monitor("G:\\DATA.DBF");
    start();
    m_netware->addFault({"NWScanConnectionsUsingFile", code, QString(), std::nullopt, QString()});
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(m_view.node(fileNode(1)).text,
              QStringLiteral("G:\\DATA.DBF[Error : ") + QLatin1String(text) + QLatin1Char(']'));
    EXPECT_EQ(m_view.node(fileNode(1)).tag, QStringLiteral("2,0,1"));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ScanErrorCodeTest,
    ::testing::Values(std::pair<NWCCODE, const char*>{0x8801, "Invalid connection"},
                      std::pair<NWCCODE, const char*>{0x890A, "NLM invalid connection"},
                      std::pair<NWCCODE, const char*>{0x8996, "Server out of memory"},
                      std::pair<NWCCODE, const char*>{0x8998, "Volume does not exist"},
                      std::pair<NWCCODE, const char*>{0x899B, "Bad directory handle"},
                      std::pair<NWCCODE, const char*>{0x899C, "Invalid path"},
                      std::pair<NWCCODE, const char*>{0x89A1, "Directory I/O error"},
                      std::pair<NWCCODE, const char*>{0x89A8, "Access denied"},
                      std::pair<NWCCODE, const char*>{0x89C6, "No console privileges"},
                      std::pair<NWCCODE, const char*>{0x89FD, "Bad station number"},
                      std::pair<NWCCODE, const char*>{0x89FF, "Lock error"},
                      std::pair<NWCCODE, const char*>{0x8802, "Unknown error 34818"}));

TEST_F(ScanCycleTest, AnUnparsablePathEndsTheScanWithoutALogUpdate) {
    connect(1, 5, kAlice);
    open(1, 5, "SYS:ORDERS.DBF");
    monitor("G:\\ORDERS.DBF");
    QFile local(folder("local") + "/notes.txt");
    ASSERT_TRUE(local.open(QIODevice::WriteOnly));
    local.close();
    ASSERT_TRUE(SaveFileEntry(m_store, 2, "D:\\notes.txt", QString()));
    monitor("G:\\LATER.DBF");

    EXPECT_EQ(scan(true, true, true), ScanOutcome::ParseFailed);
    EXPECT_EQ(m_view.statusTexts.last(),
              QStringLiteral("Unable to parse path for file D:\\notes.txt."));
    EXPECT_EQ(childTexts(1), QStringList({"G:\\ORDERS.DBF[1]"}));
    EXPECT_FALSE(m_logged);
    EXPECT_EQ(m_cycle->ScanFiles().size(), 3);  // kept
    EXPECT_FALSE(m_context->TreeScanned);
    EXPECT_FALSE(m_view.visible(ScanButton::Stop));
    EXPECT_FALSE(m_view.visible(ScanButton::Scan));  // auto scan on: Scan stays hidden
    EXPECT_FALSE(m_view.busy);
    EXPECT_FALSE(m_view.autoScanUnchecked);
}

TEST_F(ScanCycleTest, DetailLinesOfAUser) {
    connect(1, 5, kAlice);
    open(1, 5, "SYS:APPS\\ORDERS.DBF", 0x03, 8, true, 3);
    server(1).trustees = {{"SYS:APPS", kAlice, 0x0041}};
    monitor("G:\\APPS\\ORDERS.DBF");
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    const int user = m_view.node(fileNode(1)).children.value(0);
    EXPECT_EQ(
        childTexts(user),
        QStringList({"Connection No: 5", "Task No: 3", "Opened: Shareable",
                     "File Rights: Read,Write", "Directory Rights: Read,FileScan", "Locked: Yes",
                     "Login Time: Wendesday, 12/2/26, 01:40 pm", "Network Address: IP:10.1.2.3"}));
    for (int child : m_view.node(user).children) {
        EXPECT_EQ(m_view.node(child).tag, QStringLiteral("4"));
        EXPECT_TRUE(m_view.node(child).image.isEmpty());
    }
}

TEST_F(ScanCycleTest, NodeCountsAndServerCallsFollowTheOptions) {
    for (quint16 n = 1; n <= 3; ++n) {
        connect(1, n, kAlice + n - 1);
        open(1, n, "SYS:A.DBF", 0x01, 0, false);
    }
    monitor("G:\\A.DBF");
    monitor("G:\\B.DBF");
    struct Case {
        bool details;
        bool pictures;
        int nodes;
        int addressCalls;
    };
    for (const Case c : {Case{true, true, 1 + 2 + 3 + 24, 3}, Case{false, true, 1 + 2 + 3, 0},
                         Case{true, false, 1 + 2 + 3 + 24, 3}}) {
        m_cycle.reset();
        m_view = ScanRecorder();
        start();
        ASSERT_EQ(scan(c.details, false, false, c.pictures), ScanOutcome::Completed);
        EXPECT_EQ(qsizetype(m_view.nodes.size()), c.nodes) << c.details;
        EXPECT_EQ(m_recording->count("NWGetInetAddr"), c.addressCalls);
        EXPECT_EQ(m_recording->count("NWScanObjectTrusteePaths") > 0, c.details);
        for (const ScanRecorder::Node& node : m_view.nodes) {
            EXPECT_EQ(node.image.isEmpty(), !c.pictures || node.tag == QLatin1String("4"))
                << node.text.toStdString();
        }
        EXPECT_TRUE(m_view.visible(ScanButton::Scan));  // manual scan: Scan comes back
    }
}

TEST_F(ScanCycleTest, AddressTextsOfEveryConnectionType) {
    struct Case {
        quint8 type;
        const char* text;
    };
    const Case cases[] = {
        {nwconntype::kIp, "IP:10.0.0.42"},
        {nwconntype::kIpx, "IPX:0A00002A:00A0C91E2F30:4003"},
        {nwconntype::kAfp, "AFP:0A00002A:00A0C91E2F30:4003"},
    };
    quint16 number = 1;
    for (const Case& c : cases) {
        SiteAddress a;
        a.type = c.type;
        a.net = {10, 0, 0, 42};
        a.node = {0x00, 0xA0, 0xC9, 0x1E, 0x2F, 0x30};
        a.socket = {0x40, 0x03};
        connect(1, number, kAlice, a);
        open(1, number, "SYS:F.DBF");
        ++number;
    }
    monitor("G:\\F.DBF");
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    const QList<int> users = m_view.node(fileNode(1)).children;
    ASSERT_EQ(users.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(detail(users[i], "Network Address: "), QLatin1String(cases[i].text));
    }
}

TEST_F(ScanCycleTest, AFailedAddressLookupKeepsThePreviousAddress) {
    connect(1, 1, kAlice, ipAddress(1));
    connect(1, 2, kBob, ipAddress(2));
    open(1, 1, "SYS:F.DBF");
    open(1, 2, "SYS:F.DBF");
    monitor("G:\\F.DBF");
    start();
    m_recording->intercept = [](const QString& call, int nth) -> std::optional<NWCCODE> {
        if (call == QLatin1String("NWGetInetAddr") && nth == 2) {
            return nwcode::kBadStationNumber;
        }
        return std::nullopt;
    };
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    const QList<int> users = m_view.node(fileNode(1)).children;
    EXPECT_EQ(detail(users[0], "Network Address: "), QStringLiteral("IP:10.1.2.1"));
    EXPECT_EQ(detail(users[1], "Network Address: "), QStringLiteral("IP:10.1.2.1"));
}

TEST_F(ScanCycleTest, AFailedConnectionLookupDropsThatUserOnly) {
    connect(1, 1, kAlice);
    connect(1, 2, kBob);
    open(1, 1, "SYS:F.DBF");
    open(1, 2, "SYS:F.DBF");
    monitor("G:\\F.DBF");
    start();
    m_recording->intercept = [](const QString& call, int nth) -> std::optional<NWCCODE> {
        if (call == QLatin1String("NWGetConnectionInformation") && nth == 1) {
            return nwcode::kBadStationNumber;
        }
        return std::nullopt;
    };
    ASSERT_EQ(scan(true, true, true), ScanOutcome::Completed);
    EXPECT_EQ(m_view.node(fileNode(1)).text, QStringLiteral("G:\\F.DBF[2]"));
    EXPECT_EQ(childTexts(fileNode(1)), QStringList({"BOB"}));
    EXPECT_EQ(m_logged->value(0).Users, QStringList({QString(), "BOB"}));
    EXPECT_FALSE(m_logged->value(0).UsersComplete);
}

// Detail lines are written only for a connection number above 0: one above the signed
// range prints negative, and 0 is the server's own connection.
class ConnectionWithoutDetailsTest : public ScanCycleTest,
                                     public ::testing::WithParamInterface<quint16> {};

TEST_P(ConnectionWithoutDetailsTest, PrintsItsNumberWithoutDetails) {
    const quint16 number = GetParam();
    // A site has no connection 0: the server's answer is made to name it.
    const quint16 onSite = number == 0 ? 5 : number;
    connect(1, onSite, kAlice);
    open(1, onSite, "SYS:F.DBF", 0x01, 0, false, 50000);
    monitor("G:\\F.DBF");
    start();
    m_recording->rewriteAnswer = [number](ConnsUsingFile& answer) {
        for (int i = 0; i < answer.connCount; ++i) {
            answer.connInfo[i].connNumber = number;
        }
    };
    m_recording->intercept = [](const QString& name, int) -> std::optional<NWCCODE> {
        return name == "NWGetConnectionInformation" ? std::optional<NWCCODE>(0) : std::nullopt;
    };
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    const int user = m_view.node(fileNode(1)).children.value(0);
    EXPECT_EQ(m_view.node(user).tag, QStringLiteral("3,%1").arg(qint16(number)));
    EXPECT_TRUE(m_view.node(user).children.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Numbers, ConnectionWithoutDetailsTest, ::testing::Values(40000, 0));

class ScanBatchTest : public ScanCycleTest, public ::testing::WithParamInterface<int> {};

TEST_P(ScanBatchTest, OneFileNodeHoldsEveryConnectionOfEveryAnswer) {
    const int count = GetParam();
    for (int n = 1; n <= count; ++n) {
        const quint32 id = 0x1000 + n;
        server(1).objects.append({id, QStringLiteral("USER%1").arg(n), 1, QString()});
        connect(1, quint16(n), id);
        open(1, quint16(n), "SYS:BIG.DAT");
    }
    monitor("G:\\BIG.DAT");
    ASSERT_EQ(scan(false, true, true), ScanOutcome::Completed);
    ASSERT_EQ(m_view.node(1).children.size(), 1);
    EXPECT_EQ(m_view.node(fileNode(1)).text, QStringLiteral("G:\\BIG.DAT[%1]").arg(count));
    EXPECT_EQ(m_view.node(fileNode(1)).tag, "2," + handle("FS1") + ",1");
    const QStringList users = childTexts(fileNode(1));
    ASSERT_EQ(users.size(), count);
    if (count > 0) {
        EXPECT_EQ(users.last(), QStringLiteral("USER%1").arg(count));
    }
    EXPECT_EQ(m_logged->value(0).Users.size(), std::max(count, 1));
    EXPECT_TRUE(m_logged->value(0).UsersComplete);
    // Answers of up to 70, then the end of the list (an empty file still gets an answer).
    EXPECT_EQ(m_recording->count("NWScanConnectionsUsingFile"), std::max(1, (count + 69) / 70) + 1);
}

INSTANTIATE_TEST_SUITE_P(Counts, ScanBatchTest, ::testing::Values(0, 1, 70, 71, 150));

TEST_F(ScanCycleTest, ALaterAnswerThatFailsKeepsTheUsersFound) {
    for (int n = 1; n <= 100; ++n) {
        connect(1, quint16(n), kAlice);
        open(1, quint16(n), "SYS:BIG.DAT");
    }
    monitor("G:\\BIG.DAT");
    start();
    m_recording->intercept = [](const QString& call, int nth) -> std::optional<NWCCODE> {
        if (call == QLatin1String("NWScanConnectionsUsingFile") && nth == 2) {
            return nwcode::kServerOutOfMemory;
        }
        return std::nullopt;
    };
    ASSERT_EQ(scan(false, true, true), ScanOutcome::Completed);
    EXPECT_EQ(m_view.node(fileNode(1)).text,
              QStringLiteral("G:\\BIG.DAT[Error : Server out of memory]"));
    EXPECT_EQ(m_view.node(fileNode(1)).tag, "2," + handle("FS1") + ",1");
    EXPECT_EQ(m_view.node(fileNode(1)).children.size(), 70);
    EXPECT_EQ(m_logged->value(0).Users.size(), 70);
    EXPECT_EQ(m_logged->value(0).Users.value(69), QStringLiteral("ALICE"));
    EXPECT_FALSE(m_logged->value(0).UsersComplete);
}

struct AbortCase {
    bool stop;  // else the clock runs past the time limit
    bool autoScan;
};

class ScanAbortTest : public ScanCycleTest, public ::testing::WithParamInterface<AbortCase> {};

TEST_P(ScanAbortTest, StopAndTimeOutEndTheScanWithoutALogUpdate) {
    const AbortCase c = GetParam();
    connect(1, 5, kAlice);
    open(1, 5, "SYS:A.DBF");
    monitor("G:\\A.DBF");
    monitor("G:\\B.DBF");
    monitor("G:\\C.DBF");
    start();
    m_view.onYield = [&] {
        if (m_view.yields == 3) {  // before the second file's connection scan
            if (c.stop) {
                m_cycle->cmdStop_Click();
            } else {
                m_clock.advanceSeconds(121);
            }
        }
    };
    EXPECT_EQ(scan(true, c.autoScan, true), c.stop ? ScanOutcome::Stopped : ScanOutcome::TimedOut);
    EXPECT_EQ(m_view.statusTexts.last(),
              c.stop ? QStringLiteral("Scan terminated.") : QStringLiteral("Scan timed out."));
    EXPECT_FALSE(m_cycle->StopRequested());
    EXPECT_EQ(m_view.autoScanUnchecked, c.autoScan);
    EXPECT_FALSE(m_view.visible(ScanButton::Stop));
    EXPECT_TRUE(m_view.visible(ScanButton::Scan));
    EXPECT_FALSE(m_view.busy);
    EXPECT_FALSE(m_logged);
    EXPECT_EQ(m_cycle->ScanFiles().size(), 3);
    EXPECT_EQ(m_cycle->ScanFiles().value(0).Users, QStringList({"ALICE"}));
    EXPECT_FALSE(m_context->TreeScanned);
    EXPECT_EQ(childTexts(1), QStringList({"G:\\A.DBF[1]"}));  // the nodes added so far stay
}

TEST_F(ScanCycleTest, AnAbortedScansTableLendsTheNextScanNothing) {
    monitor("G:\\GONE.DBF", "FS1", false);
    monitor("G:\\A.DBF");
    start();
    m_view.onYield = [&] { m_cycle->cmdStop_Click(); };
    ASSERT_EQ(scan(false, true, true), ScanOutcome::Stopped);
    ASSERT_FALSE(m_cycle->ScanFiles().value(0).Found);
    QFile(folder("FS1") + "/GONE.DBF").open(QIODevice::WriteOnly);  // the file is back
    m_view.onYield = nullptr;
    ASSERT_EQ(scan(false, true, true), ScanOutcome::Completed);
    EXPECT_TRUE(m_logged->value(0).Found);
    EXPECT_TRUE(m_logged->value(0).Answered);
}

INSTANTIATE_TEST_SUITE_P(StopOrTimeOut, ScanAbortTest,
                         ::testing::Values(AbortCase{true, false}, AbortCase{true, true},
                                           AbortCase{false, false}, AbortCase{false, true}));

TEST_F(ScanCycleTest, TheTimeLimitIsElapsedTimeNotTheTimeOfDay) {
    monitor("G:\\A.DBF");  // two yields: the first answer and the end of the list
    m_clock.set(QDateTime(QDate(2026, 12, 8), QTime(23, 59, 30)));
    start();
    m_view.onYield = [&] { m_clock.advanceSeconds(60); };  // past midnight, 120 s in all
    EXPECT_EQ(scan(), ScanOutcome::Completed);
    m_view.onYield = [&] { m_clock.advanceSeconds(61); };
    EXPECT_EQ(scan(), ScanOutcome::TimedOut);
}

TEST_F(ScanCycleTest, ATickOrKeyDuringAScanStartsNoSecondScan) {
    monitor("G:\\A.DBF");
    start();
    std::optional<ScanOutcome> inner;
    m_view.onYield = [&] { inner = m_cycle->cmdScan_Click({}); };
    EXPECT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(inner, ScanOutcome::Refused);
    EXPECT_EQ(m_view.node(1).children.size(), 1);
}

TEST_F(ScanCycleTest, AStopRequestEndsWithItsScan) {
    monitor("G:\\A.DBF");
    start();
    // Stop pressed after the last check (while the log update asks its question), and
    // pressed with no scan running: neither reaches the next scan.
    m_cycle->setLogUpdate([this](const ScanFileTable&) {
        m_cycle->cmdStop_Click();
        return QString();
    });
    ASSERT_EQ(scan(false, true, true), ScanOutcome::Completed);
    EXPECT_FALSE(m_cycle->StopRequested());
    m_cycle->cmdStop_Click();
    EXPECT_EQ(scan(false, true, true), ScanOutcome::Completed);
    EXPECT_EQ(m_view.statusTexts.last(), QStringLiteral("Idle"));
}

TEST_F(ScanCycleTest, TheLogIsUpdatedOnlyWithBothBoxesCheckedAndItsFailureIsShown) {
    monitor("G:\\A.DBF");
    start();
    for (const auto& [autoScan, store] :
         {std::pair{false, false}, std::pair{false, true}, std::pair{true, false}}) {
        ASSERT_EQ(scan(false, autoScan, store), ScanOutcome::Completed);
        EXPECT_FALSE(m_logged);
    }
    m_logFailure = QStringLiteral("the database is locked by another program");
    ASSERT_EQ(scan(false, true, true), ScanOutcome::Completed);
    EXPECT_TRUE(m_logged);
    EXPECT_EQ(m_view.statusTexts.last(),
              QStringLiteral("Idle (log not updated: the database is locked by another program)"));
}

// Rights: the last explicit assignment of the user on the file's volume, asked of the
// server that holds the file.
struct RightsCase {
    const char* name;
    int server;
    QList<SiteTrustee> trustees;
    const char* shown;
};

class ScanRightsTest : public ScanCycleTest, public ::testing::WithParamInterface<RightsCase> {};

TEST_P(ScanRightsTest, DirectoryRightsLine) {
    const RightsCase& c = GetParam();
    const char drive = "GHJ"[c.server - 1];
    connect(c.server, 5, kAlice);
    open(c.server, 5, "SYS:APPS\\F.DBF");
    server(c.server).trustees = c.trustees;
    // Another server with a volume of the same name grants other rights.
    if (c.server != 1) {
        server(1).trustees = {{"SYS:APPS", kAlice, 0x0100}};
    }
    monitor(QString(QLatin1Char(drive)) + ":\\APPS\\F.DBF",
            QStringLiteral("FS%1").arg(c.server).toLatin1().constData());
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(detail(m_view.node(fileNode(1)).children.value(0), "Directory Rights: "),
              QLatin1String(c.shown));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanRightsTest,
    ::testing::Values(
        RightsCase{"none", 1, {{"SYS:APPS", kBob, 0x00FB}}, "NA"},
        RightsCase{"one",
                   1,
                   {{"SYS:APPS", kAlice, 0x00FB}},
                   "Read,Write,Create,Delete,AccessCtrl,FileScan,Modify"},
        RightsCase{"last of several wins",
                   1,
                   {{"SYS:", kAlice, 0x0001},
                    {"SYS:APPS", kBob, 0x0002},
                    {"SYS:APPS", kAlice, 0x0041},
                    {"SYS:OTHER", kAlice, 0x0100}},
                   "Supervisor"},
        RightsCase{"bit 0x0004 alone", 1, {{"SYS:APPS", kAlice, 0x0004}}, "NA"},
        RightsCase{
            "bindery server cannot resolve the name", 2, {{"SYS:APPS", kAlice, 0x00FB}}, "NA"},
        RightsCase{"the file's own server", 3, {{"SYS:APPS", kAlice, 0x0003}}, "Read,Write"}),
    [](const ::testing::TestParamInfo<RightsCase>& info) {
        QString name = QLatin1String(info.param.name);
        name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
        return name.toStdString();
    });

TEST_F(ScanCycleTest, RightsLookupCallsInOrder) {
    server(1).trustees = {{"SYS:APPS", kAlice, 0x0041}};
    start();
    const QString rights =
        GetDirectoryRights(*m_recording, QStringLiteral("FS1\\SYS:APPS\\F.DBF"), "ALICE");
    EXPECT_EQ(rights, QStringLiteral("Read,FileScan"));
    EXPECT_EQ(m_recording->calls,
              QStringList({"NWParsePath", "NWDSCreateContextHandle", "NWDSSetContext",
                           "NWDSMapNameToID", "NWDSFreeContext", "NWGetVolumeNumber",
                           "NWScanObjectTrusteePaths", "NWScanDirectoryForTrustees2",
                           "NWScanDirectoryForTrustees2", "NWScanObjectTrusteePaths"}));
    m_recording->calls.clear();
    EXPECT_EQ(GetDirectoryRights(*m_recording, QStringLiteral("FS1\\SYS:APPS\\F.DBF"), "NOBODY"),
              QString());
}

}  // namespace
}  // namespace tavrel
