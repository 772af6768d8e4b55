// One scan of 1,000 monitored files on a Samba server where 20 users hold 200 files open,
// beside one bare smbstatus call on the same server: the scan should cost that call and
// little more. Needs root and the samba and python3-impacket packages (as the tests do).
//
// The scan at scale, on answers it generates in smbstatus's own shape (no server needed):
// 2,000 and 20,000 opens, two on each monitored file, a hundred opens a session.
// "tavrel_samba_bench --write-site DIR [OPENS]" writes such a site for tavrelctl instead:
// DIR/site.json (status command: cat DIR/answer.json), the share's files in DIR/share and
// DIR/files.txt for "tavrelctl files add -".
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
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
bool g_started = false;

QString fileName(int n) {
    return QStringLiteral("F%1.DAT").arg(n, 4, 10, QLatin1Char('0'));
}

void startServer(Setup& setup) {
    if (g_started) {
        return;
    }
    g_started = true;
    setup.problem = setup.server.start(kUsers);
    if (!setup.problem.isEmpty()) {
        std::fprintf(stderr, "no Samba server to measure: %s\n", qPrintable(setup.problem));
    }
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
    startServer(*g_setup);
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
    startServer(*g_setup);
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

// A generated site: the share's folder as this machine and as the server see it, and the
// status answer.
constexpr const char* kServerFolder = "/srv/data";

QString cannedName(int n) {
    return QStringLiteral("DATA/F%1.DAT").arg(n, 5, 10, QLatin1Char('0'));
}

// What smbstatus --json -B of Samba 4.17 prints, with every field it prints, for opens
// opens: sessions of a hundred opens each, two sessions on each file, every tenth open
// with a byte-range lock.
QByteArray cannedAnswer(int opens) {
    const int files = opens / 2;
    const int sessions = std::max(1, opens / 100);
    const QString stamp = QStringLiteral("2026-12-09T10:23:05.123456+01:00");
    const auto serverId = [](int session) {
        return QJsonObject{{"pid", QString::number(10000 + session)},
                           {"task_id", "0"},
                           {"vnn", "4294967295"},
                           {"unique_id", QString::number(7000000 + session)}};
    };
    const auto crypto = [](const char* cipher, const char* degree) {
        return QJsonObject{{"cipher", cipher}, {"degree", degree}};
    };
    QJsonObject sessionList;
    QJsonObject tcons;
    for (int s = 0; s < sessions; ++s) {
        const QString id = QString::number(3000000 + s);
        const QString address = QStringLiteral("10.0.%1.%2").arg(s / 250).arg(s % 250 + 1);
        sessionList.insert(
            id, QJsonObject{{"session_id", id},
                            {"server_id", serverId(s)},
                            {"uid", 1001 + s},
                            {"gid", 1001 + s},
                            {"username", QStringLiteral("user%1").arg(s + 1)},
                            {"groupname", QStringLiteral("user%1").arg(s + 1)},
                            {"creation_time", stamp},
                            {"expiration_time", "30828-09-14T02:48:05.477581+00:00"},
                            {"auth_time", stamp},
                            {"remote_machine", address},
                            {"hostname", QStringLiteral("ipv4:%1:%2").arg(address).arg(49152 + s)},
                            {"session_dialect", "SMB3_11"},
                            {"client_guid", "0ea0e9cb-4b30-4ca5-a4d4-3b8d6b2a4a1e"},
                            {"encryption", crypto("", "none")},
                            {"signing", crypto("AES-128-GMAC", "partial")},
                            {"channels", QJsonObject{}}});
        const QString tcon = QString::number(4000 + s);
        tcons.insert(tcon, QJsonObject{{"service", "data"},
                                       {"server_id", serverId(s)},
                                       {"tcon_id", tcon},
                                       {"session_id", id},
                                       {"machine", address},
                                       {"connected_at", stamp},
                                       {"encryption", crypto("", "none")},
                                       {"signing", crypto("", "none")}});
    }
    QJsonObject openFiles;
    QJsonObject locks;
    int open = 0;
    for (int f = 0; f < files; ++f) {
        const QString name = cannedName(f);
        const QString path = QLatin1String(kServerFolder) + QLatin1Char('/') + name;
        QJsonObject fileOpens;
        for (int k = 0; k < 2; ++k, ++open) {
            const int s = (f + k * files) % sessions;
            const bool write = open % 3 == 0;
            fileOpens.insert(
                QStringLiteral("%1/%2").arg(10000 + s).arg(open + 1),
                QJsonObject{{"server_id", serverId(s)},
                            {"uid", 1001 + s},
                            {"share_file_id", QString::number(open + 1)},
                            {"sharemode", QJsonObject{{"hex", "0x00000003"},
                                                      {"NONE", false},
                                                      {"READ", true},
                                                      {"WRITE", !write},
                                                      {"DELETE", false},
                                                      {"text", write ? "R" : "RW"}}},
                            {"access_mask", QJsonObject{{"hex", "0x0012019f"},
                                                        {"READ_DATA", true},
                                                        {"WRITE_DATA", write},
                                                        {"APPEND_DATA", write},
                                                        {"READ_EA", true},
                                                        {"WRITE_EA", write},
                                                        {"EXECUTE", false},
                                                        {"READ_ATTRIBUTES", true},
                                                        {"WRITE_ATTRIBUTES", write},
                                                        {"DELETE_CHILD", false},
                                                        {"DELETE", false},
                                                        {"READ_CONTROL", true},
                                                        {"WRITE_DAC", false},
                                                        {"SYNCHRONIZE", true},
                                                        {"ACCESS_SYSTEM_SECURITY", false},
                                                        {"text", write ? "RW" : "R"}}},
                            {"caching", QJsonObject{{"READ", false},
                                                    {"WRITE", false},
                                                    {"HANDLE", false},
                                                    {"hex", "0x00000000"},
                                                    {"text", ""}}},
                            {"oplock", QJsonObject{}},
                            {"lease", QJsonObject{}},
                            {"opened_at", stamp}});
            if (open % 10 == 0) {
                locks.insert(
                    path, QJsonObject{{"fileid", QJsonObject{{"devid", 2049}, {"inode", f + 100}}},
                                      {"file_name", name},
                                      {"share_path", kServerFolder},
                                      {"locks", QJsonArray{QJsonObject{{"server_id", serverId(s)},
                                                                       {"type", "W"},
                                                                       {"flavour", "Windows"},
                                                                       {"start", 0},
                                                                       {"size", 10}}}}});
            }
        }
        openFiles.insert(
            path,
            QJsonObject{{"service_path", kServerFolder},
                        {"filename", name},
                        {"fileid", QJsonObject{{"devid", 2049}, {"inode", f + 100}, {"extid", 0}}},
                        {"num_pending_deletes", 0},
                        {"opens", fileOpens}});
    }
    return QJsonDocument(QJsonObject{{"timestamp", stamp},
                                     {"version", "4.17.12-Debian"},
                                     {"smb_conf", "/etc/samba/smb.conf"},
                                     {"sessions", sessionList},
                                     {"tcons", tcons},
                                     {"open_files", openFiles},
                                     {"byte_range_locks", locks}})
        .toJson(QJsonDocument::Indented);
}

// The share's files in folder (empty ones), as the client sees them.
bool writeShareFiles(const QString& folder, int files) {
    if (!QDir().mkpath(folder + QStringLiteral("/DATA"))) {
        return false;
    }
    for (int f = 0; f < files; ++f) {
        QFile file(folder + QLatin1Char('/') + cannedName(f));
        if (!file.open(QIODevice::WriteOnly)) {
            return false;
        }
    }
    return true;
}

QString monitoredPath(int f) {
    return QStringLiteral("G:\\") +
           QString(cannedName(f)).replace(QLatin1Char('/'), QLatin1Char('\\'));
}

// One scan with user details over a generated answer of state.range(0) opens.
void BM_ScanCannedAnswer(benchmark::State& state) {
    const int opens = int(state.range(0));
    const int files = opens / 2;
    QTemporaryDir dir;
    if (!dir.isValid() || !writeShareFiles(dir.path(), files)) {
        state.SkipWithError("the share's files could not be written");
        return;
    }
    SambaConfig config;
    config.server = QStringLiteral("FILESRV");
    config.statusCommand = {QStringLiteral("cat")};
    config.drives = {{QLatin1Char('G'), QStringLiteral("data"), QString(), dir.path(),
                      QLatin1String(kServerFolder)}};
    CommandOutput answer;
    answer.started = true;
    answer.exitCode = 0;
    answer.out = cannedAnswer(opens);
    SambaNetWare netware(config, [&answer](const QStringList&) { return answer; });
    netware.NWCallsInit();
    test::MemorySettingsStore settings;
    QList<SettingChange> list;  // one write: a file at a time would check the whole list
    for (int f = 0; f < files; ++f) {
        list.append({QStringLiteral("File_%1").arg(f + 1), monitoredPath(f)});
    }
    settings.SaveSettings(QStringLiteral("Tavrel"), QStringLiteral("File"), list);
    test::FakeClock clock;
    test::ScriptedPrompts prompts;
    test::RecordingPlatform platform;
    AppContext context(settings, clock, prompts, platform, netware, netware);
    qsizetype nodes = 0;
    for (auto _ : state) {
        ScanRecorder view;
        ScanCycle cycle(context, view);
        if (cycle.cmdScan_Click({false, true, false, false}) != ScanOutcome::Completed ||
            !netware.scanProblem().isEmpty()) {
            state.SkipWithError("the scan did not complete");
            return;
        }
        nodes = view.nodes.size();
    }
    state.counters["nodes"] = double(nodes);
    state.counters["answer_kb"] = double(answer.out.size()) / 1024.0;
}
BENCHMARK(BM_ScanCannedAnswer)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

// --write-site DIR [OPENS]: a generated site for tavrelctl; 0 when written.
int writeCannedSite(const QString& folder, int opens) {
    const QDir dir(folder);
    const int files = opens / 2;
    QFile answer(dir.filePath(QStringLiteral("answer.json")));
    QFile site(dir.filePath(QStringLiteral("site.json")));
    QFile list(dir.filePath(QStringLiteral("files.txt")));
    if (!QDir().mkpath(folder) || !writeShareFiles(dir.filePath(QStringLiteral("share")), files) ||
        !answer.open(QIODevice::WriteOnly) || answer.write(cannedAnswer(opens)) < 0 ||
        !site.open(QIODevice::WriteOnly) || !list.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "%s cannot be written\n", qPrintable(folder));
        return 1;
    }
    const QJsonObject root{
        {"backend", "samba"},
        {"server", "FILESRV"},
        {"status", QJsonArray{"cat", answer.fileName()}},
        {"drives", QJsonArray{QJsonObject{{"letter", "G"},
                                          {"share", "data"},
                                          {"folder", dir.filePath(QStringLiteral("share"))},
                                          {"serverFolder", kServerFolder}}}}};
    site.write(QJsonDocument(root).toJson());
    for (int f = 0; f < files; ++f) {
        list.write((monitoredPath(f) + QStringLiteral("\tfile %1\n").arg(f)).toUtf8());
    }
    return answer.flush() && site.flush() && list.flush() ? 0 : 1;
}

}  // namespace
}  // namespace tavrel

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc >= 3 && QByteArray(argv[1]) == "--write-site") {
        return tavrel::writeCannedSite(QString::fromLocal8Bit(argv[2]),
                                       argc > 3 ? std::atoi(argv[3]) : 2000);
    }
    benchmark::Initialize(&argc, argv);
    tavrel::Setup setup;
    tavrel::g_setup = &setup;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
