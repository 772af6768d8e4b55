#include "MetricsCommand.h"

#include "CommandArgs.h"
#include "CtlSession.h"
#include "MetricsEndpoint.h"
#include "common/AppContext.h"
#include "common/Clock.h"
#include "common/SaveWhole.h"
#include "filelist/FileListStore.h"
#include "monitor/ScanCycle.h"
#include "monitor/ScanRecorder.h"

namespace tavrel {

namespace {

const char* const kUsage =
    "Usage: tavrelctl metrics [--users] [--textfile PATH]\n"
    "\n"
    "Scans the monitored files once and prints what the scan saw in the Prometheus text\n"
    "format, as \"tavrelctl watch --metrics\" serves it. --users adds the series of each\n"
    "user holding a file. --textfile PATH writes it to PATH instead, atomically, for the\n"
    "node exporter's textfile collector. Exit status 0 when the scan ended normally, 1\n"
    "otherwise (the metrics still say how it ended), 2 when the site or the settings cannot\n"
    "be read or PATH cannot be written.\n";

constexpr int kScanNotCompleted = 1;
constexpr int kFailed = 2;

}  // namespace

void feedMetrics(MetricsSnapshot& snapshot, ScanCycle& cycle, AppContext& context) {
    cycle.setFinished([&snapshot, &context](const ScanFileTable& files) {
        QStringList descriptions;
        descriptions.reserve(files.size());
        for (qsizetype i = 0; i < files.size(); ++i) {
            descriptions.append(fileDescription(context.settings(), int(i) + 1));
        }
        snapshot.scanCompleted(files, descriptions, context.clock().now());
    });
}

int runMetricsCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (isHelpWord(args.value(0))) {
        out << kUsage;
        return 0;
    }
    const CommandArgs parsed(args, {QStringLiteral("users")}, {QStringLiteral("textfile")});
    if (!parsed.ok() || !parsed.positional().isEmpty()) {
        return badUsage("metrics",
                        parsed.ok()
                            ? QStringLiteral("unexpected argument ") + parsed.positional().first()
                            : parsed.error(),
                        kUsage, err);
    }
    CtlSession session(err);
    if (!session.start()) {
        return kFailed;
    }
    AppContext& context = session.context();
    MetricsSnapshot snapshot(parsed.has(QStringLiteral("users")));
    ScanRecorder view;
    ScanCycle cycle(context, view);
    feedMetrics(snapshot, cycle, context);
    const qint64 started = context.clock().monotonicMs();
    const ScanOutcome outcome = cycle.cmdScan_Click({false, false, false, false});
    snapshot.scanEnded(outcome, context.clock().monotonicMs() - started, false);
    const int status = outcome == ScanOutcome::Completed ? 0 : kScanNotCompleted;

    if (!parsed.has(QStringLiteral("textfile"))) {
        out << QString::fromUtf8(snapshot.text());
        return status;
    }
    const QString path = parsed.value(QStringLiteral("textfile"));
    if (const QString error = saveWhole(path, snapshot.text()); !error.isEmpty()) {
        err << "tavrelctl metrics: cannot write " << path << ": " << error << '\n';
        return kFailed;
    }
    return status;
}

WatchMetrics::WatchMetrics() = default;
WatchMetrics::~WatchMetrics() = default;

bool WatchMetrics::start(const CommandArgs& args, ScanCycle& cycle, AppContext& context,
                         QTextStream& out, QTextStream& err) {
    if (!args.has(QStringLiteral("metrics"))) {
        if (args.has(QStringLiteral("metrics-users"))) {
            err << "tavrelctl watch: --metrics-users goes with --metrics ADDRESS:PORT\n";
            return false;
        }
        return true;
    }
    m_snapshot.emplace(args.has(QStringLiteral("metrics-users")));
    QString problem;
    m_server = loadMetricsEndpoint([this] { return m_snapshot->text(); }, &problem);
    if (!m_server) {
        err << "tavrelctl watch: cannot serve the metrics: " << problem << '\n';
        return false;
    }
    if (!m_server->setAddress(args.value(QStringLiteral("metrics")), &problem)) {
        err << "tavrelctl watch: " << problem << '\n';
        return false;
    }
    problem = m_server->listen();
    if (!problem.isEmpty()) {
        err << "tavrelctl watch: cannot serve the metrics on "
            << args.value(QStringLiteral("metrics")) << ": " << problem << '\n';
        return false;
    }
    feedMetrics(*m_snapshot, cycle, context);
    out << "Metrics: " << m_server->url() << '\n';
    out.flush();
    return true;
}

void WatchMetrics::scanEnded(ScanOutcome outcome, qint64 durationMs, bool logFailed) {
    if (m_snapshot) {
        m_snapshot->scanEnded(outcome, durationMs, logFailed);
    }
}

}  // namespace tavrel
