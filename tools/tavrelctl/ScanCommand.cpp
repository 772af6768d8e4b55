#include "ScanCommand.h"

#include <QDate>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <atomic>
#include <csignal>

#include "CommandArgs.h"
#include "CtlSession.h"
#include "common/AppTitle.h"
#include "common/Clock.h"
#include "common/PrintableText.h"
#include "common/TimeText.h"
#include "external/netware/NetWareClient.h"
#include "mainwindow/TreeOptions.h"
#include "monitor/AutoScan.h"
#include "monitor/ScanCycle.h"
#include "monitor/ScanRecorder.h"
#include "monitor/UsageLog.h"

namespace tavrel {

namespace {

const char* const kScanUsage =
    "Usage: tavrelctl scan [--no-details] [--json]\n"
    "\n"
    "Scans the monitored files once, with the tree options of the program, and prints the\n"
    "tree: a node a line, indented two spaces a level, then \"Status: \" and the final\n"
    "status. --no-details leaves out the detail lines; --json prints\n"
    "{\"status\": ..., \"nodes\": [{\"text\", \"tag\", \"image\", \"children\"}]}.\n"
    "Control characters in the text are shown as \\n, \\t, \\x1b ...; --json keeps them.\n"
    "Exit status 0 when the scan ended normally, 1 otherwise, 2 when the site or the\n"
    "settings cannot be read (the reason is printed).\n";

const char* const kLogUsage =
    "Usage: tavrelctl log\n"
    "\n"
    "Scans once and brings the usage log up to date, as an automatic scan storing its\n"
    "results does; run it once a minute (cron) to keep the log without the program.\n"
    "Exit status 0 when the log was updated, 1 when the scan did not end normally or could\n"
    "not read the server (the log then closes nothing), 2 when the log could not be\n"
    "updated (the reason is printed).\n";

const char* const kWatchUsage =
    "Usage: tavrelctl watch [--interval SECONDS] [--store]\n"
    "\n"
    "Auto scan without a window: scans every SECONDS (60 unless given), counted from the\n"
    "previous scan's start, and prints a line a scan: the time, the files scanned, the\n"
    "users seen and the scan's final status. --store keeps the usage log as \"Store Scan\n"
    "Results\" does; it takes an interval of 60 or more, as the log counts minutes.\n"
    "SIGINT or SIGTERM ends it between scans, or stops the running scan; a log update is\n"
    "always finished.\n";

constexpr int kScanNotCompleted = 1;
constexpr int kBadUsage = 2;
constexpr int kLogNotUpdated = 2;
constexpr int kShortestStoredInterval = 60;

const QString kLogSection = QStringLiteral("Log");
const QString kLastScanDateKey = QStringLiteral("LastScanDate");

std::atomic<bool> g_interrupted{false};

extern "C" void onSignal(int) {
    g_interrupted = true;
}

// Parses the arguments of a command that takes no words. Without a result the command is
// done, with *status: 0 after "help", kBadUsage after telling err what was wrong.
std::optional<CommandArgs> parse(const char* command, const QStringList& args,
                                 const QStringList& flags, const QStringList& options,
                                 const char* usage, QTextStream& out, QTextStream& err,
                                 int* status) {
    if (args.value(0) == QLatin1String("help") || args.value(0) == QLatin1String("--help")) {
        out << usage;
        *status = 0;
        return std::nullopt;
    }
    CommandArgs parsed(args, flags, options);
    if (!parsed.ok() || !parsed.positional().isEmpty()) {
        err << "tavrelctl " << command << ": "
            << (parsed.ok() ? QStringLiteral("unexpected argument ") + parsed.positional().first()
                            : parsed.error())
            << "\n\n"
            << usage;
        *status = kBadUsage;
        return std::nullopt;
    }
    return parsed;
}

QString finalStatus(const ScanRecorder& view) {
    return view.statusTexts.value(view.statusTexts.size() - 1);
}

// LastScanDate of the headless writers, kept between runs so that the day change still
// happens when the log is kept by a command run once a minute.
QDate loadLastScanDate(SettingsStore& settings, const QDate& today) {
    const QDate stored = QDate::fromString(
        settings.GetSetting(kAppTitle, kLogSection, kLastScanDateKey), Qt::ISODate);
    return stored.isValid() ? stored : today;
}

void saveLastScanDate(SettingsStore& settings, const QDate& date) {
    settings.SaveSetting(kAppTitle, kLogSection, kLastScanDateKey, date.toString(Qt::ISODate));
}

// A scan that a signal stops at its next yield.
struct HeadlessScan {
    explicit HeadlessScan(AppContext& context) : cycle(context, view) {
        view.onYield = [this] {
            if (g_interrupted) {
                cycle.cmdStop_Click();
            }
        };
    }
    ScanOutcome run(const ScanOptions& options) {
        view.statusTexts.clear();
        return cycle.cmdScan_Click(options);
    }

    ScanRecorder view;
    ScanCycle cycle;
};

}  // namespace

int runScanCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    int status = 0;
    const std::optional<CommandArgs> parsed =
        parse("scan", args, {QStringLiteral("no-details"), QStringLiteral("json")}, {}, kScanUsage,
              out, err, &status);
    if (!parsed) {
        return status;
    }
    CtlSession session(err);
    if (!session.start()) {
        return kBadUsage;
    }
    AppContext& context = session.context();
    const TreeOptions tree = loadTreeOptions(context.settings());
    HeadlessScan scan(context);
    const ScanOutcome outcome = scan.run(
        {tree.Pictures != 0, tree.UserDetails != 0 && !parsed->has("no-details"), false, false});
    if (parsed->has(QStringLiteral("json"))) {
        const QJsonObject document{{QStringLiteral("status"), finalStatus(scan.view)},
                                   {QStringLiteral("nodes"), scan.view.treeJson()}};
        out << QJsonDocument(document).toJson(QJsonDocument::Indented);
    } else {
        out << scan.view.treeText() << "Status: " << printableText(finalStatus(scan.view)) << '\n';
    }
    return outcome == ScanOutcome::Completed ? 0 : kScanNotCompleted;
}

int runLogCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    int status = 0;
    if (!parse("log", args, {}, {}, kLogUsage, out, err, &status)) {
        return status;
    }
    CtlSession session(err);
    if (!session.start()) {
        return kBadUsage;
    }
    AppContext& context = session.context();
    QDate lastScanDate = loadLastScanDate(context.settings(), context.clock().now().date());
    UsageLog usageLog(UsageLog::databasePathIn(context.AppFolder), context.clock(),
                      context.prompts(), lastScanDate);
    QString logFailure;
    HeadlessScan scan(context);
    scan.cycle.setLogUpdate([&](const ScanFileTable& scanFiles) {
        logFailure = usageLog.UpdateUsageLog(scanFiles);
        return logFailure;
    });
    // The log needs only who holds each file, not the detail lines.
    const ScanOutcome outcome = scan.run({false, false, true, true});
    saveLastScanDate(context.settings(), lastScanDate);
    if (outcome != ScanOutcome::Completed) {
        err << "tavrelctl log: " << finalStatus(scan.view) << '\n';
        return kScanNotCompleted;
    }
    if (!logFailure.isEmpty()) {
        err << "tavrelctl log: log not updated: " << logFailure << '\n';
        return kLogNotUpdated;
    }
    // The log kept what it had, but the server was not read: say so.
    const QString serverProblem = context.netware().scanProblem();
    if (!serverProblem.isEmpty()) {
        err << "tavrelctl log: " << serverProblem << '\n';
        return kScanNotCompleted;
    }
    return 0;
}

int runWatchCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    int status = 0;
    const std::optional<CommandArgs> parsed =
        parse("watch", args, {QStringLiteral("store")}, {QStringLiteral("interval")}, kWatchUsage,
              out, err, &status);
    if (!parsed) {
        return status;
    }
    int interval = 60;
    if (parsed->has(QStringLiteral("interval"))) {
        bool numeric = false;
        interval = parsed->value(QStringLiteral("interval")).toInt(&numeric);
        if (!numeric || interval < 1) {
            err << "tavrelctl watch: the interval must be a whole number of seconds, 1 or more\n";
            return kBadUsage;
        }
    }
    const bool store = parsed->has(QStringLiteral("store"));
    if (store && interval < kShortestStoredInterval) {
        err << "tavrelctl watch: --store needs an interval of 60 seconds or more (the usage "
               "log counts a minute of use per clock minute)\n";
        return kBadUsage;
    }

    CtlSession session(err);
    if (!session.start()) {
        return kBadUsage;
    }
    AppContext& context = session.context();
    Clock& clock = context.clock();
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    AutoScan autoScan(clock);
    autoScan.switchOn();
    UsageLog usageLog(UsageLog::databasePathIn(context.AppFolder), clock, context.prompts(),
                      autoScan.LastScanDate);
    HeadlessScan scan(context);
    scan.cycle.setLogUpdate([&](const ScanFileTable& scanFiles) {
        const QString reason = usageLog.UpdateUsageLog(scanFiles);
        saveLastScanDate(context.settings(), autoScan.LastScanDate);
        return reason;
    });

    const qint64 intervalMs = qint64(interval) * 1000;
    qint64 tick = clock.monotonicMs();
    while (!g_interrupted) {
        const QTime started = clock.now().time();
        const ScanOutcome outcome = scan.run({false, false, true, store});
        int files = 0;
        int users = 0;
        for (const ScanRecorder::Node& node : scan.view.nodes) {
            files += node.tag.startsWith(QLatin1String("2,")) ? 1 : 0;
            users += node.tag.startsWith(QLatin1String("3,")) ? 1 : 0;
        }
        out << timeText(started) << "  " << files << (files == 1 ? " file  " : " files  ") << users
            << (users == 1 ? " user  " : " users  ") << finalStatus(scan.view) << '\n';
        out.flush();
        if (outcome == ScanOutcome::TimedOut) {
            status = kScanNotCompleted;  // a timed-out scan ends auto scan
            break;
        }
        // The next tick counts from the previous one; ticks missed by a long scan are
        // skipped, not made up.
        tick += intervalMs;
        while (tick <= clock.monotonicMs()) {
            tick += intervalMs;
        }
        while (!g_interrupted && clock.monotonicMs() < tick) {
            QThread::msleep(std::min<qint64>(100, tick - clock.monotonicMs()));
        }
    }
    autoScan.switchOff();
    usageLog.stopStoring();
    return status;
}

}  // namespace tavrel
