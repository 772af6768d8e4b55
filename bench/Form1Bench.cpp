// The main window's costs an operator feels: the tree a scan builds (1,000 files of 20
// users each with their detail lines, 181,001 nodes, through Form1's ScanView in the
// order the scan makes its calls, yields included), a whole scan of such a site in the
// window, and start-up to the shown window on the demo site.
//
//   bin/tavrel_form1_bench                       (offscreen unless a display is chosen)
//   xvfb-run -a env QT_QPA_PLATFORM=xcb bin/tavrel_form1_bench

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QWindow>
#include <memory>

#include "common/AppContext.h"
#include "common/DesktopPlatform.h"
#include "common/DriveMap.h"
#include "common/IniSettingsStore.h"
#include "common/QtPrompts.h"
#include "common/SystemClock.h"
#include "external/netware/DemoSite.h"
#include "external/netware/EmulatedNetWare.h"
#include "filelist/FileListStore.h"
#include "mainwindow/Form1.h"
#include "support/BigSite.h"

namespace tavrel {
namespace {

constexpr int kFiles = 1000;
constexpr int kUsersPerFile = 20;
constexpr int kDetailsPerUser = 8;

double peakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// Everything the program hands its window: the demo site, settings in a temporary
// folder with the demo's files monitored.
struct Services {
    Services() : settings(dir.path()), netware(ensureSiteFile(dir.path() + QStringLiteral("/"))) {
        const char* const files[] = {
            "G:\\APPS\\ORDERS.DBF", "G:\\APPS\\CUSTOMER.DBF", "G:\\APPS\\DATA\\STOCK.DBF",
            "H:\\BUDGET.XLS",       "K:\\LEDGER.DAT",         "K:\\PAYROLL.DAT"};
        int n = 0;
        for (const char* path : files) {
            ++n;
            SaveFileEntry(settings, n, QLatin1String(path), QStringLiteral("File %1").arg(n));
        }
        context.AppFolder = dir.path() + QStringLiteral("/");
    }
    QTemporaryDir dir;
    IniSettingsStore settings;
    SystemClock clock;
    QtPrompts prompts;
    DesktopPlatform platform;
    EmulatedNetWare netware;
    AppContext context{settings, clock, prompts, platform, netware, netware};
};

// The calls a scan makes for the tree, in its order.
void buildTree(ScanView& view) {
    view.setBusy(true);
    view.setStatusText(QStringLiteral("Scanning..."));
    view.clearNodes();
    const int root =
        view.addNode(0, QStringLiteral("Tree"), QStringLiteral("Tree"), QStringLiteral("tree"));
    view.setNodeTag(root, QStringLiteral("1"));
    view.setButtonVisible(ScanButton::Stop, true);
    view.setButtonVisible(ScanButton::Scan, false);
    for (int f = 1; f <= kFiles; ++f) {
        view.yield();
        const QString path = QStringLiteral("G:\\DATA\\FILE%1.DBF").arg(f);
        const int file = view.addNode(
            root, QString(), path + QLatin1Char('[') + QString::number(kUsersPerFile) + ']',
            QStringLiteral("file"));
        view.setNodeTag(file, QStringLiteral("2,1,") + QString::number(f));
        for (int u = 1; u <= kUsersPerFile; ++u) {
            const int conn = (f * kUsersPerFile + u) % 30000 + 1;
            const int user = view.addNode(file, QString(), QStringLiteral("USER%1").arg(u),
                                          QStringLiteral("user"));
            view.setNodeTag(user, QStringLiteral("3,") + QString::number(conn));
            const QString details[kDetailsPerUser] = {
                QStringLiteral("Connection No: ") + QString::number(conn),
                QStringLiteral("Task No: 2"),
                QStringLiteral("Opened: Shareable"),
                QStringLiteral("File Rights: Read,Write"),
                QStringLiteral("Directory Rights: Read,FileScan"),
                QStringLiteral("Locked: No"),
                QStringLiteral("Login Time: Monday, 6/9/03, 08:05 am"),
                QStringLiteral("Network Address: IP:10.1.2.3"),
            };
            for (const QString& text : details) {
                view.setNodeTag(view.addNode(user, QString(), text, QString()),
                                QStringLiteral("4"));
            }
        }
        view.yield();  // the call that ends the file's connection list
    }
    view.setButtonVisible(ScanButton::Stop, false);
    view.setButtonVisible(ScanButton::Scan, true);
    view.setExpandCaption(QStringLiteral("Expand All [F3]"));
    view.setStatusText(QStringLiteral("Idle"));
    view.setBusy(false);
}

void BM_ScanTree(benchmark::State& state) {
    Services services;
    Form1 form(services.context);
    form.Form_Load();
    form.show();
    form.setYieldIntervalMs(int(state.range(0)));
    for (auto _ : state) {
        buildTree(form);
        QCoreApplication::processEvents();  // the first paint of the finished tree
    }
    state.counters["nodes"] = double(form.nodesInOrder().size());
    state.counters["peak_rss_MB"] = peakRssMb();
}
BENCHMARK(BM_ScanTree)
    ->ArgName("yield_ms")
    ->Arg(Form1::kYieldIntervalMs)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A whole scan in the window: 1,000 monitored files on a generated site, 20 users each,
// details on (the scan cycle, the emulated client and the rights lookups included).
void BM_WholeScanInWindow(benchmark::State& state) {
    QTemporaryDir dir;
    const test::BigSite big;
    EmulatedNetWare netware(big.build(dir.path() + QStringLiteral("/sys")));
    IniSettingsStore settings(dir.path());
    for (int file = 0; file < big.files; ++file) {
        SaveFileEntry(settings, file + 1, big.monitoredPath(file), QString());
    }
    SystemClock clock;
    QtPrompts prompts;
    DesktopPlatform platform;
    AppContext context(settings, clock, prompts, platform, netware, netware);
    context.AppFolder = dir.path() + QStringLiteral("/");
    Form1 form(context);
    if (!form.Form_Load()) {
        state.SkipWithError("the site did not start");
        return;
    }
    form.show();
    for (auto _ : state) {
        form.cmdScan_Click();
        QCoreApplication::processEvents();
    }
    if (form.statusText() != QStringLiteral("Idle")) {
        state.SkipWithError("the scan did not complete");
    }
    state.counters["nodes"] = double(form.nodesInOrder().size());
    state.counters["peak_rss_MB"] = peakRssMb();
}
BENCHMARK(BM_WholeScanInWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

// From reading the site file to the painted window.
void BM_StartUp(benchmark::State& state) {
    Services services;
    const QString siteFile = services.netware.siteFilePath();
    for (auto _ : state) {
        EmulatedNetWare netware(siteFile);
        AppContext context(services.settings, services.clock, services.prompts, services.platform,
                           netware, netware);
        context.AppFolder = services.context.AppFolder;
        auto form = std::make_unique<Form1>(context);
        form->Form_Load();
        form->show();
        while (!form->windowHandle()->isExposed()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        QCoreApplication::processEvents();  // paint
        state.PauseTiming();
        form.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["peak_rss_MB"] = peakRssMb();
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace
}  // namespace tavrel

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
