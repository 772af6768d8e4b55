#include "ScanCommand.h"

#include <QDate>
#include <QIODevice>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <csignal>

#include "CommandArgs.h"
#include "CtlSession.h"
#include "LogAdminCommand.h"
#include "MetricsCommand.h"
#include "common/AppTitle.h"
#include "common/Clock.h"
#include "common/PrintableText.h"
#include "common/TimeText.h"
#include "external/netware/NetWareClient.h"
#include "external/samba/SambaCommand.h"
#include "mainwindow/TreeOptions.h"
#include "monitor/AutoScan.h"
#include "monitor/LogLocation.h"
#include "monitor/ReleaseWatch.h"
#include "monitor/ScanCycle.h"
#include "monitor/ScanFilesJson.h"
#include "monitor/ScanRecorder.h"
#include "monitor/UsageLog.h"

namespace tavrel {

namespace {

const char* const kScanUsage =
    "Usage: tavrelctl scan [--no-details] [--json]\n"
    "\n"
    "Scans the monitored files once, with the tree options of the program, and prints the\n"
    "tree: a node a line, indented two spaces a level, then \"Status: \" and the final\n"
    "status. --no-details leaves out the detail lines. --json prints\n"
    "{\"status\": ..., \"nodes\": [...], \"files\": [...]}: \"nodes\" the tree as\n"
    "{\"text\", \"tag\", \"image\", \"children\"} objects, \"files\" made for programs: per\n"
    "monitored file \"path\", \"description\", \"server\", \"found\", \"error\" and \"holders\",\n"
    "each holder with \"user\", \"connection\", \"task\", \"openMode\", \"fileRights\",\n"
    "\"directoryRights\", \"locked\", \"loginTime\" (ISO 8601) and \"networkAddress\"\n"
    "(\"directoryRights\" and \"networkAddress\" are null with --no-details).\n"
    "Control characters in the text are shown as \\n, \\t, \\x1b ...; --json keeps them.\n"
    "Exit status 0 when the scan ended normally and read who holds every file; 1 when it\n"
    "did not end normally, or the users of a file could not be read (its line says\n"
    "\"[Error : ...]\") or the server left something out (the status says what); 2 when\n"
    "nothing could be scanned: the server could not be read, or the site or the settings\n"
    "cannot be read (the reason is printed).\n";

const char* const kLogUsage =
    "Usage: tavrelctl log\n"
    "       tavrelctl log location [URI|default] [--no-check]\n"
    "       tavrelctl log station [NAME|default] [--no-check]\n"
    "       tavrelctl log migrate --to URI [--station NAME]\n"
    "\n"
    "Scans once and brings the usage log up to date, as an automatic scan storing its\n"
    "results does; run it once a minute (cron) to keep the log without the program.\n"
    "Exit status 0 when the log was updated, 1 when the scan did not end normally or could\n"
    "not read the server (the log then closes nothing), 2 when the log could not be\n"
    "updated (the reason is printed).\n"
    "\"tavrelctl log location help\" describes the shared log's commands.\n";

const char* const kWatchUsage =
    "Usage: tavrelctl watch [--interval SECONDS] [--store]\n"
    "                       [--metrics ADDRESS:PORT [--metrics-users]]\n"
    "\n"
    "Auto scan without a window: scans every SECONDS (60 unless given), counted from the\n"
    "previous scan's start, and prints a line a scan: the time, the files scanned, the\n"
    "users seen and the scan's final status. --store keeps the usage log as \"Store Scan\n"
    "Results\" does; it takes an interval of 60 or more, as the log counts minutes.\n"
    "SIGINT or SIGTERM ends it between scans, or stops the running scan; a log update is\n"
    "always finished.\n"
    "--metrics serves GET /metrics in the Prometheus text format on ADDRESS:PORT\n"
    "(127.0.0.1:9755; 0.0.0.0 only when every interface is meant) from the last completed\n"
    "scan; --metrics-users adds a series for each user holding a file.\n";

const char* const kWaitUsage =
    "Usage: tavrelctl wait FILE [--timeout SECONDS] [--interval SECONDS]\n"
    "\n"
    "Scans the monitored files every SECONDS (10 unless given) until no user holds FILE\n"
    "(a monitored path, or its number in \"tavrelctl files list\"). A scan that failed for\n"
    "the file, or did not find it, never counts as free. Exit status 0 when the file is\n"
    "free, 1 when --timeout SECONDS passed first or SIGINT/SIGTERM ended the wait (the\n"
    "users still holding it are printed), 2 on bad usage or an error.\n";

constexpr int kScanNotCompleted = 1;
constexpr int kNothingScanned = 2;
constexpr int kBadUsage = 2;
constexpr int kLogNotUpdated = 2;
constexpr int kShortestStoredInterval = 60;

const QString kLogSection = QStringLiteral("Log");
const QString kLastScanDateKey = QStringLiteral("LastScanDate");

std::atomic<bool> g_interrupted{false};

extern "C" void onSignal(int) {
    g_interrupted = true;
    interruptCommands();  // a hung server command must not hold the program for its time-out
}

// Parses the arguments of a command that takes no words. Without a result the command is
// done, with *status: 0 after "help", kBadUsage after telling err what was wrong.
std::optional<CommandArgs> parse(const char* command, const QStringList& args,
                                 const QStringList& flags, const QStringList& options,
                                 const char* usage, QTextStream& out, QTextStream& err,
                                 int* status) {
    if (isHelpWord(args.value(0))) {
        out << usage;
        *status = 0;
        return std::nullopt;
    }
    CommandArgs parsed(args, flags, options);
    if (!parsed.ok() || !parsed.positional().isEmpty()) {
        *status = badUsage(
            command,
            parsed.ok() ? QStringLiteral("unexpected argument ") + parsed.positional().first()
                        : parsed.error(),
            usage, err);
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
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
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

// The exit status of a scan that ended normally: 0 when it read who holds every file found,
// kNothingScanned when it could read that of none, else kScanNotCompleted.
int scanStatus(const ScanFileTable& files, const QString& serverProblem) {
    const auto found = std::count_if(files.begin(), files.end(),
                                     [](const ScanFileEntry& file) { return file.Found; });
    const auto unread = std::count_if(
        files.begin(), files.end(), [](const ScanFileEntry& file) { return !file.UsersComplete; });
    if (found > 0 && unread == found) {
        return kNothingScanned;
    }
    return unread > 0 || !serverProblem.isEmpty() ? kScanNotCompleted : 0;
}

// Writes UTF-8 text of many megabytes straight to the stream's device, past the stream's
// conversion to and from UTF-16; a stream without a device gets it as text.
void writeUtf8(QTextStream& out, const QByteArray& text) {
    QIODevice* device = out.device();
    if (device == nullptr) {
        out << text;
        return;
    }
    out.flush();
    if (device->write(text) != text.size()) {
        out.setStatus(QTextStream::WriteFailed);
    }
}

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
    // A normal end erases the scan's table; an aborted scan keeps it.
    std::optional<ScanFileTable> finished;
    scan.cycle.setFinished([&finished](const ScanFileTable& files) { finished = files; });
    const ScanOutcome outcome = scan.run(
        {tree.Pictures != 0, tree.UserDetails != 0 && !parsed->has("no-details"), false, false});
    if (parsed->has(QStringLiteral("json"))) {
        writeUtf8(out, scanJsonText(finalStatus(scan.view), scan.view,
                                    finished.value_or(scan.cycle.ScanFiles()), context.settings()));
    } else {
        out << scan.view.treeText() << "Status: " << printableText(finalStatus(scan.view)) << '\n';
    }
    return outcome == ScanOutcome::Completed
               ? scanStatus(finished.value_or(ScanFileTable{}), context.netware().scanProblem())
               : kScanNotCompleted;
}

int runLogCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (isLogAdminCommand(args)) {
        return runLogAdminCommand(args, out, err);
    }
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
    UsageLog usageLog(loglocation::current(context.settings(), context.AppFolder), context.clock(),
                      context.prompts(), lastScanDate);
    usageLog.setStation(loglocation::station(context.settings()));
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
    const std::optional<CommandArgs> parsed = parse(
        "watch", args, {QStringLiteral("store"), QStringLiteral("metrics-users")},
        {QStringLiteral("interval"), QStringLiteral("metrics")}, kWatchUsage, out, err, &status);
    if (!parsed) {
        return status;
    }
    int interval = 60;
    if (!secondsOption(*parsed, "watch", "interval", 1, &interval, err)) {
        return kBadUsage;
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
    AutoScan autoScan(clock);
    autoScan.switchOn();
    UsageLog usageLog(loglocation::current(context.settings(), context.AppFolder), clock,
                      context.prompts(), autoScan.LastScanDate);
    usageLog.setStation(loglocation::station(context.settings()));
    HeadlessScan scan(context);
    bool logFailed = false;
    scan.cycle.setLogUpdate([&](const ScanFileTable& scanFiles) {
        const QString reason = usageLog.UpdateUsageLog(scanFiles);
        saveLastScanDate(context.settings(), autoScan.LastScanDate);
        logFailed = !reason.isEmpty();
        return reason;
    });
    WatchMetrics metrics;
    if (!metrics.start(*parsed, scan.cycle, context, out, err)) {
        return kBadUsage;
    }

    const qint64 intervalMs = qint64(interval) * 1000;
    qint64 tick = clock.monotonicMs();
    while (!g_interrupted) {
        const QTime started = clock.now().time();
        const qint64 startedMs = clock.monotonicMs();
        logFailed = false;
        const ScanOutcome outcome = scan.run({false, false, true, store});
        metrics.scanEnded(outcome, clock.monotonicMs() - startedMs, logFailed);
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

int runWaitCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (isHelpWord(args.value(0))) {
        out << kWaitUsage;
        return 0;
    }
    const CommandArgs parsed(args, {}, {QStringLiteral("timeout"), QStringLiteral("interval")});
    if (!parsed.ok() || parsed.positional().size() != 1) {
        return badUsage("wait", parsed.ok() ? QStringLiteral("give one FILE") : parsed.error(),
                        kWaitUsage, err);
    }
    int interval = 10;
    int timeout = -1;  // none: wait for as long as it takes
    if (!secondsOption(parsed, "wait", "interval", 1, &interval, err) ||
        !secondsOption(parsed, "wait", "timeout", 0, &timeout, err)) {
        return kBadUsage;
    }
    CtlSession session(err);
    if (!session.start()) {
        return kBadUsage;
    }
    AppContext& context = session.context();
    QString problem;
    const QString path = resolveFile(context.settings(), parsed.positional().at(0), true, &problem);
    if (path.isEmpty()) {
        err << "tavrelctl wait: " << problem << '\n';
        return kBadUsage;
    }
    Clock& clock = context.clock();
    HeadlessScan scan(context);
    std::optional<ScanFileEntry> seen;  // the file in the last scan that ended normally
    scan.cycle.setFinished([&](const ScanFileTable& files) {
        for (const ScanFileEntry& entry : files) {
            if (entry.Path == path) {
                seen = entry;
            }
        }
    });
    const qint64 deadline = timeout < 0 ? -1 : clock.monotonicMs() + qint64(timeout) * 1000;
    const qint64 intervalMs = qint64(interval) * 1000;
    for (;;) {
        const qint64 started = clock.monotonicMs();
        const ScanOutcome outcome = scan.run({false, false, false, false});
        if (outcome == ScanOutcome::ParseFailed || outcome == ScanOutcome::EmptyList) {
            err << "tavrelctl wait: " << printableText(finalStatus(scan.view)) << '\n';
            return kBadUsage;
        }
        if (seen && fileIsFree(*seen)) {
            out << printableText(path) << " is free.\n";
            return 0;
        }
        if (g_interrupted || (deadline >= 0 && clock.monotonicMs() >= deadline)) {
            break;
        }
        const qint64 next =
            deadline < 0 ? started + intervalMs : std::min(started + intervalMs, deadline);
        while (!g_interrupted && clock.monotonicMs() < next) {
            QThread::msleep(std::min<qint64>(100, next - clock.monotonicMs()));
        }
    }
    if (!seen) {
        err << "tavrelctl wait: " << printableText(path) << ": "
            << printableText(finalStatus(scan.view)) << '\n';
    } else if (!seen->Found) {
        err << "tavrelctl wait: " << printableText(path) << " cannot be found\n";
    } else if (!seen->UsersComplete && holdersOf(*seen).isEmpty()) {
        const QString serverProblem = context.netware().scanProblem();
        err << "tavrelctl wait: " << printableText(path) << ": who holds it could not be read"
            << (serverProblem.isEmpty() ? QString()
                                        : QStringLiteral(" (") + printableText(serverProblem) + ')')
            << '\n';
    } else {
        QStringList users = holdersOf(*seen);
        for (QString& user : users) {
            user = printableText(user);
        }
        err << "tavrelctl wait: " << printableText(path) << " is still held"
            << (users.isEmpty() ? QStringLiteral(" (the server did not say by whom)")
                                : QStringLiteral(" by ") + users.join(QStringLiteral(", ")))
            << '\n';
    }
    return kScanNotCompleted;
}

}  // namespace tavrel
