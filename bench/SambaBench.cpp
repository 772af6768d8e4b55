// One scan of 1,000 monitored files on a Samba server where 20 users hold 200 files open,
// beside one bare smbstatus call on the same server: the scan should cost that call and
// little more. Needs root and the samba and python3-impacket packages (as the tests do).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <memory>
#include <vector>

#include "common/AppContext.h"
#include "external/samba/SambaNetWare.h"
#include "filelist/FileListStore.h"
#include "monitor/ScanCycle.h"
#include "monitor/ScanRecorder.h"
#include "support/FakeClock.h"
#include "support/MemorySettingsStore.h"
#include "support/RecordingPlatform.h"
#include "support/SambaServer.h"
#include "support/ScriptedPrompts.h"

namespace tavrel {
namespace {

constexpr int kUsers = 20;
constexpr int kFilesPerUser = 10;
constexpr int kMonitored = 1000;

struct Setup {
    test::SambaServer server;
    std::vector<std::unique_ptr<test::SmbHolder>> holders;
    QString problem;
    std::optional<SambaConfig> config;
};
Setup* g_setup = nullptr;

QString fileName(int n) {
    return QStringLiteral("F%1.DAT").arg(n, 4, 10, QLatin1Char('0'));
}

void startServer(Setup& setup) {
    setup.problem = setup.server.start(kUsers);
    if (!setup.problem.isEmpty()) {
        return;
    }
    for (int n = 0; n < kMonitored; ++n) {
        setup.server.addFile(fileName(n));
    }
    for (int user = 1; user <= kUsers; ++user) {
        QStringList opens;
        for (int f = 0; f < kFilesPerUser; ++f) {
            opens.append(fileName((user - 1) * kFilesPerUser + f) + QStringLiteral(":r:rw"));
        }
        setup.holders.push_back(setup.server.hold(user, opens));
        if (setup.holders.back()->opened.size() != kFilesPerUser) {
            setup.problem = QStringLiteral("user %1 could not open its files").arg(user);
            return;
        }
    }
    const QString site = setup.server.shareFolder() + QStringLiteral("/../site.json");
    setup.server.writeSiteFile(site);
    QFile file(site);
    file.open(QIODevice::ReadOnly);
    QString error;
    setup.config =
        parseSambaConfig(QJsonDocument::fromJson(file.readAll()).object(), QString(), &error);
    if (!setup.config) {
        setup.problem = error;
    }
}

void BM_SmbstatusCall(benchmark::State& state) {
    if (!g_setup->problem.isEmpty()) {
        state.SkipWithError(g_setup->problem.toStdString().c_str());
        return;
    }
    for (auto _ : state) {
        const CommandOutput output = runCommand(g_setup->server.statusCommand());
        if (output.exitCode != 0) {
            state.SkipWithError("smbstatus failed");
            return;
        }
        benchmark::DoNotOptimize(output.out.size());
    }
}
BENCHMARK(BM_SmbstatusCall)->Unit(benchmark::kMillisecond)->UseRealTime();

// The scan itself; with canned set, every read answers what smbstatus printed once, so the
// figure is what the scan costs beyond the call.
void scanThousandFiles(benchmark::State& state, bool canned) {
    if (!g_setup->problem.isEmpty()) {
        state.SkipWithError(g_setup->problem.toStdString().c_str());
        return;
    }
    CommandRunner runner = runCommand;
    if (canned) {
        const CommandOutput answer = runCommand(g_setup->server.statusCommand());
        runner = [answer](const QStringList&) { return answer; };
    }
    SambaNetWare netware(*g_setup->config, runner);
    netware.NWCallsInit();
    test::MemorySettingsStore settings;
    for (int n = 0; n < kMonitored; ++n) {
        SaveFileEntry(settings, n + 1, QStringLiteral("G:\\") + fileName(n), QString());
    }
    test::FakeClock clock;
    test::ScriptedPrompts prompts;
    test::RecordingPlatform platform;
    AppContext context(settings, clock, prompts, platform, netware, netware);
    const ScanOptions options{true, true, false, false};
    qsizetype nodes = 0;
    const int readsBefore = netware.reads();
    for (auto _ : state) {
        ScanRecorder view;
        ScanCycle cycle(context, view);
        if (cycle.cmdScan_Click(options) != ScanOutcome::Completed ||
            !netware.scanProblem().isEmpty()) {
            state.SkipWithError("the scan did not complete");
            return;
        }
        nodes = view.nodes.size();
    }
    state.counters["nodes"] = double(nodes);
    state.counters["smbstatus_per_scan"] =
        double(netware.reads() - readsBefore) / double(state.iterations());
}
void BM_ScanThousandFilesOnSamba(benchmark::State& state) {
    scanThousandFiles(state, false);
}
BENCHMARK(BM_ScanThousandFilesOnSamba)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScanThousandFilesOnCannedAnswer(benchmark::State& state) {
    scanThousandFiles(state, true);
}
BENCHMARK(BM_ScanThousandFilesOnCannedAnswer)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tavrel

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    tavrel::Setup setup;
    tavrel::g_setup = &setup;
    tavrel::startServer(setup);
    if (!setup.problem.isEmpty()) {
        std::fprintf(stderr, "no Samba server to measure: %s\n", qPrintable(setup.problem));
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
