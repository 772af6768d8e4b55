#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "external/netware/EmulatedNetWare.h"

namespace tavrel {
namespace {

constexpr int kFiles = 1000;
constexpr int kUsers = 200;
constexpr int kFilesPerUser = 100;  // 20 connections per file

QString filePath(int file) {
    return QStringLiteral("DATA\\FILE%1.DBF").arg(file, 4, 10, QLatin1Char('0'));
}

// One server, 200 logged-in users each holding 100 of the 1,000 files open, each user a
// trustee of a home folder and of one of ten shared folders.
NetWareSite bigSite() {
    SiteServer server;
    server.name = QStringLiteral("FS1");
    server.version = 4;
    server.volumes = {{QStringLiteral("SYS"), 0, QString()}};
    for (int u = 1; u <= kUsers; ++u) {
        const quint32 id = 0x0A000000 + u;
        server.objects.append(
            {id, QStringLiteral("USER%1").arg(u), 1, QStringLiteral("USER%1.STAFF.ACME").arg(u)});
        SiteAddress address;
        address.type = 11;
        address.net = {10, 1, quint8(u / 256), quint8(u % 256)};
        server.connections.append(
            {quint16(u), id, QDateTime(QDate(2026, 12, 8), QTime(8, 0)), address, true});
        for (int k = 0; k < kFilesPerUser; ++k) {
            const int file = (u * 7 + k * 10) % kFiles;
            server.openFiles.append(
                {quint16(u), QStringLiteral("SYS:") + filePath(file), 1, 8, 0x03, k % 5 == 0});
        }
        server.trustees.append({QStringLiteral("SYS:HOME\\USER%1").arg(u), id, 0x00FB});
        server.trustees.append({QStringLiteral("SYS:SHARED\\G%1").arg(u % 10), id, 0x0041});
    }
    NetWareSite site;
    site.servers = {server};
    site.drives = {
        {QLatin1Char('G'), QStringLiteral("FS1"), QStringLiteral("SYS"), QString(), QString()}};
    return site;
}

// The calls one scan with user details makes: per file a path parse and the connection
// scan; per connection its information, address and the trustee lookup.
void scanAll(EmulatedNetWare& nw) {
    for (int file = 0; file < kFiles; ++file) {
        QString server, volume, dir;
        NWCONN_HANDLE conn = 0;
        nw.NWParsePath(QStringLiteral("G:\\") + filePath(file), server, conn, volume, dir);
        const QString scanPath = volume + QLatin1Char(':') + dir;
        qint16 iter = 0;
        ConnUsingFile one;
        ConnsUsingFile answer;
        while (nw.NWScanConnectionsUsingFile(conn, 0, scanPath, iter, one, answer) == 0) {
            for (int j = 0; j < answer.connCount; ++j) {
                const NWCONN_NUM number = answer.connInfo[j].connNumber;
                QString name;
                quint16 type = 0;
                quint32 id = 0;
                LoginTime login{};
                nw.NWGetConnectionInformation(conn, number, name, type, id, login);
                InetAddr addr;
                nw.NWGetInetAddr(conn, number, addr);

                QString s, v, p;
                NWCONN_HANDLE c = 0;
                nw.NWParsePath(scanPath, s, c, v, p);
                NWDSContextHandle context = 0;
                nw.NWDSCreateContextHandle(context);
                nw.NWDSSetContext(context, kDsContextNameKey, QByteArray("[Root]"));
                quint32 objectId = 0;
                nw.NWDSMapNameToID(context, c, name.toUpper(), objectId);
                nw.NWDSFreeContext(context);
                quint16 volNum = 0;
                nw.NWGetVolumeNumber(c, v, volNum);
                quint16 pathIter = 0xFFFF;
                QByteArray buffer(512, '\0');
                for (;;) {
                    quint8 rights = 0;
                    if (nw.NWScanObjectTrusteePaths(c, objectId, volNum, pathIter, rights,
                                                    buffer) != 0 ||
                        buffer[0] == '\0') {
                        break;
                    }
                    const QString trusteePath = QString::fromLatin1(buffer.constData());
                    quint32 dirIter = 0;
                    TrusteeList list;
                    quint32 dateTime = 0;
                    quint32 owner = 0;
                    while (nw.NWScanDirectoryForTrustees2(c, 0, trusteePath, dirIter, buffer,
                                                          dateTime, owner, list) == 0) {
                        benchmark::DoNotOptimize(list);
                    }
                }
            }
        }
    }
}

void BM_ScanWithUserDetails(benchmark::State& state) {
    EmulatedNetWare nw(bigSite());
    if (nw.NWCallsInit() != 0) {
        state.SkipWithError(nw.initFailureReason().toStdString().c_str());
        return;
    }
    for (auto _ : state) {
        scanAll(nw);
    }
}
BENCHMARK(BM_ScanWithUserDetails)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavrel

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
