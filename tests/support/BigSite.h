#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include "external/netware/NetWareSite.h"

namespace tavrel::test {

// A large site for benchmarks: one server FS1 whose volume SYS (mapped to G:) holds
// `files` monitored files, with `users` logged-in users each holding filesPerUser of them
// open (users * filesPerUser / files connections per file), each user a trustee of a home
// folder and of one of ten shared folders. With volumeRoot the files exist on disk there,
// so a scan finds them.
struct BigSite {
    int files = 1000;
    int users = 200;
    int filesPerUser = 100;

    static QString filePath(int file) {
        return QStringLiteral("DATA\\FILE%1.DBF").arg(file, 4, 10, QLatin1Char('0'));
    }
    QString monitoredPath(int file) const { return QStringLiteral("G:\\") + filePath(file); }

    NetWareSite build(const QString& volumeRoot = QString()) const {
        SiteServer server;
        server.name = QStringLiteral("FS1");
        server.version = 4;
        server.volumes = {{QStringLiteral("SYS"), 0, volumeRoot}};
        for (int u = 1; u <= users; ++u) {
            const quint32 id = 0x0A000000 + u;
            server.objects.append({id, QStringLiteral("USER%1").arg(u), 1,
                                   QStringLiteral("USER%1.STAFF.ACME").arg(u)});
            SiteAddress address;
            address.type = 11;
            address.net = {10, 1, quint8(u / 256), quint8(u % 256)};
            server.connections.append(
                {quint16(u), id, QDateTime(QDate(2026, 12, 8), QTime(8, 0)), address, true});
            for (int k = 0; k < filesPerUser; ++k) {
                const int file = (u * 7 + k * 10) % files;
                server.openFiles.append(
                    {quint16(u), QStringLiteral("SYS:") + filePath(file), 1, 8, 0x03, k % 5 == 0});
            }
            server.trustees.append({QStringLiteral("SYS:HOME\\USER%1").arg(u), id, 0x00FB});
            server.trustees.append({QStringLiteral("SYS:SHARED\\G%1").arg(u % 10), id, 0x0041});
        }
        if (!volumeRoot.isEmpty()) {
            QDir().mkpath(volumeRoot + QStringLiteral("/DATA"));
            for (int file = 0; file < files; ++file) {
                QFile(volumeRoot + QLatin1Char('/') +
                      QString(filePath(file)).replace(QLatin1Char('\\'), QLatin1Char('/')))
                    .open(QIODevice::WriteOnly);
            }
        }
        NetWareSite site;
        site.servers = {server};
        site.drives = {
            {QLatin1Char('G'), QStringLiteral("FS1"), QStringLiteral("SYS"), QString(), QString()}};
        return site;
    }
};

}  // namespace tavrel::test
