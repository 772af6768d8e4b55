#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "external/netware/NetWareRecords.h"
#include "external/netware/NetWareSite.h"

namespace tavrel::test {

inline constexpr quint32 kAdmin = 0x0A000001;
inline constexpr quint32 kAlice = 0x0A000011;
inline constexpr quint32 kBob = 0x0A000012;
inline constexpr quint32 kSupervisor = 0x00000001;
inline constexpr quint32 kBobOnFs2 = 0x1C000012;

inline void touchFile(const QString& path, const QByteArray& content = "x") {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(content);
    }
}

// Two servers: FS1 (version 4) with SYS in a real folder below root and DATA with no
// folder; FS2 (version 3) with VOL1 and its own SYS. G: is FS1\SYS:, H: FS1\SYS:APPS,
// K: FS2\VOL1:, D: a local folder. The workstation is ADMIN on FS1 (connection 1) and
// SUPERVISOR on FS2 (connection 1).
inline NetWareSite makeTestSite(const QString& root) {
    touchFile(root + QStringLiteral("/fs1sys/APPS/orders.dbf"));
    touchFile(root + QStringLiteral("/fs1sys/APPS/CUSTOMER.DBF"));
    QDir().mkpath(root + QStringLiteral("/fs1sys/APPS/SUB/DEEP"));
    QDir().mkpath(root + QStringLiteral("/fs2vol1/ACCOUNTS"));
    QDir().mkpath(root + QStringLiteral("/local"));

    SiteAddress ip;
    ip.type = nwconntype::kIp;
    ip.net = {10, 1, 2, 3};
    SiteAddress ipx;
    ipx.type = nwconntype::kIpx;
    ipx.net = {0x00, 0x00, 0xAB, 0xCD};
    ipx.node = {0x00, 0xA0, 0xC9, 0x1E, 0x2F, 0x30};
    ipx.socket = {0x40, 0x03};
    SiteAddress afp;
    afp.type = nwconntype::kAfp;
    afp.net = {0x00, 0x00, 0xFF, 0x01};
    afp.node = {0x08, 0x00, 0x07, 0xA1, 0xB2, 0xC3};
    afp.socket = {0x02, 0x04};

    SiteServer fs1;
    fs1.name = QStringLiteral("FS1");
    fs1.version = 4;
    fs1.volumes = {{QStringLiteral("SYS"), 0, root + QStringLiteral("/fs1sys")},
                   {QStringLiteral("DATA"), 1, QString()}};
    fs1.objects = {{kAdmin, QStringLiteral("ADMIN"), 1, QStringLiteral("ADMIN.ACME")},
                   {kAlice, QStringLiteral("ALICE"), 1, QStringLiteral("ALICE.SALES.ACME")},
                   {kBob, QStringLiteral("BOB"), 1, QString()}};
    fs1.connections = {
        {1, kAdmin, QDateTime(QDate(2026, 12, 8), QTime(7, 58, 12)), ip, true},
        {3, kAlice, QDateTime(QDate(2003, 6, 9), QTime(8, 5, 0)), ipx, true},
        {4, kBob, QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59)), afp, false},
    };
    fs1.openFiles = {
        {3, QStringLiteral("SYS:APPS\\ORDERS.DBF"), 1, 8, 0x05, false},
        {4, QStringLiteral("SYS:APPS\\ORDERS.DBF"), 2, 0, 0x03, true},
        {1, QStringLiteral("SYS:APPS\\ORDERS.DBF"), 7, 8, 0x01, true},
        {1, QStringLiteral("DATA:X\\Y.DAT"), 1, 0, 0x01, true},
    };
    fs1.trustees = {
        {QStringLiteral("SYS:APPS"), kAlice, 0x00C9},
        {QStringLiteral("SYS:APPS"), kAdmin, 0x00FB},
        {QStringLiteral("DATA:X"), kAlice, 0x0003},
        {QStringLiteral("SYS:APPS\\SUB"), kAlice, 0x00DB},
        {QStringLiteral("SYS:APPS\\SUB"), kAdmin, 0x0041},
        {QStringLiteral("SYS:"), kAlice, 0x0001},
    };

    SiteServer fs2;
    fs2.name = QStringLiteral("FS2");
    fs2.version = 3;
    fs2.volumes = {{QStringLiteral("VOL1"), 1, root + QStringLiteral("/fs2vol1")},
                   {QStringLiteral("SYS"), 0, QString()}};
    fs2.objects = {{kSupervisor, QStringLiteral("SUPERVISOR"), 1, QString()},
                   {kBobOnFs2, QStringLiteral("BOB"), 1, QString()}};
    fs2.connections = {{1, kSupervisor, {}, ipx, true}, {3, kBobOnFs2, {}, ip, true}};
    fs2.openFiles = {
        {3, QStringLiteral("SYS:APPS\\ORDERS.DBF"), 1, 0, 0x01, true},
        {1, QStringLiteral("VOL1:ACCOUNTS\\LEDGER.DAT"), 1, 0, 0x03, true},
    };
    fs2.trustees = {{QStringLiteral("VOL1:"), kSupervisor, 0x0100}};

    NetWareSite site;
    site.servers = {fs1, fs2};
    site.drives = {
        {QLatin1Char('G'), QStringLiteral("FS1"), QStringLiteral("SYS"), QString(), QString()},
        {QLatin1Char('H'), QStringLiteral("FS1"), QStringLiteral("SYS"), QStringLiteral("APPS"),
         QString()},
        {QLatin1Char('K'), QStringLiteral("FS2"), QStringLiteral("VOL1"), QString(), QString()},
        {QLatin1Char('D'), QString(), QString(), QString(), root + QStringLiteral("/local")},
    };
    site.workstation = {{QStringLiteral("FS1"), 1}, {QStringLiteral("FS2"), 1}};
    return site;
}

}  // namespace tavrel::test
