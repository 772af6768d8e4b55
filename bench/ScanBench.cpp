// One scan of 1,000 monitored files with 20 connections each and user details, against an
// emulated site in memory, drawn into a recording view.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "common/AppContext.h"
#include "external/netware/EmulatedNetWare.h"
#include "filelist/FileListStore.h"
#include "monitor/ScanCycle.h"
#include "monitor/ScanRecorder.h"
#include "support/BigSite.h"
#include "support/FakeClock.h"
#include "support/MemorySettingsStore.h"
#include "support/RecordingNetWare.h"
#include "support/RecordingPlatform.h"
#include "support/ScriptedPrompts.h"

namespace tavrel {
namespace {

void BM_ScanThousandFilesWithDetails(benchmark::State& state) {
    QTemporaryDir dir;
    const test::BigSite big;
    EmulatedNetWare netware(big.build(dir.path() + QStringLiteral("/sys")));
    if (netware.NWCallsInit() != 0) {
        state.SkipWithError(netware.initFailureReason().toStdString().c_str());
        return;
    }
    test::MemorySettingsStore settings;
    for (int file = 0; file < big.files; ++file) {
        SaveFileEntry(settings, file + 1, big.monitoredPath(file), QString());
    }
    test::FakeClock clock;
    test::ScriptedPrompts prompts;
    test::RecordingPlatform platform;
    const ScanOptions options{true, true, false, false};

    // Once, untimed: how many client calls one scan makes.
    test::RecordingNetWare counting(netware);
    AppContext countingContext(settings, clock, prompts, platform, counting, netware);
    ScanRecorder countingView;
    ScanCycle(countingContext, countingView).cmdScan_Click(options);
    const double calls = double(counting.calls.size());

    AppContext context(settings, clock, prompts, platform, netware, netware);
    qsizetype nodes = 0;
    for (auto _ : state) {
        ScanRecorder view;
        ScanCycle cycle(context, view);
        if (cycle.cmdScan_Click(options) != ScanOutcome::Completed) {
            state.SkipWithError("the scan did not complete");
            return;
        }
        nodes = view.nodes.size();
        benchmark::DoNotOptimize(nodes);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["nodes"] = double(nodes);
    state.counters["client_calls"] = calls;
    state.counters["calls_per_s"] =
        benchmark::Counter(calls * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["peak_rss_MiB"] = double(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_ScanThousandFilesWithDetails)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tavrel

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
