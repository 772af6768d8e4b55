#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "common/Module1.h"
#include "external/netware/DosNames.h"
#include "external/netware/EmulatedNetWare.h"
#include "external/netware/NetWareCallNames.h"
#include "external/netware/VolumePath.h"
#include "support/FakeClock.h"
#include "support/TestSite.h"

namespace tavrel {
namespace {

using test::kAdmin;
using test::kAlice;
using test::kBob;

class EmulatedNetWareTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_nw = std::make_unique<EmulatedNetWare>(test::makeTestSite(m_dir.path()));
        m_nw->setClock(m_clock);
        ASSERT_EQ(m_nw->NWCallsInit(), 0) << m_nw->initFailureReason().toStdString();
        m_fs1 = m_nw->connectionHandle(QStringLiteral("FS1"));
        m_fs2 = m_nw->connectionHandle(QStringLiteral("fs2"));
    }

    // Every connection in every batch of a file's connection scan, and the batch sizes.
    std::vector<int> batches(NWCONN_HANDLE conn, const QString& path,
                             QList<ConnUsingFile>* entries = nullptr) {
        std::vector<int> sizes;
        qint16 iter = 0;
        for (int call = 0; call < 10; ++call) {
            ConnUsingFile one;
            ConnsUsingFile answer;
            const NWCCODE rc = m_nw->NWScanConnectionsUsingFile(conn, 0, path, iter, one, answer);
            if (rc == nwcode::kNoMoreEntries) {
                return sizes;
            }
            EXPECT_EQ(rc, 0) << path.toStdString();
            if (rc != 0) {
                return sizes;
            }
            sizes.push_back(answer.connCount);
            for (int i = 0; entries != nullptr && i < answer.connCount; ++i) {
                entries->append(answer.connInfo[i]);
            }
        }
        ADD_FAILURE() << "the scan never ended";
        return sizes;
    }

    QList<std::pair<quint16, bool>> locks(NWCONN_HANDLE conn, const QString& path) {
        QList<ConnUsingFile> entries;
        batches(conn, path, &entries);
        QList<std::pair<quint16, bool>> result;
        for (const ConnUsingFile& e : entries) {
            result.append({e.connNumber, e.lockFlag != 0});
        }
        return result;
    }

    QTemporaryDir m_dir;
    test::FakeClock m_clock;
    std::unique_ptr<EmulatedNetWare> m_nw;
    NWCONN_HANDLE m_fs1 = 0;
    NWCONN_HANDLE m_fs2 = 0;
};

TEST_F(EmulatedNetWareTest, ParsePathForms) {
    struct Case {
        const char* path;
        NWCCODE rc;
        const char* server;
        const char* volume;
        const char* dir;
    };
    const Case cases[] = {
        {"G:\\APPS\\ORDERS.DBF", 0, "FS1", "SYS", "APPS\\ORDERS.DBF"},
        {"g:/apps/orders.dbf", 0, "FS1", "SYS", "apps\\orders.dbf"},
        {"G:\\", 0, "FS1", "SYS", ""},
        {"G:", 0, "FS1", "SYS", ""},
        {"H:\\ORDERS.DBF", 0, "FS1", "SYS", "APPS\\ORDERS.DBF"},
        {"H:\\", 0, "FS1", "SYS", "APPS"},
        {"K:\\ACCOUNTS\\LEDGER.DAT", 0, "FS2", "VOL1", "ACCOUNTS\\LEDGER.DAT"},
        {"SYS:APPS\\ORDERS.DBF", 0, "FS1", "SYS", "APPS\\ORDERS.DBF"},  // first server with SYS
        {"vol1:accounts", 0, "FS2", "VOL1", "accounts"},
        {"FS2\\SYS:APPS\\ORDERS.DBF", 0, "FS2", "SYS", "APPS\\ORDERS.DBF"},
        {"fs2/sys:\\apps", 0, "FS2", "SYS", "apps"},
        {"SYS:", 0, "FS1", "SYS", ""},
        {"Q:\\APPS\\ORDERS.DBF", nwcode::kInvalidPath, "", "", ""},  // letter not mapped
        {"D:\\README.TXT", nwcode::kInvalidPath, "", "", ""},        // a local drive
        {"C:\\etc", nwcode::kInvalidPath, "", "", ""},
        {"G:\\..\\X", nwcode::kInvalidPath, "", "", ""},
        {"APPS\\ORDERS.DBF", nwcode::kInvalidPath, "", "", ""},
        {"", nwcode::kInvalidPath, "", "", ""},
        {"NOVOL:X", nwcode::kVolumeDoesNotExist, "", "", ""},
        {"FS1\\VOL1:X", nwcode::kVolumeDoesNotExist, "", "", ""},
        {"FS9\\SYS:X", nwcode::kNoSuchObject, "", "", ""},
    };
    for (const Case& c : cases) {
        QString server = QStringLiteral("unchanged");
        NWCONN_HANDLE conn = 77;
        QString volume;
        QString dir;
        const NWCCODE rc =
            m_nw->NWParsePath(QString::fromLatin1(c.path), server, conn, volume, dir);
        EXPECT_EQ(rc, c.rc) << c.path;
        if (c.rc != 0) {
            EXPECT_EQ(server, QStringLiteral("unchanged")) << c.path;
            EXPECT_EQ(conn, 77u) << c.path;
            continue;
        }
        EXPECT_EQ(server, QLatin1String(c.server)) << c.path;
        EXPECT_EQ(conn, QLatin1String(c.server) == QLatin1String("FS1") ? m_fs1 : m_fs2) << c.path;
        EXPECT_EQ(volume, QLatin1String(c.volume)) << c.path;
        EXPECT_EQ(dir, QLatin1String(c.dir)) << c.path;
    }
    EXPECT_NE(m_fs1, 0u);
    EXPECT_NE(m_fs1, m_fs2);
}

TEST_F(EmulatedNetWareTest, ScanAnswersEntriesOfThatFileOnThatServer) {
    QList<ConnUsingFile> entries;
    EXPECT_EQ(batches(m_fs1, QStringLiteral("sys:apps\\Orders.dbf"), &entries),
              std::vector<int>{3});
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].connNumber, 3);
    EXPECT_EQ(entries[0].taskNumber, 1);
    EXPECT_EQ(entries[0].lockType, 8);
    EXPECT_EQ(entries[0].accessControl, 0x05);
    EXPECT_EQ(entries[0].lockFlag, 0);
    EXPECT_EQ(entries[1].connNumber, 4);
    EXPECT_EQ(entries[1].taskNumber, 2);
    EXPECT_EQ(entries[1].lockType, 0);
    EXPECT_NE(entries[1].lockFlag, 0);
    EXPECT_EQ(entries[2].taskNumber, 7);

    EXPECT_EQ(batches(m_fs2, QStringLiteral("SYS:APPS\\ORDERS.DBF")), std::vector<int>{1});
    EXPECT_EQ(batches(m_fs1, QStringLiteral("SYS:APPS\\CUSTOMER.DBF")), std::vector<int>{0});

    qint16 iter = 0;
    ConnUsingFile one;
    ConnsUsingFile answer;
    EXPECT_EQ(m_nw->NWScanConnectionsUsingFile(0x1234, 0, QStringLiteral("SYS:APPS\\ORDERS.DBF"),
                                               iter, one, answer),
              nwcode::kInvalidConnection);
    EXPECT_EQ(m_nw->NWScanConnectionsUsingFile(m_fs1, 0, QStringLiteral("VOL1:ORDERS.DBF"), iter,
                                               one, answer),
              nwcode::kVolumeDoesNotExist);
}

class BatchingTest : public ::testing::TestWithParam<std::pair<int, std::vector<int>>> {};

TEST_P(BatchingTest, FirstCallAnswersThenBatchesOfSeventyThenEnd) {
    const auto& [count, expected] = GetParam();
    SiteServer server;
    server.name = QStringLiteral("FS1");
    server.volumes = {{QStringLiteral("SYS"), 0, QString()}};
    server.objects = {{1, QStringLiteral("USER"), 1, QString()}};
    for (int n = 1; n <= count; ++n) {
        server.connections.append({quint16(n), 1, {}, {}, true});
        server.openFiles.append(
            {quint16(n), QStringLiteral("SYS:DATA\\BIG.DAT"), quint16(n), 0, 0x01, n % 2 == 0});
    }
    NetWareSite site;
    site.servers = {server};
    EmulatedNetWare nw(site);
    ASSERT_EQ(nw.NWCallsInit(), 0);
    const NWCONN_HANDLE conn = nw.connectionHandle(QStringLiteral("FS1"));

    std::vector<int> sizes;
    QList<quint16> numbers;
    qint16 iter = 0;
    NWCCODE rc = 0;
    for (int call = 0; call < 6; ++call) {
        ConnUsingFile one;
        ConnsUsingFile answer;
        answer.connCount = 99;
        rc = nw.NWScanConnectionsUsingFile(conn, 0, QStringLiteral("sys:data/big.dat"), iter, one,
                                           answer);
        if (rc != 0) {
            break;
        }
        sizes.push_back(answer.connCount);
        for (int i = 0; i < answer.connCount; ++i) {
            numbers.append(answer.connInfo[i].connNumber);
            EXPECT_EQ(answer.connInfo[i].taskNumber, answer.connInfo[i].connNumber);
            EXPECT_EQ(answer.connInfo[i].lockFlag != 0, answer.connInfo[i].connNumber % 2 == 0);
        }
    }
    EXPECT_EQ(rc, nwcode::kNoMoreEntries);
    EXPECT_EQ(sizes, expected);
    ASSERT_EQ(numbers.size(), count);
    for (int n = 0; n < count; ++n) {
        EXPECT_EQ(numbers[n], n + 1);
    }
    ConnUsingFile one;
    ConnsUsingFile answer;
    EXPECT_EQ(nw.NWScanConnectionsUsingFile(conn, 0, QStringLiteral("SYS:DATA\\BIG.DAT"), iter, one,
                                            answer),
              nwcode::kNoMoreEntries);
}

INSTANTIATE_TEST_SUITE_P(Counts, BatchingTest,
                         ::testing::Values(std::pair{0, std::vector<int>{0}},
                                           std::pair{1, std::vector<int>{1}},
                                           std::pair{70, std::vector<int>{70}},
                                           std::pair{71, std::vector<int>{70, 1}},
                                           std::pair{150, std::vector<int>{70, 70, 10}}));

TEST_F(EmulatedNetWareTest, ConnectionInformationAndAddresses) {
    QString name;
    quint16 type = 0;
    quint32 id = 0;
    LoginTime login{};
    ASSERT_EQ(m_nw->NWGetConnectionInformation(m_fs1, 3, name, type, id, login), 0);
    EXPECT_EQ(name, QStringLiteral("ALICE"));
    EXPECT_EQ(type, 1);
    EXPECT_EQ(id, kAlice);
    EXPECT_EQ(login, (LoginTime{103, 6, 9, 8, 5, 0, 1}));  // a Monday
    ASSERT_EQ(m_nw->NWGetConnectionInformation(m_fs1, 4, name, type, id, login), 0);
    EXPECT_EQ(login, (LoginTime{126, 12, 6, 23, 59, 59, 0}));  // a Sunday
    ASSERT_EQ(m_nw->NWGetConnectionInformation(m_fs2, 3, name, type, id, login), 0);
    EXPECT_EQ(id, test::kBobOnFs2);  // object IDs are per server
    EXPECT_EQ(login, LoginTime{});   // no login time given
    EXPECT_EQ(m_nw->NWGetConnectionInformation(m_fs1, 9, name, type, id, login),
              nwcode::kBadStationNumber);
    EXPECT_EQ(m_nw->NWGetConnectionInformation(0, 3, name, type, id, login),
              nwcode::kInvalidConnection);

    InetAddr addr;
    ASSERT_EQ(m_nw->NWGetInetAddr(m_fs1, 3, addr), 0);
    EXPECT_EQ(addr.connType[0], nwconntype::kIpx);
    EXPECT_EQ(addr.networkAddr, (std::array<quint8, 4>{0x00, 0x00, 0xAB, 0xCD}));
    EXPECT_EQ(addr.netNodeAddr, (std::array<quint8, 6>{0x00, 0xA0, 0xC9, 0x1E, 0x2F, 0x30}));
    EXPECT_EQ(addr.socket, (std::array<quint8, 2>{0x40, 0x03}));
    ASSERT_EQ(m_nw->NWGetInetAddr(m_fs1, 4, addr), 0);
    EXPECT_EQ(addr.connType[0], nwconntype::kAfp);
    ASSERT_EQ(m_nw->NWGetInetAddr(m_fs1, 1, addr), 0);
    EXPECT_EQ(addr.connType[0], nwconntype::kIp);
    EXPECT_EQ(addr.networkAddr, (std::array<quint8, 4>{10, 1, 2, 3}));
    // A failing call leaves the record as it was.
    EXPECT_EQ(m_nw->NWGetInetAddr(m_fs1, 9, addr), nwcode::kBadStationNumber);
    EXPECT_EQ(addr.networkAddr, (std::array<quint8, 4>{10, 1, 2, 3}));
}

TEST_F(EmulatedNetWareTest, DirectoryNamesOnVersionFourBinderyNamesEverywhere) {
    NWDSContextHandle context = 0;
    ASSERT_EQ(m_nw->NWDSCreateContextHandle(context), 0);
    ASSERT_EQ(m_nw->NWDSSetContext(context, kDsContextNameKey, QByteArray("[Root]\0junk", 11)), 0);
    struct Lookup {
        const char* name;
        NWCCODE rc;
        quint32 id;
    };
    const Lookup lookups[] = {
        {"ALICE", 0, kAlice},
        {"alice.sales.acme", 0, kAlice},
        {"BOB", 0, kBob},  // no directory name: the bare name
        {"Admin.Acme", 0, kAdmin},
        {"NOBODY", nwcode::kDsNoSuchEntry, 0},
        {"ALICE.SALES", nwcode::kDsNoSuchEntry, 0},
    };
    for (const Lookup& l : lookups) {
        quint32 id = 0;
        EXPECT_EQ(m_nw->NWDSMapNameToID(context, m_fs1, QLatin1String(l.name), id), l.rc) << l.name;
        EXPECT_EQ(id, l.id) << l.name;
    }
    QByteArray name(256, '\0');
    ASSERT_EQ(m_nw->NWDSMapIDToName(context, m_fs1, kAlice, name), 0);
    EXPECT_EQ(BytesToString(name), QStringLiteral("ALICE.SALES.ACME"));
    ASSERT_EQ(m_nw->NWDSMapIDToName(context, m_fs1, kBob, name), 0);
    EXPECT_EQ(BytesToString(name), QStringLiteral("BOB"));
    QByteArray small(5, 'x');
    ASSERT_EQ(m_nw->NWDSMapIDToName(context, m_fs1, kAlice, small), 0);
    EXPECT_EQ(small, QByteArray("ALICE"));  // cut at the buffer's size, never past it
    EXPECT_EQ(m_nw->NWDSMapIDToName(context, m_fs1, 0x999, name), nwcode::kDsNoSuchEntry);

    // Version 3: no directory service, names from the bindery.
    quint32 id = 0;
    EXPECT_NE(m_nw->NWDSMapNameToID(context, m_fs2, QStringLiteral("BOB"), id), 0);
    EXPECT_EQ(id, 0u);
    EXPECT_NE(m_nw->NWDSMapIDToName(context, m_fs2, test::kBobOnFs2, name), 0);
    QByteArray bindery(64, '\0');
    quint16 type = 0;
    ASSERT_EQ(m_nw->NWGetObjectName(m_fs2, test::kBobOnFs2, bindery, type), 0);
    EXPECT_EQ(BytesToString(bindery), QStringLiteral("BOB"));
    EXPECT_EQ(type, 1);
    ASSERT_EQ(m_nw->NWGetObjectName(m_fs1, kAlice, bindery, type), 0);
    EXPECT_EQ(BytesToString(bindery), QStringLiteral("ALICE"));
    EXPECT_EQ(m_nw->NWGetObjectName(m_fs2, kAlice, bindery, type), nwcode::kNoSuchObject);

    EXPECT_EQ(m_nw->NWDSFreeContext(context), 0);
    EXPECT_NE(m_nw->NWDSFreeContext(context), 0);
    EXPECT_NE(m_nw->NWDSMapNameToID(context, m_fs1, QStringLiteral("ALICE"), id), 0);
}

TEST_F(EmulatedNetWareTest, TrusteePathsInSiteOrderOnOneVolume) {
    quint16 volume = 99;
    ASSERT_EQ(m_nw->NWGetVolumeNumber(m_fs1, QStringLiteral("sys"), volume), 0);
    EXPECT_EQ(volume, 0);
    EXPECT_EQ(m_nw->NWGetVolumeNumber(m_fs1, QStringLiteral("VOL1"), volume),
              nwcode::kVolumeDoesNotExist);

    QStringList paths;
    QList<quint8> rights;
    quint16 iter = 0xFFFF;
    for (int call = 0; call < 10; ++call) {
        QByteArray buffer(512, 'x');
        quint8 access = 0;
        ASSERT_EQ(m_nw->NWScanObjectTrusteePaths(m_fs1, kAlice, 0, iter, access, buffer), 0);
        if (buffer[0] == '\0') {
            break;
        }
        paths.append(BytesToString(buffer));
        rights.append(access);
    }
    // DATA:X lies on volume 1 and is left out.
    EXPECT_EQ(paths, (QStringList{QStringLiteral("SYS:APPS"), QStringLiteral("SYS:APPS\\SUB"),
                                  QStringLiteral("SYS:")}));
    EXPECT_EQ(rights, (QList<quint8>{0xC9, 0xDB, 0x01}));

    QByteArray buffer(512, '\0');
    quint8 access = 0;
    iter = 0xFFFF;
    EXPECT_NE(m_nw->NWScanObjectTrusteePaths(m_fs1, 0, 0, iter, access, buffer), 0);
    EXPECT_NE(m_nw->NWScanObjectTrusteePaths(m_fs1, kAlice, 7, iter, access, buffer), 0);
}

TEST(EmulatedNetWareTrustees, DirectoryTrusteesInBlocksOfTwenty) {
    SiteServer server;
    server.name = QStringLiteral("FS1");
    server.volumes = {{QStringLiteral("SYS"), 0, QString()}};
    for (quint32 id = 1; id <= 45; ++id) {
        server.objects.append({id, QStringLiteral("U%1").arg(id), 1, QString()});
        server.trustees.append({QStringLiteral("SYS:APPS"), id, quint16(id)});
    }
    NetWareSite site;
    site.servers = {server};
    EmulatedNetWare nw(site);
    const NWCONN_HANDLE conn = nw.connectionHandle(QStringLiteral("FS1"));

    quint32 iter = 0;
    QList<int> counts;
    QList<quint32> ids;
    NWCCODE rc = 0;
    for (int call = 0; call < 5; ++call) {
        QByteArray name(512, '\0');
        quint32 dateTime = 1;
        quint32 owner = 1;
        TrusteeList list;
        list.fill({0xFFFF, 0xFFFF});
        rc = nw.NWScanDirectoryForTrustees2(conn, 0, QStringLiteral("sys:apps"), iter, name,
                                            dateTime, owner, list);
        if (rc != 0) {
            break;
        }
        EXPECT_EQ(BytesToString(name), QStringLiteral("APPS"));
        int valid = 0;
        for (const TrusteeEntry& entry : list) {
            if (entry.objectID == 0) {
                break;
            }
            EXPECT_EQ(entry.objectRights, entry.objectID);
            ids.append(entry.objectID);
            ++valid;
        }
        counts.append(valid);
    }
    EXPECT_EQ(rc, nwcode::kNoMoreTrustees);
    EXPECT_EQ(counts, (QList<int>{20, 20, 5}));
    ASSERT_EQ(ids.size(), 45);
    EXPECT_EQ(ids.first(), 1u);
    EXPECT_EQ(ids.last(), 45u);

    // A directory with no trustees ends at once.
    iter = 0;
    QByteArray name(512, '\0');
    quint32 dateTime = 0;
    quint32 owner = 0;
    TrusteeList list;
    EXPECT_NE(nw.NWScanDirectoryForTrustees2(conn, 0, QStringLiteral("SYS:OTHER"), iter, name,
                                             dateTime, owner, list),
              0);
}

TEST_F(EmulatedNetWareTest, BroadcastResultBytesAndRecordedMessages) {
    const NWCONN_NUM to[] = {3, 4, 99};
    quint8 results[] = {0x11, 0x11, 0x11};
    ASSERT_EQ(m_nw->NWSendBroadcastMessage(m_fs1, QByteArray("Lunch!\0", 7), to, results), 0);
    EXPECT_EQ(results[0], 0x00);  // delivered
    EXPECT_EQ(results[1], 0xFC);  // BOB refuses messages
    EXPECT_EQ(results[2], 0xFD);  // no such connection
    const QList<SiteMessage>& messages = m_nw->site().messages;
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].server, QStringLiteral("FS1"));
    EXPECT_EQ(messages[0].connection, 3);
    EXPECT_EQ(messages[0].text, QStringLiteral("Lunch!"));
    EXPECT_EQ(messages[0].time, m_clock.now());
    EXPECT_EQ(m_nw->NWSendBroadcastMessage(0, QByteArray("x"), to, results),
              nwcode::kInvalidConnection);
}

TEST_F(EmulatedNetWareTest, ClearConnectionTakesItsOpenFilesAlong) {
    ASSERT_EQ(m_nw->NWClearConnectionNumber(m_fs1, 4), 0);
    QString name;
    quint16 type = 0;
    quint32 id = 0;
    LoginTime login{};
    EXPECT_EQ(m_nw->NWGetConnectionInformation(m_fs1, 4, name, type, id, login),
              nwcode::kBadStationNumber);
    EXPECT_EQ(locks(m_fs1, QStringLiteral("SYS:APPS\\ORDERS.DBF")),
              (QList<std::pair<quint16, bool>>{{3, false}, {1, true}}));
    EXPECT_EQ(m_nw->NWClearConnectionNumber(m_fs1, 4), nwcode::kBadStationNumber);
    // FS2's connection 3 is another connection.
    ASSERT_EQ(m_nw->NWClearConnectionNumber(m_fs1, 3), 0);
    EXPECT_EQ(m_nw->NWGetConnectionInformation(m_fs2, 3, name, type, id, login), 0);
}

TEST_F(EmulatedNetWareTest, ClearFileLockReleasesEveryLockOnThatFileOnThatServer) {
    NWDIR_HANDLE handle = 0;
    quint8 rights = 0;
    ASSERT_EQ(
        m_nw->NWAllocTemporaryDirectoryHandle(m_fs1, 0, QStringLiteral("SYS:APPS"), handle, rights),
        0);
    ASSERT_EQ(m_nw->NWClearFileLock2(m_fs1, handle, QStringLiteral("sys:apps\\orders.dbf")), 0);
    EXPECT_EQ(locks(m_fs1, QStringLiteral("SYS:APPS\\ORDERS.DBF")),
              (QList<std::pair<quint16, bool>>{{3, false}, {4, false}, {1, false}}));
    EXPECT_EQ(locks(m_fs2, QStringLiteral("SYS:APPS\\ORDERS.DBF")),
              (QList<std::pair<quint16, bool>>{{3, true}}));
    EXPECT_EQ(locks(m_fs1, QStringLiteral("DATA:X\\Y.DAT")),
              (QList<std::pair<quint16, bool>>{{1, true}}));
    // A name relative to the handle's directory.
    ASSERT_EQ(m_nw->NWClearFileLock2(m_fs1, handle, QStringLiteral("ORDERS.DBF")), 0);
    EXPECT_EQ(m_nw->NWClearFileLock2(m_fs1, 200, QStringLiteral("ORDERS.DBF")),
              nwcode::kBadDirectoryHandle);
}

TEST_F(EmulatedNetWareTest, ClearFileLockSetReleasesOnlyTheWorkstationsLocks) {
    ASSERT_EQ(m_nw->NWClearFileLockSet(m_fs1), 0);
    EXPECT_EQ(locks(m_fs1, QStringLiteral("SYS:APPS\\ORDERS.DBF")),
              (QList<std::pair<quint16, bool>>{{3, false}, {4, true}, {1, false}}));
    EXPECT_EQ(locks(m_fs1, QStringLiteral("DATA:X\\Y.DAT")),
              (QList<std::pair<quint16, bool>>{{1, false}}));
    EXPECT_EQ(locks(m_fs2, QStringLiteral("VOL1:ACCOUNTS\\LEDGER.DAT")),
              (QList<std::pair<quint16, bool>>{{1, true}}));
    ASSERT_EQ(m_nw->NWClearFileLockSet(0), 0);  // every server
    EXPECT_EQ(locks(m_fs2, QStringLiteral("VOL1:ACCOUNTS\\LEDGER.DAT")),
              (QList<std::pair<quint16, bool>>{{1, false}}));
    EXPECT_EQ(locks(m_fs2, QStringLiteral("SYS:APPS\\ORDERS.DBF")),
              (QList<std::pair<quint16, bool>>{{3, true}}));
    EXPECT_EQ(m_nw->NWClearFileLockSet(0x4242), nwcode::kInvalidConnection);
}

TEST_F(EmulatedNetWareTest, TemporaryDirectoryHandlesCarryTheWorkstationUsersRights) {
    struct Case {
        NWCONN_HANDLE conn;
        const char* path;
        NWCCODE rc;
        quint8 rights;
    };
    const Case cases[] = {
        {m_fs1, "SYS:APPS", 0, 0xFB},
        {m_fs1, "sys:apps\\sub", 0, 0x41},        // the nearest assignment wins
        {m_fs1, "SYS:APPS\\SUB\\DEEP", 0, 0x41},  // inherited
        {m_fs1, "SYS:", 0, 0x00},
        {m_fs1, "SYS:NOWHERE", nwcode::kInvalidPath, 0},  // the volume's folder has none
        {m_fs1, "DATA:ANY\\FOLDER", 0, 0x00},             // a volume without a folder
        {m_fs2, "VOL1:ACCOUNTS", 0, 0xFF},                // Supervisor above
        {m_fs1, "VOL1:ACCOUNTS", nwcode::kVolumeDoesNotExist, 0},
    };
    for (const Case& c : cases) {
        NWDIR_HANDLE handle = 0;
        quint8 rights = 0x5A;
        EXPECT_EQ(
            m_nw->NWAllocTemporaryDirectoryHandle(c.conn, 0, QLatin1String(c.path), handle, rights),
            c.rc)
            << c.path;
        if (c.rc == 0) {
            EXPECT_NE(handle, 0) << c.path;
            EXPECT_EQ(rights, c.rights) << c.path;
            EXPECT_EQ(m_nw->NWDeallocateDirectoryHandle(c.conn, handle), 0);
            EXPECT_EQ(m_nw->NWDeallocateDirectoryHandle(c.conn, handle),
                      nwcode::kBadDirectoryHandle);
        }
    }
}

TEST_F(EmulatedNetWareTest, TemporaryHandlesAreReusedRatherThanRunningOut) {
    NWDIR_HANDLE first = 0;
    quint8 rights = 0;
    for (int n = 0; n < 600; ++n) {
        NWDIR_HANDLE handle = 0;
        ASSERT_EQ(m_nw->NWAllocTemporaryDirectoryHandle(m_fs1, 0, QStringLiteral("SYS:APPS"),
                                                        handle, rights),
                  0)
            << n;
        first = n == 0 ? handle : first;
    }
    EXPECT_NE(first, 0);
}

TEST(DosNames, DerivedInDirectoryOrder) {
    const QStringList names = {
        QStringLiteral("LongFileName.text"),
        QStringLiteral("orders.dbf"),
        QStringLiteral("Quarterly Budget.xls"),
        QStringLiteral("Quarterly Report.xls"),
        QStringLiteral("Quarterly Sales.xls"),
        QStringLiteral("readme"),
        QStringLiteral("a.b.c"),
        QStringLiteral("Budget Plan 2026.xls"),
    };
    const QStringList given = {QString(), QString(), QString(), QString(),
                               QString(), QString(), QString(), QStringLiteral("plan.xls")};
    EXPECT_EQ(dosNamesOf(names, given),
              (QStringList{QStringLiteral("LONGFI~1.TEX"), QStringLiteral("ORDERS.DBF"),
                           QStringLiteral("QUARTE~1.XLS"), QStringLiteral("QUARTE~2.XLS"),
                           QStringLiteral("QUARTE~3.XLS"), QStringLiteral("README"),
                           QStringLiteral("AB~1.C"), QStringLiteral("PLAN.XLS")}));

    QStringList many;
    for (int n = 0; n < 11; ++n) {
        many.append(QStringLiteral("Quarterly %1.xls").arg(n));
    }
    const QStringList dos = dosNamesOf(many, {});
    EXPECT_EQ(dos.at(8), QStringLiteral("QUARTE~9.XLS"));
    EXPECT_EQ(dos.at(9), QStringLiteral("QUART~10.XLS"));
    // A long name never takes the DOS name of a name that fits 8.3.
    EXPECT_EQ(dosNamesOf({QStringLiteral("Report Long.txt"), QStringLiteral("REPORT~1.TXT")}, {}),
              (QStringList{QStringLiteral("REPORT~2.TXT"), QStringLiteral("REPORT~1.TXT")}));
}

class ExtendedInfoTest : public EmulatedNetWareTest {
protected:
    void SetUp() override {
        const QString apps = m_dir.path() + QStringLiteral("/fs1sys/APPS/");
        test::touchFile(apps + QStringLiteral("Quarterly Report.xls"), "12345");
        test::touchFile(apps + QStringLiteral("Quarterly Budget.xls"));
        test::touchFile(apps + QStringLiteral("SECRET.DAT"));
        QFile file(apps + QStringLiteral("Quarterly Report.xls"));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2003, 6, 9), QTime(8, 5, 30)),
                                     QFileDevice::FileModificationTime));
        ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2003, 6, 10), QTime(12, 0)),
                                     QFileDevice::FileAccessTime));
        file.close();

        NetWareSite site = test::makeTestSite(m_dir.path());
        SiteFileRecord orders;
        orders.path = QStringLiteral("SYS:APPS\\ORDERS.DBF");
        orders.attributes = 0x00000021;
        orders.owner = kAlice;
        orders.archiver = kAdmin;
        orders.modifier = 0x77777777;
        orders.created = QDateTime(QDate(2019, 3, 4), QTime(9, 12, 30));
        orders.archived = QDateTime(QDate(2026, 11, 30), QTime(22, 15, 0));
        orders.modified = QDateTime(QDate(2107, 12, 31), QTime(23, 59, 58));
        orders.accessed = QDate(1980, 1, 1);
        SiteFileRecord secret;
        secret.path = QStringLiteral("SYS:APPS\\SECRET.DAT");
        secret.attributes = 0x00000022;  // hidden
        site.servers[0].files = {orders, secret};
        m_nw = std::make_unique<EmulatedNetWare>(site);
        ASSERT_EQ(m_nw->NWCallsInit(), 0) << m_nw->initFailureReason().toStdString();
        m_fs1 = m_nw->connectionHandle(QStringLiteral("FS1"));
        ASSERT_EQ(m_nw->NWCCOpenConnByName(0, QStringLiteral("fs1"), kNameFormatBindery,
                                           kOpenStateNormal, kAnyTransport, m_conn),
                  0);
        quint8 rights = 0;
        ASSERT_EQ(m_nw->NWAllocTemporaryDirectoryHandle(m_conn, 0, QStringLiteral("SYS:APPS"),
                                                        m_handle, rights),
                  0);
    }

    NWCCODE scan(const QString& pattern, ExtendedInfo& info, quint8 attrs = 6) {
        quint32 iter = 0xFFFFFFFF;
        info.fill(0);
        return m_nw->NWIntScanExtendedInfo(m_conn, m_handle, attrs, iter, pattern, info, 0);
    }

    QString dosName(const QString& name) {
        QByteArray buffer(16, '\0');
        m_nw->NWGetLongName(m_conn, m_handle, name, nwnamespace::kLong, nwnamespace::kDos, buffer);
        return BytesToString(buffer);
    }

    NWCONN_HANDLE m_conn = 0;
    NWDIR_HANDLE m_handle = 0;
};

TEST_F(ExtendedInfoTest, DosNamesOfTheDirectory) {
    EXPECT_EQ(dosName(QStringLiteral("orders.dbf")), QStringLiteral("ORDERS.DBF"));
    EXPECT_EQ(dosName(QStringLiteral("QUARTERLY BUDGET.XLS")), QStringLiteral("QUARTE~1.XLS"));
    EXPECT_EQ(dosName(QStringLiteral("Quarterly Report.xls")), QStringLiteral("QUARTE~2.XLS"));
    EXPECT_EQ(dosName(QStringLiteral("MISSING.DAT")), QString());
    QByteArray buffer(64, '\0');
    ASSERT_EQ(m_nw->NWGetLongName(m_conn, m_handle, QStringLiteral("quarte~2.xls"),
                                  nwnamespace::kDos, nwnamespace::kLong, buffer),
              0);
    EXPECT_EQ(BytesToString(buffer), QStringLiteral("Quarterly Report.xls"));
}

TEST_F(ExtendedInfoTest, RecordFromTheSiteAtItsOffsets) {
    ExtendedInfo info;
    ASSERT_EQ(scan(QStringLiteral("ORDERS.DBF"), info), 0);
    const auto bytes = [&](std::size_t offset, std::size_t count) {
        return std::vector<quint8>(info.begin() + offset, info.begin() + offset + count);
    };
    EXPECT_EQ(bytes(8, 4), (std::vector<quint8>{0x21, 0x00, 0x00, 0x00}));
    // 2019-03-04 09:12:30: year 39, month 3, day 4 / hour 9, minute 12, 15 two-seconds.
    EXPECT_EQ(readLe32(info, 28), (39u << 25 | 3u << 21 | 4u << 16 | 9u << 11 | 12u << 5 | 15u));
    EXPECT_EQ(bytes(32, 4), (std::vector<quint8>{0x11, 0x00, 0x00, 0x0A}));
    EXPECT_EQ(readLe32(info, 36), (46u << 25 | 11u << 21 | 30u << 16 | 22u << 11 | 15u << 5 | 0u));
    EXPECT_EQ(readLe32(info, 40), kAdmin);
    EXPECT_EQ(readLe32(info, 44),
              (127u << 25 | 12u << 21 | 31u << 16 | 23u << 11 | 59u << 5 | 29u));
    EXPECT_EQ(readLe32(info, 48), 0x77777777u);
    EXPECT_EQ(readLe16(info, 102), (0u << 9 | 1u << 5 | 1u));
    EXPECT_EQ(info[15], 10);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(info.data() + 16), 10),
              QByteArray("ORDERS.DBF"));
}

TEST_F(ExtendedInfoTest, DefaultsComeFromTheFileOnDisk) {
    ExtendedInfo info;
    ASSERT_EQ(scan(QStringLiteral("QUARTE~2.XLS"), info), 0);
    const auto bytes = [&](std::size_t offset, std::size_t count) {
        return std::vector<quint8>(info.begin() + offset, info.begin() + offset + count);
    };
    EXPECT_EQ(bytes(8, 4), (std::vector<quint8>{0x20, 0x00, 0x00, 0x00}));  // Archive
    // Modified 2003-06-09 08:05:30 = 0x2EC940AF, little-endian.
    EXPECT_EQ(bytes(44, 4), (std::vector<quint8>{0xAF, 0x40, 0xC9, 0x2E}));
    EXPECT_EQ(bytes(102, 2), (std::vector<quint8>{0xCA, 0x2E}));  // accessed 2003-06-10
    EXPECT_NE(readLe32(info, 28), 0u);                            // created: the file's time
    EXPECT_EQ(readLe32(info, 32), 0u);                            // owner unknown
    EXPECT_EQ(readLe32(info, 36), 0u);                            // never archived
    EXPECT_EQ(readLe32(info, 40), 0u);
    EXPECT_EQ(readLe32(info, 48), 0u);
    EXPECT_EQ(readLe32(info, 52), 5u);  // length
}

TEST_F(ExtendedInfoTest, SearchByPatternAndAttributes) {
    ExtendedInfo info;
    EXPECT_EQ(scan(QStringLiteral("Quarterly Report.xls"), info), nwcode::kNoMatchingFiles);
    EXPECT_EQ(scan(QStringLiteral("SECRET.DAT"), info, 0), nwcode::kNoMatchingFiles);  // hidden
    EXPECT_EQ(scan(QStringLiteral("SECRET.DAT"), info, 6), 0);

    QStringList found;
    quint32 iter = 0xFFFFFFFF;
    while (m_nw->NWIntScanExtendedInfo(m_conn, m_handle, 6, iter, QStringLiteral("*.XLS"), info,
                                       0) == 0) {
        found.append(
            QString::fromLatin1(reinterpret_cast<const char*>(info.data() + 16), info[15]));
    }
    EXPECT_EQ(found, (QStringList{QStringLiteral("QUARTE~1.XLS"), QStringLiteral("QUARTE~2.XLS")}));
}

TEST_F(ExtendedInfoTest, VersionAndOpenedConnections) {
    VersionInfo version{};
    ASSERT_EQ(m_nw->NWGetFileServerVersionInfo(m_conn, version), 0);
    EXPECT_EQ(version[48], 4);
    ASSERT_EQ(
        m_nw->NWGetFileServerVersionInfo(m_nw->connectionHandle(QStringLiteral("FS2")), version),
        0);
    EXPECT_EQ(version[48], 3);
    EXPECT_NE(m_conn, m_fs1);
    EXPECT_EQ(m_nw->NWDeallocateDirectoryHandle(m_conn, m_handle), 0);
    EXPECT_EQ(m_nw->NWCCCloseConn(m_conn), 0);
    EXPECT_EQ(m_nw->NWGetFileServerVersionInfo(m_conn, version), nwcode::kInvalidConnection);
    NWCONN_HANDLE conn = 0;
    EXPECT_NE(m_nw->NWCCOpenConnByName(0, QStringLiteral("FS9"), kNameFormatBindery,
                                       kOpenStateNormal, kAnyTransport, conn),
              0);
}

TEST_F(EmulatedNetWareTest, IsTheWorkstationsDriveMap) {
    const DriveMap& drives = *m_nw;
    EXPECT_EQ(drives.driveType(QStringLiteral("C:\\")), DriveType::Fixed);
    EXPECT_EQ(drives.driveType(QStringLiteral("G:\\")), DriveType::Remote);
    EXPECT_EQ(drives.driveType(QStringLiteral("Q:\\")), DriveType::NoRootDir);
    EXPECT_EQ(drives.drive(QLatin1Char('h'))->path, QStringLiteral("APPS"));
    EXPECT_TRUE(FileExists(drives, QStringLiteral("G:\\APPS\\ORDERS.DBF")));  // orders.dbf
    EXPECT_TRUE(FileExists(drives, QStringLiteral("h:\\customer.dbf")));
    EXPECT_FALSE(FileExists(drives, QStringLiteral("G:\\APPS\\MISSING.DBF")));
}

// Every call, made so that it succeeds on the test site.
struct CallCase {
    const char* name;
    std::function<NWCCODE(EmulatedNetWare&, NWCONN_HANDLE)> call;
};

std::vector<CallCase> everyCall() {
    const auto withContext = [](EmulatedNetWare& nw, auto&& body) {
        NWDSContextHandle context = 0;
        nw.NWDSCreateContextHandle(context);
        return body(context);
    };
    return {
        {"NWCallsInit", [](EmulatedNetWare& nw, NWCONN_HANDLE) { return nw.NWCallsInit(); }},
        {"NWParsePath",
         [](EmulatedNetWare& nw, NWCONN_HANDLE) {
             QString s, v, p;
             NWCONN_HANDLE c = 0;
             return nw.NWParsePath(QStringLiteral("G:\\APPS\\ORDERS.DBF"), s, c, v, p);
         }},
        {"NWScanConnectionsUsingFile",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             qint16 iter = 0;
             ConnUsingFile one;
             ConnsUsingFile all;
             return nw.NWScanConnectionsUsingFile(c, 0, QStringLiteral("SYS:APPS\\ORDERS.DBF"),
                                                  iter, one, all);
         }},
        {"NWGetConnectionInformation",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             QString name;
             quint16 type = 0;
             quint32 id = 0;
             LoginTime login{};
             return nw.NWGetConnectionInformation(c, 3, name, type, id, login);
         }},
        {"NWGetInetAddr",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             InetAddr addr;
             return nw.NWGetInetAddr(c, 3, addr);
         }},
        {"NWDSCreateContextHandle",
         [](EmulatedNetWare& nw, NWCONN_HANDLE) {
             NWDSContextHandle context = 0;
             return nw.NWDSCreateContextHandle(context);
         }},
        {"NWDSSetContext",
         [=](EmulatedNetWare& nw, NWCONN_HANDLE) {
             return withContext(nw, [&](NWDSContextHandle context) {
                 return nw.NWDSSetContext(context, kDsContextNameKey, QByteArray("[Root]"));
             });
         }},
        {"NWDSMapNameToID",
         [=](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             return withContext(nw, [&](NWDSContextHandle context) {
                 quint32 id = 0;
                 return nw.NWDSMapNameToID(context, c, QStringLiteral("ALICE"), id);
             });
         }},
        {"NWDSMapIDToName",
         [=](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             return withContext(nw, [&](NWDSContextHandle context) {
                 QByteArray name(256, '\0');
                 return nw.NWDSMapIDToName(context, c, kAlice, name);
             });
         }},
        {"NWDSFreeContext",
         [=](EmulatedNetWare& nw, NWCONN_HANDLE) {
             return withContext(
                 nw, [&](NWDSContextHandle context) { return nw.NWDSFreeContext(context); });
         }},
        {"NWGetVolumeNumber",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             quint16 number = 0;
             return nw.NWGetVolumeNumber(c, QStringLiteral("SYS"), number);
         }},
        {"NWScanObjectTrusteePaths",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             quint16 iter = 0xFFFF;
             quint8 rights = 0;
             QByteArray path(512, '\0');
             return nw.NWScanObjectTrusteePaths(c, kAlice, 0, iter, rights, path);
         }},
        {"NWScanDirectoryForTrustees2",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             quint32 iter = 0;
             QByteArray name(512, '\0');
             quint32 dateTime = 0;
             quint32 owner = 0;
             TrusteeList list;
             return nw.NWScanDirectoryForTrustees2(c, 0, QStringLiteral("SYS:APPS"), iter, name,
                                                   dateTime, owner, list);
         }},
        {"NWSendBroadcastMessage",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             const NWCONN_NUM to[] = {3};
             quint8 result[] = {0};
             return nw.NWSendBroadcastMessage(c, QByteArray("hi"), to, result);
         }},
        {"NWClearConnectionNumber",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) { return nw.NWClearConnectionNumber(c, 3); }},
        {"NWAllocTemporaryDirectoryHandle",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             NWDIR_HANDLE handle = 0;
             quint8 rights = 0;
             return nw.NWAllocTemporaryDirectoryHandle(c, 0, QStringLiteral("SYS:APPS"), handle,
                                                       rights);
         }},
        {"NWDeallocateDirectoryHandle",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             NWDIR_HANDLE handle = 0;
             quint8 rights = 0;
             nw.NWAllocTemporaryDirectoryHandle(c, 0, QStringLiteral("SYS:APPS"), handle, rights);
             return nw.NWDeallocateDirectoryHandle(c, handle);
         }},
        {"NWClearFileLock2",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             return nw.NWClearFileLock2(c, 0, QStringLiteral("SYS:APPS\\ORDERS.DBF"));
         }},
        {"NWClearFileLockSet",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) { return nw.NWClearFileLockSet(c); }},
        {"NWCCOpenConnByName",
         [](EmulatedNetWare& nw, NWCONN_HANDLE) {
             NWCONN_HANDLE conn = 0;
             return nw.NWCCOpenConnByName(0, QStringLiteral("FS1"), kNameFormatBindery,
                                          kOpenStateNormal, kAnyTransport, conn);
         }},
        {"NWCCCloseConn",
         [](EmulatedNetWare& nw, NWCONN_HANDLE) {
             NWCONN_HANDLE conn = 0;
             nw.NWCCOpenConnByName(0, QStringLiteral("FS1"), kNameFormatBindery, kOpenStateNormal,
                                   kAnyTransport, conn);
             return nw.NWCCCloseConn(conn);
         }},
        {"NWGetLongName",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             QByteArray name(16, '\0');
             return nw.NWGetLongName(c, 0, QStringLiteral("SYS:APPS\\ORDERS.DBF"),
                                     nwnamespace::kLong, nwnamespace::kDos, name);
         }},
        {"NWIntScanExtendedInfo",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             quint32 iter = 0xFFFFFFFF;
             ExtendedInfo info{};
             return nw.NWIntScanExtendedInfo(c, 0, 6, iter, QStringLiteral("SYS:APPS\\ORDERS.DBF"),
                                             info, 0);
         }},
        {"NWGetFileServerVersionInfo",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             VersionInfo version{};
             return nw.NWGetFileServerVersionInfo(c, version);
         }},
        {"NWGetObjectName",
         [](EmulatedNetWare& nw, NWCONN_HANDLE c) {
             QByteArray name(64, '\0');
             quint16 type = 0;
             return nw.NWGetObjectName(c, kAlice, name, type);
         }},
    };
}

class FaultTest : public ::testing::TestWithParam<NWCCODE> {};

TEST_P(FaultTest, EveryCallReturnsTheCodeItIsGiven) {
    QTemporaryDir dir;
    const std::vector<CallCase> calls = everyCall();
    ASSERT_EQ(calls.size(), kNetWareCalls.size());
    for (const CallCase& c : calls) {
        EmulatedNetWare nw(test::makeTestSite(dir.path()));
        const NWCONN_HANDLE fs1 = nw.connectionHandle(QStringLiteral("FS1"));
        SiteFault fault;
        fault.call = QLatin1String(c.name);
        fault.code = GetParam();
        ASSERT_EQ(nw.addFault(fault), QString());
        EXPECT_EQ(c.call(nw, fs1), GetParam()) << c.name;
        nw.clearFaults();
        EXPECT_EQ(c.call(nw, fs1), 0) << c.name << " after the fault was cleared";
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, FaultTest,
                         ::testing::Values(nwcode::kInvalidConnection,
                                           nwcode::kNlmInvalidConnection,
                                           nwcode::kServerOutOfMemory, nwcode::kVolumeDoesNotExist,
                                           nwcode::kBadDirectoryHandle, nwcode::kInvalidPath,
                                           nwcode::kDirectoryIoError, nwcode::kAccessDenied,
                                           nwcode::kNoConsolePrivileges, nwcode::kBadStationNumber,
                                           nwcode::kLockError, 0x1234, nwcode::kDsNoSuchEntry));

TEST_F(EmulatedNetWareTest, FaultsNarrowedToAPathAConnectionOrAServer) {
    SiteFault byDrivePath{QStringLiteral("NWScanConnectionsUsingFile"), 0x8996,
                          QStringLiteral("G:\\APPS\\ORDERS.DBF"), std::nullopt, QString()};
    SiteFault byParse{QStringLiteral("NWParsePath"), nwcode::kInvalidPath,
                      QStringLiteral("sys:apps\\customer.dbf"), std::nullopt, QString()};
    SiteFault byConnection{QStringLiteral("NWGetConnectionInformation"), 0x89FD, QString(), 3,
                           QString()};
    SiteFault byServer{QStringLiteral("NWGetInetAddr"), 0x8801, QString(), std::nullopt,
                       QStringLiteral("FS2")};
    for (const SiteFault& fault : {byDrivePath, byParse, byConnection, byServer}) {
        ASSERT_EQ(m_nw->addFault(fault), QString());
    }
    qint16 iter = 0;
    ConnUsingFile one;
    ConnsUsingFile all;
    EXPECT_EQ(m_nw->NWScanConnectionsUsingFile(m_fs1, 0, QStringLiteral("SYS:APPS\\ORDERS.DBF"),
                                               iter, one, all),
              0x8996);
    iter = 0;
    EXPECT_EQ(m_nw->NWScanConnectionsUsingFile(m_fs2, 0, QStringLiteral("SYS:APPS\\ORDERS.DBF"),
                                               iter, one, all),
              0);  // the same volume path on the other server
    iter = 0;
    EXPECT_EQ(m_nw->NWScanConnectionsUsingFile(m_fs1, 0, QStringLiteral("SYS:APPS\\CUSTOMER.DBF"),
                                               iter, one, all),
              0);
    QString s, v, p;
    NWCONN_HANDLE c = 0;
    EXPECT_EQ(m_nw->NWParsePath(QStringLiteral("G:\\APPS\\CUSTOMER.DBF"), s, c, v, p),
              nwcode::kInvalidPath);
    EXPECT_EQ(m_nw->NWParsePath(QStringLiteral("H:\\CUSTOMER.DBF"), s, c, v, p),
              nwcode::kInvalidPath);
    EXPECT_EQ(m_nw->NWParsePath(QStringLiteral("G:\\APPS\\ORDERS.DBF"), s, c, v, p), 0);
    QString name;
    quint16 type = 0;
    quint32 id = 0;
    LoginTime login{};
    EXPECT_EQ(m_nw->NWGetConnectionInformation(m_fs1, 3, name, type, id, login), 0x89FD);
    EXPECT_EQ(m_nw->NWGetConnectionInformation(m_fs1, 4, name, type, id, login), 0);
    InetAddr addr;
    EXPECT_EQ(m_nw->NWGetInetAddr(m_fs2, 3, addr), 0x8801);
    EXPECT_EQ(m_nw->NWGetInetAddr(m_fs1, 3, addr), 0);
    EXPECT_NE(m_nw->addFault({QStringLiteral("NWNoSuchCall"), 1, {}, {}, {}}), QString());
}

// The site's keys are upper-cased as QString::toUpper does it, plain ASCII or not.
TEST(VolumePathTest, KeysAreUpperCasedAsQtDoesIt) {
    const QStringList cases[] = {
        {"data", "Apps", "orders.dbf"},
        {"DATA", "APPS", "ORDERS.DBF"},
        {"Daten", "Größe", "straße.txt"},
        {"sys", "ǆ~`{}@[]", "ﬁle"},
    };
    for (const QStringList& c : cases) {
        EXPECT_EQ(volumePathKey(c.first(), c.mid(1)),
                  (c.first() + QLatin1Char(':') + c.mid(1).join(QLatin1Char('\\'))).toUpper())
            << c.join(' ').toStdString();
    }
}

}  // namespace
}  // namespace tavrel
