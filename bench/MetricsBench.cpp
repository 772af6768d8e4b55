// The metrics of 1,000 monitored files, three holders each: building the exposition after a
// scan, and one scrape of it over HTTP from tavrelctl's metrics server on loopback.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "MetricsServer.h"
#include "monitor/MetricsSnapshot.h"
#include "support/PrometheusServer.h"

namespace tavrel {
namespace {

constexpr int kFiles = 1000;

ScanFileTable thousandFiles() {
    ScanFileTable files;
    for (int n = 0; n < kFiles; ++n) {
        ScanFileEntry entry;
        entry.Path = QStringLiteral("G:\\DATA\\DEPT%1\\LEDGER%2.DAT").arg(n / 50).arg(n);
        entry.Server = QStringLiteral("FS%1").arg(n % 4 + 1);
        entry.Users = {QStringLiteral("USER%1").arg(n % 97), QStringLiteral("USER%1").arg(n % 89),
                       QStringLiteral("CLERK\"%1\"").arg(n % 13)};
        entry.Connections = 3;
        entry.Answered = true;
        entry.Locked = n % 3 == 0;
        files.append(entry);
    }
    return files;
}

QStringList descriptions() {
    QStringList texts;
    for (int n = 0; n < kFiles; ++n) {
        texts.append(QStringLiteral("Ledger of department %1").arg(n / 50));
    }
    return texts;
}

// What each scan costs the watch beyond the scan: the snapshot and its text.
void BM_MetricsAfterAScanOfThousandFiles(benchmark::State& state) {
    const ScanFileTable files = thousandFiles();
    const QStringList texts = descriptions();
    MetricsSnapshot snapshot(state.range(0) != 0);
    QDateTime now(QDate(2026, 12, 8), QTime(9, 0));
    for (auto _ : state) {
        now = now.addSecs(60);
        snapshot.scanCompleted(files, texts, now);
        snapshot.scanEnded(ScanOutcome::Completed, 250, false);
    }
    state.counters["bytes"] = double(snapshot.text().size());
}
BENCHMARK(BM_MetricsAfterAScanOfThousandFiles)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("users")
    ->Unit(benchmark::kMillisecond);

// One GET /metrics, answered from the snapshot while the watch would be scanning.
void BM_ScrapeOfThousandFiles(benchmark::State& state) {
    MetricsSnapshot snapshot(state.range(0) != 0);
    snapshot.scanCompleted(thousandFiles(), descriptions(), QDateTime::currentDateTime());
    snapshot.scanEnded(ScanOutcome::Completed, 250, false);
    MetricsServer server([&snapshot] { return snapshot.text(); });
    QString problem;
    if (server.setAddress(QStringLiteral("127.0.0.1:0"), &problem)) {
        problem = server.listen();
    }
    if (!problem.isEmpty()) {
        state.SkipWithError(problem.toStdString().c_str());
        return;
    }
    const int port =
        server.url().section(QLatin1Char(':'), 2).section(QLatin1Char('/'), 0, 0).toInt();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const std::optional<QByteArray> body = test::httpGet(port, QStringLiteral("/metrics"));
        if (!body) {
            state.SkipWithError("the scrape was not answered");
            return;
        }
        bytes = body->size();
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_ScrapeOfThousandFiles)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("users")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavrel

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
